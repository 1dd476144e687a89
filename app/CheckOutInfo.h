// The start-up guards: one running copy only, and never beside the
// hotel-industry program.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class Dialogs;
class QLocalServer;

class TCheckOutInfo {
public:
    explicit TCheckOutInfo(Dialogs& dialogs) : m_dialogs(dialogs) {}

    // True when another copy runs: that copy is asked to show its window
    // maximised, and this one shows "企业监督检查系统已经运行...". Otherwise
    // this process now holds the single-instance lock "Tavlin" for its life.
    bool IsAlreadyRunning();

    // True when the start must stop: the hotel-industry program runs and the
    // user would not have it ended. On Yes that program is ended and the start
    // goes on.
    bool CheckHotelProgram();

private:
    Dialogs& m_dialogs;
};

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
