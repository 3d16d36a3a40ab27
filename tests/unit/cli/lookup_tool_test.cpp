// romhaul-lookup run as a process against the vendor simulator on loopback: what it prints
// in each format is read back and compared with the rows the vendor cores give for the
// same replies.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <nlohmann/json.hpp>

#include "base/text_util.h"
#include "cli/wording.h"
#include "platform/codepage.h"
#include "tests/support/child_process.h"
#include "tests/support/hostile_pages.h"
#include "tests/support/loopback_proxy.h"
#include "tests/support/raw_http_server.h"
#include "tests/support/simulator_test.h"
#include "vendors/coolpad.h"
#include "vendors/huawei.h"
#include "vendors/iphone.h"
#include "vendors/lg.h"
#include "vendors/zte.h"

namespace {

using testsupport::Child;
using testsupport::Ended;
using namespace std::chrono_literals;
using Rows = std::vector<std::vector<std::string>>;  // UTF-8
using Env = std::vector<std::pair<std::string, std::string>>;

const std::string kTool = ROMHAUL_LOOKUP_EXE;

// Arguments as a trace shows them, so that an empty one shows too.
std::string shown(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) text += "[" + a + "]";
    return text;
}

std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t next = text.find(separator, at);
        parts.push_back(text.substr(at, next - at));
        if (next == std::string::npos) return parts;
        at = next + separator.size();
    }
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> all = split(text, "\n");
    if (!all.empty() && all.back().empty()) all.pop_back();
    return all;
}

std::string unescapeTsv(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

// Header first, then the records.
Rows readTsv(const std::string& text) {
    Rows rows;
    for (const std::string& line : lines(text)) {
        std::vector<std::string> fields;
        for (const std::string& f : split(line, "\t")) fields.push_back(unescapeTsv(f));
        rows.push_back(std::move(fields));
    }
    return rows;
}

Rows readCsv(const std::string& text) {
    Rows rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' && quoted && i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';  // a doubled quote inside quotes
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (quoted || (c != ',' && c != '\n')) {
            field += c;
        } else {  // a field ends, and at a line end its record
            rows.back().push_back(std::move(field));
            field.clear();
            if (c == '\n') rows.emplace_back();
        }
    }
    EXPECT_FALSE(quoted) << "an open quote at the end";
    rows.pop_back();  // what follows the last line end
    return rows;
}

// The header (the keys of the first record, in order) and the records.
Rows readJson(const std::string& text, const std::vector<std::string>& columns) {
    const auto doc = nlohmann::ordered_json::parse(text);  // throws on invalid JSON or UTF-8
    EXPECT_TRUE(doc.is_array());
    Rows rows{columns};
    for (const auto& record : doc) {
        std::vector<std::string> keys, values;
        for (const auto& [key, value] : record.items()) {
            keys.push_back(key);
            values.push_back(value.get<std::string>());
        }
        EXPECT_EQ(keys, columns);
        rows.push_back(std::move(values));
    }
    return rows;
}

// Columns of an aligned table: every column starts at the same terminal column on every
// line, so the header's column starts cut each line.
Rows readTable(const std::string& text) {
    Rows rows;
    std::vector<std::size_t> starts{0};
    for (const std::string& line : lines(text)) {
        if (rows.empty())
            for (std::size_t i = 1; i < line.size(); ++i)
                if (line[i] != ' ' && line[i - 1] == ' ') starts.push_back(i);
        std::vector<std::string> fields(starts.size());
        std::size_t column = 0;
        for (std::size_t i = 0; i < line.size();) {
            // Terminal columns to bytes: each UTF-8 character of three bytes here is a CJK
            // character two columns wide.
            const auto b = static_cast<unsigned char>(line[i]);
            const std::size_t len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            const auto after = std::upper_bound(starts.begin(), starts.end(), column);
            fields[std::size_t(after - starts.begin()) - 1] += line.substr(i, len);
            column += len == 3 ? 2 : 1;
            i += len;
        }
        // A line ends where its last non-empty field does, padded up to the next start.
        if (column < starts.back()) ADD_FAILURE() << "a short line: " << line;
        for (std::string& f : fields)
            while (!f.empty() && f.back() == ' ') f.pop_back();
        rows.push_back(std::move(fields));
    }
    return rows;
}

class LookupTool : public SimulatorTest {
  protected:
    static Ended tool(std::vector<std::string> args, const std::string& input = {},
                      const Env& env = {}) {
        args.insert(args.begin(), kTool);
        // The tool words its messages by the locale: Chinese here, whatever the machine's,
        // unless a test asks for another.
        Env chosen{{"LANGUAGE", "zh_CN"}};
        chosen.insert(chosen.end(), env.begin(), env.end());
        return testsupport::run({args, input, chosen});
    }
    static std::size_t requestsSeen() { return sim->requests().size(); }
};

struct Expected {
    std::string what;
    std::vector<std::string> args;
    std::vector<std::string> columns;
    Rows rows = {};  // filled in from the cores
};

// What the cores give for the same requests, in the tool's columns.
std::vector<Expected> expectations() {
    std::vector<Expected> all = {
        {"huawei", {"huawei", "P6"}, {"name", "date", "size", "url"}},
        {"zte models", {"zte", "models"}, {"series", "model"}},
        {"zte files", {"zte", "files", "中兴 u880"}, {"name", "size", "date", "format", "url"}},
        {"coolpad", {"coolpad", "大神"}, {"type"}},
        {"coolpad files",
         {"coolpad", "files", "大神F1"},
         {"description", "date", "size", "kind", "url"}},
        {"lg",
         {"lg", "356789051234567", "357710050123458", "352000000000001"},
         {"serial", "model", "esn", "msn", "prod_type", "sw_version", "sw_url", "error"}},
        {"iphone",
         {"iphone", "--model", "iPhone 4S", "--all"},
         {"version", "product", "note", "url"}},
    };
    const auto rows = [&all](std::string_view what) -> Rows& {
        return std::ranges::find(all, what, &Expected::what)->rows;
    };
    for (const HuaweiFile& f : huaweiSearchFiles("P6").files)
        rows("huawei").push_back({f.name, f.date, f.size, f.address});
    const std::vector<ZteSeries> series = zteFetchModelList().series;
    for (const ZteSeries& s : series)
        for (const ZteTreeModel& m : s.models) rows("zte models").push_back({s.title, m.modelName});
    for (const ZteModel& record : zteModelRecords(series))
        if (record.modelName == gbk("中兴 U880"))
            for (const auto& r : zteFetchFiles(record).rows)
                rows("zte files").push_back({r[0], r[1], r[2], r[4], r[3]});
    for (const std::string& t : coolpadSearchTypes(gbk("大神")).types)
        rows("coolpad").push_back({t});
    for (const CoolpadFileRow& f : coolpadFetchDownloads(gbk("大神F1")).files)
        rows("coolpad files").push_back({f.description, f.date, f.size, f.kind, f.address});
    for (const char* serial : {"356789051234567", "357710050123458", "352000000000001"}) {
        const LgReply r = lgLookUpSerial(serial).reply;
        std::vector<std::string> row{serial};
        row.insert(row.end(), r.fields.begin(), r.fields.end());
        row.emplace_back();
        rows("lg").push_back(std::move(row));
    }
    for (const IphoneRow& r : iphoneFetchFirmware(gbk("iPhone 4S"), "all", "all", true).rows)
        rows("iphone").push_back({r.begin(), r.end()});
    // The cores give program texts; the tool writes UTF-8.
    for (Expected& e : all)
        for (auto& row : e.rows)
            for (std::string& field : row) field = codepage::gbkToUtf8(field);
    return all;
}

TEST_F(LookupTool, EachCommandInEachFormatGivesTheCoresRows) {
    for (const Expected& e : expectations()) {
        ASSERT_FALSE(e.rows.empty()) << e.what << ": the fixture should give rows";
        Rows withHeader{e.columns};
        withHeader.insert(withHeader.end(), e.rows.begin(), e.rows.end());
        for (const char* format : {"tsv", "csv", "json", "table"}) {
            std::vector<std::string> args = e.args;
            args.insert(args.begin(), {"--format", format});
            const Ended run = tool(args);
            SCOPED_TRACE(e.what + " --format " + format);
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(run.err, "");
            const std::string f = format;
            const Rows got = f == "tsv"    ? readTsv(run.out)
                             : f == "csv"  ? readCsv(run.out)
                             : f == "json" ? readJson(run.out, e.columns)
                                           : readTable(run.out);
            EXPECT_EQ(got, withHeader);
        }
    }
}

TEST_F(LookupTool, NothingFoundIsStatusOneWithTheProgramsMessage) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"huawei", "NoSuchPhone"}, "抱歉，未找到合适结果。"},
        {{"coolpad", "无此关键词"}, "抱歉，未找到合适结果。"},
        {{"coolpad", "files", "锋尚"}, "抱歉，未找到合适结果。"},
        {{"zte", "files", "中兴 S302"}, "抱歉，未找到合适结果。"},
        {{"zte", "files", "no such model"}, "抱歉，未找到合适结果。"},
        {{"zte", "models", "no such model"}, "抱歉，未找到合适结果。"},
        {{"iphone", "--model", "iPhone 1"}, "抱歉，未找到合适结果。"},
        {{"lg", "111111111111111"}, "lg 111111111111111: 查询失败，请检查您的手机串号是否有误！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.args));
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--format", "json"});
        const Ended run = tool(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "romhaul-lookup: " + c.message + "\n");
        // An LG serial's record says what became of it.
        EXPECT_EQ(run.out, c.args[0] == "lg"
                               ? "[\n  {\"serial\": \"111111111111111\", \"model\": "
                                 "\"\", \"esn\": \"\", \"msn\": \"\", \"prod_type\": "
                                 "\"\", \"sw_version\": \"\", \"sw_url\": \"\", "
                                 "\"error\": \"查询失败，请检查您的手机串号是否有误！\"}\n]\n"
                               : "[]\n");
    }
    const Ended tsv = tool({"huawei", "NoSuchPhone"});
    EXPECT_EQ(tsv.out, "name\tdate\tsize\turl\n") << "the header alone";
}

TEST_F(LookupTool, UsageErrorsAreStatusTwoAndSendNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string message;  // a part of the one line on standard error
    };
    const std::vector<Case> cases = {
        {{"huawei", ""}, "", "您要搜索的手机型号呢？"},
        {{"huawei", " 　 "}, "", "您要搜索的手机型号呢？"},
        {{"zte", "files", " "}, "", "您要搜索的手机型号呢？"},
        {{"coolpad", ""}, "", "您要搜索的关键字呢？"},
        {{"coolpad"}, "", "您要搜索的关键字呢？"},
        // Bad serials in a batch are reported and the batch goes on (its own test); a batch
        // of none is a usage error.
        {{"lg", "-"}, "# nothing but a comment\n\n", "请输入串号"},
        {{"nokia", "3310"}, "", "nokia"},
        {{}, "", "A subcommand is required"},
        {{"zte"}, "", "A subcommand is required"},
        {{"huawei"}, "", "KEYWORD is required"},
        {{"huawei", "P6", "--bogus"}, "", "--bogus"},
        {{"--format", "xml", "huawei", "P6"}, "", "xml"},
        {{"--timeout", "-1", "huawei", "P6"}, "", "--timeout"},
        {{"coolpad", "大神", "files", "大神F1"}, "", "not both"},
        {{"lg", "--parallel", "0", "356789051234567"}, "", "--parallel"},
        {{"lg", "--parallel", "17", "356789051234567"}, "", "--parallel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.args));
        const std::size_t before = requestsSeen();
        const Ended run = tool(c.args, c.input);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("romhaul-lookup: ", 0), 0u) << run.err;
        EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
        EXPECT_EQ(requestsSeen(), before);
    }
}

TEST_F(LookupTool, OutsideChineseLocalesMessagesAreEnglish) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"huawei", ""}, "romhaul-lookup: name the phone model to search for\n"},
        {{"lg", "35678905123456X"},
         "romhaul-lookup: a serial number is digits only: 35678905123456X\n"},
        {{"coolpad", "files", ""}, "romhaul-lookup: coolpad files: name a product type\n"},
    };
    for (const char* language : {"en_US.UTF-8", "C", "de"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(shown(c.args) + " " + language);
            const Ended run = tool(c.args, {}, {{"LANGUAGE", language}});
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_EQ(run.err, c.message);
        }
    }
    // Vendor data is not a message: it stays as the vendor wrote it.
    EXPECT_EQ(englishUtf8("lg 1: 抱歉，未找到合适结果。"), "lg 1: nothing found");
    EXPECT_EQ(englishUtf8("华为 第 2 页，已找到 9 个 / Huawei page 2, 9 found"),
              "Huawei page 2, 9 found");
    EXPECT_EQ(englishUtf8("中兴 U880"), "中兴 U880");
}

TEST_F(LookupTool, HelpInBothLanguagesForTheToolAndEachCommand) {
    const std::vector<std::vector<std::string>> commands = {
        {},          {"huawei"},           {"zte"}, {"zte", "models"}, {"zte", "files"},
        {"coolpad"}, {"coolpad", "files"}, {"lg"},  {"iphone"}};
    for (std::vector<std::string> args : commands) {
        args.push_back("--help");
        const Ended run = tool(args);
        SCOPED_TRACE(shown(args));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find("Usage: romhaul-lookup"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("帮助"), std::string::npos);
        EXPECT_NE(run.out.find("show this help"), std::string::npos);
    }
}

TEST_F(LookupTool, ZteModelsFilterAndModelsThatShareAName) {
    const Ended filtered = tool({"zte", "models", "mf6"});
    EXPECT_EQ(filtered.exitCode, 0);
    EXPECT_EQ(readTsv(filtered.out), (Rows{{"series", "model"},
                                           {"数据卡", "中兴 MF626"},
                                           {"数据卡", "中兴 MF667"},
                                           {"移动热点", "中兴 MF60"}}));
    const Ended bySeries = tool({"zte", "models", "数据卡"});
    EXPECT_EQ(readTsv(bySeries.out).size(), 4u) << "the series title finds its three models";

    // Two series hold a "中兴 U960": the first one's files, as the window lists them, and a
    // note naming both.
    const Ended shared = tool({"zte", "files", "u960"});
    EXPECT_EQ(shared.exitCode, 0);
    EXPECT_EQ(readTsv(shared.out).size(), 3u);
    EXPECT_NE(shared.err.find("智能手机 / 中兴 U960, 功能手机 / 中兴 U960"), std::string::npos)
        << shared.err;

    const Ended ambiguous = tool({"zte", "files", "MF6"});
    EXPECT_EQ(ambiguous.exitCode, 2);
    EXPECT_EQ(ambiguous.out, "");
    EXPECT_NE(ambiguous.err.find("中兴 MF626, 中兴 MF667"), std::string::npos) << ambiguous.err;
}

TEST_F(LookupTool, ABatchOfAHundredSerialsFromStandardInput) {
    // The simulator knows every serial that starts with 86; the others get the failure
    // reply.
    sim->setReplyHook(VendorService::Lg,
                      [](const vendorsim::RecordedRequest& r) -> std::optional<vendorsim::Reply> {
                          const std::string esn = r.param("esn");
                          if (esn.rfind("86", 0) != 0) return std::nullopt;
                          return vendorsim::Reply{200, "text/xml",
                                                  "<PRODUCT status='OK'><model>LG-" +
                                                      esn.substr(10) + "</model><esn>" + esn +
                                                      "</esn><sw_url>http://x/" + esn +
                                                      ".kdz</sw_url></PRODUCT>"};
                      });
    std::string input = "# intake of the day\n\n";
    std::vector<std::string> known, unknown;
    for (int i = 0; i < 100; ++i) {
        char serial[16];
        const bool bad = i == 7 || i == 50 || i == 93;
        std::snprintf(serial, sizeof serial, "%s%013d", bad ? "35" : "86", 1000 + i);
        (bad ? unknown : known).push_back(serial);
        input += std::string(i % 10 == 0 ? "  " : "") + serial + (i % 3 ? "\n" : "  # ok\r\n");
    }
    const Ended run = tool({"lg", "-"}, input);  // no format: a pipe gets TSV
    EXPECT_EQ(run.exitCode, 1) << "the worst of the batch: nothing found for three";
    const Rows rows = readTsv(run.out);
    ASSERT_EQ(rows.size(), 101u);
    std::size_t k = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i][0].rfind("35", 0) == 0) {  // the unknown ones say why they have no row
            EXPECT_NE(rows[i][7].find("查询失败"), std::string::npos) << rows[i][7];
            continue;
        }
        ASSERT_LT(k, known.size());
        EXPECT_EQ(rows[i][0], known[k]);
        EXPECT_EQ(rows[i][1], "LG-" + known[k].substr(10));
        EXPECT_EQ(rows[i][2], known[k]);
        EXPECT_EQ(rows[i][6], "http://x/" + known[k] + ".kdz");
        EXPECT_EQ(rows[i][7], "");
        ++k;
    }
    EXPECT_EQ(k, known.size());
    const std::vector<std::string> errors = lines(run.err);
    ASSERT_EQ(errors.size(), 3u) << run.err;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(errors[i].find("lg " + unknown[i] + ": 查询失败"), std::string::npos)
            << errors[i];
    }
    EXPECT_EQ(sim->requestCount(VendorService::Lg), 100u);

    // Without the unknown ones the batch has found everything; as JSON it is one array.
    std::string good;
    for (const std::string& s : known) good += s + "\n";
    const Ended json = tool({"--format", "json", "lg", "-"}, good);
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(readJson(json.out, rows[0]).size(), 98u);
}

// A batch with lines that are no serial number: each is reported, gets a record with its
// error in every format, and the batch goes on; the batch's status is its worst part.
TEST_F(LookupTool, ABatchWithBadLinesReportsThemAndGoesOn) {
    const std::string input = "356789051234567\nabc\n357710050123458\n12 34\n";
    for (const char* format : {"tsv", "csv", "json"}) {
        SCOPED_TRACE(format);
        const Ended run = tool({"--format", format, "lg", "-"}, input);
        EXPECT_EQ(run.exitCode, 2);
        const std::string f = format;
        const std::vector<std::string> columns = {"serial",    "model",      "esn",    "msn",
                                                  "prod_type", "sw_version", "sw_url", "error"};
        const Rows rows = f == "tsv"   ? readTsv(run.out)
                          : f == "csv" ? readCsv(run.out)
                                       : readJson(run.out, columns);
        ASSERT_EQ(rows.size(), 5u) << run.out;
        EXPECT_EQ(rows[1][1], "LG-D858");
        EXPECT_EQ(rows[2][0], "abc");
        EXPECT_NE(rows[2][7].find("standard input line 2"), std::string::npos) << rows[2][7];
        EXPECT_EQ(rows[3][1], "LG-E975");
        EXPECT_EQ(rows[4][0], "12 34");
        const std::vector<std::string> errors = lines(run.err);
        ASSERT_EQ(errors.size(), 2u) << run.err;
        EXPECT_NE(errors[0].find("line 2: 串号只能是数字"), std::string::npos) << errors[0];
    }
    EXPECT_EQ(sim->requestCount(VendorService::Lg), 6u);
}

// Output that cannot be written, and input that cannot be read, are status 4 with one line.
TEST_F(LookupTool, AFailedWriteOrReadIsStatusFour) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"huawei", "P6"}, {"lg", "356789051234567"}, {"--help"}}) {
        SCOPED_TRACE(shown(args));
        std::vector<std::string> command = {
            "/bin/sh", "-c", "export LANGUAGE=zh_CN; exec \"$0\" \"$@\" > /dev/full", kTool};
        command.insert(command.end(), args.begin(), args.end());
        const Ended run = testsupport::run({command, {}, {}});
        EXPECT_EQ(run.exitCode, 4);
        EXPECT_EQ(run.err,
                  "romhaul-lookup: 输出写入失败 / cannot write the output: "
                  "No space left on device\n");
    }
    const Ended dir = testsupport::run({{"/bin/sh", "-c", "exec \"$0\" lg - < /", kTool}, {}, {}});
    EXPECT_EQ(dir.exitCode, 4);
    EXPECT_NE(dir.err.find("cannot read standard input"), std::string::npos) << dir.err;
    EXPECT_EQ(tool({"--version"}).out, std::string("romhaul-lookup ") + ROMHAUL_VERSION + "\n");
}

TEST_F(LookupTool, AParallelBatchKeepsTheInputOrder) {
    sim->setReplyHook(VendorService::Lg,
                      [](const vendorsim::RecordedRequest& r) -> std::optional<vendorsim::Reply> {
                          const std::string esn = r.param("esn");
                          return vendorsim::Reply{
                              200, "text/xml",
                              "<PRODUCT status='OK'><model>LG-" + esn + "</model></PRODUCT>"};
                      });
    std::vector<std::string> serials;
    std::string input;
    for (int i = 0; i < 12; ++i) {
        serials.push_back(std::to_string(860000000000100 + i));
        input += serials.back() + "\n";
    }
    // The first serial's reply waits until four requests are in, so only a batch with
    // several look-ups in flight gets it soon, and the serials after it finish first.
    std::atomic<int> overlapped{0};
    sim->setDelayHook([&](const vendorsim::RecordedRequest& r) {
        if (r.service == VendorService::Lg && r.param("esn") == serials[0] &&
            sim->waitForRequests(VendorService::Lg, 4, 5s))
            ++overlapped;
        return 0ms;
    });
    for (const char* parallel : {"4", "16"}) {
        SCOPED_TRACE(parallel);
        sim->clearRequests();
        overlapped = 0;
        const Ended run = tool({"lg", "--parallel", parallel, "-"}, input);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(overlapped, 1);
        const Rows rows = readTsv(run.out);
        ASSERT_EQ(rows.size(), serials.size() + 1) << run.out;
        for (std::size_t i = 0; i < serials.size(); ++i) {
            EXPECT_EQ(rows[i + 1][0], serials[i]);
            EXPECT_EQ(rows[i + 1][1], "LG-" + serials[i]);
        }
    }
}

std::string knownSerials(int count) {
    std::string input;
    const char* serials[] = {"356789051234567", "357710050123458", "352000000000001"};
    for (int i = 0; i < count; ++i) input += std::string(serials[i % 3]) + "\n";
    return input;
}

TEST_F(LookupTool, InterruptEndsAtOnceWithWholeLinesOnly) {
    {
        SCOPED_TRACE("in the middle of a batch");
        sim->setReplyDelay(VendorService::Lg, 100ms);
        Child child;
        ASSERT_TRUE(child.start({{kTool, "lg", "-"}, knownSerials(40)}));
        ASSERT_TRUE(child.readUntil(
            [](const std::string& out) { return std::ranges::count(out, '\n') >= 3; }, 20s));
        child.sendSignal(SIGINT);
        const Ended run = child.finish(10s);
        EXPECT_LT(run.afterSignal, 2s);
        EXPECT_EQ(run.exitCode, 130);
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out.back(), '\n');
        const Rows rows = readTsv(run.out);
        EXPECT_LT(rows.size(), 41u);
        for (const auto& row : rows) EXPECT_EQ(row.size(), 8u);
    }
    {
        SCOPED_TRACE("while a request is held");
        sim->setReplyDelay(VendorService::Huawei, 20s);
        Child child;
        ASSERT_TRUE(child.start({{kTool, "huawei", "P6"}}));
        ASSERT_TRUE(sim->waitForRequests(VendorService::Huawei, 1, 10s));
        child.sendSignal(SIGINT);
        const Ended run = child.finish(10s);
        EXPECT_LT(run.afterSignal, 2s);
        EXPECT_EQ(run.exitCode, 130);
        EXPECT_EQ(run.out, "");
    }
    {
        SCOPED_TRACE("while a long output is written");
        sim->resetKnobs();
        sim->setIphoneBulkRows(5000);
        Child child;
        ASSERT_TRUE(child.start({{kTool, "iphone"}}));
        ASSERT_TRUE(child.readUntil([](const std::string& out) { return !out.empty(); }, 60s));
        child.sendSignal(SIGINT);
        const Ended run = child.finish(30s);
        EXPECT_TRUE(run.exitCode == 130 || run.exitCode == 0) << run.exitCode;
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out.back(), '\n');
        for (const auto& row : readTsv(run.out)) ASSERT_EQ(row.size(), 4u);
    }
}

// What a terminal shows after the last wipe of the progress line, with the terminal's
// CR LF line ends back to LF.
std::string afterProgress(const std::string& screen) {
    const std::size_t wipe = screen.rfind("\r\033[K");
    std::string text = wipe == std::string::npos ? screen : screen.substr(wipe + 4);
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

TEST_F(LookupTool, OnATerminalATableAndAProgressLineThatIsWiped) {
    sim->setReplyDelay(VendorService::Lg, 50ms);
    const Ended run = testsupport::run(
        {.args = {kTool, "lg", "356789051234567", "352000000000001"}, .terminal = true}, 20s);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("\r\033[KLG 1/2"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\r\033[KLG 2/2"), std::string::npos) << run.out;
    const Rows table = readTable(afterProgress(run.out));
    ASSERT_EQ(table.size(), 3u) << run.out;
    EXPECT_EQ(table[0][0], "serial");
    EXPECT_EQ(table[2][1], "LG-P705");

    // A search over pages tells which page it is on.
    const Ended searched =
        testsupport::run({.args = {kTool, "huawei", "P6"}, .terminal = true}, 20s);
    EXPECT_EQ(searched.exitCode, 0);
    EXPECT_NE(searched.out.find("Huawei page 3, 10 files"), std::string::npos) << searched.out;
    EXPECT_EQ(readTable(afterProgress(searched.out)).size(), 13u);

    // Ctrl-C while the progress line shows leaves the terminal's line clean.
    sim->setReplyDelay(VendorService::Lg, 300ms);
    Child stopped;
    ASSERT_TRUE(stopped.start({{kTool, "lg", "-"}, knownSerials(20), {}, true}));
    ASSERT_TRUE(stopped.readUntil(
        [](const std::string& out) { return out.find("LG 2/20") != std::string::npos; }, 20s));
    stopped.sendSignal(SIGINT);
    const Ended end = stopped.finish(10s);
    EXPECT_EQ(end.exitCode, 130);
    EXPECT_EQ(end.out.substr(end.out.size() - 4), "\r\033[K") << end.out;
}

TEST_F(LookupTool, ThroughTheEnvironmentsHttpOrSocksProxy) {
    // The proxies take every connection to the simulator's LG port, so the made-up host is
    // reached only through them.
    using testsupport::LoopbackProxy;
    LoopbackProxy http({LoopbackProxy::Kind::Http, sim->port(VendorService::Lg)});
    LoopbackProxy socks({LoopbackProxy::Kind::Socks5, sim->port(VendorService::Lg)});
    const std::string dead = "http://127.0.0.1:" + std::to_string(testsupport::unusedPort());
    struct Case {
        const char* variable;
        std::string proxy;
        int status;
    };
    const Case cases[] = {
        {"http_proxy", http.address(), 0},
        {"ALL_PROXY", socks.address(), 0},
        {"HTTP_PROXY", dead, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable);
        const Ended run = tool({"lg", "356789051234567"}, {},
                               {{"ROMHAUL_LG_HOST", "lg.example"}, {c.variable, c.proxy}});
        EXPECT_EQ(run.exitCode, c.status) << run.err;
        EXPECT_EQ(readTsv(run.out).size(), 2u)
            << "the row, or the record of its error: " << run.out;
    }
    EXPECT_EQ(http.asked().size(), 1u);
    EXPECT_EQ(socks.asked(), std::vector<std::string>{"lg.example:9002"});
}

TEST_F(LookupTool, ADeadServiceIsStatusThreeNotNothingFound) {
    const std::string dead = "127.0.0.1:" + std::to_string(testsupport::unusedPort());
    struct Case {
        const char* variable;
        std::string value;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"ROMHAUL_HUAWEI_HOST", dead, {"huawei", "P6"}},
        {"ROMHAUL_ZTE_HOST", dead, {"zte", "models"}},
        {"ROMHAUL_ZTE_HOST", dead, {"zte", "files", "MF667"}},
        {"ROMHAUL_COOLPAD_HOST", dead, {"coolpad", "大神"}},
        {"ROMHAUL_COOLPAD_HOST", dead, {"coolpad", "files", "大神F1"}},
        {"ROMHAUL_LG_HOST", dead, {"lg", "356789051234567", "111111111111111"}},
        {"ROMHAUL_IPHONE_BASE", "http://" + dead + "/iphone/", {"iphone"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.args));
        const Ended run = tool(c.args, {}, {{c.variable, c.value}});
        EXPECT_EQ(run.exitCode, 3);
        if (c.args[0] == "lg") {  // each serial's record says what became of it
            const Rows rows = readTsv(run.out);
            ASSERT_EQ(rows.size(), 3u) << run.out;
            EXPECT_EQ(rows[0].back(), "error");
            EXPECT_NE(rows[2][7].find("network error"), std::string::npos) << rows[2][7];
        } else {
            EXPECT_EQ(run.out, "");
        }
        const std::vector<std::string> errors = lines(run.err);
        EXPECT_EQ(errors.size(), c.args[0] == "lg" ? 2u : 1u) << run.err;
        for (const std::string& e : errors) {
            EXPECT_NE(e.find("request to the service failed: " + dead + ": "), std::string::npos)
                << e;
            EXPECT_NE(e.find("network error: Failed to connect"), std::string::npos) << e;
        }
    }

    // A model list that reads as too few items is what the window calls a failed load; one
    // that is not there is a failure with its status.
    sim->setZteModelList(vendorsim::ZteModelList::FewItems);
    Ended run = tool({"zte", "files", "MF667"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "romhaul-lookup: 读取机型列表出错，请尝试刷新列表！\n");
    sim->setZteModelList(vendorsim::ZteModelList::NotFound);
    run = tool({"zte", "files", "MF667"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("the service answered with HTTP status 404"), std::string::npos)
        << run.err;

    // Without a catalogue address the iPhone look-up names the variable to set.
    run = tool({"iphone"}, {}, {{"ROMHAUL_IPHONE_BASE", ""}});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("set ROMHAUL_IPHONE_BASE"), std::string::npos) << run.err;

    // One failed look-up in a batch is the batch's status, whatever the others found.
    sim->setDelayHook([](const vendorsim::RecordedRequest& r) {
        return r.param("esn") == "357710050123458" ? 3000ms : 0ms;
    });
    const Ended mixed =
        tool({"--timeout", "0.5", "lg", "356789051234567", "357710050123458", "111111111111111"});
    EXPECT_EQ(mixed.exitCode, 3);
    EXPECT_EQ(readTsv(mixed.out).size(), 4u) << "the first serial's row, two error records";
    EXPECT_EQ(lines(mixed.err).size(), 2u) << mixed.err;
}

TEST_F(LookupTool, HuaweiFailureOnALaterPageKeepsTheRowsAndSaysSo) {
    // Page 2 of "P6" is never answered in time.
    sim->setDelayHook([](const vendorsim::RecordedRequest& r) {
        return r.service == VendorService::Huawei && r.param("curPage") == "2" ? 5000ms : 0ms;
    });
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const Ended run = tool({"--timeout", "0.5", "huawei", "P6"});
    EXPECT_LT(Clock::now() - start, 4s) << "the deadline holds each request";
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(readTsv(run.out).size(), 6u) << "page 1's five files";
    EXPECT_NE(run.err.find("request to the service failed"), std::string::npos) << run.err;
}

TEST_F(LookupTool, AReplyTooComplexToReadWholeKeepsRowsAndStatusAndSaysSo) {
    const std::string page = "jQuery(" + hostile::huaweiRecord(1) + "\n" +
                             hostile::huaweiBadLine() + hostile::huaweiRecord(2) + ")";
    sim->setReplyHook(VendorService::Huawei, [body = codepage::gbkToUtf8(page)](const auto& r) {
        if (r.param("curPage") != "1") return std::optional<vendorsim::Reply>();
        return std::optional<vendorsim::Reply>(vendorsim::Reply{200, "text/html", body});
    });
    const Ended run = tool({"--format", "json", "huawei", "hostile"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err,
              "romhaul-lookup: 回复太复杂，未能读完，列表可能不完整 / a reply was too "
              "complex to read whole: the list may be incomplete\n");
    EXPECT_EQ(readJson(run.out, {"name", "date", "size", "url"}).size(), 3u) << run.out;
}

}  // namespace
