#include "web/entities.h"

#include <string_view>

namespace {

struct Entity {
    std::string_view name;
    char letter;  // Windows-1252
};

constexpr Entity kUmlauts[] = {
    {"&auml;", '\xE4'}, {"&ouml;", '\xF6'}, {"&uuml;", '\xFC'}, {"&Auml;", '\xC4'},
    {"&Ouml;", '\xD6'}, {"&Uuml;", '\xDC'}, {"&szlig;", '\xDF'},
};

bool EndsWith(const std::string& s, std::string_view tail)
{
    return s.size() >= tail.size() && std::string_view(s).substr(s.size() - tail.size()) == tail;
}

}  // namespace

// Replacing each entity again from the start of the text is quadratic; doing
// it when an entity is complete at the end of the output gives the same
// text in one pass. A letter never forms an entity, so the umlauts need no
// second look; "&amp;" gives "&", which may start a further "&amp;" at once,
// and that is caught when its last character arrives.
std::string DecodeEntities(const std::string& text)
{
    std::string letters;
    letters.reserve(text.size());
    for (char c : text) {
        letters += c;
        if (c != ';')
            continue;
        for (const Entity& e : kUmlauts) {
            if (EndsWith(letters, e.name)) {
                letters.resize(letters.size() - e.name.size());
                letters += e.letter;
                break;
            }
        }
    }

    constexpr std::string_view amp = "&amp;";
    std::string out;
    out.reserve(letters.size());
    for (char c : letters) {
        out += c;
        if (c == ';' && EndsWith(out, amp))
            out.resize(out.size() - amp.size() + 1);
    }
    return out;
}
