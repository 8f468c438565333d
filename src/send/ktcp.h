#pragma once
// A small family of TCP client components that never block the thread: the
// host name is looked up asynchronously, the connect is non-blocking, output
// goes through a send queue, and every network event comes back through the
// event loop as one "socket message" (a handle, an event code and an error
// number in the Windows Sockets layout) that the component turns into an
// event. Failures are reported only through OnError with a TKWinSockError.
//
// Events are called only when assigned. A handler may set properties of the
// component (close it, send more), but must not destroy it.

#include "send/ktcp_error.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QObject;
class QSocketNotifier;

namespace kitemail {

using TKErrorEvent = std::function<void(const TKError& e)>;
using TKNotifyEvent = std::function<void()>;
// An IPv4 address in network byte order, as in_addr holds it.
using TKIpFindEvent = std::function<void(std::uint32_t ip)>;

enum class TKTcpRecvMode { ktrmBinary = 0, ktrmText = 1 };

// Event codes of a socket message (the asynchronous-select bits).
inline constexpr int kFdRead = 1;
inline constexpr int kFdWrite = 2;
inline constexpr int kFdConnect = 16;
inline constexpr int kFdClose = 32;

// "No address": what a failed dotted-address parse gives.
inline constexpr std::uint32_t kNoIpAddress = 0xFFFFFFFFu;

// One asynchronous lookup at a time.
class TKAsyncFinder {
public:
    TKAsyncFinder();
    virtual ~TKAsyncFinder();
    TKAsyncFinder(const TKAsyncFinder&) = delete;
    TKAsyncFinder& operator=(const TKAsyncFinder&) = delete;

    TKErrorEvent OnError;

    [[nodiscard]] bool Busy() const noexcept { return busy_; }
    // Drops the pending lookup, if any; its answer never arrives.
    virtual void Cancel();

protected:
    // Starts looking name up; DoFound or DoError follows from the loop.
    void StartLookup(std::string_view name);
    virtual void DoError(std::int32_t code);
    // The IPv4 addresses of the host entry, in network byte order, in the
    // resolver's order; never empty.
    virtual void DoFound(const std::vector<std::uint32_t>& addresses) = 0;
    void SetBusy(bool busy) noexcept { busy_ = busy; }

private:
    std::unique_ptr<QObject> window_;
    QObject* request_ = nullptr; // owns the pending lookup's answer
    int requestId_ = -1;
    bool busy_ = false;
};

// Finds the IPv4 address of a host name.
class TKIpFinder : public TKAsyncFinder {
public:
    TKIpFindEvent OnFind;

    // A dotted address is taken at once: OnFind is raised before Find
    // returns. Any other name is looked up in the background.
    void Find(std::string_view name);
    [[nodiscard]] std::uint32_t Address() const noexcept { return address_; }

protected:
    void DoFound(const std::vector<std::uint32_t>& addresses) override;

private:
    void Found(std::uint32_t address);

    std::uint32_t address_ = kNoIpAddress;
};

// Owns one stream socket and delivers its notifications as socket messages.
class TKStreamSock {
public:
    TKStreamSock();
    virtual ~TKStreamSock();
    TKStreamSock(const TKStreamSock&) = delete;
    TKStreamSock& operator=(const TKStreamSock&) = delete;

    TKErrorEvent OnError;

    // The socket, created on first use; -1 when it cannot be created (the
    // failure then went to OnError).
    [[nodiscard]] int SocketHandle();
    // Takes s as the socket, closing the one held before.
    void SetSocketHandle(int s);
    virtual void Close();

protected:
    struct SocketMessage {
        int event;          // kFdRead, kFdWrite, kFdConnect or kFdClose
        std::int32_t error; // Windows Sockets number, 0 = none
    };

    [[nodiscard]] bool HasSocket() const noexcept { return handle_ >= 0; }
    [[nodiscard]] int Handle() const noexcept { return handle_; }

    virtual void WndProc(const SocketMessage& message);
    virtual void DoError(std::int32_t code);

    // Asks for read, write, connect and close notifications on the socket.
    [[nodiscard]] bool AsyncSelect();
    // A connect is under way: the next writable state is its outcome.
    void ExpectConnect();
    // The connect has ended, well or not: stop taking writability as its
    // outcome, and start watching for data when it stood.
    void SettleConnect(bool connected);
    // A send would block: the next writable state is a write event.
    void WantWrite();
    // Posts a message about the current socket to this component; it is
    // dropped when the socket has been closed or replaced meanwhile.
    void PostSocketMessage(int event, std::int32_t error = 0);
    // Closes the socket without waiting for anything.
    void CloseHandle();

private:
    void OnReadable();
    void OnWritable();
    void DropNotifiers();
    void Dispatch(std::uint64_t serial, const SocketMessage& message);

    std::unique_ptr<QObject> window_;
    int handle_ = -1;
    // Changes with every socket taken or closed, so that messages meant for
    // an earlier socket are recognised and dropped.
    std::uint64_t serial_ = 0;
    bool connecting_ = false;
    bool closeSeen_ = false;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
};

// Adds a send queue and a receive buffer.
class TKStreamTranciverSocket : public TKStreamSock {
public:
    TKStreamTranciverSocket();
    ~TKStreamTranciverSocket() override;

    TKNotifyEvent OnSendEmpty;
    TKNotifyEvent OnRcvReady;
    TKNotifyEvent OnDisconnect;

    [[nodiscard]] TKTcpRecvMode RecvMode() const noexcept { return recvMode_; }
    void SetRecvMode(TKTcpRecvMode mode);

    // Queue bytes for sending; returns at once.
    void SendBuf(const char* data, std::ptrdiff_t count);
    void SendText(std::string_view text);
    // Binary mode: everything received so far. Text mode: the next line with
    // its CR LF, or nothing while no whole line is buffered.
    [[nodiscard]] std::string ReceiveText();
    // One receive straight from the socket; the byte count, 0 when nothing
    // came or on failure.
    [[nodiscard]] std::ptrdiff_t RecvBuf(char* buffer, std::ptrdiff_t count);

    // Graceful close once the queue has gone out.
    void Shutdown();
    // Makes the next close reset the connection and drops the queue.
    void ResetConnection();
    void Close() override;

    [[nodiscard]] std::size_t QueuedBytes() const noexcept;
    [[nodiscard]] bool Closing() const noexcept { return closing_; }

protected:
    void WndProc(const SocketMessage& message) override;
    virtual void DoWrite(std::int32_t error);
    virtual void DoRead(std::int32_t error);
    virtual void DoClose(std::int32_t error);
    void FreeQueue() noexcept;

private:
    struct SendBuffer {
        std::string bytes;
        std::size_t next = 0; // first byte not yet sent
        [[nodiscard]] std::size_t Left() const noexcept { return bytes.size() - next; }
    };
    void SetLinger(bool on);

    std::deque<SendBuffer> queue_;
    TKTcpRecvMode recvMode_ = TKTcpRecvMode::ktrmBinary;
    bool closing_ = false;
    bool writeFailed_ = false;
    std::string received_;
};

// A client connection to one server.
class TKTcpClient : public TKStreamTranciverSocket {
public:
    TKTcpClient();
    ~TKTcpClient() override;

    TKNotifyEvent OnConnect;

    [[nodiscard]] const std::string& ServerName() const noexcept { return serverName_; }
    // A new name is looked up at once, active or not; the same name again
    // keeps the address found before.
    void SetServerName(std::string_view name);
    [[nodiscard]] std::uint16_t Port() const noexcept { return port_; }
    void SetPort(std::uint16_t port);
    [[nodiscard]] bool Active() const noexcept { return active_; }
    // true connects (after the lookup, when one is pending); false closes.
    void SetActive(bool active);
    [[nodiscard]] bool Connected() const noexcept { return connected_; }
    // The server's address in network byte order; kNoIpAddress when none.
    [[nodiscard]] std::uint32_t ServerAddress() const noexcept { return address_; }
    [[nodiscard]] bool LookupPending() const noexcept { return finder_.Busy(); }

    void Close() override;

protected:
    void WndProc(const SocketMessage& message) override;
    void DoWrite(std::int32_t error) override;
    void DoClose(std::int32_t error) override;
    virtual void DoConnect(std::int32_t error);

private:
    void Connect();

    TKIpFinder finder_;
    std::string serverName_;
    std::uint16_t port_ = 0;
    bool active_ = false;
    bool connected_ = false;
    std::uint32_t address_ = kNoIpAddress;
};

} // namespace kitemail
