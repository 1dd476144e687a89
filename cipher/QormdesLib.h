// Single DES (FIPS 46-3) applied to a text block by block, for the daily log.
//
// The text is padded with zero bytes to a multiple of 8 bytes, every 8-byte
// block is enciphered by itself (electronic codebook) and the ciphertext is
// written as uppercase hexadecimal. Bits are numbered as in the standard: bit 1
// is the most significant bit of the first byte, so published DES test values
// hold byte for byte.
//
// The module is procedural and not re-entrant: every EncryptText writes the
// shared round-key table that CryptBlock reads. Call it from one thread only.
// Every permutation is worked bit by bit from the standard's tables; clarity
// comes before speed, as the texts are single log lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace QormdesLib {

enum class CryptDirection : std::uint8_t {
    Encrypt = 0, // round keys K1 to K16
    Decrypt = 1, // round keys K16 to K1
};

using Block = std::array<std::uint8_t, 8>;
using RoundKey = std::array<std::uint8_t, 6>; // 48 bits
using RoundKeys = std::array<RoundKey, 16>;   // K1 to K16

// Round keys of the last key given to MakeSubkeys by EncryptText; zero at start.
extern RoundKeys SubkeyTable;

// The key of every log entry. Only its first 8 bytes form the DES key.
inline constexpr std::string_view LogCipherKey = "KVRD-MSG-FILTER";

// The message of the error raised for a non-empty text whose last byte is zero.
inline constexpr std::string_view kLastCharNullMessage = "Error: the last char is NULL char.";

// EncryptText(Text, LogCipherKey) written as two uppercase hexadecimal digits
// per ciphertext byte: 16 characters for every started block of 8 text bytes.
// Throws std::runtime_error as EncryptText does.
std::string EncryptToHex(std::string Text);

// Enciphers Text under the first 8 bytes of Key (a shorter key is completed
// with zero bytes). Text is padded with zero bytes to a multiple of 8; the
// result is as long as the padded text. A non-empty Text whose last byte is
// zero raises std::runtime_error(kLastCharNullMessage) before anything
// changes, SubkeyTable included.
std::string EncryptText(std::string Text, std::string Key);

// One DES block under SubkeyTable. Output must hold 8 bytes.
void CryptBlock(CryptDirection Direction, Block Input, std::uint8_t* Output);

// The key schedule: the 16 round keys of the 8 bytes at Key, written into Table.
void MakeSubkeys(const std::uint8_t* Key, RoundKeys& Table);

// The cipher function f(R, K): R is 4 bytes, K a 6-byte round key; writes 4 bytes to Output.
void RoundFunction(const std::uint8_t* R, const std::uint8_t* K, std::uint8_t* Output);

// Clears Count bits at Destination, then sets destination bit i when the
// source bit named by Table[i] (0-based) is set. Source and Destination must
// not overlap.
void PermuteBits(const std::uint8_t* Source, std::uint8_t* Destination, const std::uint8_t* Table,
                 std::size_t Count);

// Rotates a 28-bit key half, held right-aligned in 4 bytes, left by Count positions.
void RotateHalf(std::uint8_t* Half, int Count);

} // namespace QormdesLib
