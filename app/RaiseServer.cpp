#include "RaiseServer.h"

#include "InstanceLock.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

constexpr char kRequestWord[] = "raise";
constexpr qsizetype kLongestToken = 255;
// A request is one short line; anything longer is not one.
constexpr qsizetype kLongestRequest = 512;

bool IsCarriableToken(const QByteArray& token) {
    return !token.isEmpty() && token.size() <= kLongestToken &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

} // namespace

QByteArray RaiseServer::Request(const QByteArray& token) {
    QByteArray line(kRequestWord);
    if (IsCarriableToken(token)) {
        line += ' ' + token;
    }
    return line + '\n';
}

std::optional<QByteArray> RaiseServer::TokenOfRequest(const QByteArray& line) {
    const QByteArray request = line.trimmed();
    if (request == kRequestWord) {
        return QByteArray();
    }
    if (!request.startsWith(QByteArray(kRequestWord) + ' ')) {
        return std::nullopt;
    }
    const QByteArray token = request.mid(static_cast<qsizetype>(sizeof kRequestWord)).trimmed();
    return IsCarriableToken(token) ? token : QByteArray();
}

QString RaiseServer::socketPath() {
    return QString::fromStdString(InstanceLock::RuntimeFolder()) + QStringLiteral("/Tavlin.socket");
}

RaiseServer::RaiseServer(QObject* parent) : QObject(parent), m_server(new QLocalServer(this)) {
    // A socket left by a copy that crashed is stale: this process holds the lock now.
    QLocalServer::removeServer(socketPath());
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(socketPath());
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // One line per connection; what does not fit is no request.
                if (!socket->canReadLine() && socket->bytesAvailable() < kLongestRequest) {
                    return;
                }
                const QByteArray line = socket->readLine(kLongestRequest);
                socket->disconnectFromServer();
                if (const std::optional<QByteArray> token = TokenOfRequest(line)) {
                    handleRequest(*token);
                }
            });
        }
    });
}

void RaiseServer::handleRequest(const QByteArray& token) {
    if (m_raise) {
        m_raise(token);
        return;
    }
    m_pending = token;
    if (QWidget* open = QApplication::activeModalWidget()) {
        open->raise();
        open->activateWindow();
    }
}

void RaiseServer::setRaise(std::function<void(const QByteArray& token)> raise) {
    m_raise = std::move(raise);
    if (m_pending && m_raise) {
        m_raise(*std::exchange(m_pending, std::nullopt));
    }
}

bool RaiseServer::isListening() const {
    return m_server->isListening();
}
