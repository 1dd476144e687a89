#include "FileOper.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

class ReadIniString : public ::testing::Test {
protected:
    std::string Read(std::string_view content, std::string_view section = "URL",
                     std::string_view key = "URL") {
        WriteAll(m_dir.path() / "Config.ini", content);
        return TFileOper::ReadIniString((m_dir.path() / "Config.ini").string(), section, key);
    }
    TempDir m_dir;
};

} // namespace

TEST_F(ReadIniString, FindsTheValueWhateverTheCase) {
    EXPECT_EQ(Read("[URL]\r\nURL=aHR0cDovL2E=\r\n"), "aHR0cDovL2E=");
    EXPECT_EQ(Read("[url]\nUrl=x\n"), "x");
    EXPECT_EQ(Read("[Other]\nURL=no\n[URL]\nKey=1\nURL=yes\n"), "yes");
    EXPECT_EQ(Read("[URL]\nURL=v", "uRl", "URL"), "v");
}

TEST_F(ReadIniString, RemovesBlanksAndOnePairOfQuotes) {
    EXPECT_EQ(Read("  [ URL ]  \n  URL  =   value with blanks  \t\n"), "value with blanks");
    EXPECT_EQ(Read("[URL]\nURL=\"quoted\"\n"), "quoted");
    EXPECT_EQ(Read("[URL]\nURL='single'\n"), "single");
    EXPECT_EQ(Read("[URL]\nURL=\"\"twice\"\"\n"), "\"twice\"");
    EXPECT_EQ(Read("[URL]\nURL=\"open\n"), "\"open");
    EXPECT_EQ(Read("[URL]\nURL=\"\n"), "\"");
    EXPECT_EQ(Read("[URL]\nURL=a=b\n"), "a=b");
}

TEST_F(ReadIniString, MissingPiecesGiveTheEmptyText) {
    EXPECT_EQ(TFileOper::ReadIniString((m_dir.path() / "none.ini").string(), "URL", "URL"), "");
    EXPECT_EQ(TFileOper::ReadIniString(m_dir.path().string(), "URL", "URL"), ""); // a folder
    EXPECT_EQ(Read(""), "");
    EXPECT_EQ(Read("[Other]\nURL=x\n"), "");
    EXPECT_EQ(Read("[URL]\nOther=x\n"), "");
    EXPECT_EQ(Read("URL=before any section\n"), "");
    EXPECT_EQ(Read("[URL]\n;URL=commented\n"), "");
    EXPECT_EQ(Read("[URL]\nURL=\n"), "");
    // Only the first section of the name counts, and the first key in it.
    EXPECT_EQ(Read("[URL]\nA=1\n[URL]\nURL=second\n"), "");
    EXPECT_EQ(Read("[URL]\nURL=first\nURL=second\n"), "first");
}

TEST_F(ReadIniString, SkipsAUtf8ByteOrderMark) {
    EXPECT_EQ(Read("\xEF\xBB\xBF[URL]\r\nURL=bom\r\n"), "bom");
}

TEST_F(ReadIniString, CutsLongValuesTo2047Bytes) {
    const std::string value(3000, 'v');
    EXPECT_EQ(Read("[URL]\nURL=" + value + "\n"), value.substr(0, 2047));
    EXPECT_EQ(Read("[URL]\nURL=" + value.substr(0, 2047) + "\n"), value.substr(0, 2047));
    EXPECT_EQ(Read("[URL]\nURL=\"" + value + "\"\n"), value.substr(0, 2047));
    // A megabyte-long value on a line far longer than what is kept.
    const std::string huge(1 << 20, 'h');
    EXPECT_EQ(Read("[URL]\nURL=\"" + huge + "\"  \n"), huge.substr(0, 2047));
    EXPECT_EQ(Read("[URL]\nURL=\"" + huge + "\n"), "\"" + huge.substr(0, 2046));
}

TEST_F(ReadIniString, HostileFilesGiveAnAnswerAndNoCrash) {
    // A binary file, a file without line ends, NUL bytes in the value.
    std::string binary;
    for (int i = 0; i < 100000; ++i) {
        binary.push_back(static_cast<char>((i * 7919) & 0xFF));
    }
    EXPECT_NO_THROW(Read(binary));
    EXPECT_EQ(Read(std::string(5 << 20, '[')), "");
    EXPECT_EQ(Read(std::string("[URL]\nURL=ab\0cd\n", 16)), "ab");
    EXPECT_EQ(Read("[URL]\nURL=x\n" + std::string(3 << 20, 'z')), "x");
    EXPECT_EQ(Read("[URL"), "");
    EXPECT_EQ(Read("[URL\nURL=open section\n"), "open section");
}
