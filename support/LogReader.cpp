#include "LogReader.h"

#include "DailyLog.h"
#include "FastBlockCipher.h"
#include "QormdesLib.h"

#include <array>
#include <cstring>

namespace LogReader {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "yyyy-mm-dd hh:nn:ss"; the time separator is whatever the writer's locale used.
bool IsTimestamp(std::string_view s) {
    if (s.size() != DailyLog::kTimestampLength) {
        return false;
    }
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        switch (i) {
        case 4:
        case 7:
            if (c != '-') {
                return false;
            }
            break;
        case 10:
            if (c != ' ') {
                return false;
            }
            break;
        case 13:
        case 16:
            if (IsDigit(c)) {
                return false;
            }
            break;
        default:
            if (!IsDigit(c)) {
                return false;
            }
        }
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

const QormdesLib::FastBlockCipher& LogCipher() {
    static const QormdesLib::FastBlockCipher cipher = [] {
        std::array<std::uint8_t, 8> key{};
        std::memcpy(key.data(), QormdesLib::LogCipherKey.data(), key.size());
        return QormdesLib::FastBlockCipher(key.data());
    }();
    return cipher;
}

} // namespace

ParsedLine Parse(std::string_view line) {
    ParsedLine parsed;
    const std::size_t markerAt = DailyLog::kTimestampLength;
    const std::string_view marker = DailyLog::kCipherMarker;
    if (line.size() < markerAt + marker.size() || !IsTimestamp(line.substr(0, markerAt)) ||
        line.substr(markerAt, marker.size()) != marker) {
        return parsed;
    }
    parsed.timestamp = line.substr(0, markerAt);
    const std::string_view rest = line.substr(markerAt + marker.size());
    if (rest.empty() || rest.front() == ' ') {
        parsed.kind = LineKind::Plain;
        parsed.body = rest.substr(rest.empty() ? 0 : 1);
    } else {
        parsed.kind = LineKind::Enciphered;
        parsed.body = rest;
    }
    return parsed;
}

std::vector<std::string> Pieces(std::string_view line, std::size_t& zeroBytes) {
    std::string text;
    text.reserve(line.size());
    for (const char c : line) {
        if (c == '\0') {
            ++zeroBytes;
        } else {
            text.push_back(c);
        }
    }
    std::vector<std::string> pieces;
    if (text.empty() && !line.empty()) {
        return pieces; // nothing but zero bytes
    }
    // An entry starts where a timestamp is followed by the marker.
    const std::string_view all(text);
    const std::string_view marker = DailyLog::kCipherMarker;
    const std::size_t stamp = DailyLog::kTimestampLength;
    std::size_t begin = 0;
    for (std::size_t at = all.find(marker, stamp + 1); at != std::string_view::npos;
         at = all.find(marker, at + 1)) {
        const std::size_t start = at - stamp;
        if (start > begin && IsTimestamp(all.substr(start, stamp))) {
            pieces.emplace_back(all.substr(begin, start - begin));
            begin = start;
        }
    }
    pieces.emplace_back(all.substr(begin));
    return pieces;
}

bool Decipher(std::string_view hexBody, std::string& message) {
    message.clear();
    if (hexBody.empty() || hexBody.size() % 16 != 0) {
        return false;
    }
    message.resize(hexBody.size() / 2);
    for (std::size_t i = 0; i < message.size(); ++i) {
        const int high = HexValue(hexBody[2 * i]);
        const int low = HexValue(hexBody[2 * i + 1]);
        if (high < 0 || low < 0) {
            message.clear();
            return false;
        }
        message[i] = static_cast<char>((high << 4) | low);
    }
    const QormdesLib::FastBlockCipher& cipher = LogCipher();
    for (std::size_t at = 0; at < message.size(); at += 8) {
        auto* block = reinterpret_cast<std::uint8_t*>(message.data() + at);
        cipher.Crypt(QormdesLib::CryptDirection::Decrypt, block, block);
    }
    const std::size_t end = message.find_last_not_of('\0');
    message.resize(end == std::string::npos ? 0 : end + 1);
    return true;
}

} // namespace LogReader
