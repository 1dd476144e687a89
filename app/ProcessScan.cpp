#include "ProcessScan.h"

#include "Ascii.h"
#include "UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace ProcessScan {
namespace {

bool StartsWithPrefix(std::string_view name) {
    return Ascii::StartsWithIgnoringCase(name, kHotelPrefix);
}

// Reads a /proc file of a few bytes. Plain system calls: the scan reads two
// files of every process on the machine before Tavlin's window may open.
std::string ReadSmallFile(const std::string& path) {
    std::string content;
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return content;
    }
    const int fd = file.get();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > 64 * 1024) {
            break; // a name never needs more
        }
    }
    return content;
}

// Whether the process still runs; one that has ended but was not yet reaped
// by its parent (a zombie) counts as ended.
bool Exists(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno != EPERM) {
        return false;
    }
    const std::string stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] != 'Z';
}

} // namespace

bool IsHotelProgramName(std::string_view name) {
    const std::size_t cut = name.find_last_of("\\:");
    const std::string_view fileName = cut == std::string_view::npos ? name : name.substr(cut + 1);
    return StartsWithPrefix(fileName) || StartsWithPrefix(name);
}

std::vector<Process> RunningProcesses() {
    std::vector<Process> processes;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return processes;
    }
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid <= 0 || pid == self) {
            continue;
        }
        const std::string folder = std::string("/proc/") + entry->d_name;
        std::string cmdline = ReadSmallFile(folder + "/cmdline");
        std::string name = cmdline.substr(0, cmdline.find('\0'));
        if (name.empty()) {
            name = ReadSmallFile(folder + "/comm");
            while (!name.empty() && name.back() == '\n') {
                name.pop_back();
            }
        } else {
            name = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
        }
        if (!name.empty()) {
            processes.push_back({static_cast<pid_t>(pid), std::move(name)});
        }
    }
    ::closedir(proc);
    return processes;
}

const Process* FindHotelProgram(const std::vector<Process>& processes) {
    for (const Process& process : processes) {
        if (IsHotelProgramName(process.name)) {
            return &process;
        }
    }
    return nullptr;
}

void EndProcess(pid_t pid, std::chrono::milliseconds grace) {
    if (pid <= 0 || ::kill(pid, SIGTERM) != 0) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!Exists(pid)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
}

} // namespace ProcessScan
