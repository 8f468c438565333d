#include "mail/winsock_errors.h"

#include <cerrno>

namespace kitemail::wsa {

std::uint16_t FromErrno(int err) noexcept
{
    switch (err) {
    case 0: return 0;
    case EINTR: return kInterrupted;
    case EBADF: return kNotSocket;
    case EACCES:
    case EPERM: return kAccessDenied;
    case EFAULT: return kFault;
    case EINVAL: return kInvalidArgument;
    case EMFILE:
    case ENFILE: return kTooManyFiles;
    case EAGAIN: return kWouldBlock; // EWOULDBLOCK is the same value on Linux
    case EINPROGRESS: return kInProgress;
    case EALREADY: return kAlready;
    case ENOTSOCK: return kNotSocket;
    case EMSGSIZE: return kMessageSize;
    case EPROTOTYPE: return kProtocolType;
    case ENOPROTOOPT: return kProtocolOption;
    case EPROTONOSUPPORT: return kProtocolSupport;
    case ESOCKTNOSUPPORT: return kSocketSupport;
    case EOPNOTSUPP: return kOperationSupport;
    case EAFNOSUPPORT: return kFamilySupport;
    case EADDRINUSE: return kAddressInUse;
    case EADDRNOTAVAIL: return kAddressNotAvailable;
    case ENETDOWN: return kNetworkDown;
    case ENETUNREACH: return kNetworkUnreachable;
    case ENETRESET: return kNetworkReset;
    case ECONNABORTED: return kConnectionAborted;
    // Writing to a connection the peer has dropped: Windows reports a reset.
    case EPIPE:
    case ECONNRESET: return kConnectionReset;
    case ENOBUFS:
    case ENOMEM: return kNoBuffers;
    case EISCONN: return kIsConnected;
    case ENOTCONN: return kNotConnected;
    case ESHUTDOWN: return kShutdown;
    case ETIMEDOUT: return kTimedOut;
    case ECONNREFUSED: return kConnectionRefused;
    case ENAMETOOLONG: return kNameTooLong;
    case EHOSTDOWN: return kHostDown;
    case EHOSTUNREACH: return kHostUnreachable;
    default: return kBaseError; // no Windows counterpart: "Unknown Error"
    }
}

} // namespace kitemail::wsa
