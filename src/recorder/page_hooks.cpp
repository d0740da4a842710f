// The page hooks: a script in every document of the view sets the page's
// event properties to handlers of its own, reports each completed document
// (its links, META contents and field values) and each hooked event, and
// the window turns the reports into its frames, links and form snapshots.
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <cstdlib>

#include "editor/browser_link.h"
#include "interpreter/host.h"
#include "editor/qt_text.h"
#include "platform/ascii_text.h"
#include "recorder/browser_window.h"
#include "web/page_model.h"

namespace {

// Runs in a world of its own in every frame, before the page's scripts: the
// page shares the document with it but none of its variables, so the key
// that marks its reports among the console lines never reaches the page, and
// nothing the page does to console.log or JSON changes what it reports.
// Its listeners sit on the window in the capture phase, installed before any
// of the page's, so they see every press, activation and submission first.
const char* const kHookScript = R"JS(
(function () {
  'use strict';
  var KEY = %1, ORIG = %2;
  var log = console.log.bind(console), toJson = JSON.stringify;
  var id = String(Math.random()).slice(2) + '.' + Date.now();
  var top = window === window.top;
  var loaded = false;
  function send(o) {
    o.d = id;
    o.top = top;
    try { log(KEY + ':' + toJson(o)); } catch (e) {}
  }
  function optionValue(o) {
    return o.value === '' ? o.text : o.value;
  }
  // Each field as [position, name, value, toggle]: a checkbox or radio
  // button gives its value while ticked and '' otherwise, a list that
  // takes several options all chosen ones joined by ','.
  function fields(form) {
    var out = [], els = form.elements;
    for (var j = 0; j < els.length; j++) {
      var el = els[j], tag = el.tagName, v, toggle = 0;
      if (tag === 'INPUT') {
        toggle = (el.type === 'checkbox' || el.type === 'radio') ? 1 : 0;
        v = toggle ? (el.checked ? el.value : '') : el.value;
      } else if (tag === 'SELECT' && el.multiple) {
        v = Array.prototype.map.call(el.selectedOptions, optionValue).join(',');
      } else if (tag === 'SELECT') {
        v = el.selectedIndex >= 0 ? optionValue(el.options[el.selectedIndex]) : '';
      } else if (tag === 'TEXTAREA') {
        v = el.value;
      } else {
        continue;
      }
      out.push([j, String(el.name), String(v), toggle]);
    }
    return out;
  }
  // The link an event happened on, as its position in the document's links.
  function linkOf(e) {
    var n = e.target;
    while (n && n.nodeType !== 1) n = n.parentNode;
    var a = n && n.closest ? n.closest('a[href],area[href]') : null;
    if (!a || a.tagName !== 'A') return -1;
    return Array.prototype.indexOf.call(document.links, a);
  }
  // The type a script's form gives an element: an input's as written, a
  // button's as written or 'submit'.
  function typeOf(el) {
    if (el.tagName === 'INPUT') return el.getAttribute('type');
    if (el.tagName === 'BUTTON') return el.hasAttribute('type') ? el.getAttribute('type') : 'submit';
    return null;
  }
  // The button a script names in submit(): the b-th input of type submit or
  // image or button element of type submit of the form, 0 for any other
  // submitter.
  // The number past the form's last such button: a script's submit()
  // with it sends no button, as the form's own submit() does.
  function noButton(form) {
    var b = 0, els = form.elements;
    for (var j = 0; j < els.length; j++) {
      var t = typeOf(els[j]);
      if (t === 'submit' || t === 'image') ++b;
    }
    return b + 1;
  }
  function buttonOf(form, submitter) {
    if (!submitter) return 0;
    var b = 0, els = form.elements;
    for (var j = 0; j < els.length; j++) {
      var t = typeOf(els[j]);
      if (t === 'submit' || t === 'image') {
        ++b;
        if (els[j] === submitter) return b;
      }
    }
    return 0;
  }
  // The number a script's follow() gives each link: links, frame sources and
  // META refreshes count, in document order; image-map areas do not.
  function scriptNumbers(doc) {
    var numbers = new Map(), count = 0, all = doc.getElementsByTagName('*');
    for (var k = 0; k < all.length; k++) {
      var el = all[k], tag = el.tagName.toUpperCase();
      if (tag === 'A' || tag === 'FRAME' || tag === 'IFRAME') {
        var first = 0;
        for (var at of ['href', 'src']) {
          if (el.hasAttribute(at)) {
            ++count;
            if (!first) first = count;
          }
        }
        if (first) numbers.set(el, first);
      } else if (tag === 'META') {
        var c = el.getAttribute('content');
        if (typeof c === 'string' && c.toLowerCase().indexOf('url=') >= 0) ++count;
      }
    }
    return numbers;
  }
  // The text a script's list holds for a link: the text and comments below
  // it as the page has them, each line end a blank (the fetch joins the
  // page's lines so), the no-break space a blank, trimmed.
  function scriptText(a) {
    var t = '', w = document.createTreeWalker(a, NodeFilter.SHOW_TEXT | NodeFilter.SHOW_COMMENT);
    while (w.nextNode()) t += w.currentNode.data;
    return t.replace(/\r\n?|\n/g, ' ').replace(/\u00a0/g, ' ').replace(/^[\x00-\x20]+|[\x00-\x20]+$/g, '');
  }
  // The number of this frame's element in its parent's list, as a script
  // that fetched the parent counts it; 0 when the parent is another
  // origin's.
  function frameNumber() {
    if (top) return 0;
    try {
      var fe = window.frameElement;
      return fe ? (scriptNumbers(window.parent.document).get(fe) || 0) : 0;
    } catch (e) {
      return 0;
    }
  }
  // This frame's place among the top document's frames, which tells its
  // number when the top is another origin's; -1 below another frame.
  function frameIndex() {
    if (top || window.parent !== window.top) return -1;
    try {
      for (var k = 0; k < window.top.frames.length; k++)
        if (window.top.frames[k] === window) return k;
    } catch (e) {}
    return -1;
  }
  // The script's number of each of this document's frames, in the order of
  // window.frames.
  function framesByIndex(numbers) {
    var out = [], els = document.querySelectorAll('iframe,frame');
    for (var k = 0; k < window.frames.length; k++) {
      var n = 0;
      for (var j = 0; j < els.length; j++)
        if (els[j].contentWindow === window.frames[k]) { n = numbers.get(els[j]) || 0; break; }
      out.push(n);
    }
    return out;
  }
  // A document the user acts on before its load event (a picture still
  // coming) reports itself first, once its elements are all there.
  function ready() {
    if (!loaded && document.readyState !== 'loading') complete();
    return loaded;
  }
  // Only the browser's own events record and navigate: a page's click() or
  // dispatched event is no user's.
  window.addEventListener('click', function (e) {
    if (e.button !== 0 || !e.isTrusted || !ready()) return;
    var i = linkOf(e);
    if (i < 0) return;
    var href = String(document.links[i].href);
    // A script link runs on the page and a link to a place on the page
    // scrolls it; every other link the window follows itself, so the page's
    // own navigation for it would be a second request.
    var here = String(location.href).split('#')[0];
    var own = /^javascript:/i.test(href) || (href.indexOf('#') >= 0 && href.split('#')[0] === here);
    if (!own) e.preventDefault();
    refused = null;
    send({t: 'ev', e: -1003, i: i, js: own});
  }, true);
  window.addEventListener('mouseover', function (e) {
    var i = loaded ? linkOf(e) : -1;
    if (i >= 0) send({t: 'ev', e: -1005, i: i});
  }, true);
  window.addEventListener('mouseout', function (e) {
    var i = loaded ? linkOf(e) : -1;
    if (i >= 0) send({t: 'ev', e: -1006, i: i});
  }, true);
  // A submission counts once the page's own handlers have let it go ahead:
  // the browser then builds the form's data, and before it sends anything.
  // A submission the page refused may still go out by the page's own
  // submit() of that form: the window lets that one through, as the user's.
  var pending = null, refused = null;
  window.addEventListener('submit', function (e) {
    var form = e.target, i = Array.prototype.indexOf.call(document.forms, form);
    pending = null;
    if (i < 0 || !e.isTrusted || !ready()) return;
    pending = refused = {form: form, i: i, ev: e, b: buttonOf(form, e.submitter)};
  }, true);
  window.addEventListener('formdata', function (e) {
    var p = pending, r = refused;
    // Data a handler builds while the submission is still being decided
    // is not the submission.
    if (p && e.target === p.form && p.ev.eventPhase === 0 && !p.ev.defaultPrevented) {
      pending = refused = null;
      send({t: 'ev', e: -1000, i: p.i, s: fields(p.form), b: p.b});
    } else if (r && e.target === r.form && r.ev.eventPhase === 0 && r.ev.defaultPrevented) {
      // Perhaps the page's own submit(), which sends no button; perhaps
      // data for a request of the page's: the window decides by whether
      // the form's navigation follows.
      send({t: 'ev', e: -1000, i: r.i, s: fields(r.form), b: noButton(r.form), own: true});
    }
  }, true);
  window.addEventListener('error', function () {
    send({t: 'ev', e: -1004, i: 0});
  }, true);
  // The window asks a frame for its source through the frames' messages;
  // the request carries no key, and one that the page makes up only brings
  // an answer the window did not ask for, which it drops.
  var ASK = 'skimlark-source';
  window.sourceOf = function (to) {
    (function broadcast(w) {
      try { w.postMessage({kind: ASK, to: to}, '*'); } catch (e) {}
      for (var i = 0; i < w.frames.length; i++) broadcast(w.frames[i]);
    })(window);
  };
  window.addEventListener('message', function (e) {
    var m = e.data;
    if (m && m.kind === ASK && m.to === id)
      send({t: 'src', html: document.documentElement ? document.documentElement.outerHTML : ''});
  }, true);
  function complete() {
    if (loaded) return;
    loaded = true;
    var numbers = scriptNumbers(document);
    var links = [], ls = document.links;
    for (var i = 0; i < ls.length; i++) {
      var a = ls[i];
      if (a.tagName !== 'A') continue;
      links.push([i, String(a.innerText), String(a.href), numbers.get(a) || 0, scriptText(a)]);
    }
    var metas = [], all = document.getElementsByTagName('*');
    for (var k = 0; k < all.length; k++) {
      if (all[k].tagName.toUpperCase() !== 'META') continue;
      var c = all[k].getAttribute('content');
      if (typeof c === 'string') metas.push(c);
    }
    var snaps = [], fs = document.forms;
    for (var f = 0; f < fs.length; f++) {
      if (ORIG !== '' && (fs[f].getAttribute('action') || '') === '') fs[f].action = ORIG;
      snaps.push(fields(fs[f]));
    }
    send({t: 'doc', url: String(location.href), n: ls.length, links: links, metas: metas, snaps: snaps,
          fn: frameNumber(), fk: frameIndex(), fr: top ? framesByIndex(numbers) : []});
  }
  // A document written after its load completes with the writer's close.
  if (document.readyState === 'complete') complete();
  else window.addEventListener('load', complete, false);
})();
)JS";

}  // namespace

QString JsString(const QString& s)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

QString TForm11::HookScript() const
{
    return QString::fromUtf8(kHookScript).arg(JsString(key_), JsString(FromCp1252(origURL)));
}

void TForm11::InstallHookScript()
{
    const QString source = HookScript();
    QWebEngineScriptCollection& scripts = page->scripts();
    const QList<QWebEngineScript> installed = scripts.find(kHookName);
    if (installed.size() == 1 && installed.front().sourceCode() == source)
        return;
    for (const QWebEngineScript& s : installed)
        scripts.remove(s);
    QWebEngineScript s;
    s.setName(kHookName);
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setWorldId(QWebEngineScript::ApplicationWorld);
    s.setRunsOnSubFrames(true);
    s.setSourceCode(source);
    scripts.insert(s);
}

void TForm11::HookReport(const QString& message)
{
    if (message.size() <= key_.size() || !message.startsWith(key_) || message[key_.size()] != QLatin1Char(':'))
        return;
    const QJsonObject o = QJsonDocument::fromJson(message.mid(key_.size() + 1).toUtf8()).object();
    const QString type = o.value(QLatin1String("t")).toString();
    // The empty page has come, though the engine may not say so: the page
    // before is gone from its process.
    if (type == QLatin1String("doc") && o.value(QLatin1String("top")).toBool() &&
        o.value(QLatin1String("url")).toString() == QLatin1String("about:blank"))
        blankLoading_ = false;
    if (!showing_)
        return;
    if (type == QLatin1String("doc")) {
        DocumentComplete(o);
    } else if (type == QLatin1String("ev")) {
        callBack->BrowserEventCallback(o.value(QLatin1String("e")).toInt(),
                                       FrameOfDocument(o.value(QLatin1String("d")).toString()),
                                       o.value(QLatin1String("i")).toInt(), o);
    } else if (type == QLatin1String("src")) {
        if (!sourceDoc_.isEmpty() && o.value(QLatin1String("d")).toString() == sourceDoc_)
            RichEdit1->setPlainText(o.value(QLatin1String("html")).toString());
    }
}

void TForm11::registerEvents(const QJsonObject& report, int f)
{
    // A frame of another origin than the top's cannot count itself among
    // the top's links: the top tells its number by the frame's place.
    int number = report.value(QLatin1String("fn")).toInt();
    const int place = report.value(QLatin1String("fk")).toInt(-1);
    if (number == 0 && place >= 0) {
        framePlaces_[f] = place;
        if (place < topFrames_.size())
            number = topFrames_.at(place).toInt();
    }
    frameNumbers_[f] = number;
    if (report.value(QLatin1String("top")).toBool()) {
        topFrames_ = report.value(QLatin1String("fr")).toArray();
        for (const auto& [g, k] : framePlaces_)
            if (frameNumbers_[g] == 0 && k < topFrames_.size())
                frameNumbers_[g] = topFrames_.at(k).toInt();
    }
    const int debug = host_.runSettings().debugLevel;
    Frame* frame = frames->Find(f);
    if (debug == 2) {
        AppendOutput("registerEvents: win=%llX, doc=%llX, frame=%d, url=%s",
                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(frame ? frame->window.get() : nullptr)),
                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(frame ? frame->doc.get() : nullptr)), f,
                     browseURL.c_str());
    }

    if (!report.contains(QLatin1String("links"))) {
        AppendOutput("Frame %d: Fehler Get Links", f);
    } else {
        if (debug == 2)
            AppendOutput("registerEvents (%d Links)...", report.value(QLatin1String("n")).toInt());
        for (const QJsonValue& v : report.value(QLatin1String("links")).toArray()) {
            const QJsonArray l = v.toArray();
            const int i = l.at(0).toInt();
            auto link = std::make_unique<Link>();
            link->number = i;
            link->text = std::string(platform::TrimBlanks(ToCp1252(l.at(1).toString())));
            link->href = ToCp1252(l.at(2).toString());
            scriptLinks_[{f, i}] = ScriptLink{l.at(3).toInt(), ToCp1252(l.at(4).toString())};
            if (debug != 0)
                AppendOutput("Browse: Frame %d, Link %d: '%s' %s", f, i + 1, link->text.c_str(), link->href.c_str());
            if (frame)
                frame->links->items[i] = std::move(link);
        }
    }

    for (const QJsonValue& v : report.value(QLatin1String("metas")).toArray()) {
        const std::string content = ToCp1252(v.toString());
        const size_t p = platform::AsciiLower(content).find("url=");
        if (p == std::string::npos)
            continue;
        if (std::strtol(content.c_str(), nullptr, 10) == 0) {
            refreshPending = true;
            refreshURL.push_back(content.substr(p + 4));
        }
    }
}

std::unique_ptr<InputMap> TForm11::SnapshotFrom(const QJsonArray& fields)
{
    auto map = std::make_unique<InputMap>();
    for (const QJsonValue& v : fields) {
        const QJsonArray a = v.toArray();
        auto e = std::make_unique<InputElement>();
        e->index = a.at(0).toInt();
        e->name = ToCp1252(a.at(1).toString());
        e->value = ToCp1252(a.at(2).toString());
        e->toggle = a.at(3).toInt() != 0;
        const int key = e->index;
        (*map)[key] = std::move(e);
    }
    return map;
}

InputMap* TForm11::FormSnapshot(int i)
{
    if (i < 0 || i >= topForms_.size())
        return nullptr;
    auto map = SnapshotFrom(topForms_.at(i).toArray());
    InputMap* raw = map.get();
    formSnapshots[i] = std::move(map);
    return raw;
}
