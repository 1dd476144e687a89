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
    EXPECT_EQ(CodePage::FromUtf8("a\xE6\xA3"), "a??");
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

// Malformed sequences of every length, at the start, in the middle and at the
// end, in the four directions: each is replaced and nothing after it is lost.
TEST(CodePage, MalformedSequencesAnywhereLoseNothingAfterThem) {
    const std::string prefix = CodePage::FromUtf8("甲");
    // A blank can follow no lead byte, so the bad bytes stay bad in context;
    // the short tails leave fewer bytes after a four-byte lead than it needs.
    const std::string suffixes[] = {"", CodePage::FromUtf8(" 乙z"), " ", "  "};
    // Code page texts: a lone byte, a four-byte lead with one, two or three of
    // its bytes, a double-byte lead with a bad trail.
    for (const std::string bad :
         {"\x80", "\xFF", "\x81", "\x81\x30", "\x81\x30\x81", "\x81\x30\x81\x20", "\x81\x7F"}) {
        for (int where = 0; where < 5; ++where) {
            const std::string before = where == 0 ? "" : prefix;
            const std::string after = suffixes[where == 0 ? 1 : where - 1];
            const std::string text = before + bad + after;
            const std::string utf8 = CodePage::ToUtf8(text);
            const std::u16string utf16 = CodePage::ToUtf16(text);
            SCOPED_TRACE(testing::PrintToString(text));
            EXPECT_TRUE(utf8.starts_with(CodePage::ToUtf8(before)));
            EXPECT_TRUE(utf8.ends_with(CodePage::ToUtf8(after)));
            EXPECT_NE(utf8.find("\xEF\xBF\xBD"), std::string::npos);
            EXPECT_TRUE(utf16.starts_with(CodePage::ToUtf16(before)));
            EXPECT_TRUE(utf16.ends_with(CodePage::ToUtf16(after)));
            EXPECT_NE(utf16.find(u'\uFFFD'), std::u16string::npos);
        }
    }
    // UTF-8 texts: a lone continuation, a lead with one, two or three of its
    // bytes missing, a byte that never occurs.
    for (const std::string bad : {"\x80", "\xE6", "\xE6\xA3", "\xF0\x9F\x98", "\xF0", "\xFE"}) {
        for (int where = 0; where < 3; ++where) {
            const std::string before = where == 0 ? "" : "甲";
            const std::string after = where == 2 ? "" : "乙z";
            const std::string result = CodePage::FromUtf8(before + bad + after);
            SCOPED_TRACE(testing::PrintToString(before + bad + after));
            EXPECT_TRUE(result.starts_with(CodePage::FromUtf8(before)));
            EXPECT_TRUE(result.ends_with(CodePage::FromUtf8(after)));
            EXPECT_NE(result.find('?'), std::string::npos);
        }
    }
    // UTF-16 texts: lone surrogates.
    for (const std::u16string bad :
         {std::u16string(1, char16_t(0xD800)), std::u16string(1, char16_t(0xDC00)),
          std::u16string{char16_t(0xDC00), char16_t(0xD800)}}) {
        for (int where = 0; where < 3; ++where) {
            const std::u16string before = where == 0 ? u"" : u"甲";
            const std::u16string after = where == 2 ? u"" : u"乙z";
            const std::string result = CodePage::FromUtf16(before + bad + after);
            EXPECT_TRUE(result.starts_with(CodePage::FromUtf16(before)));
            EXPECT_TRUE(result.ends_with(CodePage::FromUtf16(after)));
            EXPECT_NE(result.find('?'), std::string::npos);
        }
    }
}
