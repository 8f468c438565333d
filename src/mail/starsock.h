#pragma once
// One TCP client connection driven entirely by the event loop: host lookup,
// non-blocking connect, send, receive and close, each notification handed to
// a hook the subclass sets. It makes no protocol decisions. Every failure
// leaves a Windows Sockets error number in SocketError and returns normally.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QObject;
class QSocketNotifier;

namespace kitemail {

class LoopTimer;

class TStarSocket {
public:
    using Hook = std::function<void()>;

    // The first number above the layer's own notifications; SendMail posts
    // this one to itself to signal the completion of a request.
    static constexpr int kUserMessageBase = 0x402;

    TStarSocket();
    virtual ~TStarSocket();
    TStarSocket(const TStarSocket&) = delete;
    TStarSocket& operator=(const TStarSocket&) = delete;

    // Hooks, called only when assigned.
    Hook OnSocketLookup;
    Hook OnSocketConnect;
    Hook OnSocketClose;
    Hook OnSocketTimeout;
    Hook OnSocketRead;
    Hook OnSocketWrite;
    Hook OnSocketAccept;
    std::function<void(int message)> OnUserMessage;

    // Connect and lookup time-outs in whole seconds; 0 means none.
    std::int32_t TimeoutConnect = 0;
    std::int32_t TimeoutArp = 0;

    std::string ServerAddressText;
    std::string ServerHostName;
    // The pending Windows Sockets error number, 0 = none.
    std::uint16_t SocketError = 0;

    std::string WinsockDescription;
    std::string WinsockStatus;
    int WinsockMaxSockets = 0;

    // There is no library to load on this platform; these keep the started
    // state the component publishes.
    bool LoadWinsock(std::string_view libraryName = {});
    bool StartWinsock();
    void StopWinsock();
    void UnloadWinsock();
    [[nodiscard]] bool IsWinsockStarted() const noexcept { return winsockStarted_; }

    void CreateSocket();
    // A dotted-decimal IPv4 address; an invalid text leaves an address that
    // no connect can reach (as the original inet_addr result did).
    void SetAddress(std::string_view dotted);
    void SetPort(std::uint16_t port);
    void SetAddressFromLookup();
    [[nodiscard]] std::string AddressText() const;

    // Starts an asynchronous lookup unless one is pending; LookupDone follows.
    void LookupHost(std::string_view name);
    virtual void LookupDone();

    void ConnectSocket();
    // One non-blocking send or receive; 0 when nothing moved (would block,
    // end of stream, or an error left in SocketError).
    [[nodiscard]] std::size_t SendData(const char* buffer, std::size_t count);
    [[nodiscard]] std::size_t ReceiveData(char* buffer, std::size_t size);
    void CloseSocket();
    [[nodiscard]] std::string LocalHostName();
    void StartTimer(std::int32_t seconds);

    // Posts message (kUserMessageBase or above) to OnUserMessage on a later
    // turn of the event loop.
    void PostUserMessage(int message);

    // Handles events until the socket can take more data (or maxWait
    // passed): the send loops call it after a send that would block.
    void WaitWritable(std::chrono::milliseconds maxWait);

    // False when the peer has closed or reset an open connection whose close
    // notification has not been handled yet.
    [[nodiscard]] bool PeerStillOpen();

    [[nodiscard]] bool Connected() const noexcept { return connected_; }
    [[nodiscard]] bool HasSocket() const noexcept { return fd_ >= 0; }
    [[nodiscard]] bool LookupPending() const noexcept { return lookupContext_ != nullptr; }
    [[nodiscard]] bool TimerRunning() const;
    [[nodiscard]] std::int32_t Countdown() const noexcept { return countdown_; }
    [[nodiscard]] std::uint32_t ResolvedAddress() const noexcept { return resolvedAddress_; }

protected:
    // Owner of everything the event loop delivers to this object; calls
    // posted through it die with the object.
    [[nodiscard]] QObject* Context() const noexcept { return context_.get(); }

private:
    void KillTimer();
    void TimerTick();
    void OnReadable();
    void OnWritable();
    void HandleConnectResult(int err);
    void HandleClose(std::uint16_t error);
    void DropNotifiers();
    void EnableRead();

    std::unique_ptr<QObject> context_;
    std::unique_ptr<LoopTimer> timer_;
    int fd_ = -1;
    bool connected_ = false;
    bool connecting_ = false;
    bool winsockLoaded_ = false;
    bool winsockStarted_ = false;
    std::uint32_t peerAddress_ = 0; // network byte order
    std::uint16_t peerPort_ = 0;    // network byte order
    std::uint32_t resolvedAddress_ = 0;
    std::int32_t countdown_ = 0;
    QObject* lookupContext_ = nullptr; // deleting it cancels the lookup
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
};

} // namespace kitemail
