#include "CheckOutInfo.h"

#include "Dialogs.h"
#include "InstanceLock.h"
#include "ProcessScan.h"
#include "RaiseServer.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr char kWaylandToken[] = "XDG_ACTIVATION_TOKEN";
constexpr char kX11Token[] = "DESKTOP_STARTUP_ID";

// Asks the running copy to show its window, with this process's activation
// token; the running copy may not listen yet while it starts.
void AskRunningCopyToShow(const QByteArray& activationToken) {
    QLocalSocket socket;
    socket.connectToServer(RaiseServer::socketPath());
    if (socket.waitForConnected(500)) {
        socket.write(RaiseServer::Request(activationToken));
        socket.waitForBytesWritten(500);
        // The running copy closes the connection once it has the request:
        // its window is raised before this copy's message appears.
        socket.waitForDisconnected(500);
    }
    // The token was handed on: this copy's own message must not spend it.
    qunsetenv(kWaylandToken);
}

} // namespace

QByteArray TCheckOutInfo::LaunchToken() {
    const QByteArray wayland = qgetenv(kWaylandToken);
    return !wayland.isEmpty() ? wayland : qgetenv(kX11Token);
}

bool TCheckOutInfo::IsAlreadyRunning() {
    bool running = false;
    try {
        InstanceLock lock("Tavlin");
        if (lock.acquired()) {
            lock.keepForLife();
            return false;
        }
        if (!lock.isHeldElsewhere()) {
            return false; // the lock could not be made at all: not taken for another copy
        }
        running = true;
        AskRunningCopyToShow(m_activationToken);
        m_dialogs.warning(nullptr, QStringLiteral("企业监督检查系统已经运行..."));
    } catch (...) {
        // The result keeps what was reached.
    }
    return running;
}

bool TCheckOutInfo::CheckHotelProgram() {
    try {
        const std::vector<ProcessScan::Process> processes = ProcessScan::RunningProcesses();
        const ProcessScan::Process* hotel = ProcessScan::FindHotelProgram(processes);
        if (hotel == nullptr) {
            return false;
        }
        const bool endIt = m_dialogs.askYesNo(
            nullptr, QStringLiteral("本软件和【旅馆业软件】不能同时运行,是否继续运行?"
                                    "继续将关闭【旅馆业软件】"));
        if (!endIt) {
            return true;
        }
        ProcessScan::EndProcess(hotel->pid);
        return false;
    } catch (...) {
        return false;
    }
}
