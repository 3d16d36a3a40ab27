#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/api.h"
#include "base/text_util.h"
#include "doc_test_util.h"
#include "document/value_convert.h"
#include "document/xml_writer.h"

namespace {

const char* const kDeclaration = "<?xml version=\"1.0\" encoding=\"gb2312\"?>";

struct Doc {
    explicit Doc(std::string text) : view(parse(text)) {}
    ~Doc() { releaseDocument(view); }
    DataDocument view;
};

TEST(XmlText, ExampleDocumentWithDefaults) {
    Doc d(R"({"a":1,"b":[true,"x"]})");
    EXPECT_EQ(d.view.xmlText(), std::string(kDeclaration) +
                                    "\r\n<item>"
                                    "\r\n\t<a>1</a>"
                                    "\r\n\t<b>"
                                    "\r\n\t\t<item>true</item>"
                                    "\r\n\t\t<item>x</item>"
                                    "\r\n\t</b>"
                                    "\r\n</item>");
    // A member view writes only its own subtree, under its own name, from depth 0.
    EXPECT_EQ(d.view.key("b").xmlText("row", "utf-8", "\n", "  "),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<b>\n  <row>true</row>\n  "
              "<row>x</row>\n</b>");
}

TEST(XmlText, ItemNameIndentAndLineBreak) {
    Doc d(R"([[1,[2]],{"k":[]}])");
    EXPECT_EQ(d.view.xmlText("row", "gb2312", "\n", "  "),
              std::string(kDeclaration) +
                  "\n<row>"
                  "\n  <row>\n    <row>1</row>\n    <row>\n      <row>2</row>\n    </row>\n  </row>"
                  "\n  <row>\n    <k></k>\n  </row>"
                  "\n</row>");
    // Empty line break and indent: everything on one line.
    EXPECT_EQ(d.view.member(2).xmlText("i", "x", "", ""),
              "<?xml version=\"1.0\" encoding=\"x\"?><i><k></k></i>");
}

TEST(XmlText, EmptyContainersAndViewOnNothing) {
    Doc empties(R"({"a":[],"o":{},"n":null})");
    EXPECT_EQ(empties.view.xmlText("item", "gb2312", "|", "-"),
              std::string(kDeclaration) + "|<item>|-<a></a>|-<o></o>|-<n>null</n>|</item>");
    DataDocument nothing(nullptr, nullptr, nullptr);
    EXPECT_EQ(nothing.xmlText(), std::string(kDeclaration) + "\r\n<item></item>");
    EXPECT_EQ(nothing.xmlText("row"), std::string(kDeclaration) + "\r\n<row></row>");
    EXPECT_TRUE(nothing.isNothing());

    // An array position that holds no node writes an empty item element.
    DataDocument holes;
    holes.index(2).intValue(7, true);
    EXPECT_EQ(holes.xmlText("e", "g", "\n", ""),
              "<?xml version=\"1.0\" encoding=\"g\"?>\n<e>\n<e></e>\n<e>7</e>\n</e>");
    releaseDocument(holes);
}

TEST(XmlText, ScalarKinds) {
    DataDocument d;
    d.key("i").intValue(-42, true);
    d.key("l").int64Value(-12345678901234LL, true);
    d.key("f").floatValue(1.5f, true);
    d.key("g").floatValue(0.1f, true);
    d.key("d").doubleValue(1.0 / 3.0, true);
    d.key("t").boolValue(true, true);
    d.key("u").boolValue(false, true);
    d.key("w").dateValue(makeDocDate(2024, 3, 5, 7, 8, 9), true);
    const std::int16_t s = 5;
    d.key("s").setAs(kShort, &s);
    const std::uint8_t b = 9;
    d.key("y").setAs(kByte, &b);
    const char* bytes = "\x01\x00\x00\x00\x02\x00\x00\x00hi";
    void* block = copyBytes(bytes);
    d.key("z").setAs(kBytes, &block);
    api::HeapFree(api::GetProcessHeap(), 0, block);
    EXPECT_EQ(d.xmlText("r", "gb2312", "", ""),
              std::string(kDeclaration) +
                  "<r><i>-42</i><l>-12345678901234</l><f>1.5</f><g>0.1</g><d>0.3333333333333</d>"
                  "<t>true</t><u>false</u><w>2024-03-05T07:08:09Z</w><s></s><y></y><z></z></r>");
    releaseDocument(d);
}

TEST(XmlText, EscapesAndTwoByteCharacters) {
    const struct {
        std::string text, escaped;
    } cases[] = {
        {"a&b<c", "a&amp;b&lt;c"},
        {"x>y 'q' \"w\"", "x&gt;y &apos;q&apos; &quot;w&quot;"},
        {"", ""},
        // A trail byte that looks like '<' or '&' stays part of its character.
        {"\x81<\x82&z", "\x81<\x82&z"},
        {gbk("华为&中兴"), gbk("华为") + "&amp;" + gbk("中兴")},
        // A lead byte right before the end is copied alone.
        {"ab\x81", "ab\x81"},
    };
    for (const auto& c : cases) {
        std::string out;
        escapeXmlText(c.text.c_str(), out);
        EXPECT_EQ(out, c.escaped) << c.text;
    }
    std::string out;
    escapeXmlText(nullptr, out);
    EXPECT_EQ(out, "");

    // Names are written unchanged, values escaped.
    Doc d(gbk(R"({"名 1":"<&>"})"));
    EXPECT_EQ(d.view.xmlText("item", "gb2312", "", ""),
              std::string(kDeclaration) + "<item>" + gbk("<名 1>&lt;&amp;&gt;</名 1>") + "</item>");
}

}  // namespace
