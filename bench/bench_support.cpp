// Benchmarks of the support library, each against a reference measured in the
// same run; the ratios are printed after Google Benchmark's own table.
//
//   StreamToBase64 / ImageToBase64 on 8 MB   vs OpenSSL EVP_EncodeBlock
//   DecodeBase64 on that text (CR LF kept)   vs OpenSSL EVP_DecodeUpdate/Final
//   one log line, plain and enciphered       vs open + append + close of the same bytes
//   tavlin-logview on a million lines        (time reported)
#include "Base64.h"
#include "DailyLog.h"
#include "DecodeFile.h"
#include "ImgOper.h"
#include "LogReader.h"
#include "QormdesLib.h"
#include "StrOper.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr std::size_t kPhotoBytes = 8 << 20;

const std::string& Photo() {
    static const std::string bytes = [] {
        std::mt19937_64 random(42);
        std::string s(kPhotoBytes, '\0');
        for (std::size_t i = 0; i + 8 <= s.size(); i += 8) {
            const std::uint64_t v = random();
            std::memcpy(s.data() + i, &v, 8);
        }
        return s;
    }();
    return bytes;
}

const std::string& PhotoText() {
    static const std::string text = [] {
        TMemoryStream source(Photo());
        TTextStream target;
        DecodeFile().StreamToBase64(source, target);
        return target.TakeText();
    }();
    return text;
}

std::filesystem::path BenchFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavlin-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// --- Base64 encoding ------------------------------------------------------

void BM_StreamToBase64(benchmark::State& state) {
    TMemoryStream source(Photo());
    for (auto _ : state) {
        source.Seek(0);
        TTextStream target;
        DecodeFile().StreamToBase64(source, target);
        benchmark::DoNotOptimize(target.Text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPhotoBytes));
}

void BM_ImageToBase64(benchmark::State& state) {
    const std::string file = (BenchFolder() / "photo.jpg").string();
    {
        std::ofstream out(file, std::ios::binary);
        out.write(Photo().data(), static_cast<std::streamsize>(Photo().size()));
    }
    for (auto _ : state) {
        const std::string text = TImgOper::ImageToBase64(file);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPhotoBytes));
}

void BM_OpenSSL_EncodeBlock(benchmark::State& state) {
    std::string out(Base64::EncodedSize(kPhotoBytes) + 1, '\0');
    for (auto _ : state) {
        const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(Photo().data()),
                                      static_cast<int>(Photo().size()));
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPhotoBytes));
}

// --- Base64 decoding ------------------------------------------------------

void BM_DecodeBase64(benchmark::State& state) {
    for (auto _ : state) {
        const std::string bytes = TStrOper::DecodeBase64(PhotoText());
        benchmark::DoNotOptimize(bytes.data());
    }
    if (TStrOper::DecodeBase64(PhotoText()) != Photo()) {
        state.SkipWithError("decoded bytes differ");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PhotoText().size()));
}

void BM_OpenSSL_DecodeUpdate(benchmark::State& state) {
    std::string out(PhotoText().size(), '\0');
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    int total = 0;
    for (auto _ : state) {
        EVP_DecodeInit(ctx);
        int n = 0;
        int last = 0;
        EVP_DecodeUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                         reinterpret_cast<const unsigned char*>(PhotoText().data()),
                         static_cast<int>(PhotoText().size()));
        EVP_DecodeFinal(ctx, reinterpret_cast<unsigned char*>(out.data()) + n, &last);
        total = n + last;
        benchmark::DoNotOptimize(out.data());
    }
    EVP_ENCODE_CTX_free(ctx);
    if (static_cast<std::size_t>(total) != kPhotoBytes) {
        state.SkipWithError("OpenSSL decoded a different length");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PhotoText().size()));
}

// --- The daily log --------------------------------------------------------

const std::string kMessage100 = std::string("加载页面失败，错误：") + std::string(70, 'e');
const std::string kHttpMessage100 = "http://127.0.0.1/inspect " + std::string(75, 'e');

std::tm Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

void BM_WriteLog_Plain(benchmark::State& state) {
    const std::string folder = BenchFolder().string() + "/";
    const std::tm when = Now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(DailyLog::Append(folder, kMessage100, when));
    }
}

void BM_WriteLog_Enciphered(benchmark::State& state) {
    const std::string folder = BenchFolder().string() + "/";
    const std::tm when = Now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(DailyLog::Append(folder, kHttpMessage100, when));
    }
}

void BM_PlainAppend(benchmark::State& state) {
    const std::string path = (BenchFolder() / "plain-append.txt").string();
    const std::string line = DailyLog::FormatEntry(Now(), kMessage100) + "\r\n";
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
        ::close(fd);
    }
}

void BM_EncryptToHex(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(QormdesLib::EncryptToHex(kHttpMessage100));
    }
}

void BM_DecipherLogLine(benchmark::State& state) {
    const std::string hex = QormdesLib::EncryptToHex(kHttpMessage100);
    std::string message;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LogReader::Decipher(hex, message));
    }
}

// --- Reading logs --------------------------------------------------------

// A million log lines: a quarter plain, a quarter plain spanning two lines, a
// quarter enciphered (the last quarter is the second lines).
std::string MillionLineLog() {
    const std::string path = (BenchFolder() / "million.txt").string();
    std::tm when = Now();
    std::string text;
    const std::string plain = "Lbl_PoliceName is missing: " + std::string(40, 'p');
    const std::string twoLines = "first line of an error\r\nsecond line";
    for (int i = 0; i < 250000; ++i) {
        text += DailyLog::FormatEntry(when, plain) + "\r\n";
        text += DailyLog::FormatEntry(when, twoLines) + "\r\n";
        text += DailyLog::FormatEntry(when, kHttpMessage100) + "\r\n";
    }
    std::ofstream(path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    return path;
}

void BM_LogView_MillionLines(benchmark::State& state) {
    static const std::string path = MillionLineLog();
    const std::string command =
        std::string(TAVLIN_BIN_DIR) + "/tavlin-logview '" + path + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("tavlin-logview failed");
        }
    }
    state.counters["lines_per_second"] =
        benchmark::Counter(1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// Keeps each benchmark's median time per iteration, to print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") {
                m_seconds[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
    }
    double seconds(const std::string& name) const {
        const auto it = m_seconds.find(name);
        return it == m_seconds.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> m_seconds;
};

void PrintRatio(const RatioReporter& r, const char* what, const char* mine, const char* reference,
                double bound) {
    const double m = r.seconds(mine);
    const double ref = r.seconds(reference);
    if (m <= 0 || ref <= 0) {
        return;
    }
    const double ratio = ref / m;
    std::printf("%-44s %8.3f ms vs %8.3f ms  speed ratio %.2f x (bound %.1f x: %s)\n", what,
                m * 1e3, ref * 1e3, ratio, bound, ratio >= bound ? "met" : "NOT MET");
}

} // namespace

BENCHMARK(BM_StreamToBase64)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();
BENCHMARK(BM_ImageToBase64)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();
BENCHMARK(BM_OpenSSL_EncodeBlock)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(BM_DecodeBase64)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();
BENCHMARK(BM_OpenSSL_DecodeUpdate)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(BM_WriteLog_Plain)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_WriteLog_Enciphered)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_PlainAppend)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_EncryptToHex)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_DecipherLogLine)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_LogView_MillionLines)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nRatios (reference time / Tavlin time, medians of this run):\n");
    PrintRatio(reporter, "StreamToBase64 8 MB vs EVP_EncodeBlock", "BM_StreamToBase64",
               "BM_OpenSSL_EncodeBlock", 2.0);
    PrintRatio(reporter, "ImageToBase64 8 MB file vs EVP_EncodeBlock", "BM_ImageToBase64",
               "BM_OpenSSL_EncodeBlock", 2.0);
    PrintRatio(reporter, "DecodeBase64 vs EVP_DecodeUpdate/Final", "BM_DecodeBase64",
               "BM_OpenSSL_DecodeUpdate", 1.0);
    const double plain = reporter.seconds("BM_WriteLog_Plain") * 1e6;
    const double enciphered = reporter.seconds("BM_WriteLog_Enciphered") * 1e6;
    const double append = reporter.seconds("BM_PlainAppend") * 1e6;
    if (append > 0) {
        std::printf(
            "WriteLog, 100-byte message: plain %.1f us, enciphered %.1f us (bound 50 us: %s);"
            " open+append+close %.1f us, so plain costs %.2f x and enciphered %.2f x\n",
            plain, enciphered, enciphered < 50 ? "met" : "NOT MET", append, plain / append,
            enciphered / append);
    }
    const double logview = reporter.seconds("BM_LogView_MillionLines");
    if (logview > 0) {
        std::printf("tavlin-logview on a million log lines (a quarter enciphered): %.2f s\n",
                    logview);
    }
    std::filesystem::remove_all(BenchFolder());
    benchmark::Shutdown();
    return 0;
}
