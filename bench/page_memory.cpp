// The page analysis of a page of many links, for bench/page_memory.sh, which
// measures its memory and time beside libxml2's own parse of the page:
//   bench_page_memory make FILE LINKS   writes the page
//   bench_page_memory nest FILE BYTES   writes a page of that size that is
//                                       nothing but nested opening tags
//   bench_page_memory latenest FILE BYTES the same behind a DOCTYPE that
//                                       follows content
//   bench_page_memory analyse FILE      reads it and analyses it as the fetch
//                                       does, printing the links found

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "interpreter/null_host.h"
#include "interpreter/skript.h"

namespace {

std::string ReadAll(const char* path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string text(size_t(in.tellg()), '\0');
    in.seekg(0);
    in.read(text.data(), std::streamsize(text.size()));
    return text;
}

// Links as a generated index page holds them: one per line, each with an
// address of its own and a short text.
bool MakePage(const char* path, long links)
{
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fputs("<html><head><title>Index</title></head><body>\n", f);
    for (long i = 0; i < links; ++i)
        std::fprintf(f, "<a href=\"/archiv/seite%ld.html\">Seite %ld</a><br>\n", i, i);
    std::fputs("</body></html>\n", f);
    return std::fclose(f) == 0;
}

// The shape that costs the most per byte: every tag opens one level more.
bool MakeNestedPage(const char* path, long bytes, bool lateDoctype)
{
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fputs(lateDoctype ? "<p>x</p><!DOCTYPE html><body>" : "<html><body>", f);
    for (long i = 0; i < bytes / 3; ++i)
        std::fputs(i % 2 ? "<b>" : "<i>", f);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "make") == 0)
        return MakePage(argv[2], std::atol(argv[3])) ? 0 : 1;
    if (argc == 4 && (std::strcmp(argv[1], "nest") == 0 || std::strcmp(argv[1], "latenest") == 0))
        return MakeNestedPage(argv[2], std::atol(argv[3]), argv[1][0] == 'l') ? 0 : 1;
    if (argc != 3 || std::strcmp(argv[1], "analyse") != 0)
        return 2;
    const std::string page = ReadAll(argv[2]);
    NullHost host;
    std::vector<std::string> lines;
    Skript run(true, host, &lines);
    run.forms = std::make_unique<Formulare>();
    if (!run.analysePage(page, "http://h.test/"))
        return 1;
    std::printf("%zu links\n", run.links.size());
    return 0;
}
