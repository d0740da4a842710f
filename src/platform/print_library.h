// The optional formatting library: a shared object in the program folder
// whose entry "MyVSPrintf" the format built-in uses when it is there.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Formats with the texts of argv (argc of them) into out (outSize bytes,
// zero-terminated); returns the length of the output or a negative value on
// failure. The same type as VsPrintfFn of the run's settings.
using PrintFormatFn = int (*)(char* out, size_t outSize, const char* format, int argc, const char* const* argv);

inline constexpr const char* kPrintLibraryName = "libprint.so";

// Loads fileName from the folder dir and returns its "MyVSPrintf", or null
// when the folder is not given, or the library or its entry is missing. Only
// that folder is looked in, never the system's library path. A loaded
// library stays loaded for the life of the process.
PrintFormatFn LoadPrintLibrary(const std::string& dir, const std::string& fileName = kPrintLibraryName);

}  // namespace platform
