#include "Base64.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

inline void StoreBigEndian64(std::uint64_t v, char* out) {
    if constexpr (std::endian::native == std::endian::little) {
        v = __builtin_bswap64(v);
        std::memcpy(out, &v, 8);
    } else {
        std::memcpy(out, &v, 8);
    }
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

void EncodeLinesCrLfPortable(const std::uint8_t* in, std::size_t lines, char* out) {
    for (std::size_t line = 0; line < lines; ++line) {
        EncodeLine(in, out);
        in += kLineBytes;
        out += kLineChars;
        *out++ = '\r';
        *out++ = '\n';
    }
}

#if defined(__x86_64__)
namespace {

// 24 bytes to 32 characters with AVX2: each 128-bit lane takes 12 bytes, so
// the two loads read 4 bytes past the 24 (callers keep them inside the line).
__attribute__((target("avx2"))) inline __m256i EncodeAvx2(const std::uint8_t* in) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12));
    __m256i v = _mm256_set_m128i(high, low);

    // Every group of three bytes a b c becomes the 32-bit word b a c b.
    v = _mm256_shuffle_epi8(v, _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,
                                                1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    // Move the four 6-bit fields of each word into the low bits of its four bytes.
    const __m256i first = _mm256_mulhi_epu16(_mm256_and_si256(v, _mm256_set1_epi32(0x0FC0FC00)),
                                             _mm256_set1_epi32(0x04000040));
    const __m256i second = _mm256_mullo_epi16(_mm256_and_si256(v, _mm256_set1_epi32(0x003F03F0)),
                                              _mm256_set1_epi32(0x01000010));
    const __m256i values = _mm256_or_si256(first, second);

    // Values to characters: add the offset of the value's range of the alphabet.
    // 0-25 -> 'A', 26-51 -> 'a' - 26, 52-61 -> '0' - 52, 62 -> '+' - 62, 63 -> '/' - 63.
    __m256i range = _mm256_subs_epu8(values, _mm256_set1_epi8(51)); // 1-12 for 52-63, else 0
    const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), values);
    range = _mm256_or_si256(range, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
    const __m256i offsets =
        _mm256_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                         '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0,
                         'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                         '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    return _mm256_add_epi8(_mm256_shuffle_epi8(offsets, range), values);
}

__attribute__((target("avx2"))) void EncodeLinesCrLfAvx2(const std::uint8_t* in, std::size_t lines,
                                                         char* out) {
    for (std::size_t line = 0; line < lines; ++line) {
        // Bytes 0-47 as two vectors (the second reads up to byte 51), 48-56 as three groups.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), EncodeAvx2(in));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), EncodeAvx2(in + 24));
        for (std::size_t g = 0; g < 3; ++g) {
            const std::uint8_t* b = in + 48 + 3 * g;
            EncodeGroup((std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | b[2],
                        out + 64 + 4 * g);
        }
        out[76] = '\r';
        out[77] = '\n';
        in += kLineBytes;
        out += kLineChars + 2;
    }
}

using LinesEncoder = void (*)(const std::uint8_t*, std::size_t, char*);

LinesEncoder ChooseLinesEncoder() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? EncodeLinesCrLfAvx2 : EncodeLinesCrLfPortable;
}

} // namespace

void EncodeLinesCrLf(const std::uint8_t* in, std::size_t lines, char* out) {
    static const LinesEncoder encode = ChooseLinesEncoder();
    encode(in, lines, out);
}
#else
void EncodeLinesCrLf(const std::uint8_t* in, std::size_t lines, char* out) {
    EncodeLinesCrLfPortable(in, lines, out);
}
#endif

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
                const unsigned char* c = in + i;
                const std::uint64_t v0 = kDecode[c[0]], v1 = kDecode[c[1]], v2 = kDecode[c[2]],
                                    v3 = kDecode[c[3]], v4 = kDecode[c[4]], v5 = kDecode[c[5]],
                                    v6 = kDecode[c[6]], v7 = kDecode[c[7]];
                if ((v0 | v1 | v2 | v3 | v4 | v5 | v6 | v7) >= 64) {
                    break; // padding or a byte to pass over: take the careful road
                }
                const std::uint64_t bits = (v0 << 58) | (v1 << 52) | (v2 << 46) | (v3 << 40) |
                                           (v4 << 34) | (v5 << 28) | (v6 << 22) | (v7 << 16);
                StoreBigEndian64(bits, out); // six bytes that count, two that the next overwrites
                out += 6;
                i += 8;
            }
            // Then a group of four, as at the end of a 76-character line.
            if (i + 4 <= n) {
                const std::uint8_t v0 = kDecode[in[i]];
                const std::uint8_t v1 = kDecode[in[i + 1]];
                const std::uint8_t v2 = kDecode[in[i + 2]];
                const std::uint8_t v3 = kDecode[in[i + 3]];
                if ((v0 | v1 | v2 | v3) < 64) {
                    const std::uint8_t v[4] = {v0, v1, v2, v3};
                    out = PutDecodedGroup(v, out);
                    i += 4;
                    continue;
                }
            }
            // And a line break, passed over whole.
            if (i + 2 <= n && in[i] == '\r' && in[i + 1] == '\n') {
                i += 2;
                continue;
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
