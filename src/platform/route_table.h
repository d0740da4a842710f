// The system's IPv4 route table, as far as the dial-up built-ins ask it:
// whether a default route exists (a LAN or router connection).
#pragma once

#include <string>

namespace platform {

struct RouteLookup {
    bool defaultRoute = false;
    int error = 0;  // errno when the table could not be read
};

// Reads a table in the layout of /proc/net/route: a header line naming the
// columns, then one row per route with hexadecimal fields. A row whose
// destination and mask are both 0 is a default route.
RouteLookup LookUpDefaultRoute(const std::string& path = "/proc/net/route");

// True when the route table holds a default route; an unreadable table
// counts as none.
bool HasLanRoute();

}  // namespace platform
