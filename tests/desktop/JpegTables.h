// Reads the quantisation tables of a baseline JPEG file and computes the ones
// the IJG quality scale gives, to tell which quality wrote a file.
#pragma once

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <array>

namespace JpegTables {

using Table = std::array<int, 64>; // in natural (row by row) order

// Positions in natural order of the zigzag sequence a file stores.
constexpr std::array<int, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The example tables of the JPEG standard (ITU T.81, Annex K), natural order.
constexpr Table kLuminance = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                              58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                              22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                              77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                              103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
constexpr Table kChrominance = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// A standard table scaled for quality 1..100 as libjpeg scales it (baseline).
inline Table Scaled(const Table& base, int quality) {
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    Table table{};
    for (int i = 0; i < 64; ++i) {
        table[i] = std::clamp((base[i] * scale + 50) / 100, 1, 255);
    }
    return table;
}

// The 8-bit quantisation tables of a JPEG file in the order of their DQT
// segments, natural order; empty when the file is not a JPEG.
inline QList<Table> Read(const QByteArray& jpeg) {
    QList<Table> tables;
    const auto byte = [&jpeg](qsizetype i) { return static_cast<unsigned char>(jpeg.at(i)); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) {
        return tables;
    }
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size() && byte(pos) == 0xFF) {
        const int marker = byte(pos + 1);
        const qsizetype length = byte(pos + 2) << 8 | byte(pos + 3);
        if (marker == 0xDA || pos + 2 + length > jpeg.size()) {
            break; // the scan: no table follows
        }
        if (marker == 0xDB) {
            for (qsizetype at = pos + 4; at + 65 <= pos + 2 + length; at += 65) {
                if ((byte(at) >> 4) != 0) {
                    return {}; // 16-bit tables are not written by these encoders
                }
                Table table{};
                for (int k = 0; k < 64; ++k) {
                    table[kZigzag[k]] = byte(at + 1 + k);
                }
                tables.append(table);
            }
        }
        pos += 2 + length;
    }
    return tables;
}

} // namespace JpegTables
