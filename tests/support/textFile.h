#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A file's bytes as they are on disk, and a file written from bytes: no line-end translation, so
// tests see exactly what a save left behind.
inline std::string ReadText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteText(const std::filesystem::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}
