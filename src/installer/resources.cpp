#include "installer/resources.h"

#include <QPainter>
#include <QPixmap>

namespace installer {

namespace {

const char* const kLicenceStart =
    "Lizenzvereinbarung f\xC3\xBCr Skimlark\r\n\r\n";

const char* const kUse =
    "1. Sie d\xC3\xBCrfen die Software auf beliebig vielen Rechnern installieren und benutzen.\r\n";
const char* const kCopy =
    "2. Sie d\xC3\xBCrfen die Software unver\xC3\xA4ndert und vollst\xC3\xA4ndig weitergeben.\r\n";
const char* const kWarranty =
    "3. Die Software wird ohne jede Gew\xC3\xA4hrleistung geliefert. F\xC3\xBCr Sch\xC3\xA4""den, die aus "
    "ihrer Benutzung entstehen, wird keine Haftung \xC3\xBC""bernommen.\r\n";
const char* const kScripts =
    "4. Skripte, die Web-Seiten automatisch abrufen, d\xC3\xBCrfen nur im Rahmen der "
    "Nutzungsbedingungen dieser Seiten eingesetzt werden.\r\n";

std::string Entry(int index)
{
    std::string text = kLicenceStart;
    switch (index) {
    case 0:
        return text + kUse + kCopy + kWarranty;
    case 1:
        return text + kUse + kWarranty + kScripts;
    case 2:
        return text + kUse + kCopy + kWarranty + kScripts;
    case 3: {
        // The full text with its annex runs past what the page loads.
        text += std::string(kUse) + kCopy + kWarranty + kScripts + "\r\nAnhang\r\n";
        for (int n = 1; text.size() < 12000; ++n)
            text += "\r\nA" + std::to_string(n) + ". " + kWarranty;
        return text;
    }
    default:
        return {};
    }
}

}  // namespace

std::string LoadLicenceText(int index)
{
    std::string text = Entry(index);
    if (text.size() > 9999) {
        size_t cut = 9999;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return text;
}

std::vector<std::string> SplitLicenceText(const std::string& text)
{
    std::vector<std::string> lines;
    size_t i = 0, n = text.size();
    while (i < n && text[i] != '\0') {
        size_t start = i;
        while (i < n && static_cast<unsigned char>(text[i]) >= 32)
            ++i;
        std::string run = text.substr(start, i - start);
        do {
            lines.push_back(run.substr(0, 999));
            run.erase(0, std::min<size_t>(999, run.size()));
        } while (!run.empty());
        size_t controls = i;
        while (i < n && text[i] >= 1 && text[i] < 32) {
            if (text[i] == '\r' && i != controls)
                lines.emplace_back();
            ++i;
        }
    }
    return lines;
}

QIcon LoadIcon(int iconId)
{
    if (iconId < 100 || iconId > 105)
        return QIcon();
    static const QColor colours[] = {QColor(0x1f, 0x5f, 0xaf), QColor(0x2e, 0x8b, 0x57), QColor(0xb0, 0x30, 0x30),
                                     QColor(0x80, 0x50, 0xa0), QColor(0xd0, 0x80, 0x10), QColor(0x40, 0x40, 0x40)};
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colours[iconId - 100]);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(2, 2, 28, 28, 6, 6);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(20);
    p.setFont(f);
    p.drawText(pix.rect(), Qt::AlignCenter, "S");
    p.end();
    return QIcon(pix);
}

}  // namespace installer
