// Valid RFC 8259 documents (after the UTF-8 to code page 936 step that every reply takes)
// read to the tree they describe, without a message.
#include <gtest/gtest.h>

#include <vector>

#include "base/text_util.h"
#include "doc_test_util.h"

// Each valid document with the tree it reads to; the round-trip test writes them back.
std::vector<std::pair<std::string, std::string>> validDocuments() {
    return {
        {R"({"firmware":{"model":"P40","sizes":[1024,2048],"ok":true,"note":null}})",
         R"({firmware:{model:"P40",sizes:[1024,2048],ok:true,note:null}})"},
        {R"([{"a":[]},{"b":{}},[[[]]],[{}]])", "[{a:[]},{b:{}},[[[]]],[{}]]"},
        {"[0,-0,1,-1,10,100000,1E+2,1e-2,1.0,-1.5e+10,0.000001,3.141592653589793]",
         "[0,0,1,-1,10,100000,100d,0.01d,1d,-15000000000d,9.9999999999999995e-07d,"
         "3.1415926535897931d]"},
        {R"(["", " ", "\"", "\\", "\/", "\b\f\n\r\t", "\u0020\u007E"])",
         "[\"\",\" \",\"\"\",\"\\\",\"/\",\"\b\f\n\r\t\",\" ~\"]"},
        {gbk(R"({"名称":"华为 Mate 60","版本":"4.0.0.120"})"),
         gbk(R"({名称:"华为 Mate 60",版本:"4.0.0.120"})")},
        {"\t[\n  1 ,\r\n  { \"k\" : [ false , true , null ] }\n]\n", "[1,{k:[false,true,null]}]"},
        {R"({"big":9007199254740993,"small":-2147483649,"exact":2147483647})",
         "{big:9007199254740993L,small:-2147483649L,exact:2147483647}"},
        {R"({"a":{"b":{"c":{"d":{"e":"deep"}}}},"z":[1,[2,[3,[4]]]]})",
         R"({a:{b:{c:{d:{e:"deep"}}}},z:[1,[2,[3,[4]]]]})"},
        {R"("standalone string")", R"("standalone string")"},
        {"-12.5e-1", "-1.25d"},
        {"false", "false"},
        {"null", "null"},
        {R"({"emptyKey":{"":""}})", R"({emptyKey:{:""}})"},
        {R"(["\u4e2d\u6587", "\u00e9"])", gbk(R"(["中文","é"])")},
    };
}

namespace {

TEST(Conformance, ValidDocumentsReadToTheirTrees) {
    const auto cases = validDocuments();
    for (const auto& [text, tree] : cases) {
        ParseResult r = parseAndDump(text);
        EXPECT_EQ(r.tree, tree) << text;
        EXPECT_TRUE(r.errors.empty()) << text;
    }
}

TEST(Conformance, ManyMembersAndElements) {
    std::string text = "{", tree = "{";
    for (int i = 0; i < 500; ++i) {
        const std::string name = "model" + std::to_string(i);
        text += (i ? ",\"" : "\"") + name + "\":[" + std::to_string(i) + ",\"v" +
                std::to_string(i) + "\"]";
        tree +=
            (i ? "," : "") + name + ":[" + std::to_string(i) + ",\"v" + std::to_string(i) + "\"]";
    }
    text += "}";
    tree += "}";
    EXPECT_EQ(parseAndDump(text).tree, tree);
}

}  // namespace
