#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/api.h"
#include "base/text_util.h"
#include "doc_test_util.h"
#include "document/json_writer.h"
#include "document/value_convert.h"

namespace {

struct Doc {
    explicit Doc(std::string text) : view(parse(text)) {}
    ~Doc() { releaseDocument(view); }
    DataDocument view;
};

std::string written(const DocNode& node) {
    std::string out;
    writeJson(&node, out, false);
    return out;
}

DocNode scalar(std::uint32_t kind, std::int64_t integer) {
    DocNode n{};
    n.type = kind;
    n.value.integer = integer;
    return n;
}
DocNode real(std::uint32_t kind, double value) {
    DocNode n{};
    n.type = kind;
    if (kind == kFloat)
        n.value.single = float(value);
    else
        n.value.real = value;
    return n;
}

TEST(JsonText, CompactTextComesBackAsRead) {
    const std::string texts[] = {
        R"({"n":12,"a":[true,null],"t":"say \"hi\""})",
        R"([{},[],"",-5,12345678901,0.5,1e+20,[[{"x":{"y":[false]}}]]])",
        gbk(R"({"名称":"华为\\路径","k":"\b\f\n\r\t\/"})"),
    };
    for (const auto& text : texts) {
        Doc d(text);
        EXPECT_EQ(d.view.jsonText(), text);
    }
    Doc d(texts[0]);
    EXPECT_EQ(d.view.key("n").jsonText(), "12");
    EXPECT_EQ(d.view.key("a").jsonText(), "[true,null]");
    EXPECT_EQ(DataDocument(nullptr, nullptr, nullptr).jsonText(), "");
}

TEST(JsonText, ScalarsByKind) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<DocNode, const char*> cases[] = {
        {scalar(kNull, 0), "null"},
        {scalar(kBool, 1), "true"},
        {scalar(kBool, 0), "false"},
        {scalar(kByte, 255), "255"},
        {scalar(kShort, -2), "-2"},
        {scalar(kInt32, -2147483648ll), "-2147483648"},
        {scalar(kInt64, INT64_MIN), "-9223372036854775808"},
        {real(kDouble, 0.5), "0.5"},
        {real(kDouble, 3.0), "3"},
        {real(kDouble, 1e20), "1e+20"},
        {real(kDouble, 1.0 / 3), "0.3333333333333"},
        {real(kFloat, 0.1), "0.1"},
        {real(kFloat, 1.0 / 3), "0.333333"},
        {real(kDouble, nan), "null"},
        {real(kDouble, -inf), "null"},
        {real(kFloat, inf), "null"},
        {real(kDateTime, makeDocDate(2020, 1, 2, 3, 4, 5)), "'2020-01-02T03:04:05Z'"},
        {scalar(kRoutine, 0x1234), "null"},
    };
    for (const auto& [node, text] : cases) EXPECT_EQ(written(node), text) << text;
}

TEST(JsonText, EscapesInTextsAndNames) {
    DocNode t{};
    t.type = kText;
    std::string value = "a\tb/c\"d\\e\x01" + gbk("表") + "\x7f";
    t.value.address = value.data();
    EXPECT_EQ(written(t), "\"a\\tb\\/c\\\"d\\\\e\x01" + gbk("表") + "\x7f\"");
    // 表 is B1 ED; a character whose second byte is a backslash (5C) is copied whole.
    std::string backslashTrail = "\x95\x5c";
    t.value.address = backslashTrail.data();
    EXPECT_EQ(written(t), "\"\x95\x5c\"");
    std::string cut = "a\x95";
    t.value.address = cut.data();
    EXPECT_EQ(written(t), "\"a\x95\"");
    t.value.address = nullptr;
    EXPECT_EQ(written(t), "\"\"");

    // Names are escaped like texts, so the object reads back.
    DataDocument b;
    b.newRoot();
    b.key("q\"uote").intValue(1, true);
    b.key("back\\slash").intValue(2, true);
    b.key("line\nbreak").intValue(3, true);
    const std::string json = b.jsonText();
    EXPECT_EQ(json, R"({"q\"uote":1,"back\\slash":2,"line\nbreak":3})");
    Doc back(json);
    EXPECT_EQ(back.view.query("q\"uote").intValue(), 1);
    EXPECT_EQ(back.view.query("back\\slash").intValue(), 2);
    EXPECT_EQ(back.view.query("line\nbreak").intValue(), 3);
    releaseDocument(b);
}

TEST(JsonText, ByteArraysReadBack) {
    const std::pair<std::string, const char*> cases[] = {
        {"ABC", R"(["\e1,3,41,42,43"])"},
        {"", R"(["\e1,0"])"},
        {std::string("\0\xff\x10", 3), R"(["\e1,3,0,FF,10"])"},
    };
    for (const auto& [bytes, json] : cases) {
        ByteArrayHeader h{1, std::int32_t(bytes.size())};
        std::string raw(reinterpret_cast<const char*>(&h), sizeof h);
        raw += bytes;
        DocNode source{};
        source.type = kBytes;
        source.value.address = raw.data();
        EXPECT_EQ("[" + written(source) + "]", json);
        Doc back(json);
        EXPECT_EQ(dumpNode(back.view.member(1).node()), "b'" + bytes + "'") << json;
    }
    DocNode absent{};
    absent.type = kBytes;
    EXPECT_EQ(written(absent), R"("\e1,0")");
}

TEST(JsonText, NativeArrays) {
    const int live = nodePool().liveSlots();
    auto makeArray = [](std::initializer_list<std::int32_t> dims, const void* data,
                        std::size_t bytes) {
        const std::size_t header = 4 + 4 * dims.size();
        auto* block = static_cast<unsigned char*>(
            api::HeapAlloc(api::GetProcessHeap(), win::HEAP_ZERO_MEMORY, header + bytes));
        const std::int32_t d = std::int32_t(dims.size());
        std::memcpy(block, &d, 4);
        int i = 0;
        for (std::int32_t size : dims) std::memcpy(block + 4 + 4 * i++, &size, 4);
        if (bytes) std::memcpy(block + header, data, bytes);
        return block;
    };
    DocNode n{};
    const std::int32_t ints[] = {1, 2, 3};
    n.type = DocNode::typedArray | kInt32;
    n.value.address = makeArray({3}, ints, sizeof ints);
    EXPECT_EQ(written(n), "[1,2,3]");
    releaseNativeArray(n.value.address, kInt32);

    const unsigned char bytes[] = {200, 1};
    n.type = DocNode::typedArray | kByte;
    n.value.address = makeArray({2}, bytes, sizeof bytes);
    EXPECT_EQ(written(n), "[200,1]");
    releaseNativeArray(n.value.address, kByte);

    const std::int16_t shorts[] = {-1, 7, 8, 9};
    n.type = DocNode::typedArray | kShort;
    n.value.address = makeArray({2, 2}, shorts, sizeof shorts);
    EXPECT_EQ(written(n), "[-1,7,8,9]");
    releaseNativeArray(n.value.address, kShort);

    const double doubles[] = {0.5, std::nan("")};
    n.type = DocNode::typedArray | kDouble;
    n.value.address = makeArray({2}, doubles, sizeof doubles);
    EXPECT_EQ(written(n), "[0.5,null]");
    releaseNativeArray(n.value.address, kDouble);

    char* texts[] = {copyText("a\"b"), nullptr};
    n.type = DocNode::typedArray | kText;
    n.value.address = makeArray({2}, texts, sizeof texts);
    EXPECT_EQ(written(n), R"(["a\"b",""])");
    releaseNativeArray(n.value.address, kText);

    n.type = DocNode::typedArray | kInt32;
    n.value.address = makeArray({0}, nullptr, 0);
    EXPECT_EQ(written(n), "[]");
    releaseNativeArray(n.value.address, kInt32);
    n.value.address = nullptr;
    EXPECT_EQ(written(n), "[]");
    EXPECT_EQ(nodePool().liveSlots(), live);
}

}  // namespace
