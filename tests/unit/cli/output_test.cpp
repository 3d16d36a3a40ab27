// The tool's output formats over hostile field texts, the locale conversions, and the
// choice of a ZTE model by name.
#include "cli/output.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/text_util.h"
#include "cli/lookups.h"
#include "platform/codepage.h"

namespace {

using namespace lookup;

const LocaleText kUtf8("UTF-8");

// A Chinese character whose second byte in code page 936 is a backslash.
const std::string kBackslashTrail = "\x95\x5C";

TEST(LookupOutput, DelimitedFieldsStayOneRecordPerLine) {
    const std::string hostile = gbk("名称") + "\ta\\b\r\nc";
    EXPECT_EQ(renderTsvLine({hostile, "x"}, kUtf8, false), "名称\\ta\\\\b\\r\\nc\tx\n");
    EXPECT_EQ(renderCsvLine({hostile, "x"}, kUtf8, false), "\"名称\ta\\b\r\nc\",x\n");
    EXPECT_EQ(renderCsvLine({"say \"hi\"", "a,b", "plain"}, kUtf8, false),
              "\"say \"\"hi\"\"\",\"a,b\",plain\n");

    // Escapes look at characters, not bytes: the trail byte is no backslash.
    const std::string tsv = renderTsvLine({kBackslashTrail}, kUtf8, false);
    EXPECT_EQ(tsv, codepage::gbkToUtf8(kBackslashTrail) + "\n");
    EXPECT_EQ(tsv.find('\\'), std::string::npos);
}

TEST(LookupOutput, ControlCharactersNeverReachATerminal) {
    const std::string escape = "name\x1b]0;owned\x07\x1b[2J";
    EXPECT_EQ(withoutControls(escape), "name?]0;owned??[2J");
    EXPECT_EQ(withoutControls("\xC2\x9B"
                              "31m"),
              "?31m")
        << "the C1 form of CSI";
    const std::string table = renderTable({{"name"}, {{escape}}}, kUtf8);
    EXPECT_EQ(table.find('\x1b'), std::string::npos);
    EXPECT_EQ(renderTsvLine({escape}, kUtf8, true).find('\x1b'), std::string::npos);
    EXPECT_NE(renderTsvLine({escape}, kUtf8, false).find('\x1b'), std::string::npos)
        << "a pipe gets the bytes as sent";
}

TEST(LookupOutput, JsonIsValidUtf8WhateverTheBytes) {
    Table t{{"name", "url"},
            {{gbk("固件") + "\"q\"\\\n\x01", "http://x/"},
             {"\x81", std::string("nul\0in", 6)},  // a lead byte alone; a zero byte
             {"short"}}};
    const std::string text = renderJson(t);
    const auto doc = nlohmann::json::parse(text);  // throws on bad JSON or bad UTF-8
    ASSERT_EQ(doc.size(), 3u);
    EXPECT_EQ(doc[0]["name"], "固件\"q\"\\\n\x01");
    EXPECT_EQ(doc[1]["name"], "?");
    EXPECT_EQ(doc[1]["url"], std::string("nul\0in", 6));
    EXPECT_EQ(doc[2]["url"], "") << "a short row reads as empty fields";
    EXPECT_EQ(renderJson({{"name"}, {}}), "[]\n");
}

TEST(LookupOutput, TableColumnsLineUpInTerminalColumns) {
    Table t{{"name", "size"}, {{gbk("华为P6"), "1MB"}, {"ab", "22MB"}}};
    EXPECT_EQ(renderTable(t, kUtf8),
              "name    size\n"
              "华为P6  1MB\n"
              "ab      22MB\n");
    EXPECT_EQ(displayWidth("华为P6"), 6);
    EXPECT_EQ(displayWidth("ab"), 2);
}

TEST(LookupOutput, LocaleEncodings) {
    const std::string chinese = gbk("中兴 é");
    EXPECT_EQ(kUtf8.out(chinese), "中兴 é");
    EXPECT_EQ(kUtf8.in("中兴 é"), chinese);
    EXPECT_EQ(kUtf8.in("\xFF"), "?") << "invalid UTF-8 from the user";

    const LocaleText c("ANSI_X3.4-1968");
    EXPECT_TRUE(c.isUtf8()) << "the C locale is taken as UTF-8";

    const LocaleText gb("GB18030");
    EXPECT_EQ(gb.out(chinese), chinese);
    EXPECT_EQ(gb.in(chinese), chinese);
    EXPECT_EQ(gb.outUtf8("中"), gbk("中"));

    const LocaleText latin("ISO-8859-1");
    EXPECT_EQ(latin.out(chinese), "?? \xE9");
    EXPECT_EQ(latin.in("caf\xE9"), gbk("café"));
}

TEST(LookupOutput, FormatNames) {
    EXPECT_EQ(formatNamed("csv"), Format::Csv);
    EXPECT_EQ(formatNamed("json"), Format::Json);
    EXPECT_EQ(formatNamed("TSV"), std::nullopt);
    EXPECT_EQ(worse(Status::Found, Status::Nothing), Status::Nothing);
    EXPECT_EQ(worse(Status::Failure, Status::Nothing), Status::Failure);
}

TEST(ZteChoice, ByNameThenByPartOfIt) {
    const std::vector<ZteSeries> series = {
        {gbk("智能手机"), "1", {{"a", gbk("中兴 U960")}, {"b", gbk("中兴 U960s")}}},
        {gbk("功能手机"), "2", {{"c", gbk("中兴 U960")}, {"d", "MF60"}, {"e", "MF667"}}},
    };
    const ZteChoice same = zteChooseModel(series, gbk("中兴 u960"));
    ASSERT_EQ(same.candidates.size(), 2u) << "equal names win over longer ones";
    EXPECT_FALSE(same.ambiguous);
    EXPECT_EQ(same.candidates[0].second->modelId, "a");

    const ZteChoice one = zteChooseModel(series, "667");
    ASSERT_EQ(one.candidates.size(), 1u);
    EXPECT_EQ(one.candidates[0].second->modelId, "e");

    EXPECT_TRUE(zteChooseModel(series, "mf6").ambiguous);
    EXPECT_TRUE(zteChooseModel(series, "nothing").candidates.empty());
    // "兴" is D0 CB: no ASCII letter to confuse; "\x95\x5C" ends in a backslash byte that
    // must not match a typed backslash.
    const std::vector<ZteSeries> tricky = {{"s", "1", {{"x", kBackslashTrail + "1"}}}};
    EXPECT_TRUE(zteChooseModel(tricky, "\\").candidates.empty());
}

}  // namespace
