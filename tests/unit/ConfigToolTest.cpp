// tavlin-config as an IT person runs it: write, check, and what it refuses.
#include "ShellConfig.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

const std::string kConfig = std::string(TAVLIN_BIN_DIR) + "/tavlin-config";

class ConfigTool : public ::testing::Test {
protected:
    // Runs the tool with arguments; standard error goes to Stderr().
    std::string Run(const std::string& arguments, int& code) {
        return RunCommand(
            kConfig + " " + arguments + " 2>'" + (m_dir.path() / "stderr").string() + "'", code);
    }
    std::string Stderr() { return testsupport::ReadAll(m_dir.path() / "stderr"); }
    std::string Folder() { return "'" + (m_dir.path() / "pc").string() + "'"; }

    TempDir m_dir;
};

} // namespace

TEST_F(ConfigTool, WrittenFolderIsWhatCheckAndTavlinRead) {
    int code = -1;
    Run("write " + Folder() +
            " --url http://inspect.example/entry --type-code R02 --number 4401000001"
            " --serial SN-1 --name '平安宾馆' --other '前台' --long-code ABC4401000009XYZ"
            " --allowed-origins 'https://b.example http://c.example:8080' --load-timeout 12",
        code);
    ASSERT_EQ(code, 0) << Stderr();
    const std::string out = Run("check " + Folder(), code);
    EXPECT_EQ(code, 0) << Stderr();
    EXPECT_NE(out.find("base URL:   http://inspect.example/entry\n"), std::string::npos) << out;
    EXPECT_NE(out.find("the base URL's origin and https://b.example http://c.example:8080"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("load limit: 12 s"), std::string::npos) << out;
    // R02 with a long code: type R01, number from the long code's characters 4 to 13.
    EXPECT_NE(out.find("start URL:  http://inspect.example/entry?id=NDQwMTAwMDAwOQ==&name="),
              std::string::npos)
        << out;
    const ShellConfig::BaseUrl base = ShellConfig::ReadBaseUrl((m_dir.path() / "pc/").string());
    EXPECT_EQ(base.result, ShellConfig::LoadResult::Loaded);
    EXPECT_EQ(base.url, "http://inspect.example/entry");
}

TEST_F(ConfigTool, RefusesWhatTavlinCouldNotUse) {
    struct Case {
        const char* arguments;
        const char* says;
    };
    const Case cases[] = {
        {"--url '  '", "--url is required"},
        {"--url http://a/ --load-timeout 0", "--load-timeout must be"},
        {"--url http://a/ --load-timeout 12s", "--load-timeout must be"},
        {"--url http://a/ --allowed-origins 'ftp://b'", "'ftp://b' is not an origin"},
        {"--url http://a/ --allowed-origins 'https://b/path'", "is not an origin"},
    };
    for (const Case& c : cases) {
        int code = -1;
        Run("write " + Folder() + " " + c.arguments, code);
        EXPECT_EQ(code, 2) << c.arguments;
        EXPECT_NE(Stderr().find(c.says), std::string::npos) << c.arguments << ": " << Stderr();
    }
    // Nothing was written by a refused call.
    int code = -1;
    Run("check " + Folder(), code);
    EXPECT_NE(code, 0);
    // An unknown option or command is answered with the usage.
    Run("write " + Folder() + " --url http://a/ --colour red", code);
    EXPECT_EQ(code, 2);
    EXPECT_NE(Stderr().find("usage: tavlin-config"), std::string::npos);
    Run("remove " + Folder(), code);
    EXPECT_EQ(code, 2);
}
