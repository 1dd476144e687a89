#include "CodePage.h"
#include "DailyLog.h"
#include "LogTexts.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

const std::string kLogView = std::string(TAVLIN_BIN_DIR) + "/tavlin-logview";

std::tm Noon() {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 12;
    return t;
}

class LogView : public ::testing::Test {
protected:
    LogView() : m_file(m_dir.path() / "LogFiles" / "Inspect_20261207.txt") {}
    void Log(const std::string& utf8) {
        ASSERT_TRUE(DailyLog::Append(m_dir.folder(), CodePage::FromUtf8(utf8), Noon()));
    }
    std::string View(const std::string& arguments, int& code) {
        return testsupport::RunCommand(
            kLogView + " " + arguments + " 2>'" + (m_dir.path() / "stderr").string() + "'", code);
    }
    std::string Stderr() { return testsupport::ReadAll(m_dir.path() / "stderr"); }

    TempDir m_dir;
    std::filesystem::path m_file;
};

} // namespace

TEST_F(LogView, ReadsBackPlainMultiLineAndEncipheredEntriesExactly) {
    Log("获取登录的警员信息失败,错误:no label");
    Log("first line\r\nsecond line");
    Log("加载页面失败，错误：HTTP 500 at http://127.0.0.1/检查");
    Log("");
    Log("Https\r\nwith a break");
    int code = -1;
    const std::string out = View("'" + m_file.string() + "'", code);
    EXPECT_EQ(code, 0) << Stderr();
    EXPECT_EQ(out, "2026-12-07 12:00:00-----MAIN: 获取登录的警员信息失败,错误:no label\n"
                   "2026-12-07 12:00:00-----MAIN: first line\n"
                   "second line\n"
                   "2026-12-07 12:00:00-----MAIN: 加载页面失败，错误：HTTP 500 at "
                   "http://127.0.0.1/检查\n"
                   "2026-12-07 12:00:00-----MAIN: \n"
                   "2026-12-07 12:00:00-----MAIN: Https\nwith a break\n");
    EXPECT_EQ(Stderr(), "");

    // Standard input, named -, reads the same.
    EXPECT_EQ(View("- < '" + m_file.string() + "'", code), out);
    EXPECT_EQ(code, 0);
}

TEST_F(LogView, MarksAndCountsLinesItCannotDecode) {
    Log("good http entry");
    std::filesystem::create_directories(m_file.parent_path());
    {
        std::ofstream append(m_file, std::ios::app | std::ios::binary);
        append << "2026-12-07 12:00:01-----MAIN:0123\r\n"             // not whole blocks
               << "2026-12-07 12:00:02-----MAIN:ZZZZZZZZZZZZZZZZ\r\n" // not hexadecimal
               << "2026-12-07 12:00:03-----MAIN: plain again\r\n"
               << "2026-12-07 12:00:04-----MAIN: bell\x07 and escape\x1b[2J\r\n";
    }
    int code = -1;
    const std::string out = View("'" + m_file.string() + "'", code);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out, "2026-12-07 12:00:00-----MAIN: good http entry\n"
                   "[cannot decode] 2026-12-07 12:00:01-----MAIN:0123\n"
                   "[cannot decode] 2026-12-07 12:00:02-----MAIN:ZZZZZZZZZZZZZZZZ\n"
                   "2026-12-07 12:00:03-----MAIN: plain again\n"
                   "2026-12-07 12:00:04-----MAIN: bell\\x07 and escape\\x1B[2J\n");
    EXPECT_EQ(Stderr(), "tavlin-logview: 2 lines could not be decoded\n");
}

TEST_F(LogView, MissingFileIsReportedAndTheOthersStillRead) {
    Log("still read");
    int code = -1;
    const std::string out =
        View("'" + (m_dir.path() / "missing.txt").string() + "' '" + m_file.string() + "'", code);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(out, "2026-12-07 12:00:00-----MAIN: still read\n");
    EXPECT_NE(Stderr().find("missing.txt"), std::string::npos);
}

TEST_F(LogView, WithoutFilesReadsWhereTavlinWritesToday) {
    // A program folder with its own copy of the tool (a portable copy's log
    // beside it) and a user whose state folder holds an installed copy's.
    const std::filesystem::path program = m_dir.path() / "program";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(kLogView, program / "tavlin-logview");
    const std::filesystem::path state = m_dir.path() / "state";
    const std::string user = (state / "tavlin" / "LogFiles").string() + "/";
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    today.tm_hour = 9;
    today.tm_min = 0;
    today.tm_sec = 0;
    std::filesystem::create_directories(user);
    ASSERT_TRUE(DailyLog::AppendToFolder(user, "installed today", today));
    ASSERT_TRUE(DailyLog::AppendToFolder(user, "installed, an old day", Noon()));
    ASSERT_TRUE(DailyLog::Append(program.string() + "/", "portable today", today));
    const std::string stamp = DailyLog::Timestamp(today);

    int code = -1;
    const std::string run =
        "XDG_STATE_HOME='" + state.string() + "' '" + (program / "tavlin-logview").string() + "'";
    const auto view = [&](const std::string& arguments) {
        return RunCommand(run + " " + arguments + " 2>'" + (m_dir.path() / "stderr").string() + "'",
                          code);
    };
    std::string out = view("");
    EXPECT_EQ(code, 0) << Stderr();
    const std::string todayName = DailyLog::FileName(today);
    EXPECT_EQ(out, "==> " + (program / "LogFiles" / todayName).string() + " <==\n" + stamp +
                       "-----MAIN: portable today\n==> " + user + todayName + " <==\n" + stamp +
                       "-----MAIN: installed today\n");

    // --all: every day's, oldest first.
    out = view("--all");
    EXPECT_EQ(code, 0) << Stderr();
    const std::size_t old = out.find("installed, an old day");
    const std::size_t portable = out.find("portable today");
    EXPECT_NE(old, std::string::npos) << out;
    EXPECT_LT(old, portable) << out;

    // Nothing today anywhere: said, and not an error.
    std::filesystem::remove_all(program / "LogFiles");
    std::filesystem::remove(user + todayName);
    out = view("");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out, "");
    EXPECT_NE(Stderr().find("no log for today in " + (program / "LogFiles").string()),
              std::string::npos)
        << Stderr();

    view("--colour");
    EXPECT_EQ(code, 2);
    EXPECT_NE(Stderr().find("unknown option '--colour'"), std::string::npos) << Stderr();
    out = view("--version");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '.'), 3) << out;
}

TEST_F(LogView, EntriesAfterACutAreReadAndTheCutIsSaid) {
    // A power cut left an enciphered entry without its end, and a tail of
    // zero bytes; an older writer glued the next entry onto the cut line.
    // The real writer then appends, and the real reader reads it all back.
    Log("before the cut, http");
    const std::string whole = testsupport::ReadAll(m_file);
    const std::string cutEntry = whole.substr(0, whole.size() - 9); // mid-digits, no CR LF
    const std::string spoiled = whole + cutEntry + "2026-12-07 12:00:00-----MAIN: glued on\r\n" +
                                cutEntry + std::string(4096, '\0');
    testsupport::WriteAll(m_file, spoiled);
    Log("加载页面失败，错误：HTTP after the cut");
    Log("plain after the cut");
    // Nothing that was there was changed: the writer only closed the line off.
    EXPECT_EQ(testsupport::ReadAll(m_file).substr(0, spoiled.size()), spoiled);
    int code = -1;
    const std::string out = View("'" + m_file.string() + "'", code);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out, "2026-12-07 12:00:00-----MAIN: before the cut, http\n"
                   "[cut] [cannot decode] " +
                       cutEntry +
                       "\n"
                       "2026-12-07 12:00:00-----MAIN: glued on\n"
                       "[cannot decode] " +
                       cutEntry +
                       "\n"
                       "2026-12-07 12:00:00-----MAIN: 加载页面失败，错误：HTTP after the cut\n"
                       "2026-12-07 12:00:00-----MAIN: plain after the cut\n");
    EXPECT_EQ(Stderr(), "tavlin-logview: 2 lines could not be decoded\n"
                        "tavlin-logview: 1 entry was cut short (marked [cut])\n"
                        "tavlin-logview: 4096 zero bytes skipped (left by a cut)\n");
}

TEST_F(LogView, PrintsInTheTerminalsCharsetOrInUtf8WhenAsked) {
    const std::string terminal = testsupport::Gb18030Terminal();
    ASSERT_FALSE(terminal.empty()) << "localedef (package locales) could not make zh_CN.GB18030";
    Log("加载页面失败，错误：HTTP 500 at http://127.0.0.1/检查 𠮷");
    int code = -1;
    const std::string utf8 = View("'" + m_file.string() + "'", code);
    ASSERT_EQ(code, 0);
    const std::string expected = "2026-12-07 12:00:00-----MAIN: 加载页面失败，错误：HTTP 500 at "
                                 "http://127.0.0.1/检查 𠮷\n";
    EXPECT_EQ(utf8, expected);
    EXPECT_EQ(testsupport::RunCommand(terminal + kLogView + " '" + m_file.string() + "'", code),
              CodePage::FromUtf8(expected));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(
        testsupport::RunCommand(terminal + kLogView + " --utf8 '" + m_file.string() + "'", code),
        expected);
}

TEST_F(LogView, ReadsThePortableCopyItIsPointedAt) {
    // A portable copy elsewhere: the tool of the build (not beside it) is
    // pointed at its program folder, and reads its log of today.
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    const std::filesystem::path program = m_dir.path() / "portable copy";
    std::filesystem::create_directories(program);
    ASSERT_TRUE(DailyLog::Append(program.string() + "/", "portable today", today));
    const std::string state = "XDG_STATE_HOME='" + (m_dir.path() / "state").string() + "' ";
    int code = -1;
    const std::string out =
        RunCommand(state + kLogView + " --folder '" + program.string() + "' 2>/dev/null", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out, DailyLog::Timestamp(today) + "-----MAIN: portable today\n");
    // A folder without a log today: where it looked is said.
    const std::filesystem::path empty = m_dir.path() / "empty";
    std::filesystem::create_directories(empty);
    const std::string none =
        RunCommand(state + kLogView + " --folder '" + empty.string() + "' 2>&1", code);
    EXPECT_NE(none.find("no log for today in " + (empty / "LogFiles").string()), std::string::npos)
        << none;
}

TEST(LogTexts, EveryEntryKindIsOneConstantAndOneDocsRow) {
    // The table of docs/logs.md names exactly the program's entry kinds, in
    // the same texts, each with what it means and what to do.
    std::ifstream docs(std::string(TAVLIN_SOURCE_DIR) + "/docs/logs.md");
    ASSERT_TRUE(docs);
    std::vector<std::string> rows;
    bool inTable = false;
    for (std::string line; std::getline(docs, line);) {
        if (line == "<!-- log-texts-table -->") {
            inTable = true;
        } else if (line == "<!-- /log-texts-table -->") {
            break;
        } else if (inTable && line.rfind("| `", 0) == 0) {
            const std::size_t end = line.find("` |", 3);
            ASSERT_NE(end, std::string::npos) << line;
            rows.push_back(line.substr(3, end - 3));
            // What it means and what to do, both said.
            const std::string rest = line.substr(end + 3);
            const std::size_t bar = rest.find(" | ");
            ASSERT_NE(bar, std::string::npos) << line;
            EXPECT_GT(bar, 10u) << line;
            EXPECT_GT(rest.size() - bar, 10u) << line;
        }
    }
    std::vector<std::string> texts(std::begin(LogTexts::kAll), std::end(LogTexts::kAll));
    EXPECT_EQ(rows, texts);
}

TEST(LogTexts, NoEntryIsWrittenWithATextOfItsOwn) {
    // Every call of the log's writer in the program's folders starts its
    // entry with one of the constants: no literal text of its own.
    for (const auto& [path, code] :
         testsupport::Sources({"app", "camera", "logic", "shell", "support", "ui"})) {
        for (std::size_t at = code.find("WriteLog("); at != std::string::npos;
             at = code.find("WriteLog(", at + 1)) {
            const std::string call = code.substr(at, 120);
            if (call.rfind("WriteLog(const", 0) == 0 || call.rfind("WriteLog(std::", 0) == 0) {
                continue; // the writer itself
            }
            EXPECT_NE(call.find("LogTexts::k"), std::string::npos) << path << ": " << call;
        }
    }
}
