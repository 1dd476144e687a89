#include "CodePage.h"
#include "ElfNote.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

const std::filesystem::path kBin = TAVLIN_BIN_DIR;

// Runs a probe and returns its two lines: the version and the program folder.
std::pair<std::string, std::string> Probe(const std::filesystem::path& exe) {
    int code = 0;
    const std::string out = RunCommand("'" + exe.string() + "'", code);
    EXPECT_EQ(code, 0);
    const std::size_t nl = out.find('\n');
    return {out.substr(0, nl), out.substr(nl + 1, out.size() - nl - 2)};
}

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[32];
    std::strftime(name, sizeof name, "Inspect_%Y%m%d.txt", &local);
    return name;
}

} // namespace

TEST(GetVersion, ReadsTheFourPartsTheBuildWrote) {
    EXPECT_EQ(Probe(kBin / "tavlin-version-probe").first, "2.1.0.15");
    EXPECT_EQ(Probe(kBin / "tavlin-version-probe-max").first, "65535.0.65535.7");
}

TEST(GetAppPath, IsTheExecutablesFolderWithItsSlash) {
    TempDir dir;
    const auto folder = dir.path() / "程序 folder";
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(kBin / "tavlin-version-probe", folder / "probe");
    const auto [version, app] = Probe(folder / "probe");
    EXPECT_EQ(version, "2.1.0.15");
    EXPECT_EQ(app, folder.string() + "/");
}

TEST(GetVersion, WithoutTheNoteGivesZerosAndOneLogLine) {
    TempDir dir;
    const auto exe = dir.path() / "stripped";
    std::filesystem::copy_file(kBin / "tavlin-version-probe", exe);
    int code = 0;
    RunCommand("objcopy --remove-section=.note.tavlin.version '" + exe.string() + "'", code);
    ASSERT_EQ(code, 0);

    EXPECT_EQ(Probe(exe).first, "0.0.0.0");
    const std::string log = testsupport::ReadAll(dir.path() / "LogFiles" / Today());
    const std::string utf8 = CodePage::ToUtf8(log);
    EXPECT_NE(utf8.find("-----MAIN: 获取文件版本号信息失败,TFileOper->GetVersion中错误:\"" +
                        exe.string() + "\" carries no file version\r\n"),
              std::string::npos)
        << utf8;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

TEST(ElfNoteReader, MalformedFilesGiveAnErrorNotACrash) {
    TempDir dir;
    const std::string probe = testsupport::ReadAll(kBin / "tavlin-version-probe");
    const auto check = [&](const std::string& name, const std::string& bytes) {
        testsupport::WriteAll(dir.path() / name, bytes);
        const ElfNote::ReadResult result = ElfNote::ReadVersion((dir.path() / name).string());
        EXPECT_FALSE(result.ok) << name;
        EXPECT_FALSE(result.error.empty()) << name;
    };
    check("empty", "");
    check("text", "#!/bin/sh\necho hello\n");
    check("header-only", probe.substr(0, 64));
    check("half", probe.substr(0, probe.size() / 2)); // the section headers are at the end
    std::string wild = probe;
    wild[0x28] = '\xFF'; // e_shoff far beyond the file
    check("wild-offset", wild);
    EXPECT_FALSE(ElfNote::ReadVersion((dir.path() / "missing").string()).ok);

    // A note section whose note claims more bytes than the section has.
    std::string corrupt = probe;
    const std::string note("\x07\0\0\0\x08\0\0\0\x31\x52\x45\x56Tavlin\0\0", 20);
    const std::size_t at = corrupt.find(note);
    ASSERT_NE(at, std::string::npos);
    corrupt[at + 4] = '\x7F'; // descriptor size
    check("corrupt-note", corrupt);

    const ElfNote::ReadResult good = ElfNote::ReadVersion((kBin / "tavlin-version-probe").string());
    ASSERT_TRUE(good.ok);
    EXPECT_EQ(good.version.ms, (2u << 16) | 1u);
    EXPECT_EQ(good.version.ls, (0u << 16) | 15u);
}
