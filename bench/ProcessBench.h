// What the benchmarks of whole processes share: starting Tavlin, the bare
// QWebEngineView and the sample back end, waiting for the back end to log a
// request, and the PSS of a process with all its descendants.
#pragma once

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline const std::string kBin = TAVLIN_BIN_DIR;

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Starts args[0] with the given arguments in workdir; its output goes nowhere,
// its standard error to errorFile when one is named.
inline pid_t Spawn(const std::vector<std::string>& args, const std::string& workdir = {},
                   const std::string& errorFile = {}) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2,
                                     errorFile.empty() ? "/dev/null" : errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!workdir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workdir.c_str());
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The log's length now: where a wait for the requests after this moment starts.
inline std::uintmax_t LogEnd(const fs::path& log) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(log, error);
    return error ? 0 : size;
}

// Waits until the log, after byte `from`, holds `text`, or the time is up.
// Only the bytes written since the last look are read, and the poll sleeps
// between looks: the waiting must not take the CPU the measured programs need.
inline bool WaitForRequest(const fs::path& log, const std::string& text, std::uintmax_t from,
                           std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    std::string seen; // the bytes after `from`
    while (Clock::now() < end) {
        std::ifstream in(log, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(from + seen.size()));
        const std::size_t before = seen.size();
        seen.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const std::size_t searchFrom = before > text.size() ? before - text.size() : 0;
        if (seen.find(text, searchFrom) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// The process and all its descendants.
inline std::set<pid_t> Tree(pid_t root) {
    std::map<pid_t, pid_t> parent;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string stat = ReadFile(entry.path() / "stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        int ppid = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2) {
            parent[std::stoi(name)] = ppid;
        }
    }
    std::set<pid_t> tree{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [pid, ppid] : parent) {
            if (tree.count(ppid) != 0 && tree.insert(pid).second) {
                grew = true;
            }
        }
    }
    return tree;
}

inline double PssMiB(pid_t root) {
    double kib = 0;
    for (const pid_t pid : Tree(root)) {
        const std::string rollup = ReadFile("/proc/" + std::to_string(pid) + "/smaps_rollup");
        const std::size_t at = rollup.find("\nPss:");
        if (at != std::string::npos) {
            kib += std::strtod(rollup.c_str() + at + 5, nullptr);
        }
    }
    return kib / 1024.0;
}

// The CPU time (user and system) the process and its descendants have used so far, in ms.
inline double CpuMs(pid_t root) {
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    double ticks = 0;
    for (const pid_t pid : Tree(root)) {
        const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
        const std::size_t close = stat.rfind(')');
        unsigned long user = 0, system = 0;
        if (close != std::string::npos &&
            std::sscanf(stat.c_str() + close + 1,
                        " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
                        &system) == 2) {
            ticks += static_cast<double>(user + system);
        }
    }
    return ticks * 1000.0 / tick;
}

inline void Stop(pid_t pid) {
    for (const pid_t p : Tree(pid)) {
        if (p != pid) {
            ::kill(p, SIGKILL);
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A benchmark run's own folder and sample back end; as root, Chromium's
// sandbox is switched off (it will not run as root otherwise), and the run's
// programs get a runtime folder of their own (their lock and sockets).
struct Run {
    fs::path work;
    fs::path log; // the back end's requests, a line each
    pid_t site = -1;
    std::string address; // "http://127.0.0.1:<port>"; empty when it did not start
};
inline std::string StartSampleSite(const fs::path& work, const fs::path& log, pid_t& site);
inline Run StartRun(const std::string& name) {
    if (::getuid() == 0) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    Run run;
    std::string folderTemplate = "/tmp/tavlin-" + name + "-XXXXXX";
    run.work = ::mkdtemp(folderTemplate.data());
    const fs::path runtime = run.work / "runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    // A home of the run's own: the browsers' certificate databases live there.
    const fs::path home = run.work / "home";
    fs::create_directory(home);
    ::setenv("HOME", home.c_str(), 1);
    run.log = run.work / "requests.log";
    run.address = StartSampleSite(run.work, run.log, run.site);
    return run;
}

// The sample back end on a free port of 127.0.0.1, logging every request to
// log; its base address ("http://127.0.0.1:<port>"), or empty.
inline std::string StartSampleSite(const fs::path& work, const fs::path& log, pid_t& site) {
    const fs::path out = work / "site.out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0644);
    std::string bin = kBin + "/tavlin-sample-site", port = "--port", zero = "0", logArg = "--log",
                logPath = log.string();
    char* args[] = {bin.data(), port.data(), zero.data(), logArg.data(), logPath.data(), nullptr};
    site = -1;
    posix_spawn(&site, args[0], &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 250; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::string text = ReadFile(out);
        if (const std::size_t at = text.find("LISTENING "); at != std::string::npos) {
            const std::string number = text.substr(at + 10, text.find('\n', at) - at - 10);
            return "http://127.0.0.1:" + number;
        }
    }
    return {};
}

// A Tavlin program folder in work configured with url; the start URL Tavlin
// composes from it (so that the reference loads exactly the same), or empty.
inline std::string MakeTavlinFolder(const fs::path& work, const std::string& url) {
    const fs::path folder = work / "tavlin";
    fs::create_directories(folder);
    fs::copy_file(kBin + "/tavlin", folder / "tavlin", fs::copy_options::overwrite_existing);
    if (std::system((kBin + "/tavlin-config write '" + folder.string() + "' --url '" + url +
                     "' --type-code R01 --number 4401000001 --serial SN-1 --name Bench > /dev/null")
                        .c_str()) != 0) {
        return {};
    }
    const std::string check = (work / "check.txt").string();
    if (std::system(
            (kBin + "/tavlin-config check '" + folder.string() + "' > '" + check + "'").c_str()) !=
        0) {
        return {};
    }
    std::string startUrl = ReadFile(check);
    startUrl = startUrl.substr(startUrl.find("start URL:") + 10);
    startUrl = startUrl.substr(startUrl.find_first_not_of(' '));
    return startUrl.substr(0, startUrl.find('\n'));
}

} // namespace bench
