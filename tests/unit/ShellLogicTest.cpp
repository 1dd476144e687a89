#include "CodePage.h"
#include "DocumentCompletion.h"
#include "EnterpriseIdentity.h"
#include "IniIdentitySource.h"
#include "PageTitle.h"
#include "ShellConfig.h"
#include "WebComposition.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

std::string Cp(const char* utf8) {
    return CodePage::FromUtf8(utf8);
}

EnterpriseIdentity Identity(std::string type, std::string number, std::string longCode,
                            std::string name = "name") {
    EnterpriseIdentity identity;
    identity.TypeCode = std::move(type);
    identity.EnterpriseNumber = std::move(number);
    identity.LongCode = std::move(longCode);
    identity.EnterpriseName = std::move(name);
    return identity;
}

} // namespace

TEST(NormaliseIdentity, R02BecomesR01AndTakesTheNumberFromTheLongCode) {
    IdentityFields f = NormaliseIdentity(Identity(" R02 ", "0000", "ABC1234567890XYZ"));
    EXPECT_EQ(f.TypeCode, "R01");
    EXPECT_EQ(f.EnterpriseNumber, "1234567890");

    f = NormaliseIdentity(Identity("R02", "0000", "ABC123456789")); // exactly 12 bytes
    EXPECT_EQ(f.TypeCode, "R01");
    EXPECT_EQ(f.EnterpriseNumber, "0000");

    for (const char* other : {"r02", "R03", "R01", "", "R02x"}) {
        f = NormaliseIdentity(Identity(other, " 0000 ", "ABC1234567890XYZ"));
        EXPECT_EQ(f.TypeCode, other);
        EXPECT_EQ(f.EnterpriseNumber, " 0000 "); // stored as delivered, not trimmed
    }
}

TEST(NormaliseIdentity, BlankNameBecomesWu) {
    EXPECT_EQ(NormaliseIdentity(Identity("R01", "1", "", "  \t ")).EnterpriseName, Cp("无"));
    EXPECT_EQ(NormaliseIdentity(Identity("R01", "1", "", "")).EnterpriseName, Cp("无"));
    EXPECT_EQ(NormaliseIdentity(Identity("R01", "1", "", " 宾馆 ")).EnterpriseName, " 宾馆 ");
    EXPECT_EQ(EnterpriseNumberPanel("4401"), Cp("企业编号：【4401】"));
}

TEST(ComposeStartUrl, FollowsTheQueryLayoutByteForByte) {
    IdentityFields f{" R01 ", " 4401000001 ", Cp(" 平安宾馆 "), "SN-1", Cp("前台 A&B")};
    EXPECT_EQ(ComposeStartUrl("http://h:8080/inspect", f, "1.0.3.12"),
              "http://h:8080/inspect?id=NDQwMTAwMDAwMQ==&name=%E5%B9%B3%E5%AE%89%E5%AE%BE%E9%A6%86"
              "&type=UjAx&dog=U04tMQ==&other=%E5%89%8D%E5%8F%B0+A%26B&version=1.0.3.12");
}

TEST(ComposeStartUrl, KeepsTheBaseUntrimmedAndBase64Raw) {
    IdentityFields f{"R01", "\xFB\xFF", Cp("无"), "", ""};
    const std::string url = ComposeStartUrl(" http://h/e ", f, "0.0.0.0");
    EXPECT_EQ(url, " http://h/e ?id=+/8=&name=%E6%97%A0&type=UjAx&dog=&other=&version=0.0.0.0");
}

TEST(ComposeStartUrl, LongSerialCarriesItsLineBreaks) {
    IdentityFields f{"R01", "1", "n", std::string(60, 'S'), ""};
    const std::string url = ComposeStartUrl("http://h/", f, "1.0.0.0");
    const std::string dog =
        url.substr(url.find("&dog=") + 5, url.find("&other=") - url.find("&dog=") - 5);
    EXPECT_EQ(dog.size(), 76u + 2 + 4);
    EXPECT_EQ(dog.substr(76, 2), "\r\n");
    f.IdentitySerial = std::string(57, 'S');
    const std::string url57 = ComposeStartUrl("http://h/", f, "1.0.0.0");
    EXPECT_NE(url57.find("\r\n&other="), std::string::npos);
}

TEST(ReadBaseUrl, TellsMissingFileFromEmptyAddress) {
    TempDir dir;
    EXPECT_EQ(ShellConfig::ReadBaseUrl(dir.folder()).result, ShellConfig::LoadResult::MissingFile);
    std::filesystem::create_directory(dir.path() / "InspectConfig");
    const auto ini = dir.path() / "InspectConfig" / "Config.ini";
    WriteAll(ini, "[URL]\r\nOther=x\r\n");
    EXPECT_EQ(ShellConfig::ReadBaseUrl(dir.folder()).result, ShellConfig::LoadResult::EmptyUrl);
    WriteAll(ini, "[URL]\r\nURL=ICAg\r\n"); // three blanks
    EXPECT_EQ(ShellConfig::ReadBaseUrl(dir.folder()).result, ShellConfig::LoadResult::EmptyUrl);
    WriteAll(ini, "[URL]\r\nURL=IGh0dHA6Ly9oL2UgCg==\r\n"); // " http://h/e \n"
    const ShellConfig::BaseUrl base = ShellConfig::ReadBaseUrl(dir.folder());
    EXPECT_EQ(base.result, ShellConfig::LoadResult::Loaded);
    EXPECT_EQ(base.url, " http://h/e \n");
}

TEST(ReadBrowserSettings, OriginsAndLoadTimeoutWithTheirDefaults) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "InspectConfig");
    const auto ini = dir.path() / "InspectConfig" / "Config.ini";
    WriteAll(ini, "[URL]\r\nURL=x\r\n");
    ShellConfig::BrowserSettings settings = ShellConfig::ReadBrowserSettings(dir.folder());
    EXPECT_FALSE(settings.originsLimited);
    EXPECT_TRUE(settings.allowedOrigins.empty());
    EXPECT_EQ(settings.loadTimeoutSeconds, 30);
    // Origins by blanks or commas; what is no origin is left out, and said;
    // a bad timeout is the default.
    WriteAll(ini, "[Browser]\r\nAllowedOrigins=https://a.example, http://b.example:8080 "
                  "ftp://c https://d.example/path http://[::1]:8443\r\nLoadTimeout=12\r\n");
    settings = ShellConfig::ReadBrowserSettings(dir.folder());
    EXPECT_TRUE(settings.originsLimited);
    EXPECT_EQ(settings.allowedOrigins,
              (std::vector<std::string>{"https://a.example", "http://b.example:8080",
                                        "http://[::1]:8443"}));
    EXPECT_EQ(settings.unreadableOrigins,
              (std::vector<std::string>{"ftp://c", "https://d.example/path"}));
    EXPECT_EQ(settings.loadTimeoutSeconds, 12);
    for (const char* timeout : {"0", "3601", "12s", "-5", ""}) {
        WriteAll(ini, std::string("[Browser]\r\nLoadTimeout=") + timeout + "\r\n");
        EXPECT_EQ(ShellConfig::ReadBrowserSettings(dir.folder()).loadTimeoutSeconds, 30) << timeout;
    }
}

TEST(ReadBrowserSettings, PrintingIsOnUnlessTurnedOff) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "InspectConfig");
    const auto ini = dir.path() / "InspectConfig" / "Config.ini";
    WriteAll(ini, "[URL]\r\nURL=x\r\n");
    EXPECT_TRUE(ShellConfig::ReadBrowserSettings(dir.folder()).printing);
    for (const char* off : {"0", "off", "OFF", " no ", "false"}) {
        WriteAll(ini, std::string("[Browser]\r\nPrinting=") + off + "\r\n");
        EXPECT_FALSE(ShellConfig::ReadBrowserSettings(dir.folder()).printing) << off;
    }
    // Anything else, readable or not, is on, the Windows client's way.
    for (const char* on : {"1", "On", "yes", "true", "", "2", "关"}) {
        WriteAll(ini, std::string("[Browser]\r\nPrinting=") + on + "\r\n");
        EXPECT_TRUE(ShellConfig::ReadBrowserSettings(dir.folder()).printing) << on;
    }
}

TEST(ReadBrowserSettings, NothingReadableStillLimitsThePages) {
    // Fails closed: a value of nothing but unreadable entries limits pages to
    // the base URL's origin; only an absent or blank value lifts the limit.
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "InspectConfig");
    const auto ini = dir.path() / "InspectConfig" / "Config.ini";
    WriteAll(ini, "[Browser]\r\nAllowedOrigins=inspect.example, https://x/y\r\n");
    ShellConfig::BrowserSettings settings = ShellConfig::ReadBrowserSettings(dir.folder());
    EXPECT_TRUE(settings.originsLimited);
    EXPECT_TRUE(settings.allowedOrigins.empty());
    EXPECT_EQ(settings.unreadableOrigins.size(), 2u);
    WriteAll(ini, "[Browser]\r\nAllowedOrigins= , \r\n");
    EXPECT_FALSE(ShellConfig::ReadBrowserSettings(dir.folder()).originsLimited);
}

TEST(ParseOrigin, SchemeHostAndOptionalPortOnly) {
    using ShellConfig::Origin;
    using ShellConfig::ParseOrigin;
    EXPECT_EQ(ParseOrigin("http://inspect.example"), (Origin{"http", "inspect.example", 80}));
    EXPECT_EQ(ParseOrigin("HTTPS://Inspect.Example:8443"),
              (Origin{"https", "inspect.example", 8443}));
    EXPECT_EQ(ParseOrigin("https://10.1.2.3"), (Origin{"https", "10.1.2.3", 443}));
    // IPv6 in brackets, and the trailing slash an origin is often written with.
    EXPECT_EQ(ParseOrigin("http://[::1]:8443"), (Origin{"http", "::1", 8443}));
    EXPECT_EQ(ParseOrigin("https://[FE80::1:2]/"), (Origin{"https", "fe80::1:2", 443}));
    EXPECT_EQ(ParseOrigin("https://inspect.example/"), (Origin{"https", "inspect.example", 443}));
    EXPECT_EQ(ParseOrigin("https://inspect.example:65535/"),
              (Origin{"https", "inspect.example", 65535}));
    // A host of another script, as written (the browser compares its ACE form).
    EXPECT_TRUE(ParseOrigin("https://检查.corp.test"));
    for (const char* no : {"https://inspect.example//",
                           "https://inspect.example/path",
                           "https://user@inspect.example",
                           "https://inspect.example:",
                           "https://inspect.example:80a",
                           "https://inspect.example:0",
                           "https://inspect.example:65536",
                           "https://inspect.example?q",
                           "https://inspect.example#f",
                           "file:///etc",
                           "https://",
                           "https:///",
                           "inspect.example",
                           "http://[::1",
                           "http://[]",
                           "http://[::1]x",
                           "http://[zz::1]",
                           "http://[127.0.0.1]",
                           "http://::1:8443",
                           "http://a%2eb",
                           "ftp://inspect.example"}) {
        EXPECT_FALSE(ParseOrigin(no)) << no;
    }
}

TEST(IniIdentitySource, ReadsUtf8IntoTheCodePage) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "InspectConfig");
    WriteAll(dir.path() / "InspectConfig" / "Identity.ini",
             "[Identity]\nTypeCode=R02\nEnterpriseNumber=1\nIdentitySerial=S\n"
             "EnterpriseName=\" 平安宾馆 \"\nOtherInfo=前台\nLongCode=ABC1234567890XYZ\n");
    const EnterpriseIdentity identity = IniIdentitySource(dir.folder()).Read();
    EXPECT_EQ(identity.TypeCode, "R02");
    EXPECT_EQ(identity.EnterpriseNumber, "1");
    EXPECT_EQ(identity.IdentitySerial, "S");
    EXPECT_EQ(identity.EnterpriseName, Cp(" 平安宾馆 "));
    EXPECT_EQ(identity.OtherInfo, Cp("前台"));
    EXPECT_EQ(identity.LongCode, "ABC1234567890XYZ");
}

TEST(IniIdentitySource, MissingFileGivesEmptyTextsAndOneLogLine) {
    const std::filesystem::path logFolder = testsupport::g_processLog.folder();
    std::error_code ignored;
    std::filesystem::remove_all(logFolder, ignored);
    TempDir dir;
    const EnterpriseIdentity identity = IniIdentitySource(dir.folder()).Read();
    EXPECT_EQ(identity.TypeCode + identity.EnterpriseNumber + identity.IdentitySerial +
                  identity.EnterpriseName + identity.OtherInfo + identity.LongCode,
              "");
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(logFolder)) {
        log += testsupport::ReadAll(entry.path());
    }
    std::filesystem::remove_all(logFolder, ignored);
    EXPECT_NE(CodePage::ToUtf8(log).find("读取企业身份信息失败,原因:" + dir.folder() +
                                         "InspectConfig/Identity.ini: No such file or directory"),
              std::string::npos);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

TEST(ClassifyTitle, KeywordsMatchWholeCharactersOnly) {
    // 业锹件 is D2B5 C7C2 BCFE: its bytes hold 登录 (B5C7 C2BC) across characters.
    EXPECT_EQ(ClassifyTitle(Cp("业锹件")), PageKind::Failed);
    EXPECT_EQ(ClassifyTitle(Cp("业锹件登录")), PageKind::Login);
    EXPECT_EQ(ClassifyTitle(Cp("a登录")), PageKind::Login);
    // A four-byte character (U+20000) before the keyword keeps the alignment.
    EXPECT_EQ(ClassifyTitle(Cp("\xF0\xA0\x80\x80首页")), PageKind::DetailOrHome);
}

TEST(FindCharacters, StepsOverEveryKindOfCharacter) {
    const std::string text = Cp("a业\xF0\xA0\x80\x80登录");
    EXPECT_EQ(CodePage::FindCharacters(text, Cp("登录")), 1u + 2u + 4u);
    EXPECT_EQ(CodePage::FindCharacters(text, Cp("录")), 1u + 2u + 4u + 2u);
    EXPECT_EQ(CodePage::FindCharacters(text, "x"), std::string_view::npos);
    // A stray byte counts as one character, and the scan goes on after it.
    EXPECT_EQ(CodePage::FindCharacters("\x80" + Cp("登录"), Cp("登录")), 1u);
    EXPECT_EQ(CodePage::FindCharacters(Cp("业"), ""), 0u);
}

TEST(ClassifyTitle, FirstMatchingRuleWins) {
    EXPECT_EQ(ClassifyTitle(Cp("民警登录")), PageKind::Login);
    EXPECT_EQ(ClassifyTitle(Cp("登录 列表")), PageKind::Login);
    EXPECT_EQ(ClassifyTitle(Cp("列表详情")), PageKind::DetailOrHome);
    EXPECT_EQ(ClassifyTitle(Cp("首页")), PageKind::DetailOrHome);
    EXPECT_EQ(ClassifyTitle(Cp("照片 首页")), PageKind::DetailOrHome);
    EXPECT_EQ(ClassifyTitle(Cp("检查记录列表")), PageKind::List);
    EXPECT_EQ(ClassifyTitle(Cp("照片")), PageKind::Photo);
    EXPECT_EQ(ClassifyTitle(Cp("企业监督检查信息添加")), PageKind::Photo);
    EXPECT_EQ(ClassifyTitle(Cp(" \t企业监督检查信息添加\r\n")), PageKind::Photo);
    EXPECT_EQ(ClassifyTitle(Cp("企业监督检查信息添加!")), PageKind::Failed);
    EXPECT_EQ(ClassifyTitle(""), PageKind::Failed);
    EXPECT_EQ(ClassifyTitle("404 Not Found"), PageKind::Failed);
}

TEST(ChooseWebComposition, SoftwareOnlyForSoftwareRasterisersOrNoOpenGL) {
    // Names as drivers give them.
    for (const char* software :
         {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Mesa DRI Software Rasterizer",
          "zink (lavapipe / llvmpipe)", "Google SwiftShader", "LLVMPIPE"}) {
        EXPECT_EQ(ChooseWebComposition(software), WebComposition::Software) << software;
    }
    for (const char* graphics :
         {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "AMD Radeon RX 6600 (radeonsi, navi23)",
          "NVIDIA GeForce GTX 1650/PCIe/SSE2", "virgl (Intel(R) UHD Graphics)",
          "SVGA3D; build: RELEASE; LLVM;", ""}) {
        EXPECT_EQ(ChooseWebComposition(graphics), WebComposition::OpenGL) << graphics;
    }
    EXPECT_EQ(ChooseWebComposition(std::nullopt), WebComposition::Software);
}

TEST(DocumentCompletion, EachArrivalCompletesOnceByItsReportOrItsClaim) {
    using Answer = DocumentCompletion::Answer;
    using Step = DocumentCompletion::Step;
    DocumentCompletion completion;
    // The load ends before the load event's report: the claim waits for it,
    // then finds it claimed, or claims with what it read.
    const DocumentCompletion::Arrival first = completion.loadEnded("doc-1").value();
    EXPECT_EQ(completion.claimAnswered(first, Answer::Pending), Step::AskAgain);
    EXPECT_EQ(completion.claimAnswered(first, Answer::Claimed), Step::Nothing);
    EXPECT_EQ(completion.claimAnswered(first, Answer::Read), Step::Complete);
    // A document without the program's script, or a claim that could not be
    // asked, is read by the browser itself: it still completes.
    EXPECT_EQ(completion.claimAnswered(first, Answer::Unread), Step::CompleteByReading);
    EXPECT_EQ(completion.claimAnswered(first, Answer::Failed), Step::CompleteByReading);
    EXPECT_EQ(completion.claimAnswered(first, Answer::OtherDocument), Step::Nothing);
}

TEST(DocumentCompletion, AClaimOutlivedByANewerDocumentOrTheRendererDoesNothing) {
    using Answer = DocumentCompletion::Answer;
    using Step = DocumentCompletion::Step;
    for (const auto& replace : {+[](DocumentCompletion& c) { c.reported("doc-2"); },
                                +[](DocumentCompletion& c) { c.rendererEnded(); },
                                +[](DocumentCompletion& c) { (void)c.loadEnded("doc-2"); }}) {
        DocumentCompletion completion;
        const DocumentCompletion::Arrival claim = completion.loadEnded("doc-1").value();
        replace(completion);
        EXPECT_FALSE(completion.isCurrent(claim));
        for (const Answer answer :
             {Answer::Pending, Answer::Read, Answer::Unread, Answer::Failed}) {
            EXPECT_EQ(completion.claimAnswered(claim, answer), Step::Nothing);
        }
    }
}

TEST(DocumentCompletion, ADocumentThatReportedIsNotClaimedAgain) {
    DocumentCompletion completion;
    completion.reported("doc-1");
    EXPECT_FALSE(completion.loadEnded("doc-1").has_value());
    // Another document, or one whose id is unknown, is claimed at its load end.
    EXPECT_TRUE(completion.loadEnded("doc-2").has_value());
    completion.reported("doc-3");
    EXPECT_TRUE(completion.loadEnded("").has_value());
}

TEST(DocumentCompletion, AReportAfterTheClaimCompletedItsDocumentIsDropped) {
    DocumentCompletion completion;
    const DocumentCompletion::Arrival claim = completion.loadEnded("doc-1").value();
    completion.claimCompleted("doc-1");
    // The report of the document the claim completed comes late: dropped,
    // and the claim's arrival is still the current one.
    EXPECT_FALSE(completion.reported("doc-1"));
    EXPECT_TRUE(completion.isCurrent(claim));
    // The next document's report completes it; so does one of unknown id.
    EXPECT_TRUE(completion.reported("doc-2"));
    EXPECT_FALSE(completion.isCurrent(claim));
    EXPECT_TRUE(completion.reported(""));
}
