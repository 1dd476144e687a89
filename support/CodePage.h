// Conversion between the program's 8-bit code page and Unicode.
//
// Every 8-bit text of the program (log lines, identity fields, INI values) is
// in GB18030, which equals GBK byte for byte wherever GBK has the character
// and can still hold every Unicode character. Texts cross into Unicode only at
// the boundaries (the browser, the start URL's UTF-8 values, the log reader),
// and only through this module.
//
// No conversion fails: each unit (byte, or UTF-16 code unit) of a sequence
// that is not valid in its encoding is replaced visibly, by U+FFFD towards
// Unicode and by '?' towards the code page, and the conversion goes on with
// everything after it.
#pragma once

#include <string>
#include <string_view>

namespace CodePage {

// The encoding of the code page, as iconv names it.
inline constexpr const char* kName = "GB18030";

std::string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::string_view text);
std::string FromUtf16(std::u16string_view utf16);
std::u16string ToUtf16(std::string_view text);

// The length in bytes of the character of text that starts at offset: 1 for
// ASCII, 2 or 4 for a GB18030 sequence; 1 for a byte that starts none (or a
// sequence cut short), so that a scan steps over it.
std::size_t CharacterLength(std::string_view text, std::size_t offset);

// The offset of the first occurrence of keyword in text that begins on a
// character of text, or npos. Unlike a search of the bytes, it never matches
// the trail byte of one character joined to the lead byte of the next.
std::size_t FindCharacters(std::string_view text, std::string_view keyword);

} // namespace CodePage
