// DES on whole blocks through tables computed once from the standard's
// tables, for reading logs in bulk: QormdesLib::CryptBlock works every bit
// from its table, which costs seconds over a million log lines.
//
// Gives exactly what CryptBlock gives under the same key (tests hold the two
// side by side). Holds its own round keys, so it neither reads nor writes the
// module's SubkeyTable, and a const object may be used from any thread.
#pragma once

#include "QormdesLib.h"

#include <array>
#include <cstdint>

namespace QormdesLib {

class FastBlockCipher {
public:
    // key: 8 bytes; the parity bits take no part, as in MakeSubkeys.
    explicit FastBlockCipher(const std::uint8_t* key);

    // One block: 8 bytes from in to out (they may be the same buffer).
    void Crypt(CryptDirection direction, const std::uint8_t* in, std::uint8_t* out) const;

private:
    // The 6-bit groups of each round key, K1 to K16, S1's group first.
    std::array<std::array<std::uint8_t, 8>, 16> m_groups{};
};

} // namespace QormdesLib
