#include "QormdesLib.h"

#include "QormdesTables.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace QormdesLib {

RoundKeys SubkeyTable{};

namespace {

bool BitAt(const std::uint8_t* bits, std::size_t index) {
    return (bits[index / 8] & (0x80u >> (index % 8))) != 0;
}

void SetBit(std::uint8_t* bits, std::size_t index) {
    bits[index / 8] = static_cast<std::uint8_t>(bits[index / 8] | (0x80u >> (index % 8)));
}

// Permutes a buffer onto itself, through a copy of its source bits.
template <std::size_t N>
void PermuteInPlace(std::uint8_t* bits, const std::array<std::uint8_t, N>& table) {
    std::uint8_t source[(N + 7) / 8];
    std::memcpy(source, bits, sizeof source);
    PermuteBits(source, bits, table.data(), N);
}

// Copies bits [from, from + count) of a 56-bit string into a right-aligned
// 28-bit holder of 4 bytes (the first byte's high nibble stays zero).
void TakeHalf(const std::uint8_t* key56, std::size_t from, std::uint8_t* half) {
    std::memset(half, 0, 4);
    for (std::size_t i = 0; i < 28; ++i) {
        if (BitAt(key56, from + i)) {
            SetBit(half, 4 + i); // the holder's bits 0 to 3 are the unused nibble
        }
    }
}

// Joins C and D (28 bits each, right-aligned) into 56 bits, C first.
void JoinHalves(const std::uint8_t* c, const std::uint8_t* d, std::uint8_t* key56) {
    std::memset(key56, 0, 7);
    for (std::size_t i = 0; i < 28; ++i) {
        if (BitAt(c, 4 + i)) {
            SetBit(key56, i);
        }
        if (BitAt(d, 4 + i)) {
            SetBit(key56, 28 + i);
        }
    }
}

} // namespace

void PermuteBits(const std::uint8_t* Source, std::uint8_t* Destination, const std::uint8_t* Table,
                 std::size_t Count) {
    // Destination bits are gathered eight at a time, most significant first.
    unsigned byte = 0;
    for (std::size_t i = 0; i < Count; ++i) {
        byte = (byte << 1) | (BitAt(Source, Table[i]) ? 1u : 0u);
        if (i % 8 == 7) {
            Destination[i / 8] = static_cast<std::uint8_t>(byte);
            byte = 0;
        }
    }
    if (Count % 8 != 0) {
        Destination[Count / 8] = static_cast<std::uint8_t>(byte << (8 - Count % 8));
    }
}

void RotateHalf(std::uint8_t* Half, int Count) {
    for (int n = 0; n < Count; ++n) {
        // Shift the 32 bits of the holder left by one, carrying between bytes.
        for (int i = 0; i < 4; ++i) {
            const unsigned carry = i < 3 ? Half[i + 1] >> 7 : 0u;
            Half[i] = static_cast<std::uint8_t>((Half[i] << 1) | carry);
        }
        // The bit shifted out of the 28-bit half now stands at 0x10 of the first byte.
        if ((Half[0] & 0x10u) != 0) {
            Half[3] = static_cast<std::uint8_t>(Half[3] | 0x01u);
        }
        Half[0] = static_cast<std::uint8_t>(Half[0] & 0x0Fu);
    }
}

void MakeSubkeys(const std::uint8_t* Key, RoundKeys& Table) {
    std::uint8_t key56[7];
    PermuteBits(Key, key56, Tables::kPermutedChoice1.data(), 56);

    std::uint8_t c[4];
    std::uint8_t d[4];
    TakeHalf(key56, 0, c);
    TakeHalf(key56, 28, d);

    for (std::size_t round = 0; round < 16; ++round) {
        RotateHalf(c, Tables::kKeyShifts[round]);
        RotateHalf(d, Tables::kKeyShifts[round]);
        JoinHalves(c, d, key56);
        PermuteBits(key56, Table[round].data(), Tables::kPermutedChoice2.data(), 48);
    }
}

void RoundFunction(const std::uint8_t* R, const std::uint8_t* K, std::uint8_t* Output) {
    std::uint8_t expanded[6];
    PermuteBits(R, expanded, Tables::kExpansion.data(), 48);
    for (std::size_t i = 0; i < 6; ++i) {
        expanded[i] ^= K[i];
    }

    // The 48 bits as one number, group 1 in its six most significant bits.
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        bits = (bits << 8) | expanded[i];
    }
    std::uint8_t joined[4] = {};
    for (std::size_t j = 0; j < 8; ++j) {
        const unsigned group = static_cast<unsigned>(bits >> (42 - 6 * j)) & 0x3Fu; // b1..b6
        const unsigned row = ((group >> 4) & 0x2u) | (group & 0x1u);                // 2*b1 + b6
        const unsigned column = (group >> 1) & 0xFu;                                // b2 b3 b4 b5
        const unsigned value = Tables::kSBoxes[j][16 * row + column];
        // S1 goes to the high nibble of the first byte, S2 to its low nibble, and so on.
        joined[j / 2] =
            static_cast<std::uint8_t>(joined[j / 2] | (j % 2 == 0 ? value << 4 : value));
    }

    PermuteBits(joined, Output, Tables::kPermutation.data(), 32);
}

void CryptBlock(CryptDirection Direction, Block Input, std::uint8_t* Output) {
    std::memcpy(Output, Input.data(), 8);
    PermuteInPlace(Output, Tables::kInitialPermutation);

    std::uint8_t* left = Output;
    std::uint8_t* right = Output + 4;
    for (std::size_t round = 0; round < 16; ++round) {
        const std::size_t keyIndex = Direction == CryptDirection::Encrypt ? round : 15 - round;
        std::uint8_t keptLeft[4];
        std::memcpy(keptLeft, left, 4);
        std::memcpy(left, right, 4);
        std::uint8_t f[4];
        RoundFunction(left, SubkeyTable[keyIndex].data(), f);
        for (std::size_t i = 0; i < 4; ++i) {
            right[i] = static_cast<std::uint8_t>(keptLeft[i] ^ f[i]);
        }
    }

    // The preoutput is R16 L16.
    std::uint8_t swapped[8];
    std::memcpy(swapped, right, 4);
    std::memcpy(swapped + 4, left, 4);
    PermuteBits(swapped, Output, Tables::kFinalPermutation.data(), 64);
}

std::string EncryptText(std::string Text, std::string Key) {
    if (!Text.empty() && Text.back() == '\0') {
        throw std::runtime_error(std::string(kLastCharNullMessage));
    }
    Key.resize(std::max<std::size_t>(Key.size(), 8), '\0');
    Text.resize((Text.size() + 7) / 8 * 8,
                '\0'); // zero bytes up to a whole block, never a block of its own

    MakeSubkeys(reinterpret_cast<const std::uint8_t*>(Key.data()), SubkeyTable);

    std::string result(Text.size(), '\0');
    auto* out = reinterpret_cast<std::uint8_t*>(result.data());
    for (std::size_t at = 0; at < Text.size(); at += 8) {
        Block block;
        std::memcpy(block.data(), Text.data() + at, 8);
        CryptBlock(CryptDirection::Encrypt, block, out + at);
    }
    return result;
}

std::string EncryptToHex(std::string Text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::string cipher = EncryptText(std::move(Text), std::string(LogCipherKey));
    std::string hex;
    hex.reserve(cipher.size() * 2);
    for (const char c : cipher) {
        const auto byte = static_cast<unsigned char>(c);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0xFu]);
    }
    return hex;
}

} // namespace QormdesLib
