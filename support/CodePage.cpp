#include "CodePage.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace CodePage {
namespace {

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// One iconv descriptor per direction and thread, opened on first use.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != invalid()) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `size` bytes made of units of `unit` bytes; `replacement` (in the
    // target encoding) stands for every unit that does not convert.
    std::string run(const char* data, std::size_t size, std::size_t unit,
                    std::string_view replacement) {
        std::string out;
        if (m_cd == invalid()) {
            // The C library lacks the encoding: keep the bytes rather than lose them.
            out.assign(data, size);
            return out;
        }
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(size * 2 + 16);
        auto* in = const_cast<char*>(data);
        std::size_t inLeft = size;
        std::size_t used = 0;
        while (inLeft > 0) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            const std::size_t rc = iconv(m_cd, &in, &inLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ: an invalid unit. EINVAL: a sequence cut short by the end
            // of the input, which may still be followed by bytes that make
            // sense (a four-byte lead with fewer than three bytes after it).
            // Either way one unit is replaced and the rest converted.
            if (out.size() - used < replacement.size()) {
                out.resize(out.size() * 2 + replacement.size());
            }
            std::memcpy(out.data() + used, replacement.data(), replacement.size());
            used += replacement.size();
            const std::size_t skip = std::min(unit, inLeft);
            in += skip;
            inLeft -= skip;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        // Flush any shift state the target encoding holds.
        for (;;) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            const std::size_t rc = iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) {
                break;
            }
            out.resize(out.size() * 2);
        }
        out.resize(used);
        return out;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t m_cd;
};

std::string_view Utf16Replacement() {
    static const char16_t kReplacement = u'\uFFFD';
    return {reinterpret_cast<const char*>(&kReplacement), sizeof kReplacement};
}

} // namespace

std::string FromUtf8(std::string_view utf8) {
    thread_local Converter converter(kName, "UTF-8");
    return converter.run(utf8.data(), utf8.size(), 1, "?");
}

std::string ToUtf8(std::string_view text) {
    thread_local Converter converter("UTF-8", kName);
    return converter.run(text.data(), text.size(), 1, "\xEF\xBF\xBD");
}

std::string FromUtf16(std::u16string_view utf16) {
    thread_local Converter converter(kName, kUtf16);
    return converter.run(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2, 2, "?");
}

std::u16string ToUtf16(std::string_view text) {
    thread_local Converter converter(kUtf16, kName);
    const std::string bytes = converter.run(text.data(), text.size(), 1, Utf16Replacement());
    std::u16string result(bytes.size() / 2, u'\0');
    std::memcpy(result.data(), bytes.data(), result.size() * 2);
    return result;
}

std::size_t CharacterLength(std::string_view text, std::size_t offset) {
    const auto byte = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const std::size_t left = text.size() - offset;
    const unsigned char lead = byte(offset);
    if (lead < 0x80 || lead == 0x80 || lead == 0xFF || left < 2) {
        return 1;
    }
    const unsigned char second = byte(offset + 1);
    if (second >= 0x30 && second <= 0x39) {
        // Four bytes: lead, digit, lead-range byte, digit.
        if (left >= 4 && byte(offset + 2) >= 0x81 && byte(offset + 2) <= 0xFE &&
            byte(offset + 3) >= 0x30 && byte(offset + 3) <= 0x39) {
            return 4;
        }
        return 1;
    }
    return (second >= 0x40 && second <= 0xFE && second != 0x7F) ? 2 : 1;
}

std::size_t FindCharacters(std::string_view text, std::string_view keyword) {
    for (std::size_t at = 0; at < text.size(); at += CharacterLength(text, at)) {
        if (text.substr(at).starts_with(keyword)) {
            return at;
        }
    }
    return keyword.empty() ? 0 : std::string_view::npos;
}

} // namespace CodePage
