// Tavlin's cold start against a bare QWebEngineView program (bare_webengine),
// both offscreen, both loading the same start URL from the sample back end:
//
//   start time  from starting the process to the back end receiving the start URL
//   memory      PSS of the process and all its descendants, 2 s after the first
//               page (the login page the entry page leads to) was requested
//
// Runs the two alternately, prints the median of each and the ratios.
//   usage: bench_startup [RUNS]     (default 21)
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

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kBin = TAVLIN_BIN_DIR;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& workdir = {}) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
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

// Waits until the log holds more than `lines` lines with `text`, or the time is up.
bool WaitForRequest(const fs::path& log, const std::string& text, std::size_t seenBefore,
                    std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        const std::string content = ReadFile(log);
        std::size_t count = 0;
        for (std::size_t at = 0; (at = content.find(text, at)) != std::string::npos; ++at) {
            ++count;
        }
        if (count > seenBefore) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
}

std::size_t Count(const fs::path& log, const std::string& text) {
    const std::string content = ReadFile(log);
    std::size_t count = 0;
    for (std::size_t at = 0; (at = content.find(text, at)) != std::string::npos; ++at) {
        ++count;
    }
    return count;
}

// The process and all its descendants.
std::set<pid_t> Tree(pid_t root) {
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

double PssMiB(pid_t root) {
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

void Stop(pid_t pid) {
    for (const pid_t p : Tree(pid)) {
        if (p != pid) {
            ::kill(p, SIGKILL);
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Sample {
    double startMs = 0;
    double pssMiB = 0;
};

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (::getuid() == 0) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1); // Chromium will not run as root otherwise
    }

    // The sample back end, logging every request it receives.
    char folderTemplate[] = "/tmp/tavlin-startup-XXXXXX";
    const fs::path work = ::mkdtemp(folderTemplate);
    const fs::path log = work / "requests.log";
    const fs::path siteOut = work / "site.out";
    const pid_t site = [&] {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, siteOut.c_str(), O_WRONLY | O_CREAT, 0644);
        std::string bin = kBin + "/tavlin-sample-site", port = "--port", zero = "0",
                    logArg = "--log", logPath = log.string();
        char* args[] = {bin.data(),    port.data(),    zero.data(),
                        logArg.data(), logPath.data(), nullptr};
        pid_t pid = -1;
        posix_spawn(&pid, args[0], &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }();
    std::string port;
    for (int i = 0; i < 100 && port.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::string out = ReadFile(siteOut);
        if (out.find("LISTENING ") != std::string::npos) {
            port = out.substr(out.find("LISTENING ") + 10);
            port = port.substr(0, port.find('\n'));
        }
    }
    if (port.empty()) {
        std::fprintf(stderr, "bench_startup: the sample back end did not start\n");
        return 1;
    }
    const std::string base = "http://127.0.0.1:" + port + "/inspect";

    // Tavlin's program folder.
    const fs::path folder = work / "tavlin";
    fs::create_directories(folder);
    fs::copy_file(kBin + "/tavlin", folder / "tavlin");
    if (std::system((kBin + "/tavlin-config write '" + folder.string() + "' --url '" + base +
                     "' --type-code R01 --number 4401000001 --serial SN-1 --name Bench > /dev/null")
                        .c_str()) != 0) {
        std::fprintf(stderr, "bench_startup: tavlin-config failed\n");
        return 1;
    }
    // The URL Tavlin composes, so that the reference loads exactly the same.
    const std::string check = work.string() + "/check.txt";
    std::system(
        (kBin + "/tavlin-config check '" + folder.string() + "' > '" + check + "'").c_str());
    std::string startUrl = ReadFile(check);
    startUrl = startUrl.substr(startUrl.find("start URL:") + 10);
    startUrl = startUrl.substr(startUrl.find_first_not_of(' '));
    startUrl = startUrl.substr(0, startUrl.find('\n'));

    const auto measure = [&](const std::vector<std::string>& command, const std::string& cwd,
                             bool withMemory) {
        Sample sample;
        const std::size_t inspects = Count(log, "GET /inspect?");
        const std::size_t logins = Count(log, "GET /login");
        const auto start = Clock::now();
        const pid_t pid = Spawn(command, cwd);
        if (pid < 0 || !WaitForRequest(log, "GET /inspect?", inspects, std::chrono::seconds(30))) {
            std::fprintf(stderr, "bench_startup: %s did not reach the back end\n",
                         command[0].c_str());
            std::exit(1);
        }
        sample.startMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (withMemory && WaitForRequest(log, "GET /login", logins, std::chrono::seconds(30))) {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            sample.pssMiB = PssMiB(pid);
        }
        Stop(pid);
        return sample;
    };

    std::vector<double> tavlinMs, bareMs, ratios, tavlinPss, barePss;
    // One start of each to warm the page cache, not counted.
    measure({(folder / "tavlin").string()}, folder.string(), false);
    measure({kBin + "/bare_webengine", startUrl}, work.string(), false);
    for (int i = 0; i < runs; ++i) {
        const bool memory = i < 5; // memory settles; five readings are plenty
        const Sample t = measure({(folder / "tavlin").string()}, folder.string(), memory);
        const Sample b = measure({kBin + "/bare_webengine", startUrl}, work.string(), memory);
        tavlinMs.push_back(t.startMs);
        bareMs.push_back(b.startMs);
        ratios.push_back(t.startMs / b.startMs);
        if (memory) {
            tavlinPss.push_back(t.pssMiB);
            barePss.push_back(b.pssMiB);
        }
    }
    Stop(site);
    fs::remove_all(work);

    const double tm = Median(tavlinMs), bm = Median(bareMs);
    const double tp = Median(tavlinPss), bp = Median(barePss);
    std::printf("start until the back end receives the start URL (median of %d starts each):\n",
                runs);
    // Each Tavlin start is compared with the bare start right after it, so that
    // a machine that slows down or speeds up during the run moves both alike.
    const double ratio = Median(ratios);
    std::printf("  Tavlin %.0f ms, bare QWebEngineView %.0f ms: ratio %.2f x, median of the\n"
                "  paired ratios %.2f x (bound 1.10 x: %s)\n",
                tm, bm, tm / bm, ratio, ratio <= 1.10 ? "met" : "NOT MET");
    std::printf("memory 2 s after the first page, PSS of all processes (median of %zu):\n",
                tavlinPss.size());
    std::printf(
        "  Tavlin %.0f MiB, bare QWebEngineView %.0f MiB: ratio %.2f x (bound 1.10 x: %s)\n", tp,
        bp, tp / bp, tp / bp <= 1.10 ? "met" : "NOT MET");
    return 0;
}
