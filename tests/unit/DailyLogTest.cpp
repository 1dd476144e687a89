#include "DailyLog.h"
#include "LogReader.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testsupport::ReadAll;
using testsupport::TempDir;

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

const std::tm kMorning = At(2026, 12, 7, 9, 5, 3);

class DailyLogAppend : public ::testing::Test {
protected:
    std::string LogText() const {
        return ReadAll(m_dir.path() / "LogFiles" / "Inspect_20261207.txt");
    }
    // The one line written for a message, without CR LF.
    std::string LineFor(std::string_view message) {
        TempDir dir;
        EXPECT_TRUE(DailyLog::Append(dir.folder(), message, kMorning));
        std::string text = ReadAll(dir.path() / "LogFiles" / "Inspect_20261207.txt");
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        text.resize(text.size() - 2);
        return text;
    }
    TempDir m_dir;
};

} // namespace

TEST(DailyLogFormat, NamesAndTimestampsHaveFixedWidthFields) {
    EXPECT_EQ(DailyLog::FileName(kMorning), "Inspect_20261207.txt");
    EXPECT_EQ(DailyLog::Timestamp(kMorning), "2026-12-07 09:05:03");
    EXPECT_EQ(DailyLog::Timestamp(At(2027, 1, 1, 0, 0, 0)), "2027-01-01 00:00:00");
    EXPECT_EQ(DailyLog::Timestamp(At(2026, 12, 31, 23, 59, 59)), "2026-12-31 23:59:59");
}

TEST(DailyLogFormat, HttpInAnyCaseIsEnciphered) {
    for (const char* message : {"HTTP", "http://a", "Http error", "see https://x", "xhTtPx"}) {
        EXPECT_TRUE(DailyLog::MentionsHttp(message)) << message;
    }
    for (const char* message : {"", "HTT", "H TTP", "HTT-P", "\xC8TTP", "ＨＴＴＰ"}) {
        EXPECT_FALSE(DailyLog::MentionsHttp(message)) << message;
    }
}

TEST_F(DailyLogAppend, FirstEntryCreatesFolderAndFileWithExactlyThatLine) {
    ASSERT_FALSE(std::filesystem::exists(m_dir.path() / "LogFiles"));
    ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "打开失败", kMorning));
    EXPECT_EQ(LogText(), "2026-12-07 09:05:03-----MAIN: 打开失败\r\n");
}

TEST_F(DailyLogAppend, EmptyMessageGivesTimestampAndMarker) {
    EXPECT_EQ(LineFor(""), "2026-12-07 09:05:03-----MAIN: ");
    EXPECT_EQ(LineFor("").size(), 30u);
}

TEST_F(DailyLogAppend, EncipheredLinesDecodeToTheMessage) {
    for (const std::string& message : std::vector<std::string>{"http", "HTTP 404", "xHttPx!!z",
                                                               "加载页面失败，错误：http://h/a?b=1",
                                                               std::string("http\0mid", 8)}) {
        SCOPED_TRACE(message);
        const std::string line = LineFor(message);
        EXPECT_EQ(line.substr(0, 29), "2026-12-07 09:05:03-----MAIN:");
        const std::string hex = line.substr(29);
        EXPECT_EQ(hex.size(), (message.size() + 7) / 8 * 16);
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        const LogReader::ParsedLine parsed = LogReader::Parse(line);
        ASSERT_EQ(parsed.kind, LogReader::LineKind::Enciphered);
        std::string decoded;
        ASSERT_TRUE(LogReader::Decipher(parsed.body, decoded));
        EXPECT_EQ(decoded, message);
    }
    EXPECT_EQ(LineFor("HTTP1234").size(), 29u + 16);
    EXPECT_EQ(LineFor("HTTP12345").size(), 29u + 32);
    EXPECT_EQ(LineFor("HTTP567890123456").size(), 29u + 32);
}

TEST_F(DailyLogAppend, PlainMessageWithLineBreaksSpansLines) {
    ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "first\r\nsecond", kMorning));
    EXPECT_EQ(LogText(), "2026-12-07 09:05:03-----MAIN: first\r\nsecond\r\n");
}

TEST_F(DailyLogAppend, EntriesKeepTheOrderOfTheCallsAndTheFileGrows) {
    ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "one", kMorning));
    ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "two", kMorning));
    EXPECT_EQ(LogText(),
              "2026-12-07 09:05:03-----MAIN: one\r\n2026-12-07 09:05:03-----MAIN: two\r\n");
    ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "next day", At(2026, 12, 8, 0, 0, 0)));
    EXPECT_EQ(ReadAll(m_dir.path() / "LogFiles" / "Inspect_20261208.txt"),
              "2026-12-08 00:00:00-----MAIN: next day\r\n");
}

TEST_F(DailyLogAppend, EntryIsGivenUpWhileAnotherWriterHoldsTheFile) {
    ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "before", kMorning));
    const auto path = m_dir.path() / "LogFiles" / "Inspect_20261207.txt";
    const int other = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DailyLog::Append(m_dir.folder(), "lost", kMorning));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, DailyLog::kLockWait);
    EXPECT_LT(waited, std::chrono::seconds(5)); // bounded, not forever

    ::close(other);
    EXPECT_TRUE(DailyLog::Append(m_dir.folder(), "after", kMorning));
    EXPECT_EQ(LogText(),
              "2026-12-07 09:05:03-----MAIN: before\r\n2026-12-07 09:05:03-----MAIN: after\r\n");
}

TEST_F(DailyLogAppend, FailuresAreSwallowed) {
    // The log folder's name is taken by a file.
    testsupport::WriteAll(m_dir.path() / "LogFiles", "not a folder");
    EXPECT_FALSE(DailyLog::Append(m_dir.folder(), "x", kMorning));
    // A program folder where nothing can be created.
    EXPECT_FALSE(DailyLog::Append("/proc/self/", "x", kMorning));
    EXPECT_FALSE(DailyLog::Append("/nonexistent-folder/", "x", kMorning));
    EXPECT_FALSE(DailyLog::Append("", "x", kMorning));
    // A message to encipher that ends in a zero byte is refused by the cipher.
    TempDir dir;
    EXPECT_FALSE(DailyLog::Append(dir.folder(), std::string("http\0", 5), kMorning));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "LogFiles"));
}

TEST_F(DailyLogAppend, LineCutShortByAFullDiskIsTakenBack) {
    ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "kept", kMorning));
    const std::string before = LogText();

    // A file size limit just past the current end makes the next write come up short.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = old;
    tight.rlim_cur = before.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool written = DailyLog::Append(m_dir.folder(), "this line does not fit", kMorning);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(LogText(), before);
}

TEST_F(DailyLogAppend, NeverThroughALinkNorIntoAnotherUsersFileAndOnlyPrivately) {
    // Another user of the PC made the folder beforehand, with a link named
    // like the day's file to a file of the officer's.
    const std::filesystem::path folder = m_dir.path() / "LogFiles";
    const std::filesystem::path officers = m_dir.path() / "officers-notes.txt";
    testsupport::WriteAll(officers, "the officer's own\n");
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink(officers, folder / "Inspect_20261207.txt");
    EXPECT_FALSE(DailyLog::Append(m_dir.folder(), "text the page chose", kMorning));
    EXPECT_EQ(ReadAll(officers), "the officer's own\n");
    // A hard link to it is refused too.
    std::filesystem::remove(folder / "Inspect_20261207.txt");
    std::filesystem::create_hard_link(officers, folder / "Inspect_20261207.txt");
    EXPECT_FALSE(DailyLog::Append(m_dir.folder(), "text the page chose", kMorning));
    EXPECT_EQ(ReadAll(officers), "the officer's own\n");
    // A folder that is a link is not followed.
    std::filesystem::remove(folder / "Inspect_20261207.txt");
    std::filesystem::remove(folder);
    const std::filesystem::path elsewhere = m_dir.path() / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    std::filesystem::create_directory_symlink(elsewhere, folder);
    EXPECT_FALSE(DailyLog::Append(m_dir.folder(), "x", kMorning));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    // A folder and file of its own that others may read are tightened.
    std::filesystem::remove(folder);
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0755);
    testsupport::WriteAll(folder / "Inspect_20261207.txt", "");
    ::chmod((folder / "Inspect_20261207.txt").c_str(), 0644);
    EXPECT_TRUE(DailyLog::Append(m_dir.folder(), "x", kMorning));
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((folder / "Inspect_20261207.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A new file is the officer's alone from its start.
    EXPECT_TRUE(DailyLog::Append(m_dir.folder(), "x", At(2026, 12, 8, 1, 0, 0)));
    ASSERT_EQ(::stat((folder / "Inspect_20261208.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(DailyLogAppend, AnotherUsersFolderIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a folder to another user needs root";
    }
    const std::filesystem::path folder = m_dir.path() / "LogFiles";
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::chown(folder.c_str(), 4242, 4242), 0); // no user of this machine's
    ::chmod(folder.c_str(), 0777);
    EXPECT_FALSE(DailyLog::Append(m_dir.folder(), "x", kMorning));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(DailyLogAppend, AnEntryAfterACutStartsOnALineOfItsOwn) {
    // The cut left a line without its end, then one cut between CR and LF,
    // then zero bytes whose size reached the disk before their data.
    const std::filesystem::path file = m_dir.path() / "LogFiles" / "Inspect_20261207.txt";
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::permissions(file.parent_path(), std::filesystem::perms::owner_all);
    for (const std::string& spoiled :
         {std::string("2026-12-07 09:00:00-----MAIN: cut"),
          std::string("2026-12-07 09:00:00-----MAIN: cut\r"),
          std::string("2026-12-07 09:00:00-----MAIN: whole\r\n") + std::string(8, '\0')}) {
        SCOPED_TRACE(spoiled.size());
        testsupport::WriteAll(file, spoiled);
        ::chmod(file.c_str(), 0600);
        ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "next", kMorning));
        const std::string text = LogText();
        EXPECT_EQ(text.substr(0, spoiled.size()), spoiled); // nothing there was changed
        EXPECT_TRUE(text.ends_with("\r\n2026-12-07 09:05:03-----MAIN: next\r\n")) << text;
        EXPECT_EQ(text.find("\r\r"), std::string::npos);
    }
    // A whole log gets nothing before the entry.
    testsupport::WriteAll(file, "2026-12-07 09:00:00-----MAIN: whole\r\n");
    ASSERT_TRUE(DailyLog::Append(m_dir.folder(), "next", kMorning));
    EXPECT_EQ(LogText(), "2026-12-07 09:00:00-----MAIN: whole\r\n"
                         "2026-12-07 09:05:03-----MAIN: next\r\n");
}

TEST(LogReaderPieces, AGluedLineGivesEachEntryAndZeroBytesAreDropped) {
    std::size_t zeroes = 0;
    const std::string glued = std::string("2026-12-07 09:00:00-----MAIN:AB\0\0", 33) +
                              "2026-12-07 09:00:01-----MAIN: two 2026-12-07 09:00:02-----MAIN: x";
    const std::vector<std::string> pieces = LogReader::Pieces(glued, zeroes);
    EXPECT_EQ(zeroes, 2u);
    EXPECT_EQ(pieces, (std::vector<std::string>{"2026-12-07 09:00:00-----MAIN:AB",
                                                "2026-12-07 09:00:01-----MAIN: two ",
                                                "2026-12-07 09:00:02-----MAIN: x"}));
    // A message that merely holds the marker, or text like a date, stays whole.
    const std::string plain = "2026-12-07 09:00:00-----MAIN: said -----MAIN: and 2026-12-07";
    EXPECT_EQ(LogReader::Pieces(plain, zeroes), std::vector<std::string>{plain});
    EXPECT_EQ(LogReader::Pieces(std::string(5, '\0'), zeroes), std::vector<std::string>{});
    EXPECT_EQ(zeroes, 7u);
    EXPECT_EQ(LogReader::Pieces("", zeroes), std::vector<std::string>{""});
}
