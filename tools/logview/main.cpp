// tavlin-logview: prints Tavlin's daily log files as plain text, in the
// terminal's character set (UTF-8 with --utf8).
//
// Every entry is printed as its timestamp, "-----MAIN: " and the plain message;
// enciphered entries are deciphered, and text is converted from the code page.
// Lines of a message that spans several lines follow their entry. A line that
// cannot be decoded is printed as it stands after a mark, and counted.
//
// Without file arguments it reads today's log from wherever Tavlin writes it:
// the program folder's LogFiles (a portable copy) and the user's own log
// folder (an installed copy); with --all, every day's, oldest first.
#include "CodePage.h"
#include "DailyLog.h"
#include "FileOper.h"
#include "LogReader.h"
#include "StatePlaces.h"
#include "SysOper.h"
#include "TerminalCharset.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <vector>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kUndecodableMark = "[cannot decode] ";
constexpr std::string_view kCutMark = "[cut] ";

void PrintUsage(std::FILE* to) {
    std::fputs("usage: tavlin-logview [--utf8] [--folder FOLDER] [--all]\n"
               "       tavlin-logview [--utf8] [--] FILE...\n"
               "       tavlin-logview --help | --version\n"
               "Prints Tavlin log files (Inspect_yyyymmdd.txt) as text, deciphering\n"
               "enciphered entries. Without FILE it prints today's log from wherever Tavlin\n"
               "writes it: the program folder's LogFiles (a copy its user may write) and the\n"
               "user's $XDG_STATE_HOME/tavlin/LogFiles (~/.local/state/tavlin/LogFiles by\n"
               "default, an installed copy). --folder FOLDER reads the LogFiles of that\n"
               "program folder instead of this tool's (a portable copy elsewhere); --all\n"
               "prints every day's, oldest first. A FILE of - reads standard input.\n"
               "The text is printed in the terminal's character set (GB18030 in a\n"
               "zh_CN.GB18030 terminal); --utf8 prints UTF-8 whatever it is.\n"
               "Entries that a power cut spoiled are marked; every entry after them is read.\n"
               "Exit status: 0 when every line was decoded, 1 when some line could not be\n"
               "(or was cut short, or zero bytes were skipped), 2 when a file could not be\n"
               "read or the command line is wrong.\n",
               to);
}

// Whether name is a daily log's file name, Inspect_yyyymmdd.txt.
bool IsLogFileName(std::string_view name) {
    constexpr std::string_view kPrefix = "Inspect_";
    constexpr std::string_view kSuffix = ".txt";
    if (name.size() != kPrefix.size() + 8 + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix)) {
        return false;
    }
    const std::string_view date = name.substr(kPrefix.size(), 8);
    return date.find_first_not_of("0123456789") == std::string_view::npos;
}

// The log files in the folders: today's only, or every day's; oldest first,
// and for one day in the order of the folders.
std::vector<std::string> FindLogFiles(const std::vector<std::string>& folders, bool all) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string today = DailyLog::FileName(local);
    std::vector<std::pair<std::string, std::string>> found; // (file name, path)
    for (const std::string& folder : folders) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (IsLogFileName(name) && (all || name == today)) {
                found.emplace_back(name, entry.path().string());
            }
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> paths;
    for (auto& [name, path] : found) {
        paths.push_back(std::move(path));
    }
    return paths;
}

class Printer {
public:
    // Writes text converted to UTF-8; CR LF inside a message becomes a line
    // break, and other control characters are shown as \xNN so that a log can
    // never drive the terminal.
    void text(std::string_view codePageText) {
        const std::string utf8 = CodePage::ToUtf8(codePageText);
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                continue;
            }
            if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
                m_out.append(escaped);
            } else {
                m_out.push_back(static_cast<char>(c));
            }
        }
        flushIfFull();
    }
    void raw(std::string_view ascii) { m_out.append(ascii); }
    void endLine() {
        m_out.push_back('\n');
        flushIfFull();
    }
    bool flush() {
        const bool ok = std::fwrite(m_out.data(), 1, m_out.size(), stdout) == m_out.size();
        m_out.clear();
        return ok && std::fflush(stdout) == 0;
    }

private:
    void flushIfFull() {
        if (m_out.size() >= (1u << 16)) {
            flush();
        }
    }
    std::string m_out;
};

// What reading found that it could not read whole.
struct Damage {
    long undecodable = 0;   // entries whose enciphered body cannot be deciphered
    long cut = 0;           // entries that a later entry was glued onto
    std::size_t zeroes = 0; // zero bytes a power cut left
    bool any() const { return undecodable > 0 || cut > 0 || zeroes > 0; }
};

// Prints one entry or continuation line; returns false when it could not be decoded.
bool PrintLine(std::string_view line, Printer& out, std::string& scratch) {
    const LogReader::ParsedLine parsed = LogReader::Parse(line);
    switch (parsed.kind) {
    case LogReader::LineKind::Plain:
        out.raw(parsed.timestamp);
        out.raw(DailyLog::kPlainMarker);
        out.text(parsed.body);
        out.endLine();
        return true;
    case LogReader::LineKind::Enciphered:
        if (LogReader::Decipher(parsed.body, scratch)) {
            out.raw(parsed.timestamp);
            out.raw(DailyLog::kPlainMarker);
            out.text(scratch);
            out.endLine();
            return true;
        }
        out.raw(kUndecodableMark);
        out.text(line);
        out.endLine();
        return false;
    case LogReader::LineKind::Continuation:
        out.text(line);
        out.endLine();
        return true;
    }
    return true;
}

// Reads a stream line by line; a line that a cut spoiled gives each entry that
// starts in it, the cut one marked. Returns false on a read error.
bool PrintStream(std::FILE* in, Printer& out, Damage& damage) {
    std::string pending;
    std::string scratch;
    char buffer[1 << 16];
    const auto emit = [&](std::string_view line) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::vector<std::string> pieces = LogReader::Pieces(line, damage.zeroes);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i + 1 < pieces.size()) {
                out.raw(kCutMark);
                ++damage.cut;
            }
            if (!PrintLine(pieces[i], out, scratch)) {
                ++damage.undecodable;
            }
        }
    };
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, in);
        if (n == 0) {
            break;
        }
        std::string_view chunk(buffer, n);
        for (std::size_t nl; (nl = chunk.find('\n')) != std::string_view::npos;) {
            if (pending.empty()) {
                emit(chunk.substr(0, nl));
            } else {
                pending.append(chunk.substr(0, nl));
                emit(pending);
                pending.clear();
            }
            chunk.remove_prefix(nl + 1);
        }
        pending.append(chunk);
    }
    if (!pending.empty()) {
        emit(pending); // a last line without its line end
    }
    return std::ferror(in) == 0;
}

void SayDamage(const Damage& damage) {
    if (damage.undecodable > 0) {
        std::fprintf(stderr, "tavlin-logview: %ld line%s could not be decoded\n",
                     damage.undecodable, damage.undecodable == 1 ? "" : "s");
    }
    if (damage.cut > 0) {
        std::fprintf(stderr, "tavlin-logview: %ld entr%s cut short (marked [cut])\n", damage.cut,
                     damage.cut == 1 ? "y was" : "ies were");
    }
    if (damage.zeroes > 0) {
        std::fprintf(stderr, "tavlin-logview: %zu zero byte%s skipped (left by a cut)\n",
                     damage.zeroes, damage.zeroes == 1 ? "" : "s");
    }
}

// Prints the files named (all of today's, or every one with all, in the
// folders Tavlin writes to when none is named), then says on standard error
// what could not be read. Returns the exit status.
int Print(const std::string& programFolder, bool all, const std::vector<std::string>& names) {
    Printer out;
    Damage damage;
    bool readErrors = false;
    const auto run = [&](const char* name) {
        const bool isStdin = std::strcmp(name, "-") == 0;
        std::FILE* in = isStdin ? stdin : std::fopen(name, "rb");
        if (in == nullptr) {
            out.flush();
            std::fprintf(stderr, "tavlin-logview: %s: %s\n", name, std::strerror(errno));
            readErrors = true;
            return;
        }
        if (!PrintStream(in, out, damage)) {
            out.flush();
            std::fprintf(stderr, "tavlin-logview: %s: read error\n", name);
            readErrors = true;
        }
        if (!isStdin) {
            std::fclose(in);
        }
    };
    if (names.empty()) {
        // Wherever Tavlin writes: the program folder beside this tool and the user's.
        const std::vector<std::string> folders =
            StatePlaces::LogFolders(programFolder, StatePlaces::Environment::FromProcess());
        const std::vector<std::string> files = FindLogFiles(folders, all);
        if (files.empty()) {
            std::string where;
            for (const std::string& folder : folders) {
                where += (where.empty() ? "" : " or ") + folder;
            }
            std::fprintf(stderr, "tavlin-logview: no log%s in %s\n", all ? " files" : " for today",
                         where.c_str());
        }
        for (const std::string& file : files) {
            if (files.size() > 1) {
                out.raw("==> " + file + " <==");
                out.endLine();
            }
            run(file.c_str());
        }
    }
    for (const std::string& name : names) {
        run(name.c_str());
    }
    if (!out.flush()) {
        std::fprintf(stderr, "tavlin-logview: cannot write the output\n");
        return 2;
    }
    SayDamage(damage);
    return readErrors ? 2 : (damage.any() ? 1 : 0);
}

} // namespace

int main(int argc, char** argv) {
    // Printed in the terminal's charset, unless UTF-8 is asked for (a pipe).
    const std::string charset = TerminalCharset::Choose();
    if (argc > 1 && std::strcmp(argv[1], "--utf8") == 0) {
        --argc;
        ++argv;
    } else {
        TerminalCharset::ConvertOutput(charset);
    }
    // The program folder whose log is read: the one given, else this tool's.
    std::string programFolder = TSysOper::GetAppPath();
    if (argc > 2 && std::strcmp(argv[1], "--folder") == 0) {
        programFolder = argv[2];
        if (programFolder.empty() || programFolder.back() != '/') {
            programFolder.push_back('/');
        }
        argc -= 2;
        argv += 2;
    }
    int first = 1;
    bool all = false;
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", TFileOper::GetVersion().c_str());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--all") == 0) {
        all = true;
        first = 2;
    } else if (argc > 1 && std::strcmp(argv[1], "--") == 0) {
        first = 2;
    } else if (argc > 1 && argv[1][0] == '-' && argv[1][1] != '\0') {
        std::fprintf(stderr, "tavlin-logview: unknown option '%s'\n", argv[1]);
        PrintUsage(stderr);
        return 2;
    }

    return Print(programFolder, all, std::vector<std::string>(argv + first, argv + argc));
}
