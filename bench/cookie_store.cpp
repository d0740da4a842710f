// The cookie stores of a run and of the program against many hosts, for
// bench/cookie_store.sh:
//   bench_cookie_store HOSTS FETCHES SIZE
// first fetches from HOSTS host names, each setting one cookie of SIZE
// bytes, then times FETCHES fetches from further new hosts as a fetch does
// them: the request's Cookie header, the reply's Set-Cookie, the copy into
// the shared store. Prints the microseconds per fetch, the cookies the
// shared store keeps and their bytes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "web/cookies.h"
#include "web/system_store.h"

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const long hosts = std::atol(argv[1]);
    const long fetches = std::atol(argv[2]);
    const std::string value(std::size_t(std::atol(argv[3])), 'x');
    CookieStore run;
    SystemStore& shared = SystemStore::Instance();
    long next = 0;
    std::size_t sent = 0;
    auto fetch = [&] {
        const std::string url = "http://h" + std::to_string(next++) + ".test/seite.html";
        sent += run.CookieHeader(url).size();
        run.SetCookie(url, "sid=" + value + "; Path=/");
        run.CopyChanges(shared);
    };
    while (next < hosts)
        fetch();
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < fetches; ++i)
        fetch();
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    std::size_t bytes = 0;
    const std::vector<Cookie> kept = shared.Cookies();
    for (const Cookie& c : kept)
        bytes += c.name.size() + c.value.size();
    // Each host sets its cookie after its only request: nothing goes out.
    if (sent != 0)
        return 1;
    std::printf("%.2f %zu %zu\n", us / double(fetches), kept.size(), bytes);
    return 0;
}
