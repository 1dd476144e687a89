// The start-up guards: one running copy only, and never beside the
// hotel-industry program.
#pragma once

class Dialogs;

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
