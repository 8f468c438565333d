#include "temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace kitemail::test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "kitemail-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    path_ = fs::canonical(pattern);
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path TempDir::Write(const std::string& name, const std::string& bytes) const
{
    const fs::path p = path_ / name;
    std::ofstream out(p, std::ios::binary);
    out << bytes;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + p.string());
    }
    return p;
}

} // namespace kitemail::test
