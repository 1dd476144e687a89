// The Base64 codec under the program's two line forms.
//
// Alphabet: RFC 4648 table 1 with '=' as padding. Encoders work in lines of
// 57 bytes written as 76 characters; the callers (TStrOper::EncodeBase64,
// DecodeFile::StreamToBase64) decide where CR LF goes. The decoder passes over
// every byte outside the 65 characters of the alphabet and padding, and never
// fails: malformed groups are decoded as described at Decode().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Base64 {

inline constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr char kPad = '=';

inline constexpr std::size_t kLineBytes = 57; // 19 groups of 3 bytes
inline constexpr std::size_t kLineChars = 76; // 19 groups of 4 characters

// Characters for n bytes without line breaks: 4 for every started group of 3.
constexpr std::size_t EncodedSize(std::size_t n) {
    return (n + 2) / 3 * 4;
}

// Encodes one full line: 57 bytes at in to 76 characters at out.
void EncodeLine(const std::uint8_t* in, char* out);

// Encodes `lines` full lines of 57 bytes each, every line as 76 characters
// followed by CR LF: writes lines * 78 characters. Uses the processor's vector
// instructions where it has them; the characters are the same either way.
void EncodeLinesCrLf(const std::uint8_t* in, std::size_t lines, char* out);

// The same through the portable encoder only, for tests and comparison.
void EncodeLinesCrLfPortable(const std::uint8_t* in, std::size_t lines, char* out);

// Encodes n bytes (any count) as groups of 4 characters, the last group padded
// with '=' when n is not a multiple of 3. Writes EncodedSize(n) characters to
// out and returns that count. Line breaks are the caller's.
std::size_t EncodeGroups(const std::uint8_t* in, std::size_t n, char* out);

// Decodes text, ignoring every byte that is not in the alphabet or '='.
// The remaining characters are taken four at a time; '=' in a group ends that
// group's bytes (third place: one byte, fourth place: two), and decoding goes
// on with the next group, so joined encodings decode to joined bytes.
// Malformed input, chosen so that nothing is read beyond the text:
// - a group with '=' in first or second place gives no bytes;
// - a last group of 2 or 3 characters gives 1 or 2 bytes, one of 1 nothing.
std::string Decode(std::string_view text);

} // namespace Base64
