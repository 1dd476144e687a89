#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;

// Listens for a later copy's request to show the running copy's window.
// Made as soon as this process holds the single-instance lock, so that a copy
// started while this one is still starting (its hotel question or a
// configuration message open) is answered too: until the window exists, a
// request brings the open message to the front and is kept for the window.
//
// A request carries the activation token the desktop gave the later copy
// (XDG_ACTIVATION_TOKEN on Wayland, DESKTOP_STARTUP_ID on X11), if any: a
// Wayland compositor raises a window only with such a token.
class RaiseServer : public QObject {
    Q_OBJECT
public:
    explicit RaiseServer(QObject* parent = nullptr);
    bool isListening() const;

    // What a request does from now on, given the request's token (empty
    // without one); a request that came before is carried out now.
    void setRaise(std::function<void(const QByteArray& token)> raise);

    // Where the running copy listens.
    static QString socketPath();

    // The request line a later copy sends, with its token if it is one a
    // request can carry (1 to 255 bytes of printable ASCII, no spaces).
    static QByteArray Request(const QByteArray& token);
    // The token of a request line ("raise" or "raise <token>"), empty when it
    // carries none or one it cannot; nothing when the line is no request.
    static std::optional<QByteArray> TokenOfRequest(const QByteArray& line);

private:
    void handleRequest(const QByteArray& token);

    QLocalServer* m_server = nullptr;
    std::function<void(const QByteArray& token)> m_raise;
    // The token of a request that came before setRaise.
    std::optional<QByteArray> m_pending;
};
