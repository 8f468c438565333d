#include "platform/file_io.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kitemail {

bool ReadAllFrom(int fd, std::string& data)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
}

bool WriteAllTo(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::string& reason)
{
    reason.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            reason = std::string("open: ") + std::strerror(errno);
        }
        return std::nullopt;
    }
    std::string data;
    const bool ok = ReadAllFrom(fd, data);
    const int err = errno;
    ::close(fd);
    if (!ok) {
        reason = std::string("read: ") + std::strerror(err);
        return std::nullopt;
    }
    return data;
}

std::optional<std::int32_t> ParseDecimal(std::string_view text)
{
    std::int32_t value = 0;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, value, 10);
    if (text.empty() || ec != std::errc() || ptr != last) {
        return std::nullopt;
    }
    return value;
}

} // namespace kitemail
