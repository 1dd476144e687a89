#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// Listens for a later copy's request to show the running copy's window.
// Made as soon as this process holds the single-instance lock, so that a copy
// started while this one is still starting (its hotel question or a
// configuration message open) is answered too: until the window exists, a
// request brings the open message to the front and is kept for the window.
class RaiseServer : public QObject {
    Q_OBJECT
public:
    explicit RaiseServer(QObject* parent = nullptr);
    bool isListening() const;

    // What a request does from now on; a request that came before is
    // carried out now.
    void setRaise(std::function<void()> raise);

    // Where the running copy listens.
    static QString socketPath();

private:
    void handleRequest();

    QLocalServer* m_server = nullptr;
    std::function<void()> m_raise;
    bool m_pending = false;
};
