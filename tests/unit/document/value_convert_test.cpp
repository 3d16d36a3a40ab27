#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "base/api.h"
#include "base/text_util.h"
#include "doc_test_util.h"
#include "document/json_writer.h"
#include "document/value_convert.h"

namespace {

void heapFree(void* block) {
    api::HeapFree(api::GetProcessHeap(), 0, block);
}

// A node that owns nothing: texts and byte arrays point at test-owned memory.
struct Value {
    DocNode node{};
    std::string storage;
    static Value integer(std::uint32_t kind, std::int64_t v) {
        Value x;
        x.node.type = kind;
        x.node.value.integer = v;
        return x;
    }
    static Value real(double v, std::uint32_t kind = kDouble) {
        Value x;
        x.node.type = kind;
        if (kind == kFloat)
            x.node.value.single = float(v);
        else
            x.node.value.real = v;
        return x;
    }
    static Value text(std::string t) {
        Value x;
        x.storage = std::move(t);
        x.node.type = kText;
        return x;
    }
    static Value bytes(std::string b) {
        Value x;
        ByteArrayHeader h{1, std::int32_t(b.size())};
        x.storage.assign(reinterpret_cast<const char*>(&h), sizeof h);
        x.storage += b;
        x.node.type = kBytes;
        return x;
    }
    const DocNode* get() {
        if (node.kind() == kText || node.kind() == kBytes)
            node.value.address = storage.empty() && node.kind() == kText ? nullptr : storage.data();
        return &node;
    }
};

std::string asText(Value v) {
    char* out = nullptr;
    if (!convertValue(v.get(), &out, kText)) return "<no rule>";
    std::string s = out;
    heapFree(out);
    return s;
}
template <class T>
T as(Value v, int kind) {
    T out{};
    EXPECT_TRUE(convertValue(v.get(), &out, kind));
    return out;
}

const DocDateTime kSample = makeDocDate(2021, 3, 4, 5, 6, 7);
constexpr std::int64_t kSampleSeconds = 1614834367;

TEST(ConvertValue, ToText) {
    const std::pair<Value, const char*> cases[] = {
        {Value::text("abc"), "abc"},
        {Value::text(""), ""},
        {Value::integer(kInt32, -5), "-5"},
        {Value::integer(kByte, 200), "200"},
        {Value::integer(kShort, -300), "-300"},
        {Value::integer(kInt64, 12345678901), "12345678901"},
        {Value::real(0.1), "0.1"},
        {Value::real(1e20), "1e+20"},
        {Value::real(1.0 / 3, kFloat), "0.333333"},
        {Value::integer(kBool, 1), "true"},
        {Value::integer(kBool, 0), "false"},
        {Value::real(kSample, kDateTime), "20210304050607"},
        {Value::bytes(std::string("ab\0cd", 5)), "ab"},
        {Value::bytes("xyz"), "xyz"},
        {Value::integer(kNull, 0), "<no rule>"},
        {Value::integer(kRoutine, 1), "<no rule>"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(asText(v), text) << text;
    // The slot's old text is released and replaced.
    char* slot = copyText("old");
    Value v = Value::integer(kInt32, 1);
    ASSERT_TRUE(convertValue(v.get(), &slot, kText));
    EXPECT_STREQ(slot, "1");
    heapFree(slot);
}

TEST(ConvertValue, ToSmallIntegers) {
    const std::pair<Value, std::int32_t> cases[] = {
        {Value::text("12abc"), 12},
        {Value::text("-5"), 0},
        {Value::text(" 7"), 0},
        {Value::text("4294967297"), 1},  // wraps modulo 2^32
        {Value::real(kSample, kDateTime), std::int32_t(kSampleSeconds)},
        {Value::real(-2.9), -2},
        {Value::real(2.9, kFloat), 2},
        {Value::real(1e300), INT32_MIN},
        {Value::real(std::nan("")), INT32_MIN},
        {Value::bytes("\x01\x02\x03\x04\x05"), 0x04030201},
        {Value::bytes("\x01\x02"), 0x0201},  // missing bytes count as zero
        {Value::bytes(""), 0},
        {Value::integer(kInt64, 0x100000005), 5},
        {Value::integer(kBool, 1), 1},
        {Value::integer(kNull, 0), 0},
    };
    for (const auto& [v, n] : cases) EXPECT_EQ(as<std::int32_t>(v, kInt32), n);
    EXPECT_EQ(as<std::uint8_t>(Value::integer(kInt32, 0x1FF), kByte), 0xFF);
    EXPECT_EQ(as<std::int16_t>(Value::integer(kInt32, 0x18000), kShort), -32768);
    // Only the target's width is written.
    unsigned char out[4] = {9, 9, 9, 9};
    Value v = Value::integer(kInt32, 0x01020304);
    ASSERT_TRUE(convertValue(v.get(), out, kShort));
    EXPECT_EQ(out[2], 9);
}

TEST(ConvertValue, ToInt64) {
    const std::pair<Value, std::int64_t> cases[] = {
        {Value::text("-5"), -5},
        {Value::text(" 7"), 7},
        {Value::text("\t+12x"), 12},
        {Value::text("99999999999"), INT32_MAX},
        {Value::text(gbk("　－１２")), -12},  // full-width forms read as ASCII
        {Value::real(kSample, kDateTime), kSampleSeconds * 1000},
        {Value::real(-1e10), -10000000000},
        {Value::real(1e30), INT64_MIN},
        {Value::bytes("\x01\x02\x03\x04\x05\x06\x07\x08\x09"), 0x0807060504030201},
        {Value::bytes("\xff"), 0xff},
        {Value::integer(kInt32, -3), -3},
    };
    for (const auto& [v, n] : cases) EXPECT_EQ(as<std::int64_t>(v, kInt64), n);
}

TEST(ConvertValue, ToFloatAndDouble) {
    const std::pair<Value, double> cases[] = {
        {Value::text(" 2.5e2xyz"), 250},
        {Value::text(gbk("３．５")), 3.5},
        {Value::text("abc"), 0},
        {Value::real(0.1, kFloat), double(0.1f)},
        {Value::integer(kInt64, -12345678901), -12345678901.0},
        {Value::integer(kByte, 255), 255},
    };
    for (const auto& [v, d] : cases) EXPECT_EQ(as<double>(v, kDouble), d);
    EXPECT_EQ(as<float>(Value::real(0.1), kFloat), 0.1f);
    const double half = 0.5;
    std::string raw(reinterpret_cast<const char*>(&half), 8);
    EXPECT_EQ(as<double>(Value::bytes(raw), kDouble), 0.5);
    EXPECT_EQ(as<double>(Value::bytes(raw.substr(0, 4)), kDouble), 0.0);  // low half of 0.5
    for (auto v :
         {Value::integer(kBool, 1), Value::integer(kNull, 0), Value::real(kSample, kDateTime)}) {
        double out = 7;
        EXPECT_FALSE(convertValue(v.get(), &out, kDouble));
        EXPECT_EQ(out, 7);
    }
}

TEST(ConvertValue, ToBoolAndDateTime) {
    EXPECT_EQ(as<std::int32_t>(Value::text("false"), kBool), 1);
    EXPECT_EQ(as<std::int32_t>(Value::text(""), kBool), 0);
    EXPECT_EQ(as<std::int32_t>(Value::integer(kInt64, 1ll << 40), kBool), 1);
    EXPECT_EQ(as<std::int32_t>(Value::real(0.0), kBool), 0);

    const DocDateTime day2 = makeDocDate(1970, 1, 2, 0, 0, 0);
    EXPECT_EQ(as<double>(Value::integer(kInt32, 86400), kDateTime), day2);
    EXPECT_EQ(as<double>(Value::integer(kInt64, 86400999), kDateTime), day2);
    EXPECT_EQ(as<double>(Value::real(86400000.0), kDateTime), day2);
    EXPECT_EQ(as<double>(Value::text("2020-01-02 03:04:05"), kDateTime),
              makeDocDate(2020, 1, 2, 3, 4, 5));
    EXPECT_EQ(as<double>(Value::real(kSample, kDateTime), kDateTime), kSample);
    EXPECT_EQ(as<double>(Value::bytes("\x01"), kDateTime), 5e-324);
    double out = 1;
    Value f = Value::real(1, kFloat);
    EXPECT_FALSE(convertValue(f.get(), &out, kDateTime));
}

TEST(ConvertValue, ToBytes) {
    auto bytesOf = [](Value v) -> std::string {
        void* block = nullptr;
        if (!convertValue(v.get(), &block, kBytes)) return "<no rule>";
        if (!block) return "<none>";
        ByteArrayHeader h;
        std::memcpy(&h, block, sizeof h);
        EXPECT_EQ(h.one, 1);
        std::string s(static_cast<char*>(block) + sizeof h, std::size_t(h.length));
        heapFree(block);
        return s;
    };
    EXPECT_EQ(bytesOf(Value::text("abc")), "abc");
    EXPECT_EQ(bytesOf(Value::text("")), "<none>");
    EXPECT_EQ(bytesOf(Value::integer(kShort, 0x4142)), "BA");
    EXPECT_EQ(bytesOf(Value::integer(kInt32, 0x44434241)), "ABCD");
    EXPECT_EQ(bytesOf(Value::integer(kByte, 0x41)), "A");
    EXPECT_EQ(bytesOf(Value::real(0.5)).size(), 8u);
    EXPECT_EQ(bytesOf(Value::bytes("q")), "q");
    EXPECT_EQ(bytesOf(Value::bytes("")), "<none>");
    EXPECT_EQ(bytesOf(Value::integer(kNull, 0)), "<no rule>");
}

TEST(ConvertValue, DocumentAddressAndRefusals) {
    std::string text = R"({"a":{"b":[1,"x"]}})";
    DataDocument d = parse(text);
    DataDocument copy(nullptr, nullptr, nullptr);
    ASSERT_TRUE(convertValue(d.key("a").node(), &copy, kDocument));
    EXPECT_EQ(copy.node(), copy.root());
    EXPECT_EQ(copy.jsonText(), R"({"b":[1,"x"]})");
    EXPECT_EQ(copy.query("b[1]").node()->parent, copy.query("b").node());
    // Into a view on the source's own parent: the copy is taken before the node is cleared.
    DataDocument self = d;
    ASSERT_TRUE(convertValue(d.query("a.b").node(), &self, kDocument));
    EXPECT_EQ(self.jsonText(), R"([1,"x"])");
    EXPECT_EQ(self.member(2).node()->parent, self.node());
    releaseDocument(copy);
    releaseDocument(d);

    Value v = Value::integer(kInt32, 5);
    void* address = nullptr;
    ASSERT_TRUE(convertValue(v.get(), &address, kValueAddress));
    EXPECT_EQ(address, &v.node.value);
    std::int32_t out = 0;
    EXPECT_FALSE(convertValue(nullptr, &out, kInt32));
    EXPECT_FALSE(convertValue(v.get(), nullptr, kInt32));
    EXPECT_FALSE(convertValue(v.get(), &out, kArray));
    EXPECT_FALSE(convertValue(v.get(), &out, 99));
}

// A native typed array block of one dimension.
void* nativeArray(std::int32_t n, std::size_t width) {
    auto* block = static_cast<unsigned char*>(
        api::HeapAlloc(api::GetProcessHeap(), win::HEAP_ZERO_MEMORY, 8 + std::size_t(n) * width));
    const std::int32_t dims = 1;
    std::memcpy(block, &dims, 4);
    std::memcpy(block + 4, &n, 4);
    return block;
}

TEST(NativeArrays, CopyConvertAndStore) {
    void* ints = nativeArray(3, 4);
    const std::int32_t values[] = {1, -2, 3};
    std::memcpy(static_cast<char*>(ints) + 8, values, sizeof values);
    void* copy = copyNativeArray(ints, kInt32);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::memcmp(copy, ints, 20), 0);
    releaseNativeArray(copy, kInt32);
    // The header must agree with the block's size.
    EXPECT_EQ(copyNativeArray(ints, kInt64), nullptr);
    EXPECT_EQ(copyNativeArray(ints, kNull), nullptr);
    EXPECT_EQ(copyNativeArray(nullptr, kInt32), nullptr);

    DocNode node{};
    ASSERT_TRUE(storeValue(&node, &ints, int(DocNode::typedArray | kInt32)));
    EXPECT_EQ(node.type, DocNode::typedArray | kInt32);
    EXPECT_NE(node.value.address, ints);
    std::string out;
    void* slot = nativeArray(1, 4);
    EXPECT_FALSE(convertValue(&node, &slot, int(DocNode::typedArray | kInt64)));
    ASSERT_TRUE(convertValue(&node, &slot, int(DocNode::typedArray | kInt32)));
    EXPECT_EQ(std::memcmp(slot, ints, 20), 0);
    releaseNativeArray(slot, kInt32);
    releaseNativeArray(ints, kInt32);

    void* texts = nativeArray(2, sizeof(char*));
    char* first = copyText("one");
    std::memcpy(static_cast<char*>(texts) + 8, &first, sizeof first);
    DocNode textArray{};
    ASSERT_TRUE(storeValue(&textArray, &texts, int(DocNode::typedArray | kText)));
    char* copied;
    std::memcpy(&copied, static_cast<char*>(textArray.value.address) + 8, sizeof copied);
    EXPECT_NE(copied, first);
    EXPECT_STREQ(copied, "one");
    std::string json;
    writeJson(&textArray, json, true);
    EXPECT_EQ(json, R"(["one",""])");
    releaseNativeArray(texts, kText);
    releaseContent(&textArray);
    releaseContent(&node);
}

TEST(StoreValue, EveryKindAndRefusal) {
    std::string text = R"({"k":"borrowed"})";
    DataDocument d = parse(text);
    DocNode* k = d.key("k").node();
    const std::uint8_t byte = 0xF0;
    const std::int16_t shrt = -2;
    const std::int32_t word = -7;
    const std::int64_t wide = 1ll << 40;
    const double half = 0.5;
    const char* phrase = "hi";
    const struct {
        int kind;
        const void* source;
        const char* json;
    } cases[] = {
        {kByte, &byte, "240"},
        {kShort, &shrt, "-2"},
        {kInt32, &word, "-7"},
        {kBool, &word, "true"},
        {kInt64, &wide, "1099511627776"},
        {kDouble, &half, "0.5"},
        {kText, &phrase, "\"hi\""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(storeValue(k, c.source, c.kind));
        EXPECT_EQ(k->type, DocNode::keyBorrowed | std::uint32_t(c.kind));
        EXPECT_EQ(d.key("k").jsonText(), c.json);
    }
    const char* none = nullptr;
    EXPECT_TRUE(storeValue(k, &none, kText));
    EXPECT_EQ(d.key("k").jsonText(), "\"\"");
    const auto* negative = reinterpret_cast<const char*>(std::intptr_t(-8));
    EXPECT_FALSE(storeValue(k, &negative, kText));
    EXPECT_FALSE(storeValue(k, nullptr, kInt32));
    EXPECT_FALSE(storeValue(nullptr, &word, kInt32));
    EXPECT_FALSE(storeValue(k, &word, kArray));
    EXPECT_FALSE(storeValue(k, &word, kRoutine));
    EXPECT_EQ(d.key("k").jsonText(), "\"\"");
    EXPECT_FALSE(storeValue(k, &word, kNull));
    EXPECT_EQ(k->type, DocNode::keyBorrowed);

    // A document: its node's content, deep-copied; a view on the node's own parent works.
    std::string other = R"([1,{"x":2}])";
    DataDocument o = parse(other);
    const DataDocument* view = &o;
    ASSERT_TRUE(storeValue(k, &view, kDocument));
    EXPECT_EQ(d.jsonText(), R"({"k":[1,{"x":2}]})");
    view = &d;
    ASSERT_TRUE(storeValue(k, &view, kDocument));
    EXPECT_EQ(d.jsonText(), R"({"k":{"k":[1,{"x":2}]}})");
    const DataDocument* noView = nullptr;
    EXPECT_FALSE(storeValue(k, &noView, kDocument));
    releaseDocument(o);
    releaseDocument(d);
}

TEST(CopyContent, CloneOwnsEverything) {
    std::string text = R"({"a":[1,"x",{"b":"\e1,2,41,42"}],"c":{},"d":[]})";
    DataDocument d = parse(text);
    const int live = nodePool().liveSlots();
    DocNode* clone = cloneNode(d.node());
    EXPECT_EQ(nodePool().liveSlots(), live + 8);
    DataDocument c(clone, clone, nullptr);
    EXPECT_EQ(c.jsonText(), d.jsonText());
    EXPECT_EQ(c.query("a[3].b").node()->type, std::uint32_t(kBytes));
    EXPECT_EQ(c.query("a[3]").node()->parent, c.query("a").node());
    EXPECT_EQ(c.key("a").node()->type, std::uint32_t(kArray));  // owns its key now
    // Released the source first: the clone still reads.
    const std::string before = c.jsonText();
    releaseDocument(d);
    EXPECT_EQ(c.jsonText(), before);
    // Members stay reachable through the new table, new ones can be added.
    c.key("e").intValue(5, true);
    EXPECT_EQ(c.jsonText(), R"({"a":[1,"x",{"b":"\e1,2,41,42"}],"c":{},"d":[],"e":5})");
    EXPECT_FALSE(copyContent(nullptr, clone));
    EXPECT_EQ(cloneNode(nullptr), nullptr);
    // Into itself: unchanged.
    EXPECT_TRUE(copyContent(clone, clone));
    EXPECT_EQ(c.jsonText(), R"({"a":[1,"x",{"b":"\e1,2,41,42"}],"c":{},"d":[],"e":5})");
    releaseDocument(c);
    EXPECT_EQ(copyText(nullptr), nullptr);
    EXPECT_EQ(copyBytes(nullptr), nullptr);
}

TEST(FormatDate, PatternsNamesAndLiterals) {
    const DocDateTime july = makeDocDate(2009, 7, 5, 14, 3, 0);
    const DocDateTime may = makeDocDate(2024, 5, 18, 0, 0, 9);  // a Saturday
    const struct {
        DocDateTime when;
        const char* pattern;
        const char* text;
    } cases[] = {
        {july, "yy-M-d h:mm", "09-7-5 2:03"},
        {july, "yyyy-MM-dd HH:mm:ss", "2009-07-05 14:03:00"},
        {july, "y yyy yyyyy", "9 009 2009"},
        {july, "\\yyyy", "y009"},
        {july, "ddd dddd MMM MMMM", "Sun Sunday Jul July"},
        {july, "ddddd MMMMM hhh", "00005 00007 002"},
        {may, "MMMM dddd", "May Saturday"},
        {may, "h H s", "0 0 9"},
        {makeDocDate(2024, 5, 18, 12, 0, 0), "h", "12"},
        {july, "'yyyy-MM-ddTHH:mm:ssZ'", "'2009-07-05T14:03:00Z'"},
        {july, "a\\b\\", "ab"},
        {july, "", ""},
        {0, "yyyy-MM-dd HH:mm:ss dddd", "1899-12-30 00:00:00 Saturday"},
        {-1.25, "yyyy-MM-dd HH:mm", "1899-12-29 06:00"},
        {makeDocDate(100, 1, 1, 0, 0, 0), "yy yyyy", "00 100"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatDate(c.when, c.pattern), c.text) << c.pattern;
    EXPECT_EQ(formatDate(july, gbk("yyyy年M月d日")), gbk("2009年7月5日"));
    // Out of range and NaN are held at the ends.
    EXPECT_EQ(formatDate(1e12, "yyyy-MM-dd"), "9999-12-31");
    EXPECT_EQ(formatDate(-1e12, "yyyy-MM-dd"), "100-01-01");  // years are never padded
    EXPECT_EQ(formatDate(std::nan(""), "yyyy"), "1899");
}

TEST(ParseDate, FreeText) {
    const struct {
        const char* text;
        DocDateTime when;
    } cases[] = {
        {"2020-01-02 03:04:05", makeDocDate(2020, 1, 2, 3, 4, 5)},
        {"20200102030405", makeDocDate(2020, 1, 2, 3, 4, 5)},
        {"2020-01-02T03:04:05+08", makeDocDate(2020, 1, 2, 11, 4, 5)},
        {"2020-01-02T03:04:05-3", makeDocDate(2020, 1, 2, 0, 4, 5)},
        {"/Date(1609459200000)/", makeDocDate(2021, 1, 1, 0, 0, 0)},
        {"/Date(1609459200000+0800)/", makeDocDate(2021, 1, 1, 8, 0, 0)},
        {"2020-13-40 25:61:61", makeDocDate(2020, 12, 31, 23, 59, 59)},
        {"2021-02-30 0:0:0", makeDocDate(2021, 2, 28, 0, 0, 0)},
        {"2020-1-2 3:4:5", makeDocDate(2020, 1, 2, 3, 4, 5)},
        {"0000-00-00 00:00:00", makeDocDate(100, 1, 1, 0, 0, 0)},
        {"2020-01-02", 0},
        {"", 0},
        {"Date(", 0},
        {"2020-01-02 03:04:0", makeDocDate(2020, 1, 2, 3, 4, 0)},
        {"2020-01-02 03:04:", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(parseDate(c.text), c.when) << c.text;
    EXPECT_EQ(formatDate(parseDate("2020-01-02T03:04:05Z"), "'yyyy-MM-ddTHH:mm:ssZ'"),
              "'2020-01-02T03:04:05Z'");
}

TEST(DateSeconds, EpochAndRanges) {
    EXPECT_EQ(dateToSeconds(makeDocDate(1970, 1, 1, 0, 0, 0)), 0);
    EXPECT_EQ(dateToSeconds(kSample), kSampleSeconds);
    EXPECT_EQ(dateToSeconds(makeDocDate(1969, 12, 31, 23, 59, 59)), -1);
    EXPECT_EQ(secondsToDate(86400), makeDocDate(1970, 1, 2, 0, 0, 0));
    EXPECT_EQ(dateToSeconds(std::nan("")), INT64_MIN);
    EXPECT_EQ(dateToSeconds(1e300), INT64_MIN);
    for (std::int64_t s : {0ll, 1ll, 59ll, 86399ll, 1600000000ll, 253402300799ll})
        EXPECT_EQ(dateToSeconds(secondsToDate(double(s))), s);
}

}  // namespace
