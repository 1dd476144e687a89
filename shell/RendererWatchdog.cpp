#include "RendererWatchdog.h"

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <csignal>
#include <sys/types.h>

RendererWatchdog::RendererWatchdog(QWebEnginePage& page, std::function<bool()> mayAsk,
                                   QObject* parent)
    : QObject(parent), m_page(page), m_mayAsk(std::move(mayAsk)) {
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &RendererWatchdog::look);
    watchForAWhile();
}

void RendererWatchdog::watchForAWhile() {
    m_since.start();
    if (!m_timer.isActive()) {
        m_timer.start();
    }
}

bool RendererWatchdog::takeEndedForHang() {
    const bool ended = m_endedForHang;
    m_endedForHang = false;
    return ended;
}

void RendererWatchdog::setHangTimeout(int milliseconds) {
    m_hangTimeoutMs = milliseconds;
    watchForAWhile();
}

void RendererWatchdog::look() {
    // Nothing has happened for a while and no question waits for its answer:
    // the watchdog rests until the next reason to watch.
    if (!m_asked && m_since.elapsed() > m_watchWindowMs) {
        m_timer.stop();
        return;
    }
    if (!m_mayAsk() || m_page.renderProcessPid() <= 0) {
        m_asked = false;
        return;
    }
    if (!m_asked) {
        m_asked = true;
        m_askedAt.start();
        const unsigned question = ++m_question;
        // A literal in the page's own world: it runs nothing of the page's,
        // and makes no isolated world in a document that has none.
        m_page.runJavaScript(QStringLiteral("1"), QWebEngineScript::MainWorld,
                             [self = QPointer<RendererWatchdog>(this), question](const QVariant&) {
                                 if (self && question == self->m_question) {
                                     self->m_asked = false;
                                 }
                             });
        return;
    }
    if (m_askedAt.elapsed() > m_hangTimeoutMs) {
        // The failure is reported once the process is gone (the page's
        // renderProcessTerminated): a retry before that would be lost with it.
        const qint64 pid = m_page.renderProcessPid();
        m_asked = false;
        ++m_question;
        m_endedForHang = true;
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
}
