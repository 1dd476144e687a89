#include "FileOper.h"
#include "LogTexts.h"

#include "Ascii.h"
#include "UniqueFd.h"

#include "CodePage.h"
#include "ElfNote.h"
#include "SysOper.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// Only this much of a line is kept: enough for any name and a value cut to
// 2047 bytes, so a huge file or one without line ends costs no more memory.
constexpr std::size_t kLineKept = 64 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return Ascii::EqualsIgnoringCase(a, b);
}

// One line of the file: its first kLineKept bytes (without the line end), and
// for a longer line the last byte that is not blank, for the quote rule.
struct Line {
    std::string kept;
    bool cut = false;
    char lastNonBlank = '\0';
};

// The largest "Unicode" (UTF-16) file read: it is converted whole.
constexpr std::size_t kUtf16Kept = 4 * 1024 * 1024;

// Whether bytes start as Windows' "Unicode" text: the UTF-16 little-endian
// byte-order mark (and not UTF-32's, which starts the same).
bool IsUtf16Le(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") && !bytes.starts_with(std::string_view("\xFF\xFE\0\0", 4));
}

// UTF-16LE text after its byte-order mark (at most kUtf16Kept bytes), in the
// code page.
std::string Utf16LeToCodePage(std::string_view bytes) {
    bytes.remove_prefix(2);
    bytes = bytes.substr(0, std::min(bytes.size(), kUtf16Kept) & ~std::size_t{1});
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return CodePage::FromUtf16(units);
}

// Reads a file line by line with bounded memory. A file that starts with the
// UTF-16 little-endian byte-order mark (Windows Notepad's "Unicode") is read
// as Windows' profile reader reads it: converted to the code page first.
class LineReader {
public:
    explicit LineReader(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (m_fd.valid() && fill() && IsUtf16Le(std::string_view(m_buffer, m_size))) {
            readUtf16();
        }
    }

    bool isOpen() const { return m_fd.valid(); }

    bool next(Line& line) {
        line.kept.clear();
        line.cut = false;
        line.lastNonBlank = '\0';
        bool any = false;
        for (;;) {
            if (m_at == m_size && !fill()) {
                return any;
            }
            any = true;
            const char c = m_buffer[m_at++];
            if (c == '\n') {
                break;
            }
            if (line.kept.size() < kLineKept) {
                line.kept.push_back(c);
            } else {
                line.cut = true;
            }
            if (!IsBlank(c) && c != '\r') {
                line.lastNonBlank = c;
            }
        }
        if (!line.cut && !line.kept.empty() && line.kept.back() == '\r') {
            line.kept.pop_back();
        }
        return true;
    }

private:
    void readUtf16() {
        std::string bytes(m_buffer, m_size);
        while (bytes.size() <= kUtf16Kept && fill()) {
            bytes.append(m_buffer, m_size);
        }
        m_converted = Utf16LeToCodePage(bytes);
        m_fromMemory = true;
        m_at = m_size = 0;
    }

    bool fill() {
        if (m_fromMemory) {
            // The converted text, a buffer at a time.
            const std::size_t n = std::min(sizeof m_buffer, m_converted.size() - m_served);
            if (n == 0) {
                return false;
            }
            std::copy_n(m_converted.data() + m_served, n, m_buffer);
            m_served += n;
            m_at = 0;
            m_size = n;
            return true;
        }
        for (;;) {
            const ssize_t n = ::read(m_fd.get(), m_buffer, sizeof m_buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            m_at = 0;
            m_size = static_cast<std::size_t>(n);
            return true;
        }
    }

    UniqueFd m_fd;
    char m_buffer[16 * 1024];
    std::size_t m_at = 0;
    std::size_t m_size = 0;
    bool m_fromMemory = false; // a UTF-16 file, converted
    std::string m_converted;
    std::size_t m_served = 0;
};

// The value part of a key line, as the profile reader gives it back.
std::string ValueOf(std::string_view afterEquals, const Line& line) {
    std::string_view value = afterEquals;
    while (!value.empty() && IsBlank(value.front())) {
        value.remove_prefix(1);
    }
    if (!line.cut) {
        value = Trim(value);
    }
    // One pair of enclosing quotes, double or single, is removed.
    const char last = line.cut ? line.lastNonBlank : (value.empty() ? '\0' : value.back());
    if (!value.empty() && (value.front() == '"' || value.front() == '\'') &&
        (line.cut || value.size() >= 2) && last == value.front()) {
        value.remove_prefix(1);
        if (!line.cut) {
            value.remove_suffix(1);
        }
    }
    // The value is a C string of at most 2047 bytes.
    value = value.substr(0, value.find('\0'));
    return std::string(value.substr(0, TFileOper::kMaxIniValue));
}

} // namespace

std::string TFileOper::ReadIniString(std::string_view FileName, std::string_view Section,
                                     std::string_view Key) {
    try {
        LineReader reader{std::string(FileName)};
        if (!reader.isOpen()) {
            return {};
        }
        const std::string_view section = Trim(Section);
        const std::string_view key = Trim(Key);
        bool first = true;
        bool inSection = false;
        bool sectionSeen = false;
        Line line;
        while (reader.next(line)) {
            const bool firstLine = std::exchange(first, false);
            if (const std::optional<std::string_view> name = IniSection(line.kept, firstLine)) {
                if (sectionSeen) {
                    return {}; // only the first section of that name counts
                }
                inSection = EqualsIgnoringCase(*name, section);
                sectionSeen = inSection;
                continue;
            }
            if (!inSection || !IniLineGivesKey(line.kept, key)) {
                continue;
            }
            // The value is taken from the untrimmed line, so a cut line keeps its end rule.
            const std::string_view kept = line.kept;
            const std::size_t equals = kept.find('=');
            if (equals == std::string_view::npos) {
                return {};
            }
            return ValueOf(kept.substr(equals + 1), line);
        }
        return {};
    } catch (...) {
        return {};
    }
}

std::optional<std::string_view> TFileOper::IniSection(std::string_view line, bool first) {
    if (first && line.starts_with("\xEF\xBB\xBF")) {
        line.remove_prefix(3);
    }
    line = Trim(line);
    if (!line.starts_with('[')) {
        return std::nullopt;
    }
    const std::size_t close = line.find(']');
    return Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
}

bool TFileOper::IniLineGivesKey(std::string_view line, std::string_view Key) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') {
        return false;
    }
    return EqualsIgnoringCase(Trim(line.substr(0, line.find('='))), Trim(Key));
}

std::string TFileOper::ReadIniText(std::string_view FileName) {
    try {
        const UniqueFd file(::open(std::string(FileName).c_str(), O_RDONLY | O_CLOEXEC));
        if (!file.valid()) {
            return {};
        }
        std::string bytes;
        char buffer[16 * 1024];
        for (;;) {
            const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0 || bytes.size() > kUtf16Kept) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return IsUtf16Le(bytes) ? Utf16LeToCodePage(bytes) : bytes;
    } catch (...) {
        return {};
    }
}

std::string TFileOper::UnreadableEncoding(std::string_view FileName) {
    const UniqueFd file(::open(std::string(FileName).c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return {};
    }
    char sample[4096];
    ssize_t n;
    do {
        n = ::read(file.get(), sample, sizeof sample);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        return {};
    }
    const std::string_view head(sample, static_cast<std::size_t>(n));
    if (head.starts_with(std::string_view("\xFF\xFE\0\0", 4))) {
        return "UTF-32 little-endian (it starts with the byte-order mark FF FE 00 00)";
    }
    if (head.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
        return "UTF-32 big-endian (it starts with the byte-order mark 00 00 FE FF)";
    }
    if (head.starts_with("\xFE\xFF")) {
        return "UTF-16 big-endian (it starts with the byte-order mark FE FF)";
    }
    if (head.starts_with("\xFF\xFE")) {
        return {}; // "Unicode" as Windows writes it: read
    }
    // Text of ASCII letters in UTF-16 without a mark is every other byte zero.
    const auto zeros = static_cast<std::size_t>(std::count(head.begin(), head.end(), '\0'));
    if (head.size() >= 4 && zeros * 4 >= head.size()) {
        return "UTF-16 without a byte-order mark (zero bytes between the characters)";
    }
    return {};
}

std::string TFileOper::GetVersion() {
    std::string result = "0.0.0.0";
    std::string error;
    try {
        const std::string app = TSysOper::GetAppPath();
        const std::string self = ExecutablePath();
        if (app.empty() || self.empty()) {
            error = "the path of the running executable is unknown";
        } else {
            const std::string path = app + self.substr(self.rfind('/') + 1);
            const ElfNote::ReadResult read = ElfNote::ReadVersion(path);
            if (read.ok) {
                result = ElfNote::FormatVersion(read.version);
                return result;
            }
            error = read.error;
        }
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unknown error";
    }
    TSysOper::WriteLog(CodePage::FromUtf8(std::string(LogTexts::kVersionFailed) + error));
    return result;
}
