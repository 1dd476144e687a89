#include "QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
}

int QuitOnSignals::s_pipe[2] = {-1, -1};

void QuitOnSignals::handle(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(s_pipe[0], &byte, 1);
    errno = saved;
}

QuitOnSignals::QuitOnSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, s_pipe) != 0) {
        s_pipe[0] = s_pipe[1] = -1;
        return; // the signals keep their default: the process ends at once
    }
    m_notifier = new QSocketNotifier(s_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [] {
        char bytes[16];
        while (::read(s_pipe[1], bytes, sizeof bytes) > 0) {
        }
        // Every event loop ends, a message box's as well as the main one.
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = &QuitOnSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

QuitOnSignals::~QuitOnSignals() {
    if (s_pipe[0] < 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    delete m_notifier;
    m_notifier = nullptr;
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}
