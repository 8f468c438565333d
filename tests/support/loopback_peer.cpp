#include "loopback_peer.h"

#include "platform/event_loop.h"
#include "qt_app.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace kitemail::test {

LoopbackPeer::LoopbackPeer()
{
    EnsureCoreApplication();
    context_ = std::make_unique<QObject>();
    server_ = new QTcpServer(context_.get());
    if (!server_->listen(QHostAddress::LocalHost, 0)) {
        throw std::runtime_error("loopback peer cannot listen");
    }
    QObject::connect(server_, &QTcpServer::newConnection, context_.get(), [this] { Accept(); });
}

LoopbackPeer::~LoopbackPeer() = default;

std::uint16_t LoopbackPeer::Port() const
{
    return server_->serverPort();
}

void LoopbackPeer::Accept()
{
    while (QTcpSocket* next = server_->nextPendingConnection()) {
        if (socket_ != nullptr) {
            socket_->disconnect(context_.get());
        }
        socket_ = next;
        ++connections_;
        clientClosed_ = false;
        received_.clear();
        pending_.clear();
        lines_.clear();
        QObject::connect(socket_, &QTcpSocket::readyRead, context_.get(), [this] { Read(); });
        QObject::connect(socket_, &QTcpSocket::disconnected, context_.get(), [this] { clientClosed_ = true; });
        if (onConnected) {
            onConnected(*this);
        }
    }
}

void LoopbackPeer::Read()
{
    if (socket_ == nullptr) {
        return;
    }
    const QByteArray got = socket_->readAll();
    received_.append(got.constData(), static_cast<std::size_t>(got.size()));
    pending_.append(got.constData(), static_cast<std::size_t>(got.size()));
    for (std::size_t end = pending_.find("\r\n"); end != std::string::npos; end = pending_.find("\r\n")) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 2);
        lines_.push_back(line);
        if (onLine) {
            onLine(*this, line);
        }
        if (socket_ == nullptr) {
            return;
        }
    }
}

void LoopbackPeer::Send(std::string_view bytes)
{
    if (socket_ != nullptr) {
        socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
        socket_->flush();
    }
}

void LoopbackPeer::CloseConnection()
{
    if (socket_ != nullptr) {
        socket_->disconnect(context_.get());
        socket_->close();
        socket_->deleteLater();
        socket_ = nullptr;
    }
}

void LoopbackPeer::StopListening()
{
    server_->close();
}

bool LoopbackPeer::WaitConnections(int count, std::chrono::milliseconds timeout)
{
    return WaitUntil([&] { return connections_ >= count; }, timeout);
}

bool LoopbackPeer::WaitReceived(std::string_view needle, std::chrono::milliseconds timeout)
{
    return WaitUntil([&] { return received_.find(needle) != std::string::npos; }, timeout);
}

bool LoopbackPeer::WaitClientClosed(std::chrono::milliseconds timeout)
{
    return WaitUntil([&] { return clientClosed_; }, timeout);
}

} // namespace kitemail::test
