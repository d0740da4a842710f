// File helpers of the tests, for the GoogleTest and the Qt tests alike.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// The whole file as bytes; "" when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
