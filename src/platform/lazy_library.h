// A shared library opened at the first look-up of one of its functions
// rather than when the program starts, for libraries whose loading costs
// more than most runs that never call them.
#pragma once

#include <mutex>

namespace platform {

class LazyLibrary {
public:
    // soname: the name the dynamic linker knows, e.g. "libcurl.so.4".
    explicit constexpr LazyLibrary(const char* soname) : soname_(soname) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // The library's function of that name, or null when the library cannot
    // be opened or lacks it.
    template <class F>
    F function(const char* name) const
    {
        return reinterpret_cast<F>(lookUp(name));
    }

private:
    void* lookUp(const char* name) const;

    const char* soname_;
    mutable std::once_flag opened_;
    mutable void* handle_ = nullptr;
};

}  // namespace platform
