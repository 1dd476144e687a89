// The terminal's character set for the command-line tools: the values they
// are given are read in it, and what they print is written in it, so that a
// zh_CN.GB18030 terminal shows Chinese and stores what was typed.
//
// Only a character set other than UTF-8 and ASCII changes anything: the C and
// POSIX locales keep taking and giving UTF-8, as scripts and debconf pass it.
// The files the tools write are the same whatever the terminal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace TerminalCharset {

// Sets the program's character set from the environment and gives the one
// to convert from and to, or the empty text when none is needed.
std::string Choose();

// text, typed in charset, as UTF-8; none when it is not valid in charset.
std::optional<std::string> ToUtf8(std::string_view text, const std::string& charset);

// From now on, what the program writes to standard output and standard error
// (UTF-8) reaches them in charset: a character charset cannot hold becomes
// '?', and bytes that are no UTF-8 (a file name in the terminal's own
// charset) pass unchanged.
void ConvertOutput(const std::string& charset);

} // namespace TerminalCharset
