// File operations of the support library: one value of an INI file and the
// program's own file version.
#pragma once

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
    // LF or CR LF; a UTF-8 byte order mark is skipped; the first matching
    // section and key count. The value ends at a zero byte and is cut to 2047
    // bytes. Reports nothing.
    static std::string ReadIniString(std::string_view FileName, std::string_view Section,
                                     std::string_view Key);

    // The running executable's four-part file version as "%d.%d.%d.%d", read
    // from the version note the build writes into every executable. When the
    // note cannot be read the result is "0.0.0.0" and one log line tells why.
    static std::string GetVersion();
};
