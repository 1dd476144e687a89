// tavlin-config as an IT person runs it: write, check, and what it refuses.
#include "CodePage.h"
#include "FileOper.h"
#include "ShellConfig.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <algorithm>
#include <unistd.h>

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
            " --allowed-origins 'https://b.example http://c.example:8080' --load-timeout 12"
            " --largest-photo 1920x1080",
        code);
    ASSERT_EQ(code, 0) << Stderr();
    const std::string out = Run("check " + Folder(), code);
    EXPECT_NE(out.find("photo:      at most 1920x1080\n"), std::string::npos) << out;
    const auto largest = ShellConfig::ReadLargestPhoto((m_dir.path() / "pc/").string());
    EXPECT_EQ(largest, (ShellConfig::PhotoSize{1920, 1080}));
    EXPECT_EQ(code, 0) << Stderr();
    EXPECT_NE(out.find("base URL:   http://inspect.example/entry\n"), std::string::npos) << out;
    EXPECT_NE(out.find("pages:      only the base URL's origin and https://b.example "
                       "http://c.example:8080\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("load limit: 12 s"), std::string::npos) << out;
    EXPECT_NE(out.find("printing:   on (a print dialog of the PC's printers)\n"), std::string::npos)
        << out;
    // Printing off, written and read back as Tavlin reads it.
    Run("write " + Folder() + " --printing off", code);
    ASSERT_EQ(code, 0) << Stderr();
    EXPECT_FALSE(ShellConfig::ReadBrowserSettings((m_dir.path() / "pc/").string()).printing);
    EXPECT_NE(Run("check " + Folder(), code).find("printing:   off (a page's print is refused)\n"),
              std::string::npos);
    EXPECT_NE(Run("values " + Folder(), code).find("printing=off\n"), std::string::npos);
    // R02 with a long code: type R01, number from the long code's characters 4 to 13.
    EXPECT_NE(out.find("start URL:  http://inspect.example/entry?id=NDQwMTAwMDAwOQ==&name="),
              std::string::npos)
        << out;
    const ShellConfig::BaseUrl base = ShellConfig::ReadBaseUrl((m_dir.path() / "pc/").string());
    EXPECT_EQ(base.result, ShellConfig::LoadResult::Loaded);
    EXPECT_EQ(base.url, "http://inspect.example/entry");
}

TEST_F(ConfigTool, ValuesAreWhatWasWrittenAndWriteBackUnchanged) {
    int code = -1;
    const std::string written =
        " --url 'http://inspect.example/entry?a=1&b=两' --type-code R02 --number 4401000001"
        " --serial ' SN-1' --name '平安 宾馆' --other 'a=b' --long-code ''"
        " --allowed-origins 'https://b.example http://c.example:8080' --load-timeout 12";
    Run("write " + Folder() + written, code);
    ASSERT_EQ(code, 0) << Stderr();
    const std::string values = Run("values " + Folder(), code);
    EXPECT_EQ(code, 0) << Stderr();
    EXPECT_EQ(values, "url=http://inspect.example/entry?a=1&b=两\n"
                      "type-code=R02\n"
                      "enterprise-number=4401000001\n"
                      "identity-serial= SN-1\n"
                      "enterprise-name=平安 宾馆\n"
                      "other-info=a=b\n"
                      "long-code=\n"
                      "allowed-origins=https://b.example http://c.example:8080\n"
                      "load-timeout=12\n");
    // Written again from those values (as the package's scripts do), the
    // files are byte for byte what they were.
    const std::filesystem::path pc = m_dir.path() / "pc" / "InspectConfig";
    const std::string config = testsupport::ReadAll(pc / "Config.ini");
    const std::string identity = testsupport::ReadAll(pc / "Identity.ini");
    Run("write " + Folder() + written, code);
    ASSERT_EQ(code, 0) << Stderr();
    EXPECT_EQ(testsupport::ReadAll(pc / "Config.ini"), config);
    EXPECT_EQ(testsupport::ReadAll(pc / "Identity.ini"), identity);
    // One value written anew: the others stay as they were.
    Run("write " + Folder() + " --url http://a/", code);
    ASSERT_EQ(code, 0) << Stderr();
    EXPECT_EQ(Run("values " + Folder(), code),
              "url=http://a/\n"
              "type-code=R02\n"
              "enterprise-number=4401000001\n"
              "identity-serial= SN-1\n"
              "enterprise-name=平安 宾馆\n"
              "other-info=a=b\n"
              "long-code=\n"
              "allowed-origins=https://b.example http://c.example:8080\n"
              "load-timeout=12\n");
    // An optional setting given empty is gone; a fresh folder has none.
    Run("write " + Folder() + " --allowed-origins '' --load-timeout ''", code);
    ASSERT_EQ(code, 0) << Stderr();
    const std::string cleared = Run("values " + Folder(), code);
    EXPECT_EQ(cleared.find("allowed-origins="), std::string::npos) << cleared;
    EXPECT_EQ(cleared.find("load-timeout="), std::string::npos) << cleared;
    const std::string fresh = "'" + (m_dir.path() / "fresh").string() + "'";
    Run("write " + fresh + " --url http://a/", code);
    EXPECT_EQ(Run("values " + fresh, code),
              "url=http://a/\ntype-code=\nenterprise-number=\nidentity-serial=\n"
              "enterprise-name=\nother-info=\nlong-code=\n");
    // Nothing to read: status 1, and the reason.
    Run("values '" + (m_dir.path() / "none").string() + "'", code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(Stderr().find("no configuration to read"), std::string::npos) << Stderr();
}

TEST_F(ConfigTool, ANonAsciiUrlIsStoredInTheCodePageTavlinReads) {
    // Config.ini holds code page text: the URL given in UTF-8 is stored so,
    // and read back as it was given.
    int code = -1;
    Run("write " + Folder() +
            " --url 'http://检查.corp.test/入口' --allowed-origins 'https://审批.corp.test/ "
            "http://[::1]:8443'",
        code);
    ASSERT_EQ(code, 0) << Stderr();
    const ShellConfig::BaseUrl base = ShellConfig::ReadBaseUrl((m_dir.path() / "pc/").string());
    EXPECT_EQ(base.url, CodePage::FromUtf8("http://检查.corp.test/入口"));
    EXPECT_NE(base.url, "http://检查.corp.test/入口"); // not the UTF-8 bytes
    EXPECT_EQ(ShellConfig::ReadBrowserSettings((m_dir.path() / "pc/").string()).allowedOrigins,
              (std::vector<std::string>{CodePage::FromUtf8("https://审批.corp.test/"),
                                        "http://[::1]:8443"}));
    const std::string out = Run("check " + Folder(), code);
    EXPECT_EQ(code, 0) << Stderr();
    EXPECT_NE(out.find("base URL:   http://检查.corp.test/入口\n"), std::string::npos) << out;
    EXPECT_NE(out.find("only the base URL's origin and https://审批.corp.test/ http://[::1]:8443"),
              std::string::npos)
        << out;
    const std::string values = Run("values " + Folder(), code);
    EXPECT_NE(values.find("url=http://检查.corp.test/入口\n"), std::string::npos) << values;
}

TEST_F(ConfigTool, CheckSaysWhichOriginsAreLeftOut) {
    // Written by hand: what Tavlin cannot read is named, and the limit stays.
    const std::filesystem::path pc = m_dir.path() / "pc" / "InspectConfig";
    std::filesystem::create_directories(pc);
    testsupport::WriteAll(pc / "Config.ini", "[URL]\r\nURL=aHR0cDovL2EvZQ==\r\n[Browser]\r\n"
                                             "AllowedOrigins=inspect.example\r\n");
    int code = -1;
    const std::string out = Run("check " + Folder(), code);
    EXPECT_EQ(code, 1) << Stderr();
    EXPECT_NE(out.find("pages:      only the base URL's origin\n"), std::string::npos) << out;
    EXPECT_NE(out.find("left out of AllowedOrigins, not an origin: 'inspect.example'"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("unreadable: Browser AllowedOrigins: 'inspect.example' is not an origin"),
              std::string::npos)
        << out;
}

TEST_F(ConfigTool, CheckNamesEveryValueItCannotRead) {
    // Written by hand, as IT might: each value is named, its default said,
    // and check fails; the start URL is still shown.
    const std::filesystem::path pc = m_dir.path() / "pc" / "InspectConfig";
    std::filesystem::create_directories(pc);
    testsupport::WriteAll(pc / "Config.ini", "[URL]\r\nURL=aHR0cDovL2EvZQ==\r\n[Browser]\r\n"
                                             "LoadTimeout=30s\r\nPrinting=sometimes\r\n"
                                             "[Camera]\r\nLargestPhoto=1920*1080\r\n");
    int code = -1;
    const std::string out = Run("check " + Folder(), code);
    EXPECT_EQ(code, 1) << out;
    EXPECT_NE(out.find("unreadable: Browser LoadTimeout: '30s' is not a whole number of seconds "
                       "from 1 to 3600; 30 s are used\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("unreadable: Camera LargestPhoto: '1920*1080' is not WIDTHxHEIGHT, each "
                       "from 160 to 16384; photos are at most 640x480\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("unreadable: Browser Printing: 'sometimes' is not on or off (1 or 0, yes or "
                       "no, true or false); printing is on\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("printing:   on"), std::string::npos) << out;
    EXPECT_NE(out.find("photo:      at most 640x480 (the default)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("start URL:  http://a/e"), std::string::npos) << out;
    // Readable values and blank ones are not named.
    testsupport::WriteAll(pc / "Config.ini", "[URL]\r\nURL=aHR0cDovL2EvZQ==\r\n[Browser]\r\n"
                                             "LoadTimeout=\r\n[Camera]\r\n"
                                             "LargestPhoto= 2592x1944 \r\n");
    const std::string fine = Run("check " + Folder(), code);
    EXPECT_EQ(code, 0) << fine;
    EXPECT_EQ(fine.find("unreadable:"), std::string::npos) << fine;
    EXPECT_NE(fine.find("photo:      at most 2592x1944\n"), std::string::npos) << fine;
}

TEST_F(ConfigTool, AnInstalledCopysConfigurationLinkIsFollowed) {
    // The package's layout: the program folder's InspectConfig is a link to
    // the configuration folder, which may not exist yet.
    const std::filesystem::path program = m_dir.path() / "lib";
    const std::filesystem::path etc = m_dir.path() / "etc" / "tavlin";
    std::filesystem::create_directories(program);
    std::filesystem::create_directory_symlink(etc, program / "InspectConfig");
    int code = -1;
    Run("write '" + program.string() + "' --url http://a/ --number 7", code);
    ASSERT_EQ(code, 0) << Stderr();
    EXPECT_TRUE(std::filesystem::is_symlink(program / "InspectConfig"));
    EXPECT_NE(testsupport::ReadAll(etc / "Identity.ini").find("EnterpriseNumber=7\n"),
              std::string::npos);
    EXPECT_EQ(ShellConfig::ReadBaseUrl(program.string() + "/").url, "http://a/");
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
        {"--url http://a/ --largest-photo 1920", "--largest-photo must be WIDTHxHEIGHT"},
        {"--url http://a/ --largest-photo 100x80", "--largest-photo must be WIDTHxHEIGHT"},
        {"--url http://a/ --largest-photo 1920X1080", "--largest-photo must be WIDTHxHEIGHT"},
        {"--url http://a/ --largest-photo -1920x1080", "--largest-photo must be WIDTHxHEIGHT"},
        {"--url http://a/ --printing maybe", "--printing must be on or off"},
        {"--url http://a/ --allowed-origins 'ftp://b'", "'ftp://b' is not an origin"},
        {"--url http://a/ --allowed-origins 'https://b/path'", "is not an origin"},
        {"--url ftp://inspect.example/", "--url must be an http:// or https:// address"},
        {"--url 'javascript:alert(1)'", "--url must be an http:// or https:// address"},
        {"--url http://", "--url must be an http:// or https:// address"},
        // Tavlin reads 2047 bytes of a value: more would be cut without a word.
        {"--url http://a/ --name $(printf 'x%.0s' $(seq 2048))", "--name is too long: 2048 bytes"},
        {"--url http://a/$(printf 'x%.0s' $(seq 1530))", "--url is too long"},
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

TEST_F(ConfigTool, AtTheLimitIsStillWritten) {
    int code = -1;
    // 2047 bytes of a name, and a URL whose Base64 form is 2044 bytes.
    Run("write " + Folder() + " --url http://a/$(printf 'x%.0s' $(seq 1524))" +
            " --name $(printf 'x%.0s' $(seq 2047))",
        code);
    EXPECT_EQ(code, 0) << Stderr();
}

TEST_F(ConfigTool, CheckTellsAnUnreadableFileFromAnEmptyOne) {
    int code = -1;
    Run("write " + Folder() + " --url http://a/ --serial " + std::string(60, 'S'), code);
    ASSERT_EQ(code, 0) << Stderr();
    // The start URL exactly as Tavlin sends it: a long serial's Base64 line
    // breaks are not in it.
    std::string out = Run("check " + Folder(), code);
    const std::size_t start = out.find("start URL:  ");
    ASSERT_NE(start, std::string::npos) << out;
    const std::string url = out.substr(start + 12, out.find('\n', start) - start - 12);
    EXPECT_EQ(url.find_first_of("\r\t"), std::string::npos);
    EXPECT_NE(url.find("&dog=U1NT"), std::string::npos) << url;
    EXPECT_NE(url.find("&version="), std::string::npos) << url;

    const std::filesystem::path config = m_dir.path() / "pc" / "InspectConfig" / "Config.ini";
    testsupport::WriteAll(config, "");
    out = Run("check " + Folder(), code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find(config.string() + " is empty"), std::string::npos) << out;

    // A file that is there but cannot be opened (a link to itself: even root cannot).
    std::filesystem::remove(config);
    std::filesystem::create_symlink(config, config);
    out = Run("check " + Folder(), code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("cannot read " + config.string() + ": Too many levels of symbolic links"),
              std::string::npos)
        << out;
}

TEST_F(ConfigTool, ReportsAFileItCannotWriteWithTheReason) {
    int code = -1;
    // InspectConfig is a file here, so nothing can be written into it.
    std::filesystem::create_directories(m_dir.path() / "pc");
    testsupport::WriteAll(m_dir.path() / "pc" / "InspectConfig", "in the way");
    Run("write " + Folder() + " --url http://a/", code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(Stderr().find("InspectConfig"), std::string::npos) << Stderr();
    EXPECT_NE(Stderr().find("Not a directory"), std::string::npos) << Stderr();
}

TEST_F(ConfigTool, HelpVersionAndUnknownOptions) {
    int code = -1;
    std::string out = Run("--help", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out.rfind("usage: tavlin-config write FOLDER", 0), 0u) << out;
    EXPECT_NE(out.find("autostart on|off"), std::string::npos);
    // Every option and every value name of the table of keys.
    for (const ShellConfig::Key& key : ShellConfig::kKeys) {
        EXPECT_NE(out.find(std::string(key.option) + " "), std::string::npos) << key.option;
        EXPECT_NE(out.find(" " + std::string(key.name) + "="), std::string::npos) << key.name;
    }
    out = Run("--version", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '.'), 3) << out;
    Run("--colour", code);
    EXPECT_EQ(code, 2);
    EXPECT_NE(Stderr().find("unknown option '--colour'"), std::string::npos) << Stderr();
    Run("autostart maybe", code);
    EXPECT_EQ(code, 2);
    EXPECT_NE(Stderr().find("not 'maybe'"), std::string::npos) << Stderr();
}

TEST_F(ConfigTool, AutostartOnAndOff) {
    // Every user's entry for root, the user's own otherwise: both pointed into
    // this test's folder.
    const std::filesystem::path system = m_dir.path() / "xdg";
    const std::filesystem::path user = m_dir.path() / "config";
    const std::filesystem::path entry =
        (::geteuid() == 0 ? system : user) / "autostart" / "org.tavlin.Tavlin.desktop";
    const std::string env =
        "XDG_CONFIG_DIRS='" + system.string() + "' XDG_CONFIG_HOME='" + user.string() + "' ";
    // A program folder of the test's own: the tool, and the program it starts.
    const std::filesystem::path program = m_dir.path() / "program";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(kConfig, program / "tavlin-config");
    int code = -1;
    const auto run = [&](const std::string& arguments) {
        return RunCommand(env + "'" + (program / "tavlin-config").string() + "' " + arguments +
                              " 2>'" + (m_dir.path() / "stderr").string() + "'",
                          code);
    };
    // No program beside the tool: nothing to start at login.
    run("autostart on");
    EXPECT_EQ(code, 1);
    EXPECT_NE(Stderr().find("there is no program " + (program / "tavlin").string()),
              std::string::npos)
        << Stderr();
    EXPECT_FALSE(std::filesystem::exists(entry));

    testsupport::WriteAll(program / "tavlin", "#!/bin/sh\n");
    std::filesystem::permissions(program / "tavlin", std::filesystem::perms::owner_all);
    std::string out = run("autostart on");
    EXPECT_EQ(code, 0) << Stderr();
    EXPECT_NE(out.find(entry.string()), std::string::npos) << out;
    const std::string written = testsupport::ReadAll(entry);
    EXPECT_NE(written.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
    EXPECT_NE(written.find("\nExec=" + (program / "tavlin").string() + "\n"), std::string::npos)
        << written;
    // Once the program is gone, the desktop passes over the entry.
    EXPECT_NE(written.find("\nTryExec=" + (program / "tavlin").string() + "\n"), std::string::npos)
        << written;
    out = run("autostart off");
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(std::filesystem::exists(entry));
    out = run("autostart off");
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("autostart was off"), std::string::npos) << out;
}

TEST_F(ConfigTool, AnOptionGivenEmptyClearsOnlyItsValue) {
    int code = -1;
    Run("write " + Folder() +
            " --url http://a.example/ --number 4401000001 --load-timeout 12"
            " --largest-photo 1920x1080",
        code);
    ASSERT_EQ(code, 0) << Stderr();
    Run("write " + Folder() + " --load-timeout '' --largest-photo ''", code);
    ASSERT_EQ(code, 0) << Stderr();
    const std::string out = Run("check " + Folder(), code);
    EXPECT_NE(out.find("load limit: 30 s"), std::string::npos) << out;
    EXPECT_NE(out.find("photo:      at most 640x480 (the default)"), std::string::npos) << out;
    // What was not given stays.
    EXPECT_NE(out.find("base URL:   http://a.example/"), std::string::npos) << out;
    EXPECT_NE(out.find("number:     4401000001"), std::string::npos) << out;
}

TEST(ConfigKeys, TheReadmeTableNamesEveryKeyAsTavlinReadsIt) {
    // One row per key of the configuration's table, in its order: file,
    // section, key and tavlin-config's option as the program has them.
    std::ifstream readme(std::string(TAVLIN_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(readme);
    std::string line;
    bool inTable = false;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(readme, line)) {
        if (line == "<!-- keys-table -->") {
            inTable = true;
        } else if (line == "<!-- /keys-table -->") {
            break;
        } else if (inTable && line.rfind("| `", 0) == 0) {
            std::vector<std::string> cells;
            std::size_t from = 1;
            for (std::size_t bar = line.find('|', from); bar != std::string::npos;
                 from = bar + 1, bar = line.find('|', from)) {
                std::string cell = line.substr(from, bar - from);
                cell.erase(0, cell.find_first_not_of(' '));
                cell.erase(cell.find_last_not_of(' ') + 1);
                if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`') {
                    cell = cell.substr(1, cell.size() - 2);
                }
                cells.push_back(cell);
            }
            rows.push_back(cells);
        }
    }
    ASSERT_EQ(rows.size(), std::size(ShellConfig::kKeys));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ShellConfig::Key& key = ShellConfig::kKeys[i];
        const std::string file(key.file.substr(key.file.rfind('/') + 1));
        ASSERT_GE(rows[i].size(), 7u) << i;
        EXPECT_EQ(rows[i][0], file) << key.name;
        EXPECT_EQ(rows[i][1], key.section) << key.name;
        EXPECT_EQ(rows[i][2], key.key) << key.name;
        EXPECT_EQ(rows[i][3], key.option) << key.name;
        // Asked by debconf exactly when it is not optional.
        EXPECT_EQ(rows[i][4] == "(not asked)", key.optional) << key.name;
    }
}

TEST(ConfigKeys, OnlyTheConfigurationsOwnCodeReadsItsFiles) {
    // The window, the camera and tavlin-config take what the files say from
    // ShellConfig::Load (writing's ReadValues aside): none reads a key itself.
    for (const auto& [path, code] :
         testsupport::Sources({"app", "camera", "shell", "ui", "tools"})) {
        for (const char* reader : {"ReadIniString", "ReadConfigValue", "ReadBaseUrl",
                                   "ReadBrowserSettings", "ReadLargestPhoto", "UnreadableValues"}) {
            EXPECT_EQ(code.find(reader), std::string::npos) << path << " calls " << reader;
        }
    }
}

TEST(ConfigKeys, TheManualPagesGiveTheProgramsLimitsAndEveryOption) {
    // Written by hand, checked against the constants Tavlin and the tool use.
    const auto read = [](const char* page) {
        std::ifstream file(std::string(TAVLIN_SOURCE_DIR) + "/packaging/man/" + page);
        std::string text((std::istreambuf_iterator<char>(file)), {});
        // Troff's escaped hyphens read as plain ones.
        for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-")) {
            text.erase(at, 1);
        }
        return text;
    };
    const std::string config = read("tavlin-config.1");
    const std::string tavlin = read("tavlin.1");
    ASSERT_FALSE(config.empty());
    ASSERT_FALSE(tavlin.empty());
    const std::string timeout = std::to_string(ShellConfig::kMinLoadTimeoutSeconds) + " to " +
                                std::to_string(ShellConfig::kMaxLoadTimeoutSeconds);
    EXPECT_NE(config.find(timeout), std::string::npos);
    EXPECT_NE(tavlin.find(timeout), std::string::npos);
    EXPECT_NE(config.find(std::to_string(ShellConfig::BrowserSettings::kDefaultLoadTimeoutSeconds) +
                          " by default"),
              std::string::npos);
    EXPECT_NE(config.find(std::to_string(ShellConfig::kMinPhotoSide) + " to " +
                          std::to_string(ShellConfig::kMaxPhotoSide)),
              std::string::npos);
    EXPECT_NE(config.find("longer than " + std::to_string(TFileOper::kMaxIniValue)),
              std::string::npos);
    const std::string photo = std::to_string(ShellConfig::kDefaultLargestPhoto.width) + "x" +
                              std::to_string(ShellConfig::kDefaultLargestPhoto.height);
    EXPECT_NE(config.find(photo), std::string::npos);
    EXPECT_NE(tavlin.find(photo + " by default"), std::string::npos);
    for (const ShellConfig::Key& key : ShellConfig::kKeys) {
        EXPECT_NE(config.find(std::string(key.option)), std::string::npos) << key.option;
        EXPECT_NE(tavlin.find(std::string(key.key)), std::string::npos) << key.key;
    }
}

TEST_F(ConfigTool, AKillAtAnyMomentOfWriteLeavesTheOldFilesOrTheNew) {
    // strace kills the tool at the Nth call of each system call that touches
    // the files, for every N the write reaches: after each kill, each file is
    // whole, as it was or as it was to be, with its mode kept.
    ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace (make deps) is needed";
    const std::filesystem::path files = m_dir.path() / "pc" / "InspectConfig";
    int code = -1;
    Run("write " + Folder() + " --url http://old.example/ --number 1 --name 旧", code);
    ASSERT_EQ(code, 0) << Stderr();
    std::filesystem::permissions(files / "Config.ini", std::filesystem::perms(0640));
    const std::string oldConfig = testsupport::ReadAll(files / "Config.ini");
    const std::string oldIdentity = testsupport::ReadAll(files / "Identity.ini");
    const std::string change = " --url http://new.example/ --number 2 --name 新";
    // What a whole write gives, in a folder of its own.
    const std::filesystem::path twin = m_dir.path() / "twin";
    std::filesystem::copy(m_dir.path() / "pc", twin, std::filesystem::copy_options::recursive);
    RunCommand(kConfig + " write '" + twin.string() + "'" + change, code);
    ASSERT_EQ(code, 0);
    const std::string newConfig = testsupport::ReadAll(twin / "InspectConfig" / "Config.ini");
    const std::string newIdentity = testsupport::ReadAll(twin / "InspectConfig" / "Identity.ini");
    ASSERT_NE(oldConfig, newConfig);
    ASSERT_NE(oldIdentity, newIdentity);

    int kills = 0;
    for (const char* call : {"openat", "write", "fchmod", "fsync", "rename"}) {
        for (int n = 1; n < 50; ++n) {
            // Back to the old files before each try.
            testsupport::WriteAll(files / "Config.ini", oldConfig);
            testsupport::WriteAll(files / "Identity.ini", oldIdentity);
            const std::string inject = std::string("strace -f -qq -o /dev/null -e trace=") + call +
                                       " -e inject=" + call +
                                       ":signal=KILL:when=" + std::to_string(n) + " ";
            RunCommand(inject + kConfig + " write " + Folder() + change + " >/dev/null 2>&1", code);
            const std::string config = testsupport::ReadAll(files / "Config.ini");
            const std::string identity = testsupport::ReadAll(files / "Identity.ini");
            EXPECT_TRUE(config == oldConfig || config == newConfig)
                << call << " #" << n << ": Config.ini is '" << config << "'";
            EXPECT_TRUE(identity == oldIdentity || identity == newIdentity)
                << call << " #" << n << ": Identity.ini is '" << identity << "'";
            EXPECT_EQ(std::filesystem::status(files / "Config.ini").permissions(),
                      std::filesystem::perms(0640))
                << call << " #" << n;
            if (code == 0) {
                EXPECT_EQ(config, newConfig);
                EXPECT_EQ(identity, newIdentity);
                break; // the write ran to its end before the Nth call
            }
            ++kills;
        }
    }
    // The writes were cut at many moments, not none.
    EXPECT_GT(kills, 6);
}

namespace {

// text (UTF-8) as Windows Notepad saves "Unicode": UTF-16LE after its mark;
// big-endian without reordering the mark when bigEndian.
std::string Utf16(const std::string& utf8, bool bigEndian = false) {
    const std::u16string units = CodePage::ToUtf16(CodePage::FromUtf8(utf8));
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : units) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

} // namespace

TEST_F(ConfigTool, AUnicodeConfigIniStartsAsItsGbkTwin) {
    // The same configuration saved by Notepad as ANSI (GBK) and as "Unicode".
    const std::string utf8 = "; 检查系统\r\n[URL]\r\nURL=aHR0cDovLzEyNy4wLjAuMTo5L7zssuk=\r\n"
                             "[Browser]\r\nLoadTimeout=12\r\n";
    int code = -1;
    std::string urls[2];
    for (const bool unicode : {false, true}) {
        const std::filesystem::path folder = m_dir.path() / (unicode ? "unicode" : "gbk");
        std::filesystem::create_directories(folder / "InspectConfig");
        testsupport::WriteAll(folder / "InspectConfig" / "Config.ini",
                              unicode ? Utf16(utf8) : CodePage::FromUtf8(utf8));
        const std::string out = RunCommand(kConfig + " check '" + folder.string() + "'", code);
        EXPECT_EQ(code, 0) << out;
        EXPECT_NE(out.find("load limit: 12 s"), std::string::npos) << out;
        urls[unicode ? 1 : 0] = out.substr(out.find("start URL:"));
        const ShellConfig::Configuration config = ShellConfig::Load(folder.string() + "/");
        EXPECT_EQ(config.result, ShellConfig::LoadResult::Loaded);
        EXPECT_EQ(CodePage::ToUtf8(config.baseUrl), "http://127.0.0.1:9/检查");
    }
    EXPECT_EQ(urls[0], urls[1]);
}

TEST_F(ConfigTool, AnEncodingTavlinCannotReadIsNamedNotCalledEmpty) {
    const std::filesystem::path files = m_dir.path() / "pc" / "InspectConfig";
    std::filesystem::create_directories(files);
    const std::string utf8 = "[URL]\r\nURL=aHR0cDovL2EvZQ==\r\n";
    std::string noMark = Utf16(utf8).substr(2);
    const std::pair<std::string, std::string> cases[] = {
        {Utf16(utf8, true), "UTF-16 big-endian"},
        {noMark, "UTF-16 without a byte-order mark"},
        {std::string("\xFF\xFE\0\0", 4) + "[\0\0\0", "UTF-32 little-endian"},
    };
    for (const auto& [bytes, named] : cases) {
        SCOPED_TRACE(named);
        testsupport::WriteAll(files / "Config.ini", bytes);
        int code = -1;
        const std::string out = Run("check " + Folder(), code);
        EXPECT_EQ(code, 1);
        EXPECT_NE(out.find("is written in " + named), std::string::npos) << out;
        EXPECT_EQ(out.find("the base URL is empty"), std::string::npos) << out;
        const ShellConfig::Configuration config =
            ShellConfig::Load((m_dir.path() / "pc").string() + "/");
        EXPECT_EQ(config.result, ShellConfig::LoadResult::EmptyUrl);
        EXPECT_NE(config.refusal.find(named), std::string::npos) << config.refusal;
        EXPECT_NE(config.unreadableEncoding.find(named), std::string::npos);
    }
}

TEST_F(ConfigTool, WriteKeepsWhatItWasNotGivenAndChangesValuesInPlace) {
    // IT's hand edits: comments, a blank line, a section and keys Tavlin does
    // not know, another spelling of a key, no line end at the very end.
    const std::filesystem::path files = m_dir.path() / "pc" / "InspectConfig";
    std::filesystem::create_directories(files);
    testsupport::WriteAll(files / "Config.ini",
                          CodePage::FromUtf8("; 由信息科维护\r\n[URL]\r\n; 正式环境\r\n"
                                             "url = aHR0cDovL2EvZQ==\r\n\r\n[Printer]\r\n"
                                             "Name=前台\r\n[Browser]\r\nLoadTimeout=12\r\n"
                                             "FutureKey=1"));
    testsupport::WriteAll(files / "Identity.ini",
                          "; 手工\n[Identity]\nEnterpriseNumber=1\nName=x\n\n[Extra]\nkeep=yes\n");
    int code = -1;
    Run("write " + Folder() + " --url http://b.example/ --number 2 --largest-photo 1920x1080",
        code);
    ASSERT_EQ(code, 0) << Stderr();
    EXPECT_EQ(CodePage::ToUtf8(testsupport::ReadAll(files / "Config.ini")),
              "; 由信息科维护\r\n[URL]\r\n; 正式环境\r\nURL=aHR0cDovL2IuZXhhbXBsZS8=\r\n\r\n"
              "[Printer]\r\nName=前台\r\n[Browser]\r\nLoadTimeout=12\r\nFutureKey=1\r\n"
              "[Camera]\r\nLargestPhoto=1920x1080\r\n");
    EXPECT_EQ(testsupport::ReadAll(files / "Identity.ini"),
              "; 手工\n[Identity]\nEnterpriseNumber=2\nName=x\nTypeCode=\nIdentitySerial=\n"
              "EnterpriseName=\nOtherInfo=\nLongCode=\n\n[Extra]\nkeep=yes\n");
    // Written again with the same values: byte for byte the same.
    const std::string before = testsupport::ReadAll(files / "Config.ini");
    Run("write " + Folder(), code);
    ASSERT_EQ(code, 0) << Stderr();
    EXPECT_EQ(testsupport::ReadAll(files / "Config.ini"), before);
    // Read back as Tavlin reads it.
    const std::string out = Run("check " + Folder(), code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("base URL:   http://b.example/\n"), std::string::npos) << out;
    EXPECT_NE(out.find("load limit: 12 s"), std::string::npos) << out;
}

TEST_F(ConfigTool, AGb18030TerminalIsReadAndAnsweredInItsCharset) {
    const std::string terminal = testsupport::Gb18030Terminal();
    ASSERT_FALSE(terminal.empty()) << "localedef (package locales) could not make zh_CN.GB18030";
    const std::string name = CodePage::FromUtf8("平安宾馆𠮷"); // GB18030 bytes, as typed there
    const std::string url = CodePage::FromUtf8("http://检查.test/入口");
    int code = -1;
    RunCommand(terminal + kConfig + " write " + Folder() + " --url '" + url + "' --name '" + name +
                   "' --number 1 2>&1",
               code);
    ASSERT_EQ(code, 0);
    // The files are those a UTF-8 terminal writes.
    const std::filesystem::path twin = m_dir.path() / "twin";
    RunCommand("LC_ALL=C.UTF-8 " + kConfig + " write '" + twin.string() +
                   "' --url 'http://检查.test/入口' --name '平安宾馆𠮷' --number 1",
               code);
    ASSERT_EQ(code, 0);
    for (const char* file : {"Config.ini", "Identity.ini"}) {
        EXPECT_EQ(testsupport::ReadAll(m_dir.path() / "pc" / "InspectConfig" / file),
                  testsupport::ReadAll(twin / "InspectConfig" / file))
            << file;
    }
    // check answers in the terminal's charset.
    const std::string out = RunCommand(terminal + kConfig + " check " + Folder(), code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("name:       " + name + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("base URL:   " + url + "\n"), std::string::npos) << out;
    // Bytes that are no GB18030 are refused, and nothing is written.
    const std::string before =
        testsupport::ReadAll(m_dir.path() / "pc" / "InspectConfig" / "Identity.ini");
    const std::string said = RunCommand(
        terminal + kConfig + " write " + Folder() + " --name \"$(printf '\\201 ')\" 2>&1", code);
    EXPECT_EQ(code, 2);
    EXPECT_NE(said.find("--name is not valid GB18030 text"), std::string::npos) << said;
    EXPECT_EQ(testsupport::ReadAll(m_dir.path() / "pc" / "InspectConfig" / "Identity.ini"), before);
}

TEST_F(ConfigTool, CheckShowsControlCharactersInValues) {
    // Written by hand: a tab and an escape are seen, not acted on or hidden.
    const std::filesystem::path files = m_dir.path() / "pc" / "InspectConfig";
    std::filesystem::create_directories(files);
    testsupport::WriteAll(files / "Config.ini", "[URL]\r\nURL=aHR0cDovL2EvZQk=\r\n");
    testsupport::WriteAll(files / "Identity.ini",
                          "[Identity]\nEnterpriseName=平安\t宾馆\nOtherInfo=\x1b[2J前台\n");
    int code = -1;
    const std::string out = Run("check " + Folder(), code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("base URL:   http://a/e\\x09\n"), std::string::npos) << out;
    EXPECT_NE(out.find("name:       平安\\x09宾馆\n"), std::string::npos) << out;
    EXPECT_NE(out.find("other:      \\x1B[2J前台\n"), std::string::npos) << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
}
