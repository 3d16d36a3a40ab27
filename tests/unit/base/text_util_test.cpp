#include "base/text_util.h"

#include <gtest/gtest.h>

namespace {

const std::string kSpaceW = "\xA1\xA1";  // full-width space in GBK

TEST(TextUtil, MissingTextsCountAsEmpty) {
    EXPECT_EQ(textLength(nullptr), 0);
    EXPECT_EQ(textLength("abc"), 3);
    EXPECT_EQ(compareTexts(nullptr, ""), 0);
    EXPECT_LT(compareTexts("a", "b"), 0);
    EXPECT_GT(compareTexts("b", nullptr), 0);
    EXPECT_LT(compareTexts("A", "a"), 0) << "letter case counts";
    EXPECT_EQ(joinTexts({"a", "", "bc"}), "abc");
    EXPECT_EQ(joinBytes({std::string_view("\0x", 2), "y"}), std::string("\0xy", 3));
    EXPECT_EQ(elementCount(std::vector<int>{}), 0);
    EXPECT_EQ(elementCount(std::vector<int>{1, 2, 3}), 3);
}

TEST(TextUtil, TrimRemovesAsciiAndFullWidthSpacesOnly) {
    EXPECT_EQ(trimSpaces("  P6  "), "P6");
    EXPECT_EQ(trimSpaces(kSpaceW + " a b " + kSpaceW), "a b");
    EXPECT_EQ(trimSpaces("\ta\t"), "\ta\t");
    EXPECT_EQ(trimSpaces(kSpaceW + kSpaceW), "");
    EXPECT_TRUE(isBlank(" " + kSpaceW + " "));
    EXPECT_FALSE(isBlank("\xA1"));
    // "啊" is B0 A1: its trail byte and a following A1 are no full-width space.
    EXPECT_EQ(trimSpaces("\xB0\xA1" + kSpaceW), "\xB0\xA1");
    EXPECT_EQ(trimSpaces("x\xB0\xA1\xA1"), "x\xB0\xA1\xA1");
}

TEST(TextUtil, FindRespectsCharacterBoundaries) {
    EXPECT_EQ(findText("abcabc", "c"), 3u);
    EXPECT_EQ(findText("abcabc", "c", 4), 6u);
    EXPECT_EQ(findText("abcabc", "x"), 0u);
    EXPECT_EQ(findText("abc", "", 2), 2u);
    EXPECT_EQ(findText("abc", "abcd"), 0u);
    EXPECT_EQ(findText("abc", "a", 9), 0u);
    // 0x81 0x41 is one two-byte character whose trail byte is "A".
    EXPECT_EQ(findText("\x81"
                       "AA",
                       "A"),
              3u);
    EXPECT_EQ(findText("\x81"
                       "A",
                       "A"),
              0u);
    EXPECT_EQ(findText("xHTTP://a", "http://", 1, true), 2u);
    EXPECT_EQ(findText("\x81"
                       "a"
                       "A",
                       "a", 1, true),
              3u);
    EXPECT_EQ(findLastText("a:b:c", ":"), 4u);
    EXPECT_EQ(findLastText("abc", ":"), 0u);
}

TEST(TextUtil, ReplaceSplitAndCase) {
    EXPECT_EQ(replaceAll("set-cookie: a\r\nSET-COOKIE: b", "Set-Cookie", "Set-Cookie", true),
              "Set-Cookie: a\r\nSet-Cookie: b");
    EXPECT_EQ(replaceAll("aaa", "a", "bb"), "bbbbbb");
    EXPECT_EQ(splitText("", ";").size(), 0u);
    EXPECT_EQ(splitText("a;b;", ";"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(splitText("a;;b", ";"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(splitText("a\r\nb", "\r\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(toLowerAscii("HTTP://H\x81"
                           "A"),
              "http://h\x81"
              "A");
    EXPECT_EQ(toUpperAscii("ab\xD6\xD0"), "AB\xD6\xD0");
}

TEST(TextUtil, RepeatedSearchesKeepCharacterBoundaries) {
    // "\x81" "A" is one character; only the standalone "A"s count, in every loop.
    const std::string text =
        "x\x81"
        "AyA\x81"
        "AzA";
    EXPECT_EQ(splitText(text, "A"), (std::vector<std::string>{"x\x81"
                                                              "Ay",
                                                              "\x81"
                                                              "Az"}));
    EXPECT_EQ(replaceAll(text, "A", "-"),
              "x\x81"
              "Ay-\x81"
              "Az-");
    EXPECT_EQ(replaceAll(text, "a", "-", true),
              "x\x81"
              "Ay-\x81"
              "Az-");
    EXPECT_EQ(findLastText(text, "A"), 9u);
    EXPECT_EQ(findLastText("aaa", "aa"), 2u);
    // A separator that ends in a lead byte takes half of the character it starts; the
    // search goes on at the next whole character.
    EXPECT_EQ(splitText("a\x81"
                        "Ba\x81"
                        "B",
                        "a\x81"),
              (std::vector<std::string>{"", "B", "B"}));
    // Long texts split, replace and search in one pass (this used to take minutes).
    std::string lines;
    for (int i = 0; i < 20000; ++i) lines += "\xD6\xD0|a.b|c\r\n";
    EXPECT_EQ(splitText(lines, "\r\n").size(), 20000u);
    EXPECT_EQ(findLastText(std::string(1 << 20, '.'), "."), std::size_t(1) << 20);
}

TEST(TextUtil, ConversionsGoThroughTheApiTable) {
    EXPECT_EQ(textToUtf16(gbk("中a")), u"中a");
    EXPECT_EQ(utf16ToText(u"中a"), gbk("中a"));
    EXPECT_EQ(textToUtf16(""), u"");
}

}  // namespace
