// tavlin-config: writes and checks a Tavlin program folder's configuration,
// so that an installer or a support person never encodes anything by hand.
//
//   tavlin-config write FOLDER --url URL [--type-code T] [--number N] [--serial S]
//                              [--name NAME] [--other TEXT] [--long-code L]
//   tavlin-config check FOLDER
//
// "write" stores the base URL Base64-encoded in FOLDER/InspectConfig/Config.ini
// and the enterprise identity in FOLDER/InspectConfig/Identity.ini (UTF-8).
// "check" reads both as the program does, and prints what it found and the
// start URL the program would open (with the version of FOLDER/tavlin).
#include "CodePage.h"
#include "ElfNote.h"
#include "EnterpriseIdentity.h"
#include "IniIdentitySource.h"
#include "ShellConfig.h"
#include "StrOper.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>

namespace {

int Usage() {
    std::fputs(
        "usage: tavlin-config write FOLDER --url URL [--type-code T] [--number N] [--serial S]\n"
        "                           [--name NAME] [--other TEXT] [--long-code L]\n"
        "                           [--allowed-origins \"ORIGIN ...\"] [--load-timeout SECONDS]\n"
        "       tavlin-config check FOLDER\n"
        "Writes or checks FOLDER/InspectConfig/Config.ini and Identity.ini of a Tavlin\n"
        "program folder; check also prints the start URL Tavlin would open.\n"
        "--allowed-origins limits the pages Tavlin may show to the base URL's origin and\n"
        "these (scheme://host[:port], separated by blanks); --load-timeout is how long a\n"
        "page may take to load before Tavlin shows its error panel (default 30 s).\n",
        stderr);
    return 2;
}

std::string FolderWithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

// An INI value that keeps its blanks and quotes: quoted when it needs to be.
std::string IniValue(const std::string& value) {
    const bool needsQuotes =
        !value.empty() && (value.front() == ' ' || value.back() == ' ' || value.front() == '\t' ||
                           value.back() == '\t' || value.front() == '"' || value.front() == '\'');
    return needsQuotes ? "\"" + value + "\"" : value;
}

bool HasLineBreak(const std::string& value) {
    return value.find_first_of("\r\n") != std::string::npos;
}

int Write(const std::string& folder, const std::map<std::string, std::string>& options) {
    const auto url = options.find("--url");
    if (url == options.end() || TrimControls(url->second).empty()) {
        std::fputs("tavlin-config: --url is required and must not be blank\n", stderr);
        return 2;
    }
    for (const auto& [name, value] : options) {
        if (HasLineBreak(value)) {
            std::fprintf(stderr, "tavlin-config: %s must not contain a line break\n", name.c_str());
            return 2;
        }
    }
    if (const auto timeout = options.find("--load-timeout"); timeout != options.end()) {
        char* rest = nullptr;
        const long seconds = std::strtol(timeout->second.c_str(), &rest, 10);
        if (timeout->second.empty() || *rest != '\0' || seconds < 1 || seconds > 3600) {
            std::fputs("tavlin-config: --load-timeout must be a whole number of seconds from 1 "
                       "to 3600\n",
                       stderr);
            return 2;
        }
    }
    if (const auto origins = options.find("--allowed-origins"); origins != options.end()) {
        for (const std::string& origin : ShellConfig::SplitOrigins(origins->second)) {
            if (!ShellConfig::IsOrigin(origin)) {
                std::fprintf(stderr,
                             "tavlin-config: '%s' is not an origin (http:// or https://, a host, "
                             "an optional :port, nothing after it)\n",
                             origin.c_str());
                return 2;
            }
        }
    }
    std::error_code error;
    std::filesystem::create_directories(folder + "InspectConfig", error);
    if (error) {
        std::fprintf(stderr, "tavlin-config: cannot create %sInspectConfig: %s\n", folder.c_str(),
                     error.message().c_str());
        return 1;
    }
    // One line of Base64: an INI value cannot span lines, and the reader's
    // decoder passes over line breaks anyway.
    std::string base64 = TStrOper::EncodeBase64(url->second);
    std::erase(base64, '\r');
    std::erase(base64, '\n');
    {
        std::ofstream config(folder + std::string(ShellConfig::kConfigFile), std::ios::binary);
        config << "[URL]\r\nURL=" << base64 << "\r\n";
        const auto origins = options.find("--allowed-origins");
        const auto timeout = options.find("--load-timeout");
        if (origins != options.end() || timeout != options.end()) {
            config << "[Browser]\r\n";
            if (origins != options.end()) {
                config << "AllowedOrigins=" << origins->second << "\r\n";
            }
            if (timeout != options.end()) {
                config << "LoadTimeout=" << timeout->second << "\r\n";
            }
        }
        if (!config) {
            std::fprintf(stderr, "tavlin-config: cannot write %s%s\n", folder.c_str(),
                         std::string(ShellConfig::kConfigFile).c_str());
            return 1;
        }
    }
    const auto value = [&options](const char* key) {
        const auto it = options.find(key);
        return it == options.end() ? std::string() : it->second;
    };
    {
        std::ofstream identity(folder + std::string(ShellConfig::kIdentityFile), std::ios::binary);
        identity << "; The enterprise identity Tavlin reports to the web application (UTF-8).\n"
                 << "[Identity]\n"
                 << "TypeCode=" << IniValue(value("--type-code")) << "\n"
                 << "EnterpriseNumber=" << IniValue(value("--number")) << "\n"
                 << "IdentitySerial=" << IniValue(value("--serial")) << "\n"
                 << "EnterpriseName=" << IniValue(value("--name")) << "\n"
                 << "OtherInfo=" << IniValue(value("--other")) << "\n"
                 << "LongCode=" << IniValue(value("--long-code")) << "\n";
        if (!identity) {
            std::fprintf(stderr, "tavlin-config: cannot write %s%s\n", folder.c_str(),
                         std::string(ShellConfig::kIdentityFile).c_str());
            return 1;
        }
    }
    std::printf("wrote %s%s and %s%s\n", folder.c_str(),
                std::string(ShellConfig::kConfigFile).c_str(), folder.c_str(),
                std::string(ShellConfig::kIdentityFile).c_str());
    return 0;
}

int Check(const std::string& folder) {
    const ShellConfig::BaseUrl base = ShellConfig::ReadBaseUrl(folder);
    if (base.result == ShellConfig::LoadResult::MissingFile) {
        std::printf("Config.ini: missing; Tavlin would say \"%s\" and end\n",
                    std::string(ShellConfig::kMissingConfigMessage).c_str());
        return 1;
    }
    if (base.result == ShellConfig::LoadResult::EmptyUrl) {
        std::printf("Config.ini: the base URL is empty; Tavlin would say \"%s\" and end\n",
                    std::string(ShellConfig::kEmptyUrlMessage).c_str());
        return 1;
    }
    std::printf("base URL:   %s\n", CodePage::ToUtf8(base.url).c_str());
    const ShellConfig::BrowserSettings browser = ShellConfig::ReadBrowserSettings(folder);
    std::string origins;
    for (const std::string& origin : browser.allowedOrigins) {
        origins += (origins.empty() ? "" : " ") + origin;
    }
    std::printf("pages:      %s\n", origins.empty()
                                        ? "any http or https address"
                                        : ("the base URL's origin and " + origins).c_str());
    std::printf("load limit: %d s\n", browser.loadTimeoutSeconds);

    const std::string identityPath = folder + std::string(ShellConfig::kIdentityFile);
    struct stat st {};
    if (::stat(identityPath.c_str(), &st) != 0) {
        std::printf("Identity.ini: missing; Tavlin would send six empty texts\n");
    }
    EnterpriseIdentity identity;
    if (::stat(identityPath.c_str(), &st) == 0) {
        identity = IniIdentitySource(folder).Read();
    }
    const IdentityFields fields = NormaliseIdentity(identity);
    const auto show = [](const char* label, const std::string& codePage) {
        std::printf("%-11s %s\n", label, CodePage::ToUtf8(codePage).c_str());
    };
    show("type code:", fields.TypeCode);
    show("number:", fields.EnterpriseNumber);
    show("serial:", fields.IdentitySerial);
    show("name:", fields.EnterpriseName);
    show("other:", fields.OtherInfo);

    std::string version = "0.0.0.0";
    const ElfNote::ReadResult read = ElfNote::ReadVersion(folder + "tavlin");
    if (read.ok) {
        version = std::to_string(read.version.ms >> 16) + "." +
                  std::to_string(read.version.ms & 0xFFFF) + "." +
                  std::to_string(read.version.ls >> 16) + "." +
                  std::to_string(read.version.ls & 0xFFFF);
    } else {
        std::printf("version:    %s (%s)\n", version.c_str(), read.error.c_str());
    }
    std::printf("start URL:  %s\n",
                CodePage::ToUtf8(ComposeStartUrl(base.url, fields, version)).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return Usage();
    }
    const std::string command = argv[1];
    const std::string folder = FolderWithSlash(argv[2]);
    if (command == "check" && argc == 3) {
        return Check(folder);
    }
    if (command != "write") {
        return Usage();
    }
    static const char* const kKnown[] = {
        "--url",   "--type-code", "--number",          "--serial",      "--name",
        "--other", "--long-code", "--allowed-origins", "--load-timeout"};
    std::map<std::string, std::string> options;
    for (int i = 3; i < argc; i += 2) {
        const std::string name = argv[i];
        bool known = false;
        for (const char* k : kKnown) {
            known = known || name == k;
        }
        if (!known || i + 1 >= argc) {
            return Usage();
        }
        options[name] = argv[i + 1];
    }
    return Write(folder, options);
}
