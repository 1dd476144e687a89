#include "StrOper.h"
#include "UrlEncode.h"

#include <gtest/gtest.h>

TEST(TextCut, SplitsAtTheFirstOccurrence) {
    EXPECT_EQ(TStrOper::TextAfter("640x480", 'x'), "480");
    EXPECT_EQ(TStrOper::TextBefore("640x480", 'x'), "640");
    EXPECT_EQ(TStrOper::TextAfter("640", 'x'), "640");
    EXPECT_EQ(TStrOper::TextBefore("640", 'x'), "");
    EXPECT_EQ(TStrOper::TextBefore("x480", 'x'), "");
    EXPECT_EQ(TStrOper::TextAfter("640x", 'x'), "");
    EXPECT_EQ(TStrOper::TextBefore("1x2x3", 'x'), "1");
    EXPECT_EQ(TStrOper::TextAfter("1x2x3", 'x'), "2x3");
    EXPECT_EQ(TStrOper::TextAfter("", 'x'), "");
    EXPECT_EQ(TStrOper::TextBefore("", 'x'), "");
    // Bytes, not characters: a zero byte is a byte like any other.
    EXPECT_EQ(TStrOper::TextAfter(std::string("a\0b", 3), '\0'), "b");
    EXPECT_EQ(TStrOper::TextBefore(std::string("a\0bxc", 5), 'x'), std::string("a\0b", 3));
}

TEST(FormUrlEncode, KeepsTheSafeSetAndEscapesTheRest) {
    EXPECT_EQ(FormUrlEncode("a b&c"), "a+b%26c");
    EXPECT_EQ(FormUrlEncode(""), "");
    EXPECT_EQ(FormUrlEncode("AZaz09!$'()*-.@_"), "AZaz09!$'()*-.@_");
    EXPECT_EQ(FormUrlEncode("~&=+/%#?:;,\"<>\\"), "%7E%26%3D%2B%2F%25%23%3F%3A%3B%2C%22%3C%3E%5C");
    EXPECT_EQ(FormUrlEncode("\x01\x1F\x7F\r\n"), "%01%1F%7F%0D%0A");
    EXPECT_EQ(FormUrlEncode("\xE4\xB8\xAD"), "%E4%B8%AD"); // U+4E2D in UTF-8
    EXPECT_EQ(FormUrlEncode(std::string("ab\0cd", 5)), "ab");
}

TEST(FormUrlEncode, EveryByteHasOneForm) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string encoded = FormUrlEncode(all);
    EXPECT_LE(encoded.size(), all.size() * 3);
    // Decoding the form gives the bytes back.
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%') {
            decoded.push_back(static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16)));
            EXPECT_EQ(encoded.substr(i + 1, 2).find_first_of("abcdef"), std::string::npos);
            i += 2;
        } else {
            decoded.push_back(encoded[i] == '+' ? ' ' : encoded[i]);
        }
    }
    EXPECT_EQ(decoded, all);
}
