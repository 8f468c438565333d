#pragma once
// Whole files as bytes, for tests that check what lands on disk.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace kitemail::test {

inline std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace kitemail::test
