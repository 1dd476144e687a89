// Case-insensitive comparison of ASCII letters only, as the design's checks
// are (the hotel program's name, HTTP in a log message, INI section and key
// names): bytes of other scripts compare as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Ascii {

constexpr char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ToLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = Lower(c);
    }
    return lower;
}

constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Upper(text[i]) != Upper(prefix[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

constexpr bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (StartsWithIgnoringCase(text.substr(i), part)) {
            return true;
        }
    }
    return false;
}

} // namespace Ascii
