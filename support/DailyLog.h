// The daily log's file names, line layout and the one-line append.
//
// A line is the timestamp "yyyy-mm-dd hh:nn:ss", a marker and the body, then
// CR LF. A plain entry has the marker "-----MAIN: " and the message's bytes; a
// message that holds "HTTP" in any mix of case has the marker "-----MAIN:"
// (no blank) and the message enciphered with QormdesLib::EncryptToHex.
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

namespace DailyLog {

inline constexpr std::string_view kFolder = "LogFiles";
// The log folder of a program folder (given with its trailing '/'): its
// "LogFiles/", where a portable copy writes. Empty for an unknown folder.
inline std::string FolderOf(const std::string& programFolder) {
    return programFolder.empty() ? std::string() : programFolder + std::string(kFolder) + "/";
}
inline constexpr std::string_view kPlainMarker = "-----MAIN: ";
inline constexpr std::string_view kCipherMarker = "-----MAIN:";
inline constexpr std::size_t kTimestampLength = 19;

// How long an append waits for another program's lock on the day's file
// before the entry is given up.
inline constexpr std::chrono::milliseconds kLockWait{100};

// "Inspect_yyyymmdd.txt" for the local date of `when`.
std::string FileName(const std::tm& when);

// "yyyy-mm-dd hh:nn:ss" for `when`.
std::string Timestamp(const std::tm& when);

// Whether the message, with a-z turned to upper case, holds "HTTP".
bool MentionsHttp(std::string_view message);

// The entry for a message, without its CR LF. Throws std::runtime_error when
// the message must be enciphered and ends in a zero byte.
std::string FormatEntry(const std::tm& when, std::string_view message);

// Appends the entry and CR LF to <appFolder>LogFiles/<FileName(when)> with one
// write on a descriptor opened for appending, under an exclusive advisory lock,
// creating the folder (last level only) and the file when needed. A write cut
// short is taken back, so the file never holds half a line; a file whose last
// line a cut left open (or ended in zero bytes) gets a line end first. Returns whether
// the entry was written; never throws.
bool Append(const std::string& appFolder, std::string_view message, const std::tm& when);

// The same into the folder logFolder itself (with or without a trailing '/').
bool AppendToFolder(const std::string& logFolder, std::string_view message, const std::tm& when);

} // namespace DailyLog
