#include "platform/route_table.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <vector>

namespace platform {

namespace {

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string f;
    while (in >> f)
        fields.push_back(f);
    return fields;
}

// A hexadecimal field that is all zeros; anything unreadable is not zero.
bool IsZeroHex(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c != '0')
            return false;
    return true;
}

}  // namespace

RouteLookup LookUpDefaultRoute(const std::string& path)
{
    RouteLookup result;
    std::ifstream in(path);
    if (!in) {
        result.error = errno ? errno : ENOENT;
        return result;
    }
    std::string line;
    if (!std::getline(in, line))
        return result;
    // The columns are found by name, so that a kernel that adds or moves one
    // does not make us read the wrong field.
    std::vector<std::string> header = Fields(line);
    size_t dest = header.size(), mask = header.size();
    for (size_t i = 0; i < header.size(); ++i) {
        if (header[i] == "Destination")
            dest = i;
        else if (header[i] == "Mask")
            mask = i;
    }
    if (dest == header.size() || mask == header.size())
        return result;
    while (std::getline(in, line)) {
        std::vector<std::string> row = Fields(line);
        if (row.size() > dest && row.size() > mask && IsZeroHex(row[dest]) && IsZeroHex(row[mask])) {
            result.defaultRoute = true;
            return result;
        }
    }
    if (in.bad())
        result.error = EIO;
    return result;
}

bool HasLanRoute()
{
    return LookUpDefaultRoute().defaultRoute;
}

}  // namespace platform
