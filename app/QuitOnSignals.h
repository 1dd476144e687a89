// Ends Tavlin the normal way on SIGTERM, SIGINT or SIGHUP (the session ends,
// the service manager stops it, Ctrl+C in a terminal), as closing its window
// does: the event loops end, main returns, and what the run made for itself
// (its private photo folder, its lock) goes with it.
#pragma once

#include <QObject>

class QSocketNotifier;

class QuitOnSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignals(QObject* parent = nullptr);
    ~QuitOnSignals() override;

private:
    // The signal handler only writes one byte into this pair; the window's
    // thread reads it and ends the event loops.
    static int s_pipe[2];
    static void handle(int signal);
    QSocketNotifier* m_notifier = nullptr;
};
