#include "FastBlockCipher.h"

#include "QormdesTables.h"

#include <bit>
#include <cstring>

namespace QormdesLib {
namespace {

std::uint64_t ToWord(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        v = (v << 8) | bytes[i];
    }
    return v;
}

struct Precomputed {
    // A 64-bit permutation as eight lookups, one per byte of the block: the
    // permuted block with only byte b set to v is byByte[b][v].
    struct BytePermutation {
        std::array<std::array<std::uint64_t, 256>, 8> byByte{};
        std::uint64_t operator()(std::uint64_t block) const {
            std::uint64_t result = 0;
            for (std::size_t b = 0; b < 8; ++b) {
                result |= byByte[b][(block >> (56 - 8 * b)) & 0xFF];
            }
            return result;
        }
    };
    BytePermutation initial;
    BytePermutation final;
    // S-box j followed by P: the 32 output bits for each 6-bit input.
    std::array<std::array<std::uint32_t, 64>, 8> selectAndPermute{};
};

Precomputed::BytePermutation MakeBytePermutation(const std::array<std::uint8_t, 64>& table) {
    Precomputed::BytePermutation permutation;
    for (std::size_t b = 0; b < 8; ++b) {
        for (std::size_t v = 0; v < 256; ++v) {
            std::uint8_t block[8] = {};
            block[b] = static_cast<std::uint8_t>(v);
            std::uint8_t permuted[8];
            PermuteBits(block, permuted, table.data(), 64);
            permutation.byByte[b][v] = ToWord(permuted, 8);
        }
    }
    return permutation;
}

const Precomputed& BuildTables() {
    static const Precomputed tables = [] {
        Precomputed t;
        t.initial = MakeBytePermutation(Tables::kInitialPermutation);
        t.final = MakeBytePermutation(Tables::kFinalPermutation);
        for (std::size_t j = 0; j < 8; ++j) {
            for (unsigned x = 0; x < 64; ++x) {
                const unsigned row = ((x >> 4) & 0x2u) | (x & 0x1u);
                const unsigned column = (x >> 1) & 0xFu;
                const std::uint32_t selected = std::uint32_t{Tables::kSBoxes[j][16 * row + column]}
                                               << (28 - 4 * j);
                const std::uint8_t in[4] = {static_cast<std::uint8_t>(selected >> 24),
                                            static_cast<std::uint8_t>(selected >> 16),
                                            static_cast<std::uint8_t>(selected >> 8),
                                            static_cast<std::uint8_t>(selected)};
                std::uint8_t out[4];
                PermuteBits(in, out, Tables::kPermutation.data(), 32);
                t.selectAndPermute[j][x] = static_cast<std::uint32_t>(ToWord(out, 4));
            }
        }
        return t;
    }();
    return tables;
}

} // namespace

FastBlockCipher::FastBlockCipher(const std::uint8_t* key) {
    RoundKeys keys{};
    MakeSubkeys(key, keys);
    for (std::size_t round = 0; round < 16; ++round) {
        const std::uint64_t k = ToWord(keys[round].data(), 6);
        for (std::size_t j = 0; j < 8; ++j) {
            m_groups[round][j] = static_cast<std::uint8_t>((k >> (42 - 6 * j)) & 0x3F);
        }
    }
}

void FastBlockCipher::Crypt(CryptDirection direction, const std::uint8_t* in,
                            std::uint8_t* out) const {
    const Precomputed& t = BuildTables();
    const std::uint64_t block = t.initial(ToWord(in, 8));
    std::uint32_t left = static_cast<std::uint32_t>(block >> 32);
    std::uint32_t right = static_cast<std::uint32_t>(block);
    for (std::size_t round = 0; round < 16; ++round) {
        const auto& k = m_groups[direction == CryptDirection::Encrypt ? round : 15 - round];
        std::uint32_t f = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            // Group j of E(R) is bits 4j to 4j+5 of R (bit 0 being bit 32): a rotation away.
            const std::uint32_t group =
                std::rotr(right, static_cast<int>((27 - 4 * j) & 31)) & 0x3F;
            f |= t.selectAndPermute[j][group ^ k[j]];
        }
        const std::uint32_t next = left ^ f;
        left = right;
        right = next;
    }
    const std::uint64_t result =
        t.final((std::uint64_t{right} << 32) | left); // the preoutput is R16 L16
    for (std::size_t i = 0; i < 8; ++i) {
        out[i] = static_cast<std::uint8_t>(result >> (56 - 8 * i));
    }
}

} // namespace QormdesLib
