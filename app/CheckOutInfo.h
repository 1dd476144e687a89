// The start-up guards: one running copy only, and never beside the
// hotel-industry program.
#pragma once

#include <QByteArray>

#include <utility>

class Dialogs;

class TCheckOutInfo {
public:
    // activationToken: what the desktop gave this process to bring a window
    // to the front (see LaunchToken), handed on to a running copy.
    explicit TCheckOutInfo(Dialogs& dialogs, QByteArray activationToken = {})
        : m_dialogs(dialogs), m_activationToken(std::move(activationToken)) {}

    // True when another copy runs: that copy is asked to show its window
    // maximised, with this process's activation token, and this one shows
    // "企业监督检查系统已经运行...". Otherwise this process now holds the
    // single-instance lock "Tavlin" for its life.
    bool IsAlreadyRunning();

    // The token the launcher gave this process to bring its window to the
    // front: XDG_ACTIVATION_TOKEN (Wayland), else DESKTOP_STARTUP_ID (X11).
    // Read before the application object exists, which takes the latter.
    static QByteArray LaunchToken();

    // True when the start must stop: the hotel-industry program runs and the
    // user would not have it ended. On Yes that program is ended and the start
    // goes on.
    bool CheckHotelProgram();

private:
    Dialogs& m_dialogs;
    QByteArray m_activationToken;
};
