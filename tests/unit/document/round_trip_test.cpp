// parse(jsonText(x)) gives back x: for generated trees built through the view operations,
// and for every document of the reader's conformance set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "base/api.h"
#include "doc_test_util.h"
#include "document/value_convert.h"

namespace {

std::string significant13(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.13g", v);
    return text;
}

// Equal as the writer promises: doubles to 13 significant digits, and an integral double
// may come back as an int32 or int64.
::testing::AssertionResult sameAfterWriting(const DocNode* x, const DocNode* y,
                                            const std::string& at = "") {
    if (!x || !y) {
        const bool ok = (!x || x->kind() == kNull) && (!y || y->kind() == kNull);
        return ok ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << at;
    }
    if (x->kind() == kDouble && (y->kind() == kInt32 || y->kind() == kInt64)) {
        if (double(y->value.integer) == x->value.real) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << at << ": number";
    }
    if (x->kind() != y->kind())
        return ::testing::AssertionFailure() << at << ": kind " << x->kind() << " vs " << y->kind();
    switch (x->kind()) {
        case kDouble:
            if (significant13(x->value.real) != significant13(y->value.real))
                return ::testing::AssertionFailure() << at << ": double";
            break;
        case kArray: {
            const auto* a = static_cast<const NodeArr*>(x->value.address);
            const auto* b = static_cast<const NodeArr*>(y->value.address);
            if (nodeArrCount(a) != nodeArrCount(b))
                return ::testing::AssertionFailure() << at << ": count";
            for (int i = 1; i <= nodeArrCount(a); ++i) {
                auto r = sameAfterWriting(nodeArrGet(a, i), nodeArrGet(b, i),
                                          at + "[" + std::to_string(i) + "]");
                if (!r) return r;
            }
            break;
        }
        case kObject: {
            const NodeArr* a = x->value.object.members;
            const NodeArr* b = y->value.object.members;
            if (nodeArrCount(a) != nodeArrCount(b))
                return ::testing::AssertionFailure() << at << ": member count";
            for (int i = 1; i <= nodeArrCount(a); ++i) {
                const DocNode *m = nodeArrGet(a, i), *n = nodeArrGet(b, i);
                if (!sameName(m->key, n->key))
                    return ::testing::AssertionFailure() << at << ": name " << m->key;
                auto r = sameAfterWriting(m, n, at + "." + m->key);
                if (!r) return r;
            }
            break;
        }
        default:
            if (dumpNode(x) != dumpNode(y))
                return ::testing::AssertionFailure()
                       << at << ": " << dumpNode(x) << " vs " << dumpNode(y);
    }
    return ::testing::AssertionSuccess();
}

// Random trees of every kind that survives writing and reading.
class TreeMaker {
  public:
    explicit TreeMaker(unsigned seed) : rng_(seed) {}

    void fill(DataDocument at, int depth) {
        const unsigned pick = depth == 0 ? 7 + rng_() % 2 : depth >= 5 ? rng_() % 7 : rng_() % 9;
        switch (pick) {
            case 0:
                at.clear();
                break;
            case 1: {
                const std::int32_t b = rng_() % 2;
                storeValue(at.node(), &b, kBool);
                break;
            }
            case 2:
                at.intValue(int(rng_()), true);
                break;
            case 3: {
                std::int64_t v = std::int64_t(rng_()) << 32 | rng_();
                if (v >= INT32_MIN && v <= INT32_MAX) v += std::int64_t(1) << 40;
                storeValue(at.node(), &v, kInt64);
                break;
            }
            case 4: {
                double v = double(std::int64_t(rng_() % 2000000000) - 1000000000) / 1000.0;
                if (v == std::floor(v)) v += 0.25;
                if (rng_() % 4 == 0) v *= 1e-30;
                if (rng_() % 4 == 0) v *= 1e25;
                storeValue(at.node(), &v, kDouble);
                break;
            }
            case 5:
                at.textValue(text(), true);
                break;
            case 6: {
                std::string bytes = text();
                if (rng_() % 3 == 0) bytes.clear();
                for (char& c : bytes) c = char(rng_());
                ByteArrayHeader h{1, std::int32_t(bytes.size())};
                std::string block(reinterpret_cast<const char*>(&h), sizeof h);
                block += bytes;
                const void* address = block.data();
                storeValue(at.node(), &address, kBytes);
                if (bytes.empty()) at.node()->value.address = copyBytesOrEmpty();
                break;
            }
            case 7: {
                const int n = int(rng_() % 5);
                if (n == 0) {
                    at.clear();
                    at.node()->value.address = makeNodeArr(0);
                    at.node()->type |= kArray;
                }
                for (int i = 1; i <= n; ++i) fill(at.index(i), depth + 1);
                break;
            }
            default: {
                const int n = int(rng_() % 6);
                if (n == 0) {
                    std::string empty = "{}";  // key() makes no empty object
                    DataDocument e = parse(empty);
                    const DataDocument* view = &e;
                    storeValue(at.node(), &view, kDocument);
                    releaseDocument(e);
                }
                for (int i = 0; i < n; ++i) {
                    std::string name = text();
                    if (name.empty()) name = "k";
                    name += std::to_string(i);  // names stay distinct
                    fill(at.key(name), depth + 1);
                }
            }
        }
    }

  private:
    // Texts of ASCII, escapes, quotes, control bytes and two-byte characters.
    std::string text() {
        static const char* const pieces[] = {
            "a",        "Z",        " ",  "\"", "\\",   "/",    "'",       "\t",
            "\n",       "\r",       "\b", "\f", "\x01", "\x1f", "\\e1,0",  "\xd6\xd0",
            "\x95\x5c", "\xa3\xa1", "{",  "]",  ":",    ",",    "\\u0041", "0"};
        std::string out;
        const int n = int(rng_() % 8);
        for (int i = 0; i < n; ++i) out += pieces[rng_() % (sizeof pieces / sizeof *pieces)];
        return out;
    }
    // An empty byte array as the reader makes it: a block of length 0.
    static void* copyBytesOrEmpty() {
        void* block =
            api::HeapAlloc(api::GetProcessHeap(), win::HEAP_ZERO_MEMORY, sizeof(ByteArrayHeader));
        const ByteArrayHeader h{1, 0};
        std::memcpy(block, &h, sizeof h);
        return block;
    }

    std::mt19937 rng_;
};

TEST(RoundTrip, GeneratedTrees) {
    for (unsigned seed = 1; seed <= 400; ++seed) {
        TreeMaker maker(seed);
        DataDocument x;
        x.newRoot();
        maker.fill(x, 0);
        std::string json = x.jsonText();
        const std::string written = json;
        DataDocument y = parse(json);
        ASSERT_TRUE(sameAfterWriting(x.node(), y.node())) << "seed " << seed << ": " << written;
        EXPECT_EQ(y.jsonText(), written) << "seed " << seed;
        releaseDocument(y);
        releaseDocument(x);
    }
}

TEST(RoundTrip, ConformanceDocuments) {
    for (const auto& [text, tree] : validDocuments()) {
        std::string source = text;
        DataDocument x = parse(source);
        std::string json = x.jsonText();
        DataDocument y = parse(json);
        EXPECT_TRUE(sameAfterWriting(x.node(), y.node())) << text << " -> " << x.jsonText();
        releaseDocument(y);
        releaseDocument(x);
    }
}

}  // namespace
