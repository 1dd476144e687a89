#include "CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, ChineseTextMatchesGbkBytes) {
    // "检查" is BC EC B2 E9 in GBK, and so in GB18030.
    EXPECT_EQ(CodePage::FromUtf8("检查"), "\xBC\xEC\xB2\xE9");
    EXPECT_EQ(CodePage::ToUtf8("\xBC\xEC\xB2\xE9"), "检查");
    EXPECT_EQ(CodePage::FromUtf8("提示 OK"), CodePage::FromUtf16(u"提示 OK"));
    EXPECT_EQ(CodePage::ToUtf16(CodePage::FromUtf8("提示 OK")), u"提示 OK");
    EXPECT_EQ(CodePage::FromUtf8(""), "");
    EXPECT_EQ(CodePage::ToUtf8(""), "");
}

TEST(CodePage, CharactersOutsideGbkStillRoundTrip) {
    const std::string text = "€ 😀 ẞ";
    EXPECT_EQ(CodePage::ToUtf8(CodePage::FromUtf8(text)), text);
    EXPECT_EQ(CodePage::ToUtf16(CodePage::FromUtf8(text)), u"€ 😀 ẞ");
}

TEST(CodePage, InvalidInputIsReplacedVisiblyAndConversionGoesOn) {
    EXPECT_EQ(CodePage::ToUtf8("a\x80"
                               "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(CodePage::ToUtf8("ab\xBC"), "ab\xEF\xBF\xBD"); // cut in the middle of a character
    EXPECT_EQ(CodePage::FromUtf8("a\xFF"
                                 "b"),
              "a?b");
    EXPECT_EQ(CodePage::FromUtf8("a\xE6\xA3"), "a?");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ(CodePage::FromUtf16(lone), "a?b");
    EXPECT_EQ(CodePage::ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, LongTextsConvertWhole) {
    std::string utf8;
    for (int i = 0; i < 20000; ++i) {
        utf8 += "警员";
    }
    const std::string cp = CodePage::FromUtf8(utf8);
    EXPECT_EQ(cp.size(), 80000u);
    EXPECT_EQ(CodePage::ToUtf8(cp), utf8);
}
