#include "platform/lazy_library.h"

#include <dlfcn.h>

namespace platform {

void* LazyLibrary::lookUp(const char* name) const
{
    std::call_once(opened_, [this] { handle_ = dlopen(soname_, RTLD_NOW | RTLD_LOCAL); });
    // dlsym on the handle searches the library's own dependencies too.
    return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace platform
