#include "StrOper.h"

#include "Base64.h"

#include <cstdint>

std::string TStrOper::EncodeBase64(std::string_view Text) {
    try {
        const auto* in = reinterpret_cast<const std::uint8_t*>(Text.data());
        const std::size_t lines = Text.size() / Base64::kLineBytes;
        const std::size_t rest = Text.size() % Base64::kLineBytes;

        std::string result(lines * (Base64::kLineChars + 2) + Base64::EncodedSize(rest), '\0');
        char* out = result.data();
        Base64::EncodeLinesCrLf(in, lines, out);
        Base64::EncodeGroups(in + lines * Base64::kLineBytes, rest,
                             out + lines * (Base64::kLineChars + 2));
        return result;
    } catch (...) {
        return {};
    }
}

std::string TStrOper::DecodeBase64(std::string_view Text) {
    try {
        return Base64::Decode(Text);
    } catch (...) {
        return {};
    }
}

std::string TStrOper::TextAfter(std::string_view Text, char Ch) {
    try {
        const std::size_t at = Text.find(Ch);
        return std::string(at == std::string_view::npos ? Text : Text.substr(at + 1));
    } catch (...) {
        return {};
    }
}

std::string TStrOper::TextBefore(std::string_view Text, char Ch) {
    try {
        const std::size_t at = Text.find(Ch);
        return at == std::string_view::npos ? std::string() : std::string(Text.substr(0, at));
    } catch (...) {
        return {};
    }
}
