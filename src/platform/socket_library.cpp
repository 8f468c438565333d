#include "platform/socket_library.h"

#include "platform/text_codec.h"

#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <gnu/libc-version.h>
#endif

namespace kitemail {

SocketLibraryInfo ProbeSocketLibrary()
{
    SocketLibraryInfo info;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    info.usable = fd >= 0;
    if (fd >= 0) {
        ::close(fd);
    }
#if defined(__GLIBC__)
    if (std::sscanf(gnu_get_libc_version(), "%d.%d", &info.major, &info.minor) != 2) {
        info.major = 0;
        info.minor = 0;
    }
#endif
    return info;
}

std::string SocketUsabilityLine(const SocketLibraryInfo& info)
{
    return Sj(info.usable ? "使えます" : "使えません");
}

std::string SocketVersionLine(const SocketLibraryInfo& info)
{
    return "Ver " + std::to_string(info.major) + "." + std::to_string(info.minor);
}

} // namespace kitemail
