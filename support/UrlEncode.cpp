#include "UrlEncode.h"

#include <array>

namespace {

constexpr std::array<bool, 256> MakeUnreserved() {
    std::array<bool, 256> keep{};
    for (int c = 'A'; c <= 'Z'; ++c) {
        keep[c] = true;
    }
    for (int c = 'a'; c <= 'z'; ++c) {
        keep[c] = true;
    }
    for (int c = '0'; c <= '9'; ++c) {
        keep[c] = true;
    }
    for (const char c : std::string_view("!$'()*-.@_")) {
        keep[static_cast<unsigned char>(c)] = true;
    }
    return keep;
}
constexpr auto kUnreserved = MakeUnreserved();

} // namespace

std::string FormUrlEncode(std::string_view Text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(Text.size() * 3); // at most three characters a byte
    for (const char c : Text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) {
            break;
        }
        if (kUnreserved[byte]) {
            result.push_back(c);
        } else if (byte == ' ') {
            result.push_back('+');
        } else {
            result.push_back('%');
            result.push_back(kHex[byte >> 4]);
            result.push_back(kHex[byte & 0xF]);
        }
    }
    return result;
}
