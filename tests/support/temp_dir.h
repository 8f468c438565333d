#pragma once
// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.

#include <filesystem>
#include <string>

namespace kitemail::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Canonical, so that paths a program prints can be compared with it.
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // Writes a file in the folder and returns its full path.
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

} // namespace kitemail::test
