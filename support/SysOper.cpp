#include "SysOper.h"

#include "DailyLog.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

std::string FolderOfPath(std::string_view Path) {
    const std::size_t slash = Path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(Path.substr(0, slash + 1));
}

std::string ExecutablePath() {
    try {
        std::string exe(256, '\0');
        for (;;) {
            const ssize_t n = readlink("/proc/self/exe", exe.data(), exe.size());
            if (n < 0) {
                return {};
            }
            if (static_cast<std::size_t>(n) < exe.size()) {
                exe.resize(static_cast<std::size_t>(n));
                return exe;
            }
            exe.resize(exe.size() * 2); // the link may have been cut: ask again with more room
        }
    } catch (...) {
        return {};
    }
}

std::string TSysOper::GetAppPath() {
    try {
        return FolderOfPath(ExecutablePath());
    } catch (...) {
        return {};
    }
}

namespace {
// The folder set at start; empty: the program folder's.
std::string& ChosenLogFolder() {
    static std::string folder;
    return folder;
}

// Says once per run, on standard error, that log entries are being lost.
void SayLogLost(const std::string& folder, int error) {
    static std::atomic_flag said = ATOMIC_FLAG_INIT;
    if (said.test_and_set()) {
        return;
    }
    std::fprintf(stderr,
                 "tavlin: the daily log cannot be written in %s: %s; log entries are lost\n",
                 folder.empty() ? "(no folder)" : folder.c_str(),
                 error != 0 ? std::strerror(error) : "no folder for it");
    if (error == ELOOP || error == EPERM) {
        // Refused on purpose: the officer's log goes nowhere another user reaches.
        std::fputs("tavlin: 日志文件夹或日志文件是链接或属于其他用户,日志不写入 (the folder or "
                   "the day's file is a link or another user's: Tavlin writes its log only into "
                   "its own)\n",
                   stderr);
    }
}
} // namespace

void TSysOper::SetLogFolder(std::string folder) {
    ChosenLogFolder() = std::move(folder);
}

std::string TSysOper::LogFolder() {
    if (!ChosenLogFolder().empty()) {
        return ChosenLogFolder();
    }
    return DailyLog::FolderOf(GetAppPath());
}

void TSysOper::WriteLog(std::string_view Message) {
    try {
        // One reading of the clock serves the file's date and the timestamp, so
        // an entry written at midnight stands in the file of its own date.
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        if (localtime_r(&now, &local) == nullptr) {
            return;
        }
        const std::string folder = LogFolder();
        errno = 0;
        if (!DailyLog::AppendToFolder(folder, Message, local)) {
            SayLogLost(folder, errno);
        }
    } catch (...) {
        // The entry is lost; the caller is never told.
    }
}
