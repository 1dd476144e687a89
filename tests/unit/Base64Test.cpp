#include "Base64.h"
#include "StrOper.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string Bytes(std::size_t n, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(random() & 0xFF);
    }
    return s;
}

} // namespace

TEST(EncodeBase64, Rfc4648Examples) {
    EXPECT_EQ(TStrOper::EncodeBase64(""), "");
    EXPECT_EQ(TStrOper::EncodeBase64("f"), "Zg==");
    EXPECT_EQ(TStrOper::EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(TStrOper::EncodeBase64("foo"), "Zm9v");
    EXPECT_EQ(TStrOper::EncodeBase64("foob"), "Zm9vYg==");
    EXPECT_EQ(TStrOper::EncodeBase64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(TStrOper::EncodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(TStrOper::EncodeBase64("abc"), "YWJj");
    EXPECT_EQ(TStrOper::EncodeBase64(std::string(1, '\0')), "AA==");
    EXPECT_EQ(TStrOper::EncodeBase64("\xFB\xFF"), "+/8=");
}

TEST(EncodeBase64, EveryCompleteLineEndsWithCrLf) {
    const std::string s57 = TStrOper::EncodeBase64(Bytes(57));
    ASSERT_EQ(s57.size(), 78u);
    EXPECT_EQ(s57.substr(76), "\r\n");

    const std::string s58 = TStrOper::EncodeBase64(Bytes(58));
    ASSERT_EQ(s58.size(), 82u);
    EXPECT_EQ(s58.substr(76, 2), "\r\n");
    EXPECT_EQ(s58.substr(80), "==");

    const std::string s114 = TStrOper::EncodeBase64(Bytes(114));
    ASSERT_EQ(s114.size(), 156u);
    EXPECT_EQ(s114.substr(76, 2), "\r\n");
    EXPECT_EQ(s114.substr(154), "\r\n");

    // The line count runs on across the whole text.
    const std::string big = TStrOper::EncodeBase64(Bytes(57 * 300 + 5));
    for (std::size_t line = 0; line < 300; ++line) {
        ASSERT_EQ(big.substr(line * 78 + 76, 2), "\r\n") << "line " << line;
    }
    EXPECT_EQ(big.size(), 300u * 78 + 8);
}

TEST(EncodeBase64, LinesMatchThePlainGroupEncoding) {
    // The line encoder's wide reads give the same characters as group by group.
    const std::string data = Bytes(57 * 4, 11);
    const std::string text = TStrOper::EncodeBase64(data);
    for (std::size_t line = 0; line < 4; ++line) {
        char expected[76];
        Base64::EncodeGroups(reinterpret_cast<const std::uint8_t*>(data.data()) + 57 * line, 57,
                             expected);
        EXPECT_EQ(text.substr(78 * line, 76), std::string(expected, 76)) << "line " << line;
    }
}

TEST(EncodeBase64, VectorAndPortableLineEncodersAgree) {
    if (!__builtin_cpu_supports("avx2")) {
        // Both sides would be the portable encoder: nothing to compare.
        GTEST_SKIP() << "this processor has no AVX2, so the vector encoder is not used";
    }
    const std::string data = Bytes(57 * 500, 3);
    const auto* in = reinterpret_cast<const std::uint8_t*>(data.data());
    std::string vector(500 * 78, '\0');
    std::string portable(500 * 78, '\0');
    Base64::EncodeLinesCrLf(in, 500, vector.data());
    Base64::EncodeLinesCrLfPortable(in, 500, portable.data());
    EXPECT_EQ(vector, portable);
    // Every byte value in every position of a group reaches the right character.
    std::string all(57 * 257, '\0');
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<char>(i * 7 % 256);
    }
    const std::size_t lines = all.size() / 57;
    std::string a(lines * 78, '\0');
    std::string b(lines * 78, '\0');
    Base64::EncodeLinesCrLf(reinterpret_cast<const std::uint8_t*>(all.data()), lines, a.data());
    Base64::EncodeLinesCrLfPortable(reinterpret_cast<const std::uint8_t*>(all.data()), lines,
                                    b.data());
    EXPECT_EQ(a, b);
}

TEST(DecodeBase64, IgnoresEverythingOutsideTheAlphabet) {
    EXPECT_EQ(TStrOper::DecodeBase64("YWJj"), "abc");
    EXPECT_EQ(TStrOper::DecodeBase64("YW\r\nJj"), "abc");
    EXPECT_EQ(TStrOper::DecodeBase64(" Y W J j "), "abc");
    EXPECT_EQ(TStrOper::DecodeBase64("\tY\xC3\xA9WJ-j\x80"), "abc");
    EXPECT_EQ(TStrOper::DecodeBase64(std::string("YW\0Jj", 5)), "abc");
    EXPECT_EQ(TStrOper::DecodeBase64("\r\n\t -_.,!\x80\xFF"), "");
    EXPECT_EQ(TStrOper::DecodeBase64(""), "");
}

TEST(DecodeBase64, PaddingEndsOnlyItsOwnGroup) {
    EXPECT_EQ(TStrOper::DecodeBase64("YQ=="), "a");
    EXPECT_EQ(TStrOper::DecodeBase64("YWI="), "ab");
    EXPECT_EQ(TStrOper::DecodeBase64("YQ==YQ=="), "aa");
    EXPECT_EQ(TStrOper::DecodeBase64("YWI=YWJj"), "ababc");
    EXPECT_EQ(TStrOper::DecodeBase64(std::string("AA==")), std::string(1, '\0'));
}

TEST(DecodeBase64, MalformedGroupsReadNothingBeyondTheText) {
    EXPECT_EQ(TStrOper::DecodeBase64("Y"), "");
    EXPECT_EQ(TStrOper::DecodeBase64("YW"), "a");
    EXPECT_EQ(TStrOper::DecodeBase64("YWJ"), "ab");
    EXPECT_EQ(TStrOper::DecodeBase64("=YWJ"), "");
    EXPECT_EQ(TStrOper::DecodeBase64("Y=Jj"), "");
    EXPECT_EQ(TStrOper::DecodeBase64("YW=j"), "a");
    EXPECT_EQ(TStrOper::DecodeBase64("===="), "");
    // "====" and "===Y" give nothing; the last three characters "WJj" give two bytes.
    EXPECT_EQ(TStrOper::DecodeBase64("=======YWJj"), "\x58\x98");
}

TEST(DecodeBase64, RoundTripsBothLineForms) {
    for (const std::size_t n : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 113u, 114u, 1000u, 10944u, 65537u}) {
        const std::string data = Bytes(n, static_cast<unsigned>(n));
        EXPECT_EQ(TStrOper::DecodeBase64(TStrOper::EncodeBase64(data)), data) << n;
    }
}
