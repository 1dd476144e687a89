// The values of Config.ini's optional keys: one parser for each, shared by
// reading, tavlin-config's refusals and its check.
#include "ShellConfig.h"

#include "Ascii.h"
#include "CodePage.h"
#include "FileOper.h"

#include <algorithm>
#include <cstdlib>

namespace ShellConfig {

std::string ReadConfigValue(const std::string& appPath, std::string_view name) {
    const Key& key = KeyNamed(name);
    return TFileOper::ReadIniString(appPath + std::string(key.file), key.section, key.key);
}

std::optional<bool> ParsePrinting(std::string_view text) {
    const std::string value = Ascii::ToLower(TrimControls(text));
    for (const std::string_view on : {"1", "on", "yes", "true"}) {
        if (value == on) {
            return true;
        }
    }
    for (const std::string_view off : {"0", "off", "no", "false"}) {
        if (value == off) {
            return false;
        }
    }
    return std::nullopt;
}

// LoadTimeout's seconds: a whole number in the allowed range, nothing else.
std::optional<int> ParseLoadTimeout(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos ||
        text.size() > 9) {
        return std::nullopt;
    }
    const long seconds = std::strtol(std::string(text).c_str(), nullptr, 10);
    if (seconds < kMinLoadTimeoutSeconds || seconds > kMaxLoadTimeoutSeconds) {
        return std::nullopt;
    }
    return static_cast<int>(seconds);
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

std::optional<Origin> ParseOrigin(std::string_view text) {
    Origin origin;
    std::string_view rest;
    if (Ascii::StartsWithIgnoringCase(text, "http://")) {
        origin = {"http", {}, 80};
        rest = text.substr(7);
    } else if (Ascii::StartsWithIgnoringCase(text, "https://")) {
        origin = {"https", {}, 443};
        rest = text.substr(8);
    } else {
        return std::nullopt;
    }
    if (rest.ends_with('/')) {
        rest.remove_suffix(1); // "https://inspect.example/" is written so as often as not
    }
    std::string_view host;
    std::string_view afterHost;
    if (rest.starts_with('[')) {
        // An IPv6 address: hexadecimal groups and colons (an IPv4 tail with dots).
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        afterHost = rest.substr(close + 1);
        if (host.find(':') == std::string_view::npos ||
            host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) {
            return std::nullopt;
        }
    } else {
        const std::size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        afterHost = colon == std::string_view::npos ? std::string_view() : rest.substr(colon);
        if (host.find_first_of("/?#@ \\[]%") != std::string_view::npos || host.starts_with('.')) {
            return std::nullopt;
        }
    }
    if (host.empty()) {
        return std::nullopt;
    }
    if (!afterHost.empty()) {
        const std::string_view port = afterHost.substr(1);
        if (afterHost.front() != ':' || port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        origin.port = std::stoi(std::string(port));
        if (origin.port < 1 || origin.port > 65535) {
            return std::nullopt;
        }
    }
    origin.host = Ascii::ToLower(host);
    return origin;
}

std::optional<PhotoSize> ParsePhotoSize(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) {
        return std::nullopt;
    }
    const auto side = [](std::string_view digits) -> int {
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos) {
            return 0;
        }
        const int value = std::stoi(std::string(digits));
        return value >= kMinPhotoSide && value <= kMaxPhotoSide ? value : 0;
    };
    const int width = side(text.substr(0, x));
    const int height = side(text.substr(x + 1));
    if (width == 0 || height == 0) {
        return std::nullopt;
    }
    return PhotoSize{width, height};
}

PhotoSize ReadLargestPhoto(const std::string& appPath) {
    return ParsePhotoSize(ReadConfigValue(appPath, "largest-photo")).value_or(kDefaultLargestPhoto);
}

std::vector<std::string> UnreadableValues(const std::string& appPath) {
    std::vector<std::string> found;
    const auto named = [](const Key& key, const std::string& value) {
        return std::string(key.section) + " " + std::string(key.key) + ": '" +
               CodePage::ToUtf8(value) + "'";
    };
    const Key& origins = KeyNamed("allowed-origins");
    for (const std::string& entry : ReadBrowserSettings(appPath).unreadableOrigins) {
        found.push_back(named(origins, entry) +
                        " is not an origin and is left out; pages stay within the base URL's "
                        "origin and the origins read");
    }
    const Key& timeout = KeyNamed("load-timeout");
    if (const std::string value = ReadConfigValue(appPath, timeout.name);
        !TrimControls(value).empty() && !ParseLoadTimeout(value)) {
        found.push_back(named(timeout, value) + " is not a whole number of seconds from " +
                        std::to_string(kMinLoadTimeoutSeconds) + " to " +
                        std::to_string(kMaxLoadTimeoutSeconds) + "; " +
                        std::to_string(BrowserSettings::kDefaultLoadTimeoutSeconds) +
                        " s are used");
    }
    const Key& largest = KeyNamed("largest-photo");
    if (const std::string value = ReadConfigValue(appPath, largest.name);
        !TrimControls(value).empty() && !ParsePhotoSize(value)) {
        found.push_back(named(largest, value) + " is not WIDTHxHEIGHT, each from " +
                        std::to_string(kMinPhotoSide) + " to " + std::to_string(kMaxPhotoSide) +
                        "; photos are at most " + std::to_string(kDefaultLargestPhoto.width) + "x" +
                        std::to_string(kDefaultLargestPhoto.height));
    }
    const Key& printing = KeyNamed("printing");
    if (const std::string value = ReadConfigValue(appPath, printing.name);
        !TrimControls(value).empty() && !ParsePrinting(value)) {
        found.push_back(named(printing, value) +
                        " is not on or off (1 or 0, yes or no, true or false); printing is on");
    }
    return found;
}

BrowserSettings ReadBrowserSettings(const std::string& appPath) {
    BrowserSettings settings;
    for (const std::string& origin : SplitOrigins(ReadConfigValue(appPath, "allowed-origins"))) {
        settings.originsLimited = true;
        (IsOrigin(origin) ? settings.allowedOrigins : settings.unreadableOrigins).push_back(origin);
    }
    if (const auto seconds = ParseLoadTimeout(ReadConfigValue(appPath, "load-timeout"))) {
        settings.loadTimeoutSeconds = *seconds;
    }
    settings.printing = ParsePrinting(ReadConfigValue(appPath, "printing")).value_or(true);
    return settings;
}

} // namespace ShellConfig
