#include "RaiseServer.h"

#include "InstanceLock.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

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
                if (socket->readAll().contains("raise")) {
                    handleRequest();
                }
            });
        }
    });
}

void RaiseServer::handleRequest() {
    if (m_raise) {
        m_raise();
        return;
    }
    m_pending = true;
    if (QWidget* open = QApplication::activeModalWidget()) {
        open->raise();
        open->activateWindow();
    }
}

void RaiseServer::setRaise(std::function<void()> raise) {
    m_raise = std::move(raise);
    if (m_pending && m_raise) {
        m_pending = false;
        m_raise();
    }
}

bool RaiseServer::isListening() const {
    return m_server->isListening();
}
