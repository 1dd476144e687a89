// File operations of the support library: one value of an INI file and the
// program's own file version.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class TFileOper {
public:
    TFileOper() = delete;

    // The longest value ReadIniString gives; longer values are cut.
    static constexpr std::size_t kMaxIniValue = 2047;

    // The value of Key in Section of the INI file FileName, or the empty text
    // when the file, the section or the key is missing. Section and key match
    // without regard to ASCII case; blanks around names and value are removed,
    // then one pair of enclosing quotes; ';' lines are comments; lines end in
    // LF or CR LF; a UTF-8 byte order mark is skipped, and a file that starts
    // with the UTF-16 little-endian one is read converted to the code page
    // (as Windows reads a "Unicode" INI file); the first matching
    // section and key count. The value ends at a zero byte and is cut to 2047
    // bytes. Reports nothing.
    static std::string ReadIniString(std::string_view FileName, std::string_view Section,
                                     std::string_view Key);

    // How ReadIniString reads one line (first: the file's first line, which
    // may start with a UTF-8 byte order mark), for whoever changes such files
    // by the same rules: the name of the section the line opens, if it opens
    // one; and whether the line gives Key (not a comment, names matched
    // without regard to ASCII case, blanks around them removed).
    static std::optional<std::string_view> IniSection(std::string_view line, bool first);
    static bool IniLineGivesKey(std::string_view line, std::string_view Key);

    // The whole text of the INI file as ReadIniString reads it (a UTF-16 file
    // converted to the code page), at most 4 MB; empty when it cannot be read.
    static std::string ReadIniText(std::string_view FileName);

    // Why the INI file cannot be read as text at all, naming its encoding
    // (UTF-16 big-endian, UTF-32, UTF-16 without a byte-order mark); empty
    // when it can, or when it cannot be opened.
    static std::string UnreadableEncoding(std::string_view FileName);

    // The running executable's four-part file version as "%d.%d.%d.%d", read
    // from the version note the build writes into every executable. When the
    // note cannot be read the result is "0.0.0.0" and one log line tells why.
    static std::string GetVersion();
};
