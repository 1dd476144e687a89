#include "ShellConfig.h"

#include "FileOper.h"
#include "StrOper.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace ShellConfig {

BaseUrl ReadBaseUrl(const std::string& appPath) {
    BaseUrl base;
    const std::string path = appPath + std::string(kConfigFile);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        base.result = LoadResult::MissingFile;
        return base;
    }
    base.url = TStrOper::DecodeBase64(TFileOper::ReadIniString(path, "URL", "URL"));
    base.result = TrimControls(base.url).empty() ? LoadResult::EmptyUrl : LoadResult::Loaded;
    return base;
}

std::string DescribeRefusal(const std::string& appPath, LoadResult result) {
    const std::string path = appPath + std::string(kConfigFile);
    switch (result) {
    case LoadResult::MissingFile:
        return "tavlin: cannot start: " + path +
               " does not exist (write it with: tavlin-config write " + appPath + " ...)";
    case LoadResult::EmptyUrl:
        return "tavlin: cannot start: " + path + " gives no address ([URL] URL is empty)";
    case LoadResult::Loaded:
        break;
    }
    return {};
}

std::vector<std::string> SplitOrigins(std::string_view list) {
    std::vector<std::string> origins;
    std::size_t begin = 0;
    while (begin < list.size()) {
        const std::size_t end = std::min(list.find_first_of(" ,\t", begin), list.size());
        if (end > begin) {
            origins.emplace_back(list.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    return origins;
}

bool IsOrigin(std::string_view text) {
    std::string_view rest;
    if (text.starts_with("http://")) {
        rest = text.substr(7);
    } else if (text.starts_with("https://")) {
        rest = text.substr(8);
    } else {
        return false;
    }
    const std::size_t colon = rest.find(':');
    const std::string_view host = rest.substr(0, colon);
    if (host.empty() || host.find_first_of("/?#@ \\") != std::string_view::npos) {
        return false;
    }
    if (colon == std::string_view::npos) {
        return true;
    }
    const std::string_view port = rest.substr(colon + 1);
    return !port.empty() && port.size() <= 5 &&
           port.find_first_not_of("0123456789") == std::string_view::npos;
}

BrowserSettings ReadBrowserSettings(const std::string& appPath) {
    const std::string path = appPath + std::string(kConfigFile);
    BrowserSettings settings;
    for (const std::string& origin :
         SplitOrigins(TFileOper::ReadIniString(path, "Browser", "AllowedOrigins"))) {
        if (IsOrigin(origin)) {
            settings.allowedOrigins.push_back(origin);
        }
    }
    const std::string timeout = TFileOper::ReadIniString(path, "Browser", "LoadTimeout");
    char* rest = nullptr;
    const long seconds = std::strtol(timeout.c_str(), &rest, 10);
    if (!timeout.empty() && rest != nullptr && *rest == '\0' && seconds >= 1 && seconds <= 3600) {
        settings.loadTimeoutSeconds = static_cast<int>(seconds);
    }
    return settings;
}

} // namespace ShellConfig
