#include "platform/print_library.h"

#include <dlfcn.h>

namespace platform {

PrintFormatFn LoadPrintLibrary(const std::string& dir, const std::string& fileName)
{
    if (dir.empty() || fileName.empty())
        return nullptr;
    std::string path = dir;
    if (path.back() != '/')
        path += '/';
    path += fileName;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    void* entry = dlsym(library, "MyVSPrintf");
    if (!entry) {
        dlclose(library);
        return nullptr;
    }
    return reinterpret_cast<PrintFormatFn>(entry);
}

}  // namespace platform
