#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/text_util.h"
#include "doc_test_util.h"

namespace {

std::string formatError(int position, const std::string& excerpt) {
    return gbk("格式错误,当前索引:") + std::to_string(position) + gbk("前面10个文本:") + excerpt;
}
std::string valueError(int position) {
    return gbk("值错误  当前索引:") + std::to_string(position);
}
std::string missingClose(int position) {
    return gbk("格式错误,缺少闭合 当前索引:") + std::to_string(position);
}

TEST(Reader, TypeWordsOfAnObjectWithTextAndArray) {
    std::string text = R"({"a":"x","b":[1,true]})";
    DataDocument doc = parse(text);
    DocNode* root = doc.root();
    ASSERT_EQ(doc.node(), root);
    EXPECT_EQ(root->type, 22u);
    const NodeArr* members = root->value.object.members;
    ASSERT_EQ(nodeArrCount(members), 2);
    DocNode *a = nodeArrGet(members, 1), *b = nodeArrGet(members, 2);
    EXPECT_EQ(a->type, 778u);
    EXPECT_EQ(b->type, 277u);
    EXPECT_EQ(a->parent, root);
    // Names and texts lie in the document's text buffer.
    const char* buffer = doc.textBuffer();
    for (const char* p :
         {static_cast<const char*>(a->key), static_cast<const char*>(a->value.address)})
        EXPECT_TRUE(p > buffer && p < buffer + text.size());
    const auto* list = static_cast<const NodeArr*>(b->value.address);
    ASSERT_EQ(nodeArrCount(list), 2);
    for (auto [i, type] : {std::pair{1, 3u}, {2, 7u}}) {
        EXPECT_EQ(nodeArrGet(list, i)->type, type);
        EXPECT_EQ(nodeArrGet(list, i)->value.integer, 1);
        EXPECT_EQ(nodeArrGet(list, i)->parent, b);
        EXPECT_EQ(nodeArrGet(list, i)->key, nullptr);
    }
    const int live = nodePool().liveSlots();
    releaseDocument(doc);
    EXPECT_EQ(nodePool().liveSlots(), live - 5);
    EXPECT_TRUE(doc.isNothing());
}

struct TreeCase {
    const char* text;
    const char* tree;
};

TEST(Reader, ShapesQuotesAndLiterals) {
    const TreeCase cases[] = {
        {"[]", "[]"},
        {"{}", "{}"},
        {"[1,]", "[1,null]"},
        {"[1,,2]", "[1,null,2]"},
        {"[[],{}]", "[[],{}]"},
        {R"({"a":})", "{a:null}"},
        {R"({"a"})", "{a:null}"},
        {R"({"a":1,"a":2})", "{a:1}"},
        {R"({"x":1,"y":2,"x":3,"z":4})", "{x:1,y:2,z:4}"},
        {R"({"N":1,"n":2})", "{N:1,n:2}"},
        {"{'a':'x'}", R"({a:"x"})"},
        {R"(["it's",'say "hi"'])", R"(["it's","say "hi""])"},
        {"'x'", R"("x")"},
        {"[1 , 2]", "[1,2]"},
        {"{\r\n\t\"a\" : 1 ,\n  \"b\" : [ true ]\n}\n", "{a:1,b:[true]}"},
        {"  \xA1\xA1[1]\xA1\xA1  ", "[1]"},
        {"", "null"},
        {"   ", "null"},
        {"\t\r\n", "null"},
        // Literals.
        {"[123,-7,2147483647,-2147483648,2147483648,12345678901]",
         "[123,-7,2147483647,-2147483648,2147483648L,12345678901L]"},
        {"[1.5,1e3,2E-2,-0.5,1.5x]", "[1.5d,1000d,0.02d,-0.5d,1.5d]"},
        {"[12345678901234567890,0007,-,null,true,false]",
         "[1.2345678901234567e+19d,7,0,null,true,false]"},
        {"[99999999999999999999999999999999999999e999]", "[infd]"},
        {"[9223372036854775807,9999999999999999999,-9999999999999999999]",
         "[9223372036854775807L,9223372036854775807L,-9223372036854775808L]"},
        {"123", "123"},
        {" -7 ", "-7"},
        {"true", "true"},
        {"1.25", "1.25d"},
        {"nul", "null"},
        {"True", "null"},
        {"1 2", "null"},
        // Escapes.
        {R"(["a\"b\\c\/d\'e"])", R"(["a"b\c/d'e"])"},
        {R"(["\u0041\u004a"])", R"(["AJ"])"},
        {R"("\b\f\n\r\t\q")", "\"\b\f\n\r\tq\""},
        {"[\"\\\xD6\xD0\"]", "[\"\\\xD6\xD0\"]"},
        {"\"\\\xD6\xD0\"", "\"\xD6\xD0\""},
        // A trail byte that equals a quote or backslash is part of its character.
        {"[\"\x81\\\",\"\x81\"\"]", "[\"\x81\\\",\"\x81\"\"]"},
    };
    for (const auto& c : cases) {
        ParseResult r = parseAndDump(c.text);
        EXPECT_EQ(r.tree, c.tree) << "text: " << c.text;
        EXPECT_TRUE(r.errors.empty()) << "text: " << c.text << " first: " << r.errors.front();
    }
}

TEST(Reader, UnicodeEscapesGoThroughTheCodePage) {
    EXPECT_EQ(parseAndDump(R"("\u4e2d\u6587")").tree, "\"\xD6\xD0\xCE\xC4\"");
    EXPECT_EQ(parseAndDump(R"(["\u4E2D"])").tree, "[\"\xD6\xD0\"]");
    // No GBK form: the substitute character.
    EXPECT_EQ(parseAndDump(R"(["\ud83d"])").tree, R"(["?"])");
    // Fewer than four digits: the digits read so far, and the next bytes skipped.
    EXPECT_EQ(parseAndDump(R"(["\u41xyz"])").tree, R"(["Az"])");
    // Cut short at the very end of the text: nothing is read beyond it.
    ParseResult cut = parseAndDump(R"(["\u4)");
    EXPECT_EQ(cut.tree, "[]");
    EXPECT_EQ(cut.errors, std::vector<std::string>{missingClose(5)});
    EXPECT_EQ(parseAndDump(R"("\u4)").tree, "null");
}

TEST(Reader, ByteArrayForms) {
    const TreeCase cases[] = {
        {R"("\e1,3,41,42,43")", "b'ABC'"},
        {R"(["\e1,3,41,42,43"])", "[b'ABC']"},
        {R"(["x\e1;2;61;62"])", "[b'ab']"},
        {R"(["\e2,3"])", R"(["e2,3"])"},
        {R"(["\e1,0"])", "[b'']"},
        {R"(["\e1,0,"])", R"(["e1,0,"])"},
        {R"(["\e1,2,41"])", R"(["e1,2,41"])"},
        {R"(["\e1,1,4G"])", R"(["e1,1,4G"])"},
        {R"("\e1,0")", "b''"},
        {R"({"k":"\e1,1,7A"})", "{k:b'z'}"},
        {R"(\e)", "null"},
    };
    for (const auto& c : cases) EXPECT_EQ(parseAndDump(c.text).tree, c.tree) << c.text;
}

TEST(Reader, ByteArraysLongerThanTheirTextStayCorrect) {
    // Each block needs more room than the text it came from; the buffer is never overrun
    // (AddressSanitizer watches) and every value keeps its bytes.
    std::string text = "[";
    std::string expected = "[";
    for (int i = 0; i < 1000; ++i) {
        text += i ? ",\"\\e1,0\",\"\\e1,1,41\"" : "\"\\e1,0\",\"\\e1,1,41\"";
        expected += i ? ",b'',b'A'" : "b'',b'A'";
    }
    text += "]";
    expected += "]";
    EXPECT_EQ(parseAndDump(text).tree, expected);
    EXPECT_EQ(parseAndDump(R"({"\e1,0":1})").tree, "{\x01:1}");
}

TEST(Reader, ErrorsLeaveAPartialTree) {
    struct ErrorCase {
        const char* text;
        const char* tree;
        std::vector<std::string> errors;
    };
    const ErrorCase cases[] = {
        {R"({"a":[1,x],"b":2})", "{a:[1],b:2}", {valueError(10)}},
        {R"({"a":1,"b":x,"c":3})", "{a:1}", {valueError(13)}},
        {R"({"a":[1,2)", "{}", {missingClose(9), missingClose(9)}},
        {"[+1]", "[]", {valueError(4)}},
        {"[.5]", "[]", {valueError(4)}},
        {"[0x10]", "[]", {valueError(6)}},
        {"[1,True]", "[1]", {valueError(8)}},
        {"[1,nul,2]", "[1]", {valueError(7)}},
        {"[1:2]", "[]", {formatError(3, "")}},
        {"[1,2}", "[1]", {formatError(5, "")}},
        {R"({"a":1])", "{}", {formatError(7, "")}},
        {R"({"a" 1})", "{}", {formatError(7, "")}},
        {R"({"a"::1})", "{}", {formatError(6, "")}},
        {R"({"a" 1,"b":2})", "{}", {formatError(7, "")}},
        {R"({"a":1 [2]})", "{}", {formatError(8, "")}},
        {R"({"a":{"b":{"c":1 2},"d":3}})", "{a:{b:{},d:3}}", {valueError(19)}},
        {R"({"abcdefghij":1::2})", "{}", {formatError(16, "defghij\":1::2}")}},
        {"[\"abc\\", "[]", {missingClose(6)}},
        {"[\"abc", "[]", {missingClose(5)}},
        {"[", "[]", {missingClose(1)}},
        {"[[[", "[]", {missingClose(3), missingClose(3), missingClose(3)}},
    };
    for (const auto& c : cases) {
        ParseResult r = parseAndDump(c.text);
        EXPECT_EQ(r.tree, c.tree) << c.text;
        EXPECT_EQ(r.errors, c.errors) << c.text;
    }
}

TEST(Reader, NestingIsBoundedAt512Levels) {
    std::string deep = std::string(512, '[') + "1" + std::string(512, ']');
    errorLog().clear();
    DataDocument doc = parse(deep);
    EXPECT_TRUE(loggedErrors().empty());
    int depth = 0;
    for (DocNode* n = doc.root(); n->kind() == kArray; ++depth)
        n = nodeArrGet(static_cast<NodeArr*>(n->value.address), 1);
    EXPECT_EQ(depth, 512);
    releaseDocument(doc);

    // Level 513 is not read: an error at its bracket, and reading goes on after it.
    ParseResult r = parseAndDump(std::string(513, '[') + std::string(513, ']'));
    ASSERT_FALSE(r.errors.empty());
    EXPECT_EQ(r.errors.front(), gbk("格式错误,嵌套过深 当前索引:") + "513");

    // Far deeper than any stack would take unbounded.
    const int live = nodePool().liveSlots();
    r = parseAndDump(std::string(200000, '[') + std::string(200000, '{'));
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(Reader, TrimsTheCallersTextAndPutsErrorExcerptsWithinIt) {
    std::string text = "  [1]\xA1\xA1 ";
    DataDocument doc = parse(text);
    EXPECT_EQ(text, "[1]");
    releaseDocument(doc);
    // Excerpt at the end of the text: the bytes that exist, no more.
    ParseResult r = parseAndDump("[1,2,3,4,5,6:");
    EXPECT_EQ(r.errors, std::vector<std::string>{formatError(13, ",2,3,4,5,6:")});
}

TEST(Reader, FourJobsReadAtOnce) {
    // The list jobs read replies side by side; only the pool and the error log are shared.
    const std::string text =
        R"({"list":[{"v":"1.0","ok":true},{"v":"2.0","ok":false}],"n":2,"bad":[1,x]})";
    const std::string expected = R"({list:[{v:"1.0",ok:true},{v:"2.0",ok:false}],n:2,bad:[1]})";
    std::vector<std::thread> jobs;
    std::vector<int> mismatches(4);
    for (int j = 0; j < 4; ++j)
        jobs.emplace_back([&, j] {
            for (int i = 0; i < 300; ++i) {
                std::string copy = text;
                DataDocument doc = parse(copy);
                if (dumpNode(doc.root()) != expected) ++mismatches[std::size_t(j)];
                releaseDocument(doc);
            }
        });
    for (auto& job : jobs) job.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(Reader, NamesOfOneHashAreAllFoundInOrder) {
    // 65,536 names of 16 blocks of "Aa" or "BB": one h*31 value for all of them. Each is
    // read, kept in reading order, and found once by key; repeats are still dropped.
    std::vector<std::string> names;
    std::string text = "{";
    for (unsigned i = 0; i < 65536; ++i) {
        std::string name;
        for (int block = 15; block >= 0; --block) name += (i >> block) & 1 ? "BB" : "Aa";
        text += (i ? ",\"" : "\"") + name + "\":" + std::to_string(i);
        names.push_back(name);
    }
    text += ",\"" + names[7] + "\":-1,\"" + names[65535] + "\":-2}";
    DataDocument doc = parse(text);
    ASSERT_EQ(doc.count(), 65536);
    std::vector<std::string> read;
    EXPECT_EQ(doc.names(read), 65536);
    EXPECT_TRUE(read == names);
    int wrong = 0;
    for (int i = 0; i < 65536; ++i)
        if (doc.key(names[std::size_t(i)]).intValue() != i) ++wrong;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(doc.count(), 65536);
    EXPECT_EQ(doc.jsonText().size(), text.size() - names[7].size() - names[65535].size() - 12);
    releaseDocument(doc);
}

}  // namespace
