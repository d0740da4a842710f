// The page hooks: a script in every document of the view sets the page's
// event properties to handlers of its own, reports each completed document
// (its links, META contents and field values) and each hooked event, and
// the window turns the reports into its frames, links and form snapshots.
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <cstdlib>

#include "editor/main_window.h"
#include "editor/qt_text.h"
#include "interpreter/output.h"
#include "platform/ascii_text.h"
#include "recorder/browser_window.h"
#include "web/page_model.h"

namespace {

const QString kScriptName = QStringLiteral("skimlark-hooks");

// Runs in the page's own world (an error event is seen only there) in every
// frame, before the page's scripts: it keeps its own references to what it
// uses, so a page that replaces console.log or JSON.stringify changes nothing.
// Reports go out as console lines that begin with KEY and ":".
const char* const kHookScript = R"JS(
(function () {
  'use strict';
  var KEY = %1, ORIG = %2;
  if (Object.prototype.hasOwnProperty.call(window, KEY)) return;
  var log = console.log.bind(console), toJson = JSON.stringify;
  var id = String(Math.random()).slice(2) + '.' + Date.now();
  var top = window === window.top;
  function send(o) {
    o.d = id;
    o.top = top;
    try { log(KEY + ':' + toJson(o)); } catch (e) {}
  }
  function fields(form) {
    var out = [], els = form.elements;
    for (var j = 0; j < els.length; j++) {
      var el = els[j], tag = el.tagName, v;
      if (tag === 'INPUT') {
        v = (el.type === 'checkbox' || el.type === 'radio') ? (el.checked ? el.value : '') : el.value;
      } else if (tag === 'SELECT') {
        v = '';
        if (el.selectedIndex >= 0) {
          var o = el.options[el.selectedIndex];
          v = o.value === '' ? o.text : o.value;
        }
      } else if (tag === 'TEXTAREA') {
        v = el.value;
      } else {
        continue;
      }
      out.push([j, String(el.name), String(v)]);
    }
    return out;
  }
  function hook(el, prop, code, i, form) {
    el[prop] = function (e) {
      var r = {t: 'ev', e: code, i: i};
      if (form) r.s = fields(form);
      send(r);
      if (e && (code === -1003 || code === -1005)) {
        e.returnValue = true;
        e.cancelBubble = true;
      }
      if (code === -1004) return true;
    };
  }
  function broadcast(w, msg) {
    try { w.postMessage(msg, '*'); } catch (e) {}
    for (var i = 0; i < w.frames.length; i++) broadcast(w.frames[i], msg);
  }
  Object.defineProperty(window, KEY, {value: function (to) {
    var m = {}; m[KEY] = 1; m.to = to;
    broadcast(window, m);
  }});
  window.addEventListener('message', function (e) {
    var m = e.data;
    if (m && m[KEY] === 1 && m.to === id)
      send({t: 'src', html: document.documentElement ? document.documentElement.outerHTML : ''});
  }, true);
  window.addEventListener('load', function () {
    hook(window, 'onerror', -1004, 0);
    hook(document, 'onmousedown', -1007, 0);
    var links = [], ls = document.links;
    for (var i = 0; i < ls.length; i++) {
      var a = ls[i];
      if (a.tagName !== 'A') continue;
      links.push([i, String(a.innerText), String(a.href)]);
      hook(a, 'onmouseover', -1005, i);
      hook(a, 'onmouseout', -1006, i);
      hook(a, 'onmousedown', -1003, i);
    }
    var metas = [], all = document.getElementsByTagName('*');
    for (var k = 0; k < all.length; k++) {
      if (all[k].tagName.toUpperCase() !== 'META') continue;
      var c = all[k].getAttribute('content');
      if (typeof c === 'string') metas.push(c);
    }
    var snaps = [], fs = document.forms;
    for (var f = 0; f < fs.length; f++) {
      hook(fs[f], 'onsubmit', -1000, f, fs[f]);
      if (ORIG !== '' && (fs[f].getAttribute('action') || '') === '') fs[f].action = ORIG;
      snaps.push(fields(fs[f]));
    }
    send({t: 'doc', url: String(location.href), n: ls.length, links: links, metas: metas, snaps: snaps});
  }, false);
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
    const QList<QWebEngineScript> installed = scripts.find(kScriptName);
    if (installed.size() == 1 && installed.front().sourceCode() == source)
        return;
    for (const QWebEngineScript& s : installed)
        scripts.remove(s);
    QWebEngineScript s;
    s.setName(kScriptName);
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setWorldId(QWebEngineScript::MainWorld);
    s.setRunsOnSubFrames(true);
    s.setSourceCode(source);
    scripts.insert(s);
}

void TForm11::HookReport(const QString& message)
{
    if (!showing_ || message.size() <= key_.size() || !message.startsWith(key_) || message[key_.size()] != QLatin1Char(':'))
        return;
    const QJsonObject o = QJsonDocument::fromJson(message.mid(key_.size() + 1).toUtf8()).object();
    const QString type = o.value(QLatin1String("t")).toString();
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
    const int debug = form1_.settings().debugLevel;
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
