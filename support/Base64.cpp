#include "Base64.h"

#include <array>
#include <cstring>

namespace Base64 {
namespace {

// Two alphabet characters for every 12-bit value: one lookup encodes half a group.
constexpr std::array<std::array<char, 2>, 4096> MakePairTable() {
    std::array<std::array<char, 2>, 4096> table{};
    for (std::size_t v = 0; v < 4096; ++v) {
        table[v] = {kAlphabet[v >> 6], kAlphabet[v & 63]};
    }
    return table;
}
constexpr auto kPairs = MakePairTable();

// Decode table derived from the alphabet: 0-63 for its characters, kIsPad for
// '=', kSkip for every byte the decoder passes over.
constexpr std::uint8_t kIsPad = 0x40;
constexpr std::uint8_t kSkip = 0x80;
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kSkip);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    }
    table[static_cast<unsigned char>(kPad)] = kIsPad;
    return table;
}
constexpr auto kDecode = MakeDecodeTable();

inline void PutPair(char* out, std::uint32_t twelveBits) {
    std::memcpy(out, kPairs[twelveBits].data(), 2);
}

// Encodes the 24 bits of one group of three bytes.
inline void EncodeGroup(std::uint32_t bits, char* out) {
    PutPair(out, bits >> 12);
    PutPair(out + 2, bits & 0xFFF);
}

inline std::uint64_t LoadBigEndian64(const std::uint8_t* in) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        v = (v << 8) | in[i];
    }
    return v;
}

// Writes the bytes of one complete group of four decoded values.
inline char* PutDecodedGroup(const std::uint8_t* v, char* out) {
    const std::uint32_t bits = (std::uint32_t{v[0]} << 18) | (std::uint32_t{v[1]} << 12) |
                               (std::uint32_t{v[2]} << 6) | v[3];
    out[0] = static_cast<char>(bits >> 16);
    out[1] = static_cast<char>(bits >> 8);
    out[2] = static_cast<char>(bits);
    return out + 3;
}

// Bytes of a group of `count` (1 to 4) table values that may hold padding.
char* PutPaddedGroup(const std::uint8_t* v, std::size_t count, char* out) {
    if (count < 2 || v[0] == kIsPad || v[1] == kIsPad) {
        return out;
    }
    *out++ = static_cast<char>((v[0] << 2) | (v[1] >> 4));
    if (count < 3 || v[2] == kIsPad) {
        return out;
    }
    *out++ = static_cast<char>(((v[1] & 0xF) << 4) | (v[2] >> 2));
    if (count < 4 || v[3] == kIsPad) {
        return out;
    }
    *out++ = static_cast<char>(((v[2] & 0x3) << 6) | v[3]);
    return out;
}

} // namespace

void EncodeLine(const std::uint8_t* in, char* out) {
    // Nine double groups read 8 bytes each (the last read ends at byte 56, inside the line).
    for (int k = 0; k < 9; ++k) {
        const std::uint64_t bits = LoadBigEndian64(in + 6 * k) >> 16; // 48 bits, two groups
        PutPair(out + 8 * k, static_cast<std::uint32_t>(bits >> 36) & 0xFFF);
        PutPair(out + 8 * k + 2, static_cast<std::uint32_t>(bits >> 24) & 0xFFF);
        PutPair(out + 8 * k + 4, static_cast<std::uint32_t>(bits >> 12) & 0xFFF);
        PutPair(out + 8 * k + 6, static_cast<std::uint32_t>(bits) & 0xFFF);
    }
    EncodeGroup((std::uint32_t{in[54]} << 16) | (std::uint32_t{in[55]} << 8) | in[56], out + 72);
}

std::size_t EncodeGroups(const std::uint8_t* in, std::size_t n, char* out) {
    char* const start = out;
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3, out += 4) {
        EncodeGroup((std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2],
                    out);
    }
    if (n - i == 1) {
        const std::uint32_t b0 = in[i];
        *out++ = kAlphabet[b0 >> 2];
        *out++ = kAlphabet[(b0 & 3) << 4];
        *out++ = kPad;
        *out++ = kPad;
    } else if (n - i == 2) {
        const std::uint32_t b0 = in[i];
        const std::uint32_t b1 = in[i + 1];
        *out++ = kAlphabet[b0 >> 2];
        *out++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *out++ = kAlphabet[(b1 & 15) << 2];
        *out++ = kPad;
    }
    return static_cast<std::size_t>(out - start);
}

std::string Decode(std::string_view text) {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();

    // 3 bytes for every 4 characters, and room for the 8-byte stores of the fast path.
    std::string result(n / 4 * 3 + 8, '\0');
    char* out = result.data();

    std::uint8_t group[4];
    std::size_t held = 0; // characters of the current group taken so far
    std::size_t i = 0;
    while (i < n) {
        // Fast path between groups: eight alphabet characters give six bytes.
        if (held == 0) {
            while (i + 8 <= n) {
                std::uint8_t v[8];
                std::uint8_t any = 0;
                for (int k = 0; k < 8; ++k) {
                    v[k] = kDecode[in[i + k]];
                    any |= v[k];
                }
                if (any >= 64) {
                    break; // padding or a byte to pass over: take the careful road
                }
                std::uint64_t bits = 0;
                for (int k = 0; k < 8; ++k) {
                    bits = (bits << 6) | v[k];
                }
                bits <<= 16; // the 48 bits to the top, big-endian order below
                char bytes[8];
                for (int k = 0; k < 8; ++k) {
                    bytes[k] = static_cast<char>(bits >> (56 - 8 * k));
                }
                std::memcpy(out, bytes, 8);
                out += 6;
                i += 8;
            }
            if (i >= n) {
                break;
            }
        }
        const std::uint8_t v = kDecode[in[i++]];
        if (v == kSkip) {
            continue;
        }
        group[held++] = v;
        if (held == 4) {
            const bool padded = ((group[0] | group[1] | group[2] | group[3]) & kIsPad) != 0;
            out = padded ? PutPaddedGroup(group, 4, out) : PutDecodedGroup(group, out);
            held = 0;
        }
    }
    if (held > 0) {
        out = PutPaddedGroup(group, held, out);
    }
    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
}

} // namespace Base64
