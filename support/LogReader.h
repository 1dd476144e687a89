// Reading the daily log back: which file line is what, and deciphering the
// body of an enciphered entry.
#pragma once

#include <string>
#include <string_view>

namespace LogReader {

enum class LineKind {
    Plain,        // timestamp, "-----MAIN: ", the message
    Enciphered,   // timestamp, "-----MAIN:", hexadecimal digits
    Continuation, // any other line: it belongs to the entry before it
};

struct ParsedLine {
    LineKind kind = LineKind::Continuation;
    std::string_view timestamp; // the 19 characters, for entries
    std::string_view body;      // the message, or the hexadecimal digits
};

// Classifies one file line, given without its CR LF.
ParsedLine Parse(std::string_view line);

// Deciphers the hexadecimal body of an enciphered entry under the log key:
// pairs of digits to bytes, DES decryption block by block, then the padding
// zero bytes at the end removed. Returns false, leaving message empty, when
// the body is not hexadecimal of a positive multiple of 16 digits.
bool Decipher(std::string_view hexBody, std::string& message);

} // namespace LogReader
