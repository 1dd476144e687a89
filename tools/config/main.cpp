// tavlin-config: writes and checks a Tavlin program folder's configuration,
// so that an installer or a support person never encodes anything by hand.
//
//   tavlin-config write FOLDER --url URL [--type-code T] [--number N] [--serial S]
//                              [--name NAME] [--other TEXT] [--long-code L]
//   tavlin-config check FOLDER
//   tavlin-config values FOLDER
//   tavlin-config autostart on|off
//
// "write" stores the base URL Base64-encoded in FOLDER/InspectConfig/Config.ini
// and the enterprise identity in FOLDER/InspectConfig/Identity.ini (UTF-8).
// "check" reads both as the program does, and prints what it found and the
// start URL the program would open (with the version of FOLDER/tavlin).
// "values" prints the values the files hold, a "key=value" line each, in the
// names of the package's questions: what the package's scripts read back so
// that an administrator's edit is never overwritten.
// "autostart" adds or removes an XDG autostart entry for Tavlin: the current
// user's, or every user's when run as root.
#include "CodePage.h"
#include "ConfigTool.h"
#include "ElfNote.h"
#include "EnterpriseIdentity.h"
#include "FileOper.h"
#include "IniIdentitySource.h"
#include "ShellConfig.h"
#include "StrOper.h"
#include "SysOper.h"
#include "TerminalCharset.h"
#include "WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "usage: tavlin-config write FOLDER --url URL [--type-code T] [--number N] [--serial S]\n"
    "                           [--name NAME] [--other TEXT] [--long-code L]\n"
    "                           [--allowed-origins \"ORIGIN ...\"] [--load-timeout SECONDS]\n"
    "                           [--largest-photo WIDTHxHEIGHT] [--printing on|off]\n"
    "       tavlin-config check FOLDER\n"
    "       tavlin-config values FOLDER\n"
    "       tavlin-config autostart on|off\n"
    "       tavlin-config --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    std::fputs("Try 'tavlin-config --help'.\n", stderr);
    return 2;
}

int Help() {
    // The limits are the program's own: what Tavlin reads is what is said here.
    std::fputs(kUsage, stdout);
    std::printf("\n"
                "write  stores the base URL (Base64) in FOLDER/InspectConfig/Config.ini and the\n"
                "       enterprise identity in FOLDER/InspectConfig/Identity.ini; what the files\n"
                "       hold already stays unless an option gives it anew (an option given as\n"
                "       empty clears it). FOLDER is the program folder: /usr/lib/tavlin for the\n"
                "       installed package (run with sudo), whose InspectConfig is /etc/tavlin.\n"
                "       The URL must be http or https; no value may be longer than %zu bytes.\n"
                "       --allowed-origins limits the pages Tavlin may show to the base URL's\n"
                "       origin and these (scheme://host[:port], IPv6 in brackets, an optional /\n"
                "       at the end; separated by blanks). The URL may hold text of any script.\n"
                "       --load-timeout is how long a page may take to load before Tavlin shows\n"
                "       its error panel (%ld to %ld s, default %d).\n"
                "       --largest-photo is the largest photo put into the page (each side\n"
                "       %d to %d; default %dx%d, what the back end has always received); a\n"
                "       larger camera picture is scaled down to fit.\n"
                "       --printing off refuses a page's print (on, the default, shows the\n"
                "       officer a print dialog of the PC's printers, without printing to file).\n",
                TFileOper::kMaxIniValue, ShellConfig::kMinLoadTimeoutSeconds,
                ShellConfig::kMaxLoadTimeoutSeconds,
                ShellConfig::BrowserSettings::kDefaultLoadTimeoutSeconds,
                ShellConfig::kMinPhotoSide, ShellConfig::kMaxPhotoSide,
                ShellConfig::kDefaultLargestPhoto.width, ShellConfig::kDefaultLargestPhoto.height);
    std::fputs("check  reads both files as Tavlin does and prints what it found, the pages\n"
               "       allowed (and AllowedOrigins entries left out), and the start URL exactly\n"
               "       as Tavlin sends it. Status 1 when Tavlin would refuse to start, or when a\n"
               "       value is set but cannot be read (each named; Tavlin uses its default).\n",
               stdout);
    // The names as the table of keys gives them: those always written, then
    // the optional ones where set, in lines of at most 80 columns.
    std::string text = "values prints what the files hold, a line each:";
    std::size_t lineStart = 0;
    for (const bool optional : {false, true}) {
        for (const ShellConfig::Key& key : ShellConfig::kKeys) {
            if (key.optional != optional) {
                continue;
            }
            const std::string name = std::string(key.name) + "=";
            if (text.size() - lineStart + 1 + name.size() > 79) {
                lineStart = text.size() + 1;
                text += "\n      ";
            }
            text += " " + name;
        }
        if (!optional) {
            text += " and, where set,";
        }
    }
    std::printf("%s\n       Status 1 when there is no Config.ini to read.\n", text.c_str());
    std::fputs(
        "autostart on|off\n"
        "       adds or removes an XDG autostart entry that starts Tavlin at login: for the\n"
        "       current user ($XDG_CONFIG_HOME/autostart, ~/.config/autostart by default),\n"
        "       or for every user when run as root ($XDG_CONFIG_DIRS' first folder's\n"
        "       autostart, /etc/xdg/autostart by default).\n"
        "\n"
        "Exit status: 0 done, 1 a file could not be read or written (or check found\n"
        "a configuration Tavlin refuses or a value it cannot read), 2 a usage error or\n"
        "a refused value.\n",
        stdout);
    return 0;
}

// What reading a configuration file found.
struct FileState {
    enum Kind { Missing, Unreadable, Empty, Readable } kind = Missing;
    std::string reason; // the system's reason when Unreadable
};

FileState Inspect(const std::string& path) {
    FileState state;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return state;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        state.kind = FileState::Unreadable;
        state.reason = std::strerror(errno);
        return state;
    }
    char byte = 0;
    const bool any = std::fread(&byte, 1, 1, file) == 1;
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        state.kind = FileState::Unreadable;
        state.reason = std::strerror(error);
    } else {
        state.kind = any ? FileState::Readable : FileState::Empty;
    }
    return state;
}

// The rules of what the files may hold, and their writing, are the
// configuration's own (ShellConfig); this only reports.
int Write(const std::string& folder, const ShellConfig::Values& values) {
    if (const std::string refusal = ShellConfig::Refusal(values); !refusal.empty()) {
        std::fprintf(stderr, "tavlin-config: %s\n", refusal.c_str());
        return 2;
    }
    if (const std::string failure = ShellConfig::Write(folder, values); !failure.empty()) {
        std::fprintf(stderr, "tavlin-config: %s\n", failure.c_str());
        return 1;
    }
    std::printf("wrote %s%s and %s%s\n", folder.c_str(),
                std::string(ShellConfig::kConfigFile).c_str(), folder.c_str(),
                std::string(ShellConfig::kIdentityFile).c_str());
    return 0;
}

// A value as check shows it: UTF-8, with every control character (a tab, a
// line end, an escape) written as \xNN, so that what the file holds is seen.
std::string Visible(const std::string& codePage) {
    std::string shown;
    for (const char c : CodePage::ToUtf8(codePage)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

// What Config.ini allows besides the base URL: pages, load limit, photo;
// then each value that is set but cannot be read. Returns how many there are.
std::size_t PrintSettings(const ShellConfig::Configuration& config) {
    const ShellConfig::BrowserSettings& browser = config.browser;
    std::string pages = "any http or https address";
    if (browser.originsLimited) {
        pages = "only the base URL's origin";
        for (const std::string& origin : browser.allowedOrigins) {
            pages += (origin == browser.allowedOrigins.front() ? " and " : " ") + Visible(origin);
        }
    }
    std::printf("pages:      %s\n", pages.c_str());
    for (const std::string& origin : browser.unreadableOrigins) {
        std::printf("            left out of AllowedOrigins, not an origin: '%s'\n",
                    Visible(origin).c_str());
    }
    std::printf("load limit: %d s\n", browser.loadTimeoutSeconds);
    std::printf("printing:   %s\n", browser.printing ? "on (a print dialog of the PC's printers)"
                                                     : "off (a page's print is refused)");
    const ShellConfig::PhotoSize largest = config.largestPhoto;
    std::printf("photo:      at most %dx%d%s\n", largest.width, largest.height,
                largest == ShellConfig::kDefaultLargestPhoto ? " (the default)" : "");
    for (const std::string& what : config.unreadable) {
        std::printf("unreadable: %s\n", what.c_str());
    }
    return config.unreadable.size();
}

int Check(const std::string& folder) {
    const std::string configPath = folder + std::string(ShellConfig::kConfigFile);
    const FileState configFile = Inspect(configPath);
    if (configFile.kind == FileState::Unreadable || configFile.kind == FileState::Empty) {
        std::printf("Config.ini: %s; Tavlin would say \"%s\" and end\n",
                    configFile.kind == FileState::Empty
                        ? (configPath + " is empty").c_str()
                        : ("cannot read " + configPath + ": " + configFile.reason).c_str(),
                    std::string(ShellConfig::kEmptyUrlMessage).c_str());
        return 1;
    }
    // What Tavlin reads, read as Tavlin reads it.
    const ShellConfig::Configuration config = ShellConfig::Load(folder);
    if (config.result == ShellConfig::LoadResult::MissingFile) {
        std::printf("Config.ini: missing; Tavlin would say \"%s\" and end\n",
                    std::string(ShellConfig::kMissingConfigMessage).c_str());
        return 1;
    }
    if (config.result == ShellConfig::LoadResult::EmptyUrl) {
        if (!config.unreadableEncoding.empty()) {
            std::printf("Config.ini: %s is written in %s, which Tavlin cannot read (save it as "
                        "ANSI (GBK), UTF-8 or Unicode); Tavlin would say \"%s\" and end\n",
                        configPath.c_str(), config.unreadableEncoding.c_str(),
                        std::string(ShellConfig::kEmptyUrlMessage).c_str());
            return 1;
        }
        std::printf("Config.ini: the base URL is empty; Tavlin would say \"%s\" and end\n",
                    std::string(ShellConfig::kEmptyUrlMessage).c_str());
        return 1;
    }
    std::printf("base URL:   %s\n", Visible(config.baseUrl).c_str());
    // Tavlin starts with a value it cannot read (and logs it), but not as IT meant.
    const bool allRead = PrintSettings(config) == 0;

    const std::string identityPath = folder + std::string(ShellConfig::kIdentityFile);
    const FileState identityFile = Inspect(identityPath);
    switch (identityFile.kind) {
    case FileState::Missing:
        std::printf("Identity.ini: missing; Tavlin would send six empty texts\n");
        break;
    case FileState::Unreadable:
        std::printf("Identity.ini: cannot read %s: %s; Tavlin would send six empty texts\n",
                    identityPath.c_str(), identityFile.reason.c_str());
        break;
    case FileState::Empty:
        std::printf("Identity.ini: %s is empty; Tavlin would send six empty texts\n",
                    identityPath.c_str());
        break;
    case FileState::Readable:
        break;
    }
    EnterpriseIdentity identity;
    if (identityFile.kind == FileState::Readable) {
        identity = IniIdentitySource(folder).Read();
    }
    const IdentityFields fields = NormaliseIdentity(identity);
    const auto show = [](const char* label, const std::string& codePage) {
        std::printf("%-11s %s\n", label, Visible(codePage).c_str());
    };
    show("type code:", fields.TypeCode);
    show("number:", fields.EnterpriseNumber);
    show("serial:", fields.IdentitySerial);
    show("name:", fields.EnterpriseName);
    show("other:", fields.OtherInfo);

    std::string version = "0.0.0.0";
    const ElfNote::ReadResult read = ElfNote::ReadVersion(folder + "tavlin");
    if (read.ok) {
        version = ElfNote::FormatVersion(read.version);
    } else {
        std::printf("version:    %s (%s)\n", version.c_str(), read.error.c_str());
    }
    // Exactly what Tavlin sends: composed, then without line breaks and tabs.
    std::printf(
        "start URL:  %s\n",
        CodePage::ToUtf8(StartUrlToSend(ComposeStartUrl(config.baseUrl, fields, version))).c_str());
    return allRead ? 0 : 1;
}

int Values(const std::string& folder) {
    const std::string configPath = folder + std::string(ShellConfig::kConfigFile);
    if (Inspect(configPath).kind != FileState::Readable) {
        std::fprintf(stderr, "tavlin-config: no configuration to read in %s\n", configPath.c_str());
        return 1;
    }
    for (const auto& [name, value] : ShellConfig::ReadValues(folder)) {
        std::printf("%s=%s\n", name.c_str(), value.c_str());
    }
    return 0;
}

} // namespace

std::string FolderWithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

// Replaces a whole file; on failure says which file and the system's reason.
bool WriteWholeFile(const std::string& path, const std::string& content) {
    if (const std::string failure = WholeFile::Replace(path, content); !failure.empty()) {
        std::fprintf(stderr, "tavlin-config: %s\n", failure.c_str());
        return false;
    }
    return true;
}

int main(int argc, char** argv) {
    // Values are typed, and what is printed is read, in the terminal's charset.
    const std::string charset = TerminalCharset::Choose();
    TerminalCharset::ConvertOutput(charset);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        return Help();
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", TFileOper::GetVersion().c_str());
        return 0;
    }
    if (argc >= 2 && argv[1][0] == '-') {
        std::fprintf(stderr, "tavlin-config: unknown option '%s'\n", argv[1]);
        return Usage();
    }
    if (argc == 3 && std::strcmp(argv[1], "autostart") == 0) {
        const std::string_view state = argv[2];
        if (state == "on" || state == "off") {
            return Autostart(state == "on");
        }
        std::fprintf(stderr, "tavlin-config: autostart takes on or off, not '%s'\n", argv[2]);
        return Usage();
    }
    if (argc < 3) {
        return Usage();
    }
    const std::string command = argv[1];
    const std::string folder = FolderWithSlash(argv[2]);
    if (command == "check" && argc == 3) {
        return Check(folder);
    }
    if (command == "values" && argc == 3) {
        return Values(folder);
    }
    if (command != "write") {
        std::fprintf(stderr, "tavlin-config: unknown command '%s'\n", argv[1]);
        return Usage();
    }
    // What the folder holds already stays unless an option replaces it: a
    // change of one value never loses the others.
    ShellConfig::Values values;
    if (Inspect(folder + std::string(ShellConfig::kConfigFile)).kind == FileState::Readable) {
        values = ShellConfig::ReadValues(folder);
    }
    for (int i = 3; i < argc; i += 2) {
        const ShellConfig::Key* key = ShellConfig::FindOption(argv[i]);
        if (key == nullptr) {
            std::fprintf(stderr, "tavlin-config: unknown option '%s'\n", argv[i]);
            return Usage();
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tavlin-config: %s needs a value\n", argv[i]);
            return Usage();
        }
        const std::optional<std::string> value = TerminalCharset::ToUtf8(argv[i + 1], charset);
        if (!value) {
            std::fprintf(stderr,
                         "tavlin-config: the value of %s is not valid %s text (the terminal's "
                         "character set); nothing was written\n",
                         argv[i], charset.c_str());
            return 2;
        }
        // The last of a repeated option counts.
        std::erase_if(values, [key](const auto& v) { return v.first == key->name; });
        values.emplace_back(key->name, *value);
    }
    return Write(folder, values);
}
