#include "ShellConfig.h"

#include "Ascii.h"
#include "CodePage.h"
#include "FileOper.h"
#include "StrOper.h"
#include "WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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
        if (const std::string encoding = TFileOper::UnreadableEncoding(path); !encoding.empty()) {
            return "tavlin: cannot start: " + path + " is written in " + encoding +
                   ", which Tavlin cannot read; save it as ANSI (GBK), UTF-8 or Unicode "
                   "(UTF-16 little-endian)";
        }
        return "tavlin: cannot start: " + path + " gives no address ([URL] URL is empty)";
    case LoadResult::Loaded:
        break;
    }
    return {};
}

Configuration Load(const std::string& appPath) {
    Configuration config;
    const BaseUrl base = ReadBaseUrl(appPath);
    config.result = base.result;
    config.baseUrl = base.url;
    config.refusal = DescribeRefusal(appPath, base.result);
    if (base.result == LoadResult::EmptyUrl) {
        config.unreadableEncoding =
            TFileOper::UnreadableEncoding(appPath + std::string(kConfigFile));
    }
    if (base.result == LoadResult::Loaded) {
        config.browser = ReadBrowserSettings(appPath);
        config.largestPhoto = ReadLargestPhoto(appPath);
        config.unreadable = UnreadableValues(appPath);
    }
    return config;
}

const Key* FindOption(std::string_view option) {
    for (const Key& key : kKeys) {
        if (key.option == option) {
            return &key;
        }
    }
    return nullptr;
}

const std::string* Find(const Values& values, std::string_view name) {
    for (const auto& [key, value] : values) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

const Key& KeyNamed(std::string_view name) {
    for (const Key& key : kKeys) {
        if (key.name == name) {
            return key;
        }
    }
    std::abort(); // only the table's own names are asked for
}

namespace {

// Whether text is an http or https address with something after the scheme.
bool IsWebAddress(std::string_view text) {
    const std::size_t scheme = Ascii::StartsWithIgnoringCase(text, "https://")  ? 8
                               : Ascii::StartsWithIgnoringCase(text, "http://") ? 7
                                                                                : 0;
    return scheme != 0 && text.size() > scheme;
}

// The URL as the file stores it: one line of Base64 (an INI value cannot span
// lines, and the reader's decoder passes over line breaks anyway).
std::string StoredUrl(const std::string& url) {
    std::string base64 = TStrOper::EncodeBase64(url);
    std::erase(base64, '\r');
    std::erase(base64, '\n');
    return base64;
}

// An identity value as written: quoted where the reader would otherwise
// lose its blanks at either end or its quotes.
std::string IniValue(const std::string& value) {
    const bool needsQuotes =
        !value.empty() && (value.front() == ' ' || value.back() == ' ' || value.front() == '\t' ||
                           value.back() == '\t' || value.front() == '"' || value.front() == '\'');
    return needsQuotes ? "\"" + value + "\"" : value;
}

// The stored form of a value of key.
std::string Stored(const Key& key, bool identity, const std::string& given) {
    return key.name == "url" ? StoredUrl(CodePage::FromUtf8(given))
           : identity        ? IniValue(given)
                             : CodePage::FromUtf8(given);
}

// A file's text as lines, each without its line end.
struct Lines {
    std::vector<std::string> lines;
    std::string eol; // the line end the file uses (CR LF or LF)
};

Lines SplitLines(std::string_view text, std::string_view defaultEol) {
    Lines split;
    const std::size_t firstEnd = text.find('\n');
    split.eol = firstEnd == std::string_view::npos
                    ? std::string(defaultEol)
                    : (firstEnd > 0 && text[firstEnd - 1] == '\r' ? "\r\n" : "\n");
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        std::string_view line =
            text.substr(begin, end == std::string_view::npos ? end : end - begin);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        split.lines.emplace_back(line);
        begin = end == std::string_view::npos ? text.size() : end + 1;
    }
    return split;
}

// Sets key's line in section of lines to line: the first such line is
// changed in place (the one the reader takes); a missing one is added after
// the last line of the section that is not blank, and a missing section at
// the end.
void SetKey(std::vector<std::string>& lines, const Key& key, const std::string& line) {
    std::optional<std::size_t> sectionAt;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::optional<std::string_view> name = TFileOper::IniSection(lines[i], i == 0);
        if (name) {
            if (sectionAt) {
                break; // the section's end: only the first of its name counts
            }
            if (Ascii::EqualsIgnoringCase(*name, key.section)) {
                sectionAt = i;
            }
            continue;
        }
        if (sectionAt && TFileOper::IniLineGivesKey(lines[i], key.key)) {
            lines[i] = line;
            return;
        }
    }
    if (!sectionAt) {
        lines.push_back("[" + std::string(key.section) + "]");
        lines.push_back(line);
        return;
    }
    std::size_t last = *sectionAt;
    for (std::size_t i = *sectionAt + 1;
         i < lines.size() && !TFileOper::IniSection(lines[i], false); ++i) {
        if (lines[i].find_first_not_of(" \t") != std::string::npos) {
            last = i;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, line);
}

// The text of one of the two files: what the file holds already (IT's
// comments, blank lines, unknown keys and sections, their order) kept, the
// lines of the values given changed in place or added. A new file gets the
// rows of kKeys that live in it, in the table's order.
std::string Compose(std::string_view file, const Values& values, std::string_view existing) {
    const bool identity = file == kIdentityFile;
    Lines text = SplitLines(existing, identity ? "\n" : "\r\n");
    if (existing.empty() && identity) {
        text.lines.emplace_back(
            "; The enterprise identity Tavlin reports to the web application (UTF-8).");
    }
    for (const Key& key : kKeys) {
        const std::string* value = Find(values, key.name);
        if (key.file != file || (key.optional && value == nullptr)) {
            continue;
        }
        SetKey(text.lines, key,
               std::string(key.key) + "=" + Stored(key, identity, value ? *value : std::string()));
    }
    std::string composed;
    for (const std::string& line : text.lines) {
        composed += line + text.eol;
    }
    return composed;
}

} // namespace

std::string Refusal(const Values& values) {
    const std::string* url = Find(values, "url");
    const std::string& urlOption = std::string(KeyNamed("url").option);
    if (url == nullptr || TrimControls(*url).empty()) {
        return urlOption + " is required and must not be blank";
    }
    if (!IsWebAddress(TrimControls(*url))) {
        return urlOption + " must be an http:// or https:// address, not '" + *url + "'";
    }
    for (const auto& [name, value] : values) {
        const std::string option(KeyNamed(name).option);
        if (value.find_first_of("\r\n") != std::string::npos) {
            return option + " must not contain a line break";
        }
        // Tavlin reads at most this much of a value: a longer one would be cut.
        const std::size_t stored =
            name == "url" ? StoredUrl(CodePage::FromUtf8(value)).size() : value.size();
        if (stored > TFileOper::kMaxIniValue) {
            return option + " is too long: " + std::to_string(stored) +
                   " bytes as stored, and Tavlin reads at most " +
                   std::to_string(TFileOper::kMaxIniValue) + " (it would be cut)";
        }
    }
    // An optional value given as empty clears it: Tavlin's default applies.
    if (const std::string* timeout = Find(values, "load-timeout");
        timeout && !timeout->empty() && !ParseLoadTimeout(*timeout)) {
        return std::string(KeyNamed("load-timeout").option) +
               " must be a whole number of seconds from " + std::to_string(kMinLoadTimeoutSeconds) +
               " to " + std::to_string(kMaxLoadTimeoutSeconds);
    }
    if (const std::string* printing = Find(values, "printing");
        printing && !printing->empty() && !ParsePrinting(*printing)) {
        return std::string(KeyNamed("printing").option) + " must be on or off";
    }
    if (const std::string* size = Find(values, "largest-photo");
        size && !size->empty() && !ParsePhotoSize(*size)) {
        return std::string(KeyNamed("largest-photo").option) +
               " must be WIDTHxHEIGHT in pixels, each from " + std::to_string(kMinPhotoSide) +
               " to " + std::to_string(kMaxPhotoSide) + " (for example 1920x1080)";
    }
    if (const std::string* origins = Find(values, "allowed-origins")) {
        for (const std::string& origin : SplitOrigins(*origins)) {
            if (!IsOrigin(origin)) {
                return "'" + origin +
                       "' is not an origin (http:// or https://, a host name or address, IPv6 in "
                       "brackets, an optional :port, nothing after it but a /)";
            }
        }
    }
    return {};
}

std::string Write(const std::string& appPath, const Values& values) {
    // An installed copy's InspectConfig is a link to its configuration folder
    // (/etc/tavlin), which is made where it is missing.
    std::error_code error;
    std::filesystem::path folder =
        std::filesystem::path(appPath + std::string(kConfigFile)).parent_path();
    if (std::filesystem::is_symlink(folder, error)) {
        folder = folder.parent_path() / std::filesystem::read_symlink(folder, error);
    }
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "cannot create " + folder.string() + ": " + error.message();
    }
    for (const std::string_view file : {kConfigFile, kIdentityFile}) {
        if (std::string failure = WholeFile::Replace(
                appPath + std::string(file),
                Compose(file, values, TFileOper::ReadIniText(appPath + std::string(file))));
            !failure.empty()) {
            return failure;
        }
    }
    return {};
}

Values ReadValues(const std::string& appPath) {
    Values values;
    for (const Key& key : kKeys) {
        // Config.ini holds code page text, Identity.ini UTF-8; values are UTF-8.
        std::string value =
            key.name == "url" ? ReadBaseUrl(appPath).url : ReadConfigValue(appPath, key.name);
        if (key.file == kConfigFile) {
            value = CodePage::ToUtf8(value);
        }
        if (!key.optional || !value.empty()) {
            values.emplace_back(key.name, std::move(value));
        }
    }
    return values;
}

} // namespace ShellConfig
