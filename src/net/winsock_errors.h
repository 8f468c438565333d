#pragma once
// Socket errors are reported by their Windows Sockets numbers, since every
// text the user sees (and the history records) is keyed on them. The socket
// layer maps what the system reports onto the nearest of these.

#include <cstdint>

namespace kitemail::wsa {

inline constexpr std::uint16_t kBaseError = 10000;
inline constexpr std::uint16_t kInterrupted = 10004;        // WSAEINTR
inline constexpr std::uint16_t kAccessDenied = 10013;       // WSAEACCES
inline constexpr std::uint16_t kFault = 10014;              // WSAEFAULT
inline constexpr std::uint16_t kInvalidArgument = 10022;    // WSAEINVAL
inline constexpr std::uint16_t kTooManyFiles = 10024;       // WSAEMFILE
inline constexpr std::uint16_t kInProgress = 10036;         // WSAEINPROGRESS
inline constexpr std::uint16_t kNotSocket = 10038;          // WSAENOTSOCK
inline constexpr std::uint16_t kMessageSize = 10040;        // WSAEMSGSIZE
inline constexpr std::uint16_t kOperationSupport = 10045;   // WSAEOPNOTSUPP
inline constexpr std::uint16_t kFamilySupport = 10047;      // WSAEAFNOSUPPORT
inline constexpr std::uint16_t kAddressInUse = 10048;       // WSAEADDRINUSE
inline constexpr std::uint16_t kAddressNotAvailable = 10049; // WSAEADDRNOTAVAIL
inline constexpr std::uint16_t kNetworkDown = 10050;        // WSAENETDOWN
inline constexpr std::uint16_t kNetworkUnreachable = 10051; // WSAENETUNREACH
inline constexpr std::uint16_t kNetworkReset = 10052;       // WSAENETRESET
inline constexpr std::uint16_t kConnectionAborted = 10053;  // WSAECONNABORTED
inline constexpr std::uint16_t kConnectionReset = 10054;    // WSAECONNRESET
inline constexpr std::uint16_t kNoBuffers = 10055;          // WSAENOBUFS
inline constexpr std::uint16_t kIsConnected = 10056;        // WSAEISCONN
inline constexpr std::uint16_t kNotConnected = 10057;       // WSAENOTCONN
inline constexpr std::uint16_t kShutdown = 10058;           // WSAESHUTDOWN
inline constexpr std::uint16_t kTimedOut = 10060;           // WSAETIMEDOUT
inline constexpr std::uint16_t kConnectionRefused = 10061;  // WSAECONNREFUSED
inline constexpr std::uint16_t kHostUnreachable = 10065;    // WSAEHOSTUNREACH
inline constexpr std::uint16_t kNotInitialised = 10093;     // WSANOTINITIALISED
inline constexpr std::uint16_t kHostNotFound = 11001;       // WSAHOST_NOT_FOUND
inline constexpr std::uint16_t kTryAgain = 11002;           // WSATRY_AGAIN
inline constexpr std::uint16_t kNoRecovery = 11003;         // WSANO_RECOVERY
inline constexpr std::uint16_t kNoData = 11004;             // WSANO_DATA

} // namespace kitemail::wsa
