// Watches that the page's renderer still answers: now and then it is asked a
// trivial script, and one left unanswered too long means a page that never
// yields (a script in an endless loop). Its render process is then ended, so
// that the page is handled as failed and the officer gets the retry link.
//
// The watchdog rests while nothing happens: it watches for a while after each
// reason to (a load, an operation of the shell's on the page, input of the
// officer's), and a page that stops answering meanwhile is found as soon as
// the officer uses it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QWebEnginePage;

class RendererWatchdog : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 1000;
    // How long a page may leave a script unanswered (10 s; tests make it shorter).
    static constexpr int kHangTimeoutMs = 10000;
    // How long the watchdog goes on after the last reason to watch (30 s).
    static constexpr int kWatchWindowMs = 30000;

    // mayAsk tells whether the page can answer now: not while it loads (its
    // time limit watches it) nor while a page dialog waits for the officer.
    RendererWatchdog(QWebEnginePage& page, std::function<bool()> mayAsk, QObject* parent = nullptr);

    void watchForAWhile();
    // A new document is shown: it is asked afresh.
    void forgetQuestion() { m_asked = false; }
    // True once after the watchdog ended the render process.
    bool takeEndedForHang();

    void setHangTimeout(int milliseconds);
    int hangTimeoutMs() const { return m_hangTimeoutMs; }
    void setWatchWindow(int milliseconds) { m_watchWindowMs = milliseconds; }
    bool watching() const { return m_timer.isActive(); }

private:
    void look();

    QWebEnginePage& m_page;
    std::function<bool()> m_mayAsk;
    QTimer m_timer;
    QElapsedTimer m_since; // since the last reason to watch
    int m_watchWindowMs = kWatchWindowMs;
    QElapsedTimer m_askedAt;
    bool m_asked = false;
    unsigned m_question = 0;
    int m_hangTimeoutMs = kHangTimeoutMs;
    bool m_endedForHang = false;
};
