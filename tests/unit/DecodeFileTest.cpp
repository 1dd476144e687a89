#include "DecodeFile.h"
#include "CodePage.h"
#include "ImgOper.h"
#include "StrOper.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using testsupport::TempDir;

namespace {

std::string Bytes(std::size_t n) {
    std::mt19937 random(static_cast<unsigned>(n));
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(random() & 0xFF);
    }
    return s;
}

std::string Stream(const std::string& data) {
    TMemoryStream source(data);
    TTextStream target;
    DecodeFile().StreamToBase64(source, target);
    return target.TakeText();
}

// Lines of the text when split at CR LF, and whether it ends with one.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t crlf; (crlf = text.find("\r\n", at)) != std::string::npos; at = crlf + 2) {
        lines.push_back(text.substr(at, crlf - at));
    }
    if (at < text.size()) {
        lines.push_back(text.substr(at));
    }
    return lines;
}

} // namespace

TEST(StreamToBase64, ShortDataHasNoLineBreakAfterItsLastLine) {
    EXPECT_EQ(Stream(""), "");
    EXPECT_EQ(Stream("a"), "YQ==");
    EXPECT_EQ(Stream("abc"), "YWJj");
    EXPECT_EQ(Stream(Bytes(57)).size(), 76u);
    const std::string s58 = Stream(Bytes(58));
    EXPECT_EQ(s58.size(), 82u);
    EXPECT_EQ(s58.substr(76, 2), "\r\n");
    EXPECT_EQ(s58.substr(80), "==");
}

TEST(StreamToBase64, AWholeBlockEndsWithCrLf) {
    const std::string data = Bytes(2 * 10944);
    const std::string block = Stream(data.substr(0, 10944));
    ASSERT_EQ(block.size(), 14976u);
    EXPECT_EQ(Lines(block).size(), 192u);
    EXPECT_EQ(block.substr(14974), "\r\n");

    const std::string more = Stream(data.substr(0, 10945));
    EXPECT_EQ(more.size(), 14976u + 4);
    EXPECT_EQ(more.substr(0, 14976), block);

    const std::string lastFull = Stream(data.substr(0, 10944 + 57));
    ASSERT_EQ(Lines(lastFull).size(), 193u);
    EXPECT_EQ(lastFull.size(), 193u * 76 + 192 * 2);
    EXPECT_EQ(lastFull.substr(0, 14976), block);
    EXPECT_NE(lastFull.substr(lastFull.size() - 2), "\r\n");

    const std::string two = Stream(data);
    EXPECT_EQ(two.size(), 2u * 14976);
    EXPECT_EQ(two.substr(two.size() - 2), "\r\n");
}

TEST(StreamToBase64, AgreesWithTheLineFormOfEncodeBase64) {
    // The two forms differ only in the CR LF after a complete last line.
    for (const std::size_t n : {1u, 56u, 57u, 58u, 570u, 10943u, 10944u, 10945u, 30000u, 32832u}) {
        const std::string data = Bytes(n);
        std::string lines = TStrOper::EncodeBase64(data);
        if (n % 57 == 0 && n % 10944 != 0) {
            lines.resize(lines.size() - 2);
        }
        EXPECT_EQ(Stream(data), lines) << n;
        EXPECT_EQ(TStrOper::DecodeBase64(Stream(data)), data) << n;
    }
}

TEST(StreamToBase64, ReadsFromTheStreamPositionAndAppendsToTheTarget) {
    TMemoryStream source(std::string("skipabc"));
    source.Read(4);
    TTextStream target;
    target.Write("head:");
    DecodeFile().StreamToBase64(source, target);
    EXPECT_EQ(target.Text(), "head:YWJj");
}

TEST(ImageToBase64, EncodesTheWholeFile) {
    TempDir dir;
    const std::string data = Bytes(100000);
    testsupport::WriteAll(dir.path() / "photo.jpg", data);
    EXPECT_EQ(TImgOper::ImageToBase64((dir.path() / "photo.jpg").string()), Stream(data));

    testsupport::WriteAll(dir.path() / "empty.jpg", "");
    EXPECT_EQ(TImgOper::ImageToBase64((dir.path() / "empty.jpg").string()), "");
}

TEST(ImageToBase64, FailureIsEmptyAndLoggedNamingTheFile) {
    // The log lands in this test process's own log folder.
    const std::filesystem::path logFolder = testsupport::g_processLog.folder();
    std::error_code ignored;
    std::filesystem::remove_all(logFolder, ignored);

    TempDir dir;
    const std::string missing = (dir.path() / "缺失.jpg").string();
    EXPECT_EQ(TImgOper::ImageToBase64(missing), "");
    EXPECT_EQ(TImgOper::ImageToBase64(dir.path().string()), ""); // a folder, not a file

    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(logFolder)) {
        log += testsupport::ReadAll(entry.path());
    }
    std::filesystem::remove_all(logFolder, ignored);
    const std::string utf8 = CodePage::ToUtf8(log);
    EXPECT_NE(utf8.find("-----MAIN: Base64编码图片时失败,图片名称:" + missing +
                        ",错误：Cannot open file \"" + missing +
                        "\". No such file or directory\r\n"),
              std::string::npos)
        << utf8;
    EXPECT_NE(utf8.find("图片名称:" + dir.path().string() + ",错误："), std::string::npos);
}
