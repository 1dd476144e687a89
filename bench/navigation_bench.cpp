// The cost of every page: a chain of N pages (default 200) the titles cycling
// through the page kinds of an inspection (首页, 列表, 详情, 照片) with the
// officer's details on every page, walked by Tavlin and by a bare
// QWebEngineView program (bare_webengine) in turns, both loading the same
// start URL from the sample back end on 127.0.0.1. Three patterns of moving
// on, each measured as it is felt:
//
//   inside the load event (location.href in the handler), and just after it
//   (setTimeout 0, a script redirect): per page = (time the back end receives
//              the last page's request - time it receives the second's) /
//              (N - 2): the start is not counted
//   a click 300 ms after the load event (an officer who read the page; N/5
//   pages): per page = the time from the click to the next page's load
//              event, as the pages measure it themselves
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
//   usage: bench_navigation [PAGES [ROUNDS [PATTERN]]]
//          (default 200 pages, 5 rounds, every pattern; PATTERN: load, timeout
//          or click)
// With TAVLIN_BENCH_BARE_BOTH=1 the bare view walks in Tavlin's place too:
// the ratios it prints are what the comparison alone gives on this machine.
#include "ProcessBench.h"

#include <array>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using namespace bench;

namespace {

struct Walk {
    double msPerPage = 0;
    double cpuMsPerPage = 0;   // all processes
    double mainCpuPerPage = 0; // the program's own process (for Tavlin: window and browser)
    double pssMiB = 0;
    std::vector<double> clickParts; // medians of ClickParts' parts after the total
};

// How the pages of a chain move on.
struct Pattern {
    const char* name;
    const char* suffix; // of the chain's addresses
    int pagesDivisor;   // the chain is PAGES / this long
};

constexpr Pattern kPatterns[] = {
    {"load", "", 1},
    {"timeout", "/timeout", 1},
    {"click", "/click", 5},
};

// The CPU time of one process alone, in ms.
double OwnCpuMs(pid_t pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    unsigned long user = 0, system = 0;
    if (close == std::string::npos ||
        std::sscanf(stat.c_str() + close + 1,
                    " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2) {
        return 0;
    }
    return static_cast<double>(user + system) * 1000.0 /
           static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The click pages' own measures in the back end's log after byte from, each
// page's from the previous page's click (the first two pages left out, as for
// the other patterns), in ms: to the next page's load event (the figure), and
// its parts as the page's navigation timing gives them: to the navigation's
// start, then from there to the request, to the first byte of the answer, to
// its last byte, to the new document's creation (the commit: the old
// document's unload and the engine's own steps), from there to the document
// being interactive (the parse) and to the load event.
constexpr const char* kClickPartNames[] = {
    "to the navigation's start", "to the request",         "to the first byte", "to the last",
    "to the document (commit)",  "to interactive (parse)", "to the load event"};
constexpr std::size_t kClickParts = std::size(kClickPartNames);
struct ClickParts {
    std::vector<double> total;
    std::array<std::vector<double>, kClickParts> parts; // in kClickPartNames' order
};
ClickParts ClickTimes(const fs::path& log, std::uintmax_t from) {
    std::ifstream in(log, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    static const std::regex request(R"(GET /chain/\d+/(\d+)/click\?c=[\d.]+&d=([\d.]+)&n=([\d.]+))"
                                    R"(&q=([\d.]+)&r=([\d.]+)&e=([\d.]+)&l=([\d.]+)&i=([\d.]+))");
    ClickParts click;
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, request) || std::stoi(m[1].str()) <= 2) {
            continue;
        }
        const auto at = [&m](int i) { return std::stod(m[i].str()); };
        click.total.push_back(at(2));
        const double part[kClickParts] = {
            at(3),         at(4),         at(5) - at(4),        at(6) - at(5),
            at(7) - at(6), at(8) - at(7), at(2) - at(3) - at(8)};
        for (std::size_t k = 0; k < kClickParts; ++k) {
            click.parts[k].push_back(part[k]);
        }
    }
    return click;
}

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
    const int pages = argc > 1 ? std::max(15, std::atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string only = argc > 3 ? argv[3] : "";
    const char* bareBothSet = std::getenv("TAVLIN_BENCH_BARE_BOTH");
    const bool bareBoth = bareBothSet != nullptr && std::string(bareBothSet) == "1";
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
    const fs::path folder = work / "tavlin";
    const std::string trace = (work / "trace.txt").string();
    const auto fail = [&](pid_t pid, const std::string& program, const char* what) {
        std::fprintf(stderr, "bench_navigation: %s %s\n", program.c_str(), what);
        if (pid > 0) {
            Stop(pid);
        }
        Stop(site);
        fs::remove_all(work);
        std::exit(1);
    };

    // Tavlin writes its navigation trace; the bare program has none to write.
    ::setenv("QT_LOGGING_RULES", "tavlin.navigation.debug=true", 1);
    ::setenv("QT_MESSAGE_PATTERN", "%{time process} %{category}: %{message}", 1);
    const bool chosen =
        std::getenv("QT_QUICK_BACKEND") != nullptr || std::getenv("QSG_RHI_BACKEND") != nullptr;
    if (bareBoth) {
        std::printf("TAVLIN_BENCH_BARE_BOTH=1: the bare view walks on both sides; the figures "
                    "printed as Tavlin's are the bare view's own\n");
    }
    for (const Pattern& pattern : kPatterns) {
        if (!only.empty() && only != pattern.name) {
            continue;
        }
        const int length = pages / pattern.pagesDivisor;
        const std::string chain = "/chain/" + std::to_string(length) + "/";
        const std::string startUrl =
            MakeTavlinFolder(work, run.address + chain + "0" + pattern.suffix);
        if (startUrl.empty()) {
            std::fprintf(stderr, "bench_navigation: tavlin-config failed\n");
            return 1;
        }
        const bool click = std::string(pattern.suffix) == "/click";
        // The log has a line per request: "REQUEST GET <target>".
        const std::string end = click ? "?" : "\n";
        const std::string second = "GET " + chain + "1" + pattern.suffix + end;
        const std::string last = "GET " + chain + std::to_string(length - 1) + pattern.suffix + end;
        const auto walk = [&](const std::vector<std::string>& command, const std::string& cwd,
                              const std::string& errorFile) {
            Walk result;
            const std::uintmax_t mark = LogEnd(log);
            const pid_t pid = Spawn(command, cwd, errorFile);
            if (pid < 0 || !WaitForRequest(log, second, mark, std::chrono::seconds(60))) {
                fail(pid, command[0], "did not walk the chain");
            }
            const auto start = Clock::now();
            const double cpuStart = CpuMs(pid), mainStart = OwnCpuMs(pid);
            if (!WaitForRequest(log, last, mark, std::chrono::seconds(30 + length))) {
                fail(pid, command[0], "did not reach the chain's end");
            }
            result.msPerPage =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count() /
                (length - 2);
            result.cpuMsPerPage = (CpuMs(pid) - cpuStart) / (length - 2);
            result.mainCpuPerPage = (OwnCpuMs(pid) - mainStart) / (length - 2);
            if (click) {
                const ClickParts measured = ClickTimes(log, mark);
                if (measured.total.empty()) {
                    fail(pid, command[0], "measured no click");
                }
                result.msPerPage = Median(measured.total);
                for (const std::vector<double>& part : measured.parts) {
                    result.clickParts.push_back(Median(part));
                }
            }
            std::this_thread::sleep_for(std::chrono::seconds(1));
            result.pssMiB = PssMiB(pid);
            Stop(pid);
            return result;
        };
        const std::vector<std::string> bare{kBin + "/bare_webengine", startUrl, "--screen"};
        const std::vector<std::string> tavlin =
            bareBoth ? bare : std::vector<std::string>{(folder / "tavlin").string()};
        std::printf("\n%s: a chain of %d pages, each moving on %s (median of %d walks each):\n",
                    pattern.name, length,
                    click ? "by a click on a link 300 ms after its load "
                            "event; per page: from the click to the next "
                            "page's load event"
                    : std::string(pattern.suffix).empty()
                        ? "inside its load event"
                        : "just after its load event (setTimeout 0)",
                    rounds);
        for (const Composition& composition : kCompositions) {
            if (chosen && composition.variable != nullptr) {
                continue; // the composition set from outside is the only one walked
            }
            if (composition.variable != nullptr) {
                ::setenv(composition.variable, composition.value, 1);
            }
            std::vector<double> tavlinMs, bareMs, ratios, tavlinCpu, bareCpu, tavlinMain, bareMain,
                tavlinPss, barePss;
            Stages stages;
            std::vector<std::vector<double>> tavlinParts(kClickParts), bareParts(kClickParts);
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
                tavlinMain.push_back(t.mainCpuPerPage);
                bareMain.push_back(b.mainCpuPerPage);
                tavlinPss.push_back(t.pssMiB);
                barePss.push_back(b.pssMiB);
                for (std::size_t part = 0; part < t.clickParts.size(); ++part) {
                    tavlinParts[part].push_back(t.clickParts[part]);
                    bareParts[part].push_back(b.clickParts[part]);
                }
            }
            if (composition.variable != nullptr) {
                ::unsetenv(composition.variable);
            }

            const double ratio = Median(ratios);
            const double tp = Median(tavlinPss), bp = Median(barePss);
            if (chosen) {
                const char* quick = std::getenv("QT_QUICK_BACKEND");
                const char* rhi = std::getenv("QSG_RHI_BACKEND");
                std::printf("as set:%s%s%s%s\n", quick ? " QT_QUICK_BACKEND=" : "",
                            quick ? quick : "", rhi ? " QSG_RHI_BACKEND=" : "", rhi ? rhi : "");
            } else {
                std::printf("%s:\n", composition.name);
            }
            std::printf("  Tavlin %.1f ms per page, bare QWebEngineView %.1f ms: median of the "
                        "paired ratios %.2f x (bound 1.05 x: %s)\n",
                        Median(tavlinMs), Median(bareMs), ratio, ratio <= 1.05 ? "met" : "NOT MET");
            std::printf("  CPU time per page: Tavlin %.1f ms (its own process %.1f, the "
                        "engine's processes %.1f), bare QWebEngineView %.1f ms (%.1f, %.1f)\n",
                        Median(tavlinCpu), Median(tavlinMain),
                        Median(tavlinCpu) - Median(tavlinMain), Median(bareCpu), Median(bareMain),
                        Median(bareCpu) - Median(bareMain));
            std::printf("  PSS of all processes after the chain: Tavlin %.0f MiB, bare "
                        "QWebEngineView %.0f MiB: ratio %.2f x (bound 1.05 x: %s)\n",
                        tp, bp, tp / bp, tp / bp <= 1.05 ? "met" : "NOT MET");
            if (click) {
                std::printf("  the click's parts, Tavlin / bare QWebEngineView (ms):");
                for (std::size_t part = 0; part < tavlinParts.size(); ++part) {
                    std::printf("%s %s %.1f / %.1f", part == 0 ? "" : ",", kClickPartNames[part],
                                Median(tavlinParts[part]), Median(bareParts[part]));
                }
                std::printf("\n");
            }
            if (stages.windowWork.empty()) {
                std::printf("  Tavlin's stages: no trace was written\n");
            } else {
                std::printf("  Tavlin's stages (median of %zu pages): asked to document %.1f ms, "
                            "document to load event reported %.1f ms, the window's own work on "
                            "the completed page %.2f ms\n",
                            stages.windowWork.size(), Median(stages.toDocument),
                            Median(stages.toLoadEvent), Median(stages.windowWork));
            }
            std::fflush(stdout);
        }
    }
    Stop(site);
    fs::remove_all(work);
    return 0;
}
