// Reading the daily log back: which file line is what, and deciphering the
// body of an enciphered entry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// The entries of one file line (given without its CR LF) that a cut spoiled:
// zero bytes left by a power cut are dropped (and counted in zeroBytes), and
// the line is split before every entry that starts inside it, since an entry
// appended after a cut line was glued onto it. An unspoiled line is one piece.
std::vector<std::string> Pieces(std::string_view line, std::size_t& zeroBytes);

// Deciphers the hexadecimal body of an enciphered entry under the log key:
// pairs of digits to bytes, DES decryption block by block, then the padding
// zero bytes at the end removed. Returns false, leaving message empty, when
// the body is not hexadecimal of a positive multiple of 16 digits.
bool Decipher(std::string_view hexBody, std::string& message);

} // namespace LogReader
