#include "fake_socket.h"

namespace kitemail::test {

void FakeSocket::ConnectTo(std::string_view h, std::uint16_t p, std::chrono::milliseconds d)
{
    CloseSocket();
    closedByClient = false;
    tlsFromConnect_ = false;
    host = std::string(h);
    port = p;
    deadline = d;
    ++connects;
    attempting_ = true;
}

void FakeSocket::ConnectEncryptedTo(std::string_view h, std::uint16_t p, std::chrono::milliseconds d,
                                    const TlsOptions&)
{
    ConnectTo(h, p, d);
    tlsFromConnect_ = true;
}

void FakeSocket::StartTls(const TlsOptions&)
{
    written += "<TLS>";
}

void FakeSocket::CompleteTls()
{
    encrypted_ = true;
    Fire(OnSocketEncrypted);
}

void FakeSocket::RefuseTls(const TlsFailure& failure)
{
    attempting_ = connected_ = false;
    if (OnSocketTlsError) {
        OnSocketTlsError(failure);
    }
}

void FakeSocket::SendData(std::string_view bytes)
{
    if (connected_ || attempting_) {
        written.append(bytes);
        queued_ += holding_ ? bytes.size() : 0;
    }
}

std::string FakeSocket::ReceiveData(std::size_t max)
{
    std::string out = incoming_.substr(0, max);
    incoming_.erase(0, out.size());
    return out;
}

void FakeSocket::CloseSocket()
{
    closedByClient = closedByClient || connected_ || attempting_;
    attempting_ = connected_ = encrypted_ = false;
    queued_ = 0;
    incoming_.clear();
}

void FakeSocket::Accept(std::string address)
{
    address_ = std::move(address);
    if (!IsAddressLiteral(host)) {
        Fire(OnSocketLookup);
    }
    if (!attempting_) {
        return; // closed meanwhile
    }
    attempting_ = false;
    connected_ = true;
    encrypted_ = tlsFromConnect_;
    Fire(OnSocketConnect);
}

void FakeSocket::Deliver(std::string_view bytes)
{
    incoming_.append(bytes);
    Fire(OnSocketRead);
}

void FakeSocket::CloseFromServer()
{
    if (!connected_) {
        return;
    }
    if (!incoming_.empty()) {
        Fire(OnSocketRead);
    }
    connected_ = false;
    incoming_.clear();
    Fire(OnSocketClose);
}

void FakeSocket::FailWith(std::uint16_t wsaError)
{
    attempting_ = connected_ = false;
    if (OnSocketError) {
        OnSocketError(wsaError);
    }
}

void FakeSocket::ConnectDeadlinePassed()
{
    attempting_ = connected_ = false;
    Fire(OnSocketTimeout);
}

void FakeSocket::Drain(std::size_t bytes)
{
    queued_ -= std::min(bytes, queued_);
    Fire(OnSocketWrite);
}

} // namespace kitemail::test
