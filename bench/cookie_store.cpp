// The shared cookie store against a site that sets a new cookie name on
// every reply, for bench/cookie_store.sh:
//   bench_cookie_store NAMES FETCHES
// first stores NAMES names for the site, then times FETCHES fetches, each
// copying the run's 150 cookies into the store as a fetch does, one of them
// new; prints the microseconds per fetch.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "web/system_store.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const long names = std::atol(argv[1]);
    const long fetches = std::atol(argv[2]);
    SystemStore& store = SystemStore::Instance();
    const std::string url = "http://flut.test/seite.html";
    std::deque<std::string> run;  // the run's own store keeps the newest 150
    long next = 0;
    auto reply = [&] {
        run.push_back("n" + std::to_string(next++) + "=wert");
        if (run.size() > 150)
            run.pop_front();
        for (const std::string& c : run)
            store.SetCookie(url, "", c);
    };
    while (next < names)
        reply();
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < fetches; ++i)
        reply();
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    SystemStore::Entry e;
    store.Find("Cookie:flut.test/", e);
    std::printf("%.2f %zu\n", us / double(fetches), e.cookies.size());
    return 0;
}
