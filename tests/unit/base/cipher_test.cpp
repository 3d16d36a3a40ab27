#include "base/cipher.h"

#include <gtest/gtest.h>

#include "base/text_util.h"

namespace {

TEST(HexToInt, EitherCaseAndLongValues) {
    EXPECT_EQ(hexToInt("ff"), 255);
    EXPECT_EQ(hexToInt("FF"), 255);
    EXPECT_EQ(hexToInt("0"), 0);
    EXPECT_EQ(hexToInt(""), 0);
    EXPECT_EQ(hexToInt("7fffffffffffffff"), INT64_MAX);
    EXPECT_EQ(hexToInt("aB"), 0xAB);
}

TEST(Decipher, KnownKeyStream) {
    // Key stream of key "Secret" with the program's 1-based index updates, worked out
    // independently of this code; deciphering zero bytes yields the stream itself.
    EXPECT_EQ(decipherText("00,00,00,00,00,00,00,00,", "Secret"),
              "\xCB\xEB\x77\x33\x70\xC8\xD6\xD9");
    // n comma-terminated pairs give n bytes; commas are optional to the reader.
    EXPECT_EQ(decipherText("00,00,00,", "Secret").size(), 3u);
    EXPECT_EQ(decipherText("0000", "Secret"), "\xCB\xEB");
}

TEST(Decipher, ConstantsRoundTrip) {
    EXPECT_EQ(decipherText(constants::kCaption, constants::kKey), "Romhaul");
    EXPECT_EQ(decipherText(constants::kAuthor, constants::kKey), gbk("作者：Romhaul 小组"));
    EXPECT_EQ(decipherText(constants::kNotice, constants::kKey),
              gbk("Romhaul为免费软件，仅供维修交流使用"));
    EXPECT_EQ(decipherText(constants::kContact, constants::kKey),
              gbk("联系：romhaul.list@lists.example.org 反馈"));
    EXPECT_EQ(std::string(constants::kKey).size(), 6u);
    // The About lines keep the byte lengths the page was laid out for.
    EXPECT_EQ(decipherText(constants::kAuthor, constants::kKey).size(), 18u);
    EXPECT_EQ(decipherText(constants::kNotice, constants::kKey).size(), 35u);
    EXPECT_EQ(decipherText(constants::kContact, constants::kKey).size(), 41u);
    const std::string plain = gbk("任意文本 with ASCII");
    EXPECT_EQ(decipherText(encipherText(plain, "k3y!!!"), "k3y!!!"), plain);
    EXPECT_NE(decipherText(encipherText(plain, "k3y!!!"), "other!"), plain);
}

}  // namespace
