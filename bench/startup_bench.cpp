// Tavlin's cold start against a bare QWebEngineView program (bare_webengine),
// both offscreen, both loading the same start URL from the sample back end:
//
//   start time  from starting the process to the back end receiving the start URL
//   memory      PSS of the process and all its descendants, 2 s after the first
//               page (the login page the entry page leads to) was requested
//
// Runs the two alternately, prints the median of each and the ratios.
//   usage: bench_startup [RUNS]     (default 21)
#include "ProcessBench.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace bench;

namespace {

struct Sample {
    double startMs = 0;
    double pssMiB = 0;
};

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const Run run = StartRun("startup");
    const fs::path& work = run.work;
    const fs::path& log = run.log;
    const pid_t site = run.site;
    if (run.address.empty()) {
        std::fprintf(stderr, "bench_startup: the sample back end did not start\n");
        return 1;
    }
    const fs::path folder = work / "tavlin";
    const std::string startUrl = MakeTavlinFolder(work, run.address + "/inspect");
    if (startUrl.empty()) {
        std::fprintf(stderr, "bench_startup: tavlin-config failed\n");
        return 1;
    }

    const auto measure = [&](const std::vector<std::string>& command, const std::string& cwd,
                             bool withMemory) {
        Sample sample;
        const std::uintmax_t mark = LogEnd(log);
        const auto start = Clock::now();
        const pid_t pid = Spawn(command, cwd);
        if (pid < 0 || !WaitForRequest(log, "GET /inspect?", mark, std::chrono::seconds(30))) {
            std::fprintf(stderr, "bench_startup: %s did not reach the back end\n",
                         command[0].c_str());
            std::exit(1);
        }
        sample.startMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (withMemory && WaitForRequest(log, "GET /login", mark, std::chrono::seconds(30))) {
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
