// The cost of every page: a chain of N pages (default 200) that each move on
// to the next from their load event, the titles cycling through the page
// kinds of an inspection (首页, 列表, 详情, 照片) with the officer's details on
// every page, walked by Tavlin and by a bare QWebEngineView program
// (bare_webengine) in turns, both loading the same start URL from the sample
// back end on 127.0.0.1:
//
//   per page   (time the back end receives the last page's request - time it
//              receives the second's) / (N - 2): the start is not counted
//   memory     PSS of the process and all its descendants 1 s after the last
//              page's request
//
// Each composition is walked like for like: the default (each program's own
// choice), both in software (QT_QUICK_BACKEND=software) and both through
// OpenGL (QSG_RHI_BACKEND=opengl); when either variable is set already, only
// that composition. Prints, for each, the median of each side, the median of
// the paired ratios (each Tavlin walk against the bare walk right after it)
// and the memory ratio; then where Tavlin's time of a page goes, read from
// its navigation trace (tavlin.navigation, one short line per stage).
//   usage: bench_navigation [PAGES [ROUNDS]]     (default 200 pages, 5 rounds)
#include "ProcessBench.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using namespace bench;

namespace {

struct Walk {
    double msPerPage = 0;
    double cpuMsPerPage = 0;
    double pssMiB = 0;
};

struct Composition {
    const char* name;
    const char* variable; // set to value for both programs; none: their own choice
    const char* value;
};

constexpr Composition kCompositions[] = {
    {"default composition", nullptr, nullptr},
    {"both in software (QT_QUICK_BACKEND=software)", "QT_QUICK_BACKEND", "software"},
    {"both through OpenGL (QSG_RHI_BACKEND=opengl)", "QSG_RHI_BACKEND", "opengl"},
};

// The stages of Tavlin's navigations, from its trace: for each page asked
// for, the time until its document existed and from there until its load
// event was reported; and the window's own work on each completed page.
struct Stages {
    std::vector<double> toDocument, toLoadEvent, windowWork;

    // Lines as QT_MESSAGE_PATTERN="%{time process} %{category}: %{message}"
    // writes them: "<s since start> tavlin.navigation: <stage> <ms> [<ms>]".
    void read(const std::string& trace) {
        std::istringstream lines(trace);
        std::string line;
        double asked = -1, document = -1; // when the open stages began, in s
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string category, stage;
            double at = 0, sinceAsked = 0, own = 0;
            if (!(words >> at >> category >> stage >> sinceAsked) ||
                category != "tavlin.navigation:") {
                continue;
            }
            if (stage == "asked") {
                asked = at;
            } else if (stage == "document" && asked >= 0) {
                toDocument.push_back((at - asked) * 1000);
                asked = -1;
                document = at;
            } else if (stage == "loaded" && document >= 0) {
                toLoadEvent.push_back((at - document) * 1000);
                document = -1;
            } else if (stage == "shown" && (words >> own)) {
                windowWork.push_back(own);
            }
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    const int pages = argc > 1 ? std::max(3, std::atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    const Run run = StartRun("navigation");
    const fs::path& work = run.work;
    const fs::path& log = run.log;
    const pid_t site = run.site;
    if (run.address.empty()) {
        std::fprintf(stderr, "bench_navigation: the sample back end did not start\n");
        return 1;
    }
    const std::string chain = "/chain/" + std::to_string(pages) + "/";
    const fs::path folder = work / "tavlin";
    const std::string startUrl = MakeTavlinFolder(work, run.address + chain + "0");
    if (startUrl.empty()) {
        std::fprintf(stderr, "bench_navigation: tavlin-config failed\n");
        return 1;
    }
    const std::string trace = (work / "trace.txt").string();

    // The log has a line per request: "REQUEST GET <target>".
    const std::string second = "GET " + chain + "1\n";
    const std::string last = "GET " + chain + std::to_string(pages - 1) + "\n";
    const auto fail = [&](pid_t pid, const std::string& program, const char* what) {
        std::fprintf(stderr, "bench_navigation: %s %s\n", program.c_str(), what);
        if (pid > 0) {
            Stop(pid);
        }
        Stop(site);
        fs::remove_all(work);
        std::exit(1);
    };
    const auto walk = [&](const std::vector<std::string>& command, const std::string& cwd,
                          const std::string& errorFile) {
        Walk result;
        const std::uintmax_t mark = LogEnd(log);
        const pid_t pid = Spawn(command, cwd, errorFile);
        if (pid < 0 || !WaitForRequest(log, second, mark, std::chrono::seconds(60))) {
            fail(pid, command[0], "did not walk the chain");
        }
        const auto start = Clock::now();
        const double cpuStart = CpuMs(pid);
        if (!WaitForRequest(log, last, mark, std::chrono::seconds(30 + pages))) {
            fail(pid, command[0], "did not reach the chain's end");
        }
        result.msPerPage =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count() / (pages - 2);
        result.cpuMsPerPage = (CpuMs(pid) - cpuStart) / (pages - 2);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        result.pssMiB = PssMiB(pid);
        Stop(pid);
        return result;
    };

    // Tavlin writes its navigation trace; the bare program has none to write.
    ::setenv("QT_LOGGING_RULES", "tavlin.navigation.debug=true", 1);
    ::setenv("QT_MESSAGE_PATTERN", "%{time process} %{category}: %{message}", 1);
    const std::vector<std::string> tavlin{(folder / "tavlin").string()};
    const std::vector<std::string> bare{kBin + "/bare_webengine", startUrl, "--screen"};
    const bool chosen =
        std::getenv("QT_QUICK_BACKEND") != nullptr || std::getenv("QSG_RHI_BACKEND") != nullptr;
    std::printf("a chain of %d pages, each moving on from its load event (median of %d walks "
                "each):\n",
                pages, rounds);
    for (const Composition& composition : kCompositions) {
        if (chosen && composition.variable != nullptr) {
            continue; // the composition set from outside is the only one walked
        }
        if (composition.variable != nullptr) {
            ::setenv(composition.variable, composition.value, 1);
        }
        std::vector<double> tavlinMs, bareMs, ratios, tavlinCpu, bareCpu, tavlinPss, barePss;
        Stages stages;
        // One walk of each to warm the page cache, not counted.
        walk(tavlin, folder.string(), {});
        walk(bare, work.string(), {});
        for (int i = 0; i < rounds; ++i) {
            const Walk t = walk(tavlin, folder.string(), trace);
            stages.read(ReadFile(trace));
            const Walk b = walk(bare, work.string(), {});
            tavlinMs.push_back(t.msPerPage);
            bareMs.push_back(b.msPerPage);
            ratios.push_back(t.msPerPage / b.msPerPage);
            tavlinCpu.push_back(t.cpuMsPerPage);
            bareCpu.push_back(b.cpuMsPerPage);
            tavlinPss.push_back(t.pssMiB);
            barePss.push_back(b.pssMiB);
        }
        if (composition.variable != nullptr) {
            ::unsetenv(composition.variable);
        }

        const double ratio = Median(ratios);
        const double tp = Median(tavlinPss), bp = Median(barePss);
        if (chosen) {
            const char* quick = std::getenv("QT_QUICK_BACKEND");
            const char* rhi = std::getenv("QSG_RHI_BACKEND");
            std::printf("as set:%s%s%s%s\n", quick ? " QT_QUICK_BACKEND=" : "", quick ? quick : "",
                        rhi ? " QSG_RHI_BACKEND=" : "", rhi ? rhi : "");
        } else {
            std::printf("%s:\n", composition.name);
        }
        std::printf("  Tavlin %.1f ms per page, bare QWebEngineView %.1f ms: median of the paired "
                    "ratios %.2f x (bound 1.05 x: %s)\n",
                    Median(tavlinMs), Median(bareMs), ratio, ratio <= 1.05 ? "met" : "NOT MET");
        std::printf(
            "  CPU time of all processes per page: Tavlin %.1f ms, bare QWebEngineView %.1f ms\n",
            Median(tavlinCpu), Median(bareCpu));
        std::printf("  PSS of all processes after the chain: Tavlin %.0f MiB, bare "
                    "QWebEngineView %.0f MiB: ratio %.2f x (bound 1.05 x: %s)\n",
                    tp, bp, tp / bp, tp / bp <= 1.05 ? "met" : "NOT MET");
        if (stages.windowWork.empty()) {
            std::printf("  Tavlin's stages: no trace was written\n");
        } else {
            std::printf("  Tavlin's stages (median of %zu pages): asked to document %.1f ms, "
                        "document to load event reported %.1f ms, the window's own work on the "
                        "completed page %.2f ms\n",
                        stages.windowWork.size(), Median(stages.toDocument),
                        Median(stages.toLoadEvent), Median(stages.windowWork));
        }
        std::fflush(stdout);
    }
    Stop(site);
    fs::remove_all(work);
    return 0;
}
