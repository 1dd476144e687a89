// The shell's configuration file and its identity source, without windows.
#pragma once

#include "EnterpriseIdentity.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ShellConfig {

inline constexpr std::string_view kConfigFile = "InspectConfig/Config.ini";
inline constexpr std::string_view kIdentityFile = "InspectConfig/Identity.ini";

// The texts of the two start-up failures (UTF-8; the windows show them as they are).
inline constexpr std::string_view kMissingConfigMessage = "配置文件不存在,无法启动软件";
inline constexpr std::string_view kEmptyUrlMessage = "读取网络地址为空,无法启动软件";

enum class LoadResult { Loaded, MissingFile, EmptyUrl };

struct BaseUrl {
    LoadResult result = LoadResult::MissingFile;
    std::string url; // decoded, untrimmed; meaningful when result is Loaded
};

// Reads section "URL", key "URL" of <appPath>InspectConfig/Config.ini and
// decodes it from Base64.
BaseUrl ReadBaseUrl(const std::string& appPath);

// Why the start was refused, for standard error: the file Tavlin looked for
// and what was wrong with it. Empty when the result is Loaded.
std::string DescribeRefusal(const std::string& appPath, LoadResult result);

// What the browser allows, from section "Browser" of Config.ini:
//   AllowedOrigins  origins (scheme://host[:port][/], a host name, an IPv4
//                   address or an IPv6 address in brackets) the main frame
//                   may go to besides the base URL's, separated by blanks or
//                   commas; absent or blank: any http or https address
//   LoadTimeout     seconds a page may take to load (1 to 3600; default 30)
//   Printing        whether a page may print to the PC's printers (on or
//                   off, 1 or 0, yes or no, true or false; default on)
// The limit fails closed: an entry that is no origin is left out, so a value
// that holds nothing readable limits pages to the base URL's origin alone.
struct BrowserSettings {
    static constexpr int kDefaultLoadTimeoutSeconds = 30;
    // AllowedOrigins holds something: pages are limited to the base URL's
    // origin and allowedOrigins.
    bool originsLimited = false;
    std::vector<std::string> allowedOrigins;    // the entries read (code page text)
    std::vector<std::string> unreadableOrigins; // the entries left out, for the log
    int loadTimeoutSeconds = kDefaultLoadTimeoutSeconds;
    bool printing = true;
};
BrowserSettings ReadBrowserSettings(const std::string& appPath);

// The largest photo put into the page, from section "Camera", key
// "LargestPhoto" of Config.ini: WIDTHxHEIGHT, each 160 to 16384. Absent,
// blank or unreadable: 640x480, what the back end has always received (a
// camera whose modes are all larger still previews in one of them, and its
// photo is scaled down to fit).
struct PhotoSize {
    int width = 0;
    int height = 0;
    bool operator==(const PhotoSize&) const = default;
};
inline constexpr int kMinPhotoSide = 160;
inline constexpr int kMaxPhotoSide = 16384;
inline constexpr PhotoSize kDefaultLargestPhoto{640, 480};
std::optional<PhotoSize> ParsePhotoSize(std::string_view text);
PhotoSize ReadLargestPhoto(const std::string& appPath);

// The values of Config.ini that are set but cannot be read, each said as
// "Section Key: 'value' is not ...; <what is used instead>" (UTF-8), for the
// log and tavlin-config check. AllowedOrigins' entries are named one by one.
std::vector<std::string> UnreadableValues(const std::string& appPath);

// The configuration of a program folder as the program uses it, read once.
struct Configuration {
    LoadResult result = LoadResult::MissingFile;
    std::string baseUrl; // decoded, untrimmed; empty unless the file was there
    BrowserSettings browser;
    PhotoSize largestPhoto = kDefaultLargestPhoto;
    // Values set but not readable (see UnreadableValues), for the log.
    std::vector<std::string> unreadable;
    // Config.ini is in an encoding Tavlin cannot read (see
    // TFileOper::UnreadableEncoding): why the address read is empty.
    std::string unreadableEncoding;
    // Why the start is refused, for standard error (see DescribeRefusal);
    // empty when result is Loaded.
    std::string refusal;
};
Configuration Load(const std::string& appPath);

// --- Writing: the one set of rules of what the two files may hold ----------
//
// Every value the files hold, by the name tavlin-config's options and the
// package's questions give it, and where it lives. A new Config.ini key is a
// row here, its parser in ConfigValues.cpp (used by its reading in
// BrowserSettings, by UnreadableValues and by its check in Refusal), its line
// in tavlin-config's check and help, its README row and manual pages (the
// ConfigKeys tests hold the last two to this table).
struct Key {
    std::string_view name;    // "url", "type-code", ...: as `tavlin-config values` prints it
    std::string_view option;  // tavlin-config's option that gives it
    std::string_view file;    // kConfigFile or kIdentityFile
    std::string_view section; // the INI section
    std::string_view key;     // the INI key
    bool optional;            // written only when given (Config.ini's [Browser], [Camera])
};
inline constexpr Key kKeys[] = {
    {"url", "--url", kConfigFile, "URL", "URL", false},
    {"type-code", "--type-code", kIdentityFile, "Identity", "TypeCode", false},
    {"enterprise-number", "--number", kIdentityFile, "Identity", "EnterpriseNumber", false},
    {"identity-serial", "--serial", kIdentityFile, "Identity", "IdentitySerial", false},
    {"enterprise-name", "--name", kIdentityFile, "Identity", "EnterpriseName", false},
    {"other-info", "--other", kIdentityFile, "Identity", "OtherInfo", false},
    {"long-code", "--long-code", kIdentityFile, "Identity", "LongCode", false},
    {"allowed-origins", "--allowed-origins", kConfigFile, "Browser", "AllowedOrigins", true},
    {"load-timeout", "--load-timeout", kConfigFile, "Browser", "LoadTimeout", true},
    {"largest-photo", "--largest-photo", kConfigFile, "Camera", "LargestPhoto", true},
    {"printing", "--printing", kConfigFile, "Browser", "Printing", true},
};
// The Key of an option ("--url"), or null.
const Key* FindOption(std::string_view option);
// The Key of a name of the table ("type-code"); only the table's names.
const Key& KeyNamed(std::string_view name);

// The values to write or that were read, by Key name, in UTF-8 (Config.ini
// holds them in the code page, Identity.ini in UTF-8); the URL as text (the
// file holds it in Base64). A name that is absent was not given.
using Values = std::vector<std::pair<std::string, std::string>>;
const std::string* Find(const Values& values, std::string_view name);

// The seconds a page may take to load, as the files may give them.
inline constexpr long kMinLoadTimeoutSeconds = 1;
inline constexpr long kMaxLoadTimeoutSeconds = 3600;

// The value of the key named name of the table, as its file holds it (code
// page text for Config.ini); empty when absent.
std::string ReadConfigValue(const std::string& appPath, std::string_view name);
// The parsers of the optional values (ConfigValues.cpp): none when the text
// is not a value of the key.
std::optional<int> ParseLoadTimeout(std::string_view text);
std::optional<bool> ParsePrinting(std::string_view text);

// Why Tavlin could not use these values, naming the value by its option
// ("--url must be ..."); empty when it can. What Refusal passes, Write stores.
std::string Refusal(const Values& values);
// Writes both files of appPath (InspectConfig is made where it is missing, or
// where it is a link, its target). Empty when written, or why not, with the
// system's reason.
std::string Write(const std::string& appPath, const Values& values);
// What the files hold, as written: every name of kKeys that is not optional,
// and the optional ones that are set.
Values ReadValues(const std::string& appPath);

// The origins of a list separated by blanks or commas.
std::vector<std::string> SplitOrigins(std::string_view list);

// An origin as written: scheme and host in lower case (an IPv6 address
// without its brackets), the port as given or the scheme's default.
struct Origin {
    std::string scheme; // "http" or "https"
    std::string host;
    int port = 0;
    bool operator==(const Origin&) const = default;
};
// The origin text names: http or https (any case), "://", a host (a name, an
// IPv4 address, or an IPv6 address in brackets) without user, path, query or
// fragment, an optional ":port" from 1 to 65535 and an optional "/" at the
// end. None for anything else.
std::optional<Origin> ParseOrigin(std::string_view text);
inline bool IsOrigin(std::string_view text) {
    return ParseOrigin(text).has_value();
}

} // namespace ShellConfig
