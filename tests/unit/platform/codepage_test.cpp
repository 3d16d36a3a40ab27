#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

// "中文" in GBK and UTF-8, written out so the test does not depend on the converter.
const std::string kGbkZhongWen = "\xD6\xD0\xCE\xC4";
const std::string kUtf8ZhongWen = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(CodePage, GbkAndUtf16BothWays) {
    EXPECT_EQ(codepage::gbkToUtf16("A" + kGbkZhongWen + "z"), u"A中文z");
    EXPECT_EQ(codepage::utf16ToGbk(u"A中文z"), "A" + kGbkZhongWen + "z");
    EXPECT_EQ(codepage::gbkToUtf16("\xA1\xA1"), u"\u3000");  // full-width space
    EXPECT_EQ(codepage::gbkToUtf16("\x80"), u"\u20AC");      // code page 936's euro sign
    EXPECT_EQ(codepage::utf8ToGbk(kUtf8ZhongWen), kGbkZhongWen);
    EXPECT_EQ(codepage::gbkToUtf8(kGbkZhongWen), kUtf8ZhongWen);
    // Embedded zero bytes are characters like any other.
    EXPECT_EQ(codepage::gbkToUtf16("a\0b"s), u"a\0b"s);
}

TEST(CodePage, UnmappableAndBrokenInput) {
    // Thai U+0E01 and an emoji have no GBK form; each UTF-16 unit becomes "?".
    EXPECT_EQ(codepage::utf16ToGbk(u"\u0E01x"), "?x");
    EXPECT_EQ(codepage::utf16ToGbk(u"\U0001F600"), "??");
    // A lead byte at the end, and one before a quote: the quote must survive.
    EXPECT_EQ(codepage::gbkToUtf16("a\xD6"), u"a?");
    EXPECT_EQ(codepage::gbkToUtf16("\xD6\"x"), u"?\"x");
    EXPECT_EQ(codepage::gbkToUtf16("\xFF"), u"?");
}

TEST(CodePage, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(codepage::utf8ToUtf16("a\xFF"
                                    "b"),
              u"a\uFFFDb");
    EXPECT_EQ(codepage::utf8ToUtf16("\xE4\xB8"), u"\uFFFD");  // truncated: one maximal subpart
    EXPECT_EQ(codepage::utf8ToUtf16("\xE4\xB8x"), u"\uFFFDx");
    EXPECT_EQ(codepage::utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(codepage::utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
    EXPECT_EQ(codepage::utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(codepage::utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
    // Through to GBK, U+FFFD has no form and shows as "?".
    EXPECT_EQ(codepage::utf8ToGbk("ok\xFE"), "ok?");
}

TEST(CodePage, TwoCallProtocol) {
    const char* src =
        "\xD6\xD0"
        "a";
    int needed = win::MultiByteToWideChar(936, 0, src, -1, nullptr, 0);
    EXPECT_EQ(needed, 3);  // 中, a and the terminating zero
    char16_t buf[3];
    EXPECT_EQ(win::MultiByteToWideChar(936, 0, src, -1, buf, 3), 3);
    EXPECT_EQ(std::u16string(buf, 3), u"中a\0"s);
    EXPECT_EQ(win::MultiByteToWideChar(936, 0, src, -1, buf, 2), 0) << "too small a buffer fails";
    EXPECT_EQ(win::MultiByteToWideChar(1252, 0, src, -1, buf, 3), 0) << "unknown code page";
    EXPECT_EQ(win::MultiByteToWideChar(936, 0, src, 0, buf, 3), 0);

    win::BOOL used = 0;
    char out[8];
    EXPECT_EQ(win::WideCharToMultiByte(936, 0, u"中\u0E01", 2, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(win::WideCharToMultiByte(936, 0, u"中\u0E01", 2, out, 8, "*", &used), 3);
    EXPECT_EQ(std::string(out, 3), "\xD6\xD0*");
    EXPECT_TRUE(used);
    EXPECT_EQ(win::WideCharToMultiByte(65001, 0, u"中", -1, out, 8, nullptr, nullptr), 4);
    EXPECT_EQ(std::string(out, 4), "\xE4\xB8\xAD"s + '\0');
}

TEST(CodePage, EveryGbkCharacterRoundTrips) {
    // The two tables must agree: each two-byte character converts to one unit and back.
    int characters = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string pair{char(lead), char(trail)};
            std::u16string u = codepage::gbkToUtf16(pair);
            if (u.size() != 1) continue;
            ++characters;
            ASSERT_EQ(codepage::utf16ToGbk(u), pair) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_GT(characters, 21000);  // GBK has 21,886 two-byte characters
}

}  // namespace
