// The recorder: what the page hooks' events do, the recorded script lines,
// and putting them into the running script.
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>

#include "editor/browser_link.h"
#include "editor/message_box.h"
#include "editor/qt_text.h"
#include "interpreter/host.h"
#include "interpreter/skript.h"
#include "platform/cp1252.h"
#include "platform/numbers.h"
#include "platform/texts.h"
#include "recorder/browser_window.h"
#include "web/page_model.h"

QIcon TForm11::TabPicture(bool recording)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(recording ? QColor(220, 30, 30) : QColor(200, 200, 200));
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return QIcon(pm);
}

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// submit sends a "%" as it is, for values a script escaped itself; one the
// user typed before two hex digits would reach the server as an escape, so
// the recorded value escapes it.
std::string TypedPercent(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        out += value[i];
        if (value[i] == '%' && i + 2 < value.size() && IsHexDigit(value[i + 1]) && IsHexDigit(value[i + 2]))
            out += "25";
    }
    return out;
}

// The lines of a plain-text pane; an empty last line is where the caret goes
// after a line end, not a line.
QStringList PaneLines(const QPlainTextEdit& pane)
{
    QStringList lines = pane.toPlainText().split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

}  // namespace

void CallBack::BrowserEventCallback(int eventCode, int frameNo, int index, const QJsonObject& event)
{
    TForm11* w = &window_;
    switch (eventCode) {
    case kDocumentMouseDown:
        // Replacing the page's own handler is all this hook is for.
        break;
    case kLinkMouseOut:
        w->Label1->setText(QString());
        break;
    case kLinkMouseOver:
        if (Frame* f = w->frames->Find(frameNo); f && index >= 0)
            if (Link* l = f->links->at(size_t(index)))
                w->Label1->setText(FromCp1252(l->href));
        break;
    case kWindowError:
        // The hook itself tells the page that the error is handled.
        break;
    case kLinkClick:
        w->LinkClick(frameNo, index, event.value(QLatin1String("js")).toBool());
        break;
    case kFormSubmit:
        if (event.value(QLatin1String("own")).toBool())
            w->PageSubmission(frameNo, index, event);
        else
            w->FormSubmission(frameNo, index, event);
        break;
    default:
        break;
    }
}

void TForm11::Record(const std::string& line)
{
    Memo1->appendPlainText(FromCp1252(line));
}

void TForm11::LinkClick(int f, int i, bool scriptLink)
{
    // The user has gone on: a submission the page refused earlier is over.
    pageSubmission_.reset();
    // The next navigation of the window's own destroys the frame records.
    Frame* frame = frames->Find(f);
    Link* link = nullptr;
    if (frame) {
        auto it = frame->links->items.find(i);
        if (it != frame->links->items.end())
            link = it->second.get();
    }
    const std::string href = link ? link->href : std::string();
    const int count = frame ? int(frame->links->items.size()) : 0;

    if (frame && recording) {
        FollowFrame(f);
        if (link) {
            Record(FollowLine(f, *frame, *link));
            EnableInsertControls(true);
        } else {
            AppendOutput("Fehler: Link %d ist NULL. (%d Links)", i, count);
        }
    }
    if (frame)
        refreshURL.clear();
    // A script link runs on the page, which stays what it was; a page of the
    // web may not send the window to a local file.
    if (scriptLink || (link && !MayFollow(QUrl(FromCp1252(href)))))
        return;
    BeginNavigate();
    if (frame) {
        if (link) {
            navigateActive = true;
            Navigate(FromCp1252(href));
        } else {
            AppendOutput("Fehler: Link %d ist NULL. (%d Links)", i, count);
        }
    }
}

bool TForm11::MayFollow(const QUrl& target) const
{
    return !target.isLocalFile() || page->url().isLocalFile();
}

const TForm11::ScriptLink* TForm11::ScriptLinkOf(int f, int i) const
{
    auto it = scriptLinks_.find({f, i});
    return it == scriptLinks_.end() ? nullptr : &it->second;
}

std::string TForm11::FollowLine(int f, const Frame& frame, const Link& link) const
{
    // follow() reads a text that starts with a number as that link number
    // and takes the last of equal texts: such a link goes by its number in
    // the script's own count of the page's links. So does a link whose
    // shown text is not the one the script's list holds (a line break in
    // the page's text, a <br>).
    auto lowered = [](std::string text) {
        for (char& c : text)
            c = platform::Cp1252Lower(c);
        return text;
    };
    auto listed = [&](const Link& l) -> const std::string& {
        const ScriptLink* s = ScriptLinkOf(f, l.number);
        return s ? s->text : l.text;
    };
    const std::string wanted = lowered(link.text);
    bool byText = !link.text.empty() && TextToLong(link.text) == 0 && lowered(listed(link)) == wanted;
    if (byText) {
        for (const auto& [key, other] : frame.links->items)
            if (other && other.get() != &link && lowered(listed(*other)) == wanted)
                byText = false;
    }
    if (byText)
        return "follow(\"" + ScriptLiteral(link.text) + "\")    # Link " + std::to_string(link.number + 1) + " verfolgen";
    const ScriptLink* s = ScriptLinkOf(f, link.number);
    const int scriptNo = s ? s->number : 0;
    const std::string n = std::to_string(scriptNo > 0 ? scriptNo : link.number + 1);
    return "follow(\"" + n + "\")    # Link " + n + " verfolgen";
}

std::string TForm11::ScriptLiteral(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

void TForm11::FormSubmission(int f, int i, const QJsonObject& event)
{
    const int button = event.value(QLatin1String("b")).toInt();
    pageSubmission_.reset();
    BeginNavigate();
    // Forms of the top document compare with the snapshots of the top
    // document; a form inside a frame with the snapshot its frame reported.
    std::unique_ptr<InputMap> previous;
    std::unique_ptr<InputMap> fresh = SnapshotFrom(event.value(QLatin1String("s")).toArray());
    InputMap* current = fresh.get();
    if (f == 0) {
        auto it = formSnapshots.find(i);
        if (it != formSnapshots.end()) {
            previous = std::move(it->second);
            formSnapshots.erase(it);
        }
        formSnapshots[i] = std::move(fresh);
    } else {
        auto it = frameSnapshots_.find({f, i});
        if (it != frameSnapshots_.end()) {
            previous = std::move(it->second);
            frameSnapshots_.erase(it);
        }
        frameSnapshots_[{f, i}] = std::move(fresh);
    }

    // Field names in byte order: upper case before lower case, a name before
    // its longer namesakes.
    std::map<std::string, std::string> changed;
    const int last = current->empty() ? -1 : current->rbegin()->first;
    bool closeAfter = false;
    for (int key = 0; key <= last; ++key) {
        auto now = current->find(key);
        if (userAgentMode && key == 0 && now != current->end()) {
            host_.runSettings().userAgent = now->second->value;
            ShowNote("%s", W("Der Wert für den User-Agent-Text wurde in die Skimlark-Einstellungen übernommen.").c_str());
            closeAfter = true;
        }
        if (now == current->end())
            continue;
        // A form that came after the page completed compares with nothing.
        std::string before;
        if (previous) {
            auto was = previous->find(key);
            if (was == previous->end())
                continue;
            before = was->second->value;
        }
        const std::string& value = now->second->value;
        if (value == before)
            continue;
        auto c = changed.find(now->second->name);
        if (c == changed.end()) {
            changed.emplace(now->second->name, value);
        } else if (!value.empty()) {
            if (!c->second.empty())
                c->second += ",";
            c->second += value;
        }
    }

    // A group of checkboxes is sent as every ticked box of it, kept ones
    // included: formset ticks exactly the boxes it names.
    for (auto& [name, value] : changed) {
        std::string ticked;
        bool toggles = false;
        for (const auto& [key, e] : *current) {
            if (e->name != name || !e->toggle)
                continue;
            toggles = true;
            if (e->value.empty())
                continue;
            if (!ticked.empty())
                ticked += ',';
            ticked += e->value;
        }
        if (toggles)
            value = ticked;
    }

    if (recording) {
        FollowFrame(f);
        const std::string k = std::to_string(i + 1);
        for (const auto& [name, value] : changed)
            Record("formset(" + k + ",\"" + ScriptLiteral(name) + "\",\"" + ScriptLiteral(SentLineBreaks(TypedPercent(value))) +
                   "\")");
        // submit() sends the form's first button unless told another.
        std::string line = button > 1 ? "submit(" + k + ",\"\"," + std::to_string(button) + ")" : "submit(" + k + ")";
        if (button > 1 && event.value(QLatin1String("own")).toBool())
            line += "    # ohne Button, wie die Seite selbst sendet";
        Record(line);
        EnableInsertControls(true);
    }
    if (closeAfter)
        QTimer::singleShot(0, this, [this] { close(); });
}

std::string TForm11::SentLineBreaks(const std::string& value)
{
    // A text area holds bare line feeds; the form sends CR LF for each.
    std::string out;
    out.reserve(value.size());
    for (size_t j = 0; j < value.size(); ++j) {
        if (value[j] == '\n' && (j == 0 || value[j - 1] != '\r'))
            out += '\r';
        out += value[j];
    }
    return out;
}

void TForm11::FollowFrame(int f)
{
    while (!refreshURL.empty()) {
        Record(W("follow(\"1\")    # META-Refresh ausführen"));
        refreshURL.pop_front();
    }
    if (f > 0) {
        // The frame's element by its number in the script's list of links.
        auto it = frameNumbers_.find(f);
        const int n = it != frameNumbers_.end() && it->second > 0 ? it->second : f;
        Record("follow(\"" + std::to_string(n) + "\")    # Frame laden");
    }
}

void TForm11::Button5Click()
{
    recording = !recording;
    Button5->setText(QString::fromUtf8(recording ? "Aufzeichnung anhalten" : "Aktionen aufzeichnen"));
    PageControl1->setTabIcon(2, TabPicture(recording));
}

void TForm11::EnableInsertControls(bool enable)
{
    if (userAgentMode)
        return;
    Edit1->setEnabled(enable);
    Label2->setEnabled(enable);
    UpDown1->setEnabled(enable);
    Button4->setEnabled(enable);
    UpDown1->setMaximum(qMin(host_.lineCount(), 32767));
    if (Skript* run = host_.waitingRun())
        UpDown1->setValue(run->curLine);
}

void TForm11::Memo1Change()
{
    EnableInsertControls(!Memo1->toPlainText().isEmpty());
}

void TForm11::Button4Click()
{
    int p = UpDown1->value();
    const QStringList lines = PaneLines(*Memo1);
    Skript* run = userAgentMode ? nullptr : host_.waitingRun();
    for (const QString& line : lines) {
        host_.insertLine(p, line);
        // Lines at or above the browse statement, and above the first line
        // inserted before, move them down.
        if (run && p <= run->curLine)
            run->curLine = run->curLine + 1;
        if (firstInserted_ >= p)
            ++firstInserted_;
        if (firstInserted_ < 0 || p < firstInserted_)
            firstInserted_ = p;
        ++p;
        UpDown1->setMaximum(qMin(UpDown1->maximum() + 1, 32767));
        linesInserted = true;
    }
    UpDown1->setValue(p);
    Memo1->clear();
    EnableInsertControls(false);
}

void TForm11::Button3Click()
{
    if (!Memo1->toPlainText().isEmpty()) {
        PageControl1->setCurrentIndex(2);
        int answer = host_.box(
            this,
            QString::fromUtf8("Es sind noch ungespeicherte Befehle im Aufzeichnungsfenster. Vor der weiteren "
                              "Ausführung in das Skript einfügen?"),
            QStringLiteral("Frage"), MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return;
        if (answer == IDYES)
            Button4Click();
    }
    continueScript = true;
    close();
}
