#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "document/string_scan.h"

namespace {

using document_scan::specialMask;
using document_scan::specialMaskPlain;

// The plain path is the one arm64 and other targets without SSE2 build; on x86-64 it is
// held to the same masks as the SSE2 path the reader uses there.
unsigned both(const std::string& block, unsigned char quote) {
    const auto* s = reinterpret_cast<const unsigned char*>(block.data());
    const unsigned plain = specialMaskPlain(s, quote);
    EXPECT_EQ(specialMask(s, quote), plain) << block;
    return plain;
}

TEST(StringScan, MarksQuoteBackslashAndLeadBytes) {
    struct Case {
        std::string block;
        unsigned char quote;
        unsigned mask;
    };
    const Case cases[] = {
        {"abcdefghijklmnop", '"', 0},
        {"\"bcdefghijklmnop", '"', 1u << 0},
        {"abcdefghijklmno\"", '"', 1u << 15},
        {"ab'defghijklmnop", '"', 0},  // the other quote is plain inside the string
        {"ab'defghijklmnop", '\'', 1u << 2},
        {"abc\\efghijklmnop", '\'', 1u << 3},
        {std::string("a\x7f"
                     "cdefghijklmnop"),
         '"', 0},
        {std::string("a\x80"
                     "cdefghijklmnop"),
         '"', 1u << 1},
        {std::string("abcdefghijklmn\xd6\xd0"), '"', 3u << 14},
        {std::string("\0bcdefghijklmnop", 16), '"', 0},
        {std::string(16, '\xff'), '"', 0xFFFF},
    };
    for (const Case& c : cases) EXPECT_EQ(both(c.block, c.quote), c.mask) << c.block;
}

TEST(StringScan, PathsAgreeOnEveryByteAtEveryPosition) {
    for (unsigned char quote : {'"', '\''}) {
        for (int byte = 0; byte < 256; ++byte) {
            for (int at = 0; at < 16; ++at) {
                std::string block(16, 'x');
                block[at] = char(byte);
                const bool special = byte == quote || byte == '\\' || byte >= 0x80;
                ASSERT_EQ(both(block, quote), special ? 1u << at : 0u) << byte << " at " << at;
            }
        }
    }
}

}  // namespace
