#include <gtest/gtest.h>

#include "base/text_util.h"
#include "net/entities.h"
#include "net/fetch_url.h"

namespace {

using namespace net;

TEST(Utf8ToText, ConvertsToGbk) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"\xE4\xB8\xAD\xE6\x96\x87", gbk("中文")},
        {"\xE2\x82\xAC", "\x80"},  // the euro sign has a one-byte form in 936
        {"a\xF0\x9F\x98\x80"
         "b",
         "a??b"},                          // no GBK form: one "?" per UTF-16 unit
        {"\xE0\xB8\x81", "?"},             // Thai: no GBK form
        {"x\xFFy", "x?y"},                 // invalid UTF-8
        {"\xE4\xB8", "?"},                 // cut-off sequence
        {"\xC0\xAF", "??"},                // overlong form
        {std::string("ab\0cd", 5), "ab"},  // a text ends at its first zero byte
        {std::string("\0cd", 3), ""},
        {"\xEF\xBB\xBFok", "?ok"},  // a BOM has no GBK form either
    };
    for (const auto& [utf8, text] : cases) EXPECT_EQ(utf8ToText(utf8), text) << utf8;
}

TEST(TextBetween, Markers) {
    struct Case {
        const char* text;
        const char* start;
        const char* end;
        int from;
        bool ignoreCase;
        const char* result;
    } const cases[] = {
        {"<a>x</a><a>y</a>", "<a>", "</a>", 0, false, "x"},
        {"<a>x</a><a>y</a>", "<a>", "</a>", 2, false, "y"},
        {"<a>x</a><a>y</a>", "<a>", "</a>", -5, false, "x"},
        {"<a>x</a>", "<a>", "</b>", 0, false, ""},
        {"<a>x</a>", "<b>", "</a>", 0, false, ""},
        {"<A>x</A>", "<a>", "</a>", 0, false, ""},
        {"<A>x</A>", "<a>", "</a>", 0, true, "x"},
        {"<a></a>", "<a>", "</a>", 0, false, ""},
        {"<a>x</a>", "<a>", "</a>", 99, false, ""},
        {"User-Agent: t\r\nX: y", "User-Agent:", "\r\n", 0, false, " t"},
        {"k:v", "k:", "", 0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(textBetween(c.text, c.start, c.end, c.from, c.ignoreCase), c.result);
    }
    // A marker never matches inside a two-byte character: the trail byte of 0x81 0x41 is
    // no "A".
    EXPECT_EQ(textBetween("\x81"
                          "Ax;Ay;",
                          "A", ";"),
              "y");
    EXPECT_EQ(textBetween(gbk("型号：P6；"), gbk("型号："), gbk("；")), "P6");
}

TEST(HeaderValue, AfterTheFirstColonTrimmed) {
    EXPECT_EQ(headerValue("User-Agent: test"), "test");
    EXPECT_EQ(headerValue("Host:  a:80 "), "a:80");
    EXPECT_EQ(headerValue("X:\xA1\xA1v\xA1\xA1"), "v");
    EXPECT_EQ(headerValue("no colon"), "");
    EXPECT_EQ(headerValue("X:"), "");
}

}  // namespace

TEST(DecodeEntities, References) {
    const std::pair<std::string, std::string> cases[] = {
        {"a.kdz?ver=2&amp;src=b2c", "a.kdz?ver=2&src=b2c"},
        {gbk("USB驱动 &amp; 刷机工具"), gbk("USB驱动 & 刷机工具")},
        {"&lt;&gt;&quot;&apos;", "<>\"'"},
        {"&#38;&#x26;&#X26;&#0038;", "&&&&"},
        {"a&nbsp;b&emsp;c", "a b c"},
        {"&amp;lt;", "&lt;"},  // one pass
        {"&#x4E2D;&#25991;", gbk("中文")},
        {"&middot;&times;&mdash;", gbk("·×—")},
        {"&#x1F600;&#x0E01;&copy;", "???"},  // no GBK form
        // Not references: left as they stand.
        {"&amp &AMP; &unknown; &; &#; &#x; &#xG; &#12a;",
         "&amp &AMP; &unknown; &; &#; &#x; &#xG; &#12a;"},
        {"&#0; &#xD800; &#x110000; &#4294967334; &#000000038;",
         "&#0; &#xD800; &#x110000; &#4294967334; &#000000038;"},
        {"tail &", "tail &"},
        {"tail &#x26", "tail &#x26"},
        {"&nbsp", "&nbsp"},
        // A lead byte at the very end, and a two-byte character right before "&".
        {"\xB2&amp;\x81", "\xB2&amp;\x81"},
        {"\xB2\xE2&amp;", "\xB2\xE2&"},
        {"", ""},
    };
    for (const auto& [escaped, plain] : cases) EXPECT_EQ(decodeEntities(escaped), plain) << escaped;
}
