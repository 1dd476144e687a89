// The shell's configuration file and its identity source, without windows.
#pragma once

#include "EnterpriseIdentity.h"

#include <string>
#include <string_view>
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
//   AllowedOrigins  origins (scheme://host[:port]) the main frame may go to
//                   besides the base URL's, separated by blanks or commas;
//                   absent or empty: any http or https address
//   LoadTimeout     seconds a page may take to load (1 to 3600; default 30)
struct BrowserSettings {
    static constexpr int kDefaultLoadTimeoutSeconds = 30;
    std::vector<std::string> allowedOrigins;
    int loadTimeoutSeconds = kDefaultLoadTimeoutSeconds;
};
BrowserSettings ReadBrowserSettings(const std::string& appPath);

// The origins of a list separated by blanks or commas.
std::vector<std::string> SplitOrigins(std::string_view list);
// Whether text is an origin: http or https, "://", a host without user, path,
// query or fragment, an optional ":port" of digits.
bool IsOrigin(std::string_view text);

} // namespace ShellConfig
