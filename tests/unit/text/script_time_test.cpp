#include "text/script_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "base/text_util.h"

namespace {

// Sets TZ for one test and puts the old value back.
class TimeZone {
  public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old, hadOld_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadOld_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string saved_;
    bool hadOld_ = false;
};

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return dateTimeFromFields({y, mo, d, h, mi, s});
}

TEST(ScriptTime, StampToLocalDateAndTime) {
    struct Case {
        const char* zone;
        const char* stamp;
        const char* text;
        const char* date;
    };
    const Case cases[] = {
        {"Asia/Shanghai", "1396585821312", "2014-4-4 12:30:21", "2014-04-04"},
        {"UTC", "1396585821312", "2014-4-4 04:30:21", "2014-04-04"},
        // Around local midnight: 2014-04-04 16:00:00 UTC is already the 5th in Shanghai.
        {"Asia/Shanghai", "1396627199999", "2014-4-4 23:59:59", "2014-04-04"},
        {"Asia/Shanghai", "1396627200000", "2014-4-5 00:00:00", "2014-04-05"},
        {"UTC", "1396627200000", "2014-4-4 16:00:00", "2014-04-04"},
        {"UTC", "1396569599999", "2014-4-3 23:59:59", "2014-04-03"},
        // Summer time follows the zone's rules: New York is four hours behind in July.
        {"America/New_York", "1404216000000", "2014-7-1 08:00:00", "2014-07-01"},
        {"America/New_York", "1388577600000", "2014-1-1 07:00:00", "2014-01-01"},
        {"UTC", "0", "1970-1-1 00:00:00", "1970-01-01"},
        {"UTC", "-1", "1969-12-31 23:59:59", "1969-12-31"},
        {"UTC", "-2208988800000", "1900-1-1 00:00:00", "1900-01-01"},
        // Read as the script engine reads a number held in a string.
        {"UTC", " 1396585821312\t", "2014-4-4 04:30:21", "2014-04-04"},
        {"UTC", "+1396585821312.9", "2014-4-4 04:30:21", "2014-04-04"},
        {"UTC", "1.396585821312e12", "2014-4-4 04:30:21", "2014-04-04"},
        {"UTC", "0x1452B007480", "2014-4-4 04:30:21", "2014-04-04"},
        {"UTC", "8.64e15", "275760-9-13 00:00:00", "100-01-01"},
        {"UTC", "253402300799000", "9999-12-31 23:59:59", "9999-12-31"},
    };
    for (const Case& c : cases) {
        TimeZone zone(c.zone);
        EXPECT_EQ(scriptTimeToText(c.stamp), c.text) << c.zone << " " << c.stamp;
        EXPECT_EQ(releaseDateText(c.stamp), c.date) << c.zone << " " << c.stamp;
    }
}

TEST(ScriptTime, StampThatIsNoNumberGivesEmptyText) {
    TimeZone zone("Asia/Shanghai");
    for (const char* stamp :
         {"", "   ", "null", "NaN", "Infinity", "-Infinity", "12abc", "1e", "0x", "--1", ".",
          "8640000000000001", "1e400", "1396585821312');alert('x", "\xD6\xD0"})
        EXPECT_EQ(scriptTimeToText(stamp), "") << stamp;
    EXPECT_EQ(releaseDateText("null"), "100-01-01");
    EXPECT_EQ(releaseDateText(""), "100-01-01");
    // Before year 1 there is no date the list could show.
    EXPECT_EQ(scriptTimeToText("-8.64e15"), "");
}

TEST(ScriptTime, TimePartsArePadded) {
    const std::array<std::string, 6> expected = {"2014", "01", "05", "09", "05", "07"};
    EXPECT_EQ(timeParts(at(2014, 1, 5, 9, 5, 7)), expected);
    const std::array<std::string, 6> late = {"100", "12", "31", "23", "59", "59"};
    EXPECT_EQ(timeParts(at(100, 12, 31, 23, 59, 59)), late);
}

TEST(ScriptTime, FormatterPartsAndStyles) {
    const DateTime t = at(2014, 1, 5, 9, 5, 7);
    const char* expected[6][4] = {
        {"2014年1月5日9时5分7秒", "2014-01-05 09:05:07", "2014/01/05 09/05/07", "20140105090507"},
        {"2014年01月05日", "2014-01-05", "2014/01/05", "20140105"},
        {"01月05日", "01-05", "01/05", "0105"},
        {"09时05分07秒", "09:05:07", "09/05/07", "090507"},
        {"09时05分", "09:05", "09/05", "0905"},
        {"05分07秒", "05:07", "05/07", "0507"},
    };
    for (int part = 0; part < 6; ++part)
        for (int style = 0; style < 4; ++style)
            EXPECT_EQ(时间_到文本(t, style, part), gbk(expected[part][style]))
                << "part " << part << " style " << style;
}

TEST(ScriptTime, DefaultTextLeavesOutTrailingZeroFields) {
    struct Case {
        DateTime when;
        const char* text;
    };
    const Case cases[] = {
        {at(2014, 4, 3, 12, 30, 0), "2014年4月3日12时30分"},
        {at(2014, 4, 3, 12, 0, 0), "2014年4月3日12时"},
        {at(2014, 4, 3, 0, 0, 0), "2014年4月3日"},
        {at(2014, 4, 3, 0, 0, 5), "2014年4月3日0时0分5秒"},
        {at(2014, 4, 3, 0, 5, 0), "2014年4月3日0时5分"},
        {at(100, 1, 1), "100年1月1日"},
    };
    for (const Case& c : cases) EXPECT_EQ(时间_到文本(c.when), gbk(c.text));
}

TEST(ScriptTime, FormatterRejectsPartOrStyleOutOfRange) {
    const std::string error = gbk("时间_到文本() 命令参数填写有误");
    const DateTime t = at(2014, 1, 5);
    for (auto [style, part] : {std::pair{0, 6}, {0, -1}, {4, 0}, {-1, 1}, {9, 9}})
        EXPECT_EQ(时间_到文本(t, style, part), error) << style << "," << part;
    EXPECT_EQ(时间_到文本(std::nullopt, 0, 6), error);
}

TEST(ScriptTime, FormatterWithoutDateTakesTheLocalNow) {
    TimeZone zone("Asia/Shanghai");
    auto today = [] {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char buf[16];
        std::strftime(buf, sizeof buf, "%Y-%m-%d", &local);
        return std::string(buf);
    };
    const std::string before = today();
    const std::string text = 时间_到文本(std::nullopt, 1, 1);
    const std::string after = today();
    EXPECT_TRUE(text == before || text == after) << text;
}

TEST(ScriptTime, DateTimeValuesAndTextReading) {
    EXPECT_EQ(at(1899, 12, 30), 0.0);
    EXPECT_EQ(at(1900, 1, 1, 12), 2.5);
    EXPECT_EQ(at(1899, 12, 29, 6), -1.25);  // before day 0 the fraction still counts forward
    EXPECT_EQ(at(100, 1, 1), -657434.0);
    EXPECT_EQ(timeParts(-1.25)[2], "29");
    EXPECT_EQ(timeParts(-1.25)[3], "06");
    EXPECT_EQ(timeParts(-0.5)[2], "30");
    EXPECT_EQ(timeParts(-0.5)[3], "12");
    EXPECT_EQ(时间_到文本(0.999999999, 1, 0), "1899-12-31 00:00:00");  // rounds to the second
    EXPECT_EQ(时间_到文本(-1e12, 1, 0), "100-01-01 00:00:00");         // held inside the range

    struct Case {
        std::string text;
        const char* formatted;  // style 1, part 0; nullptr when the text is no date-time
    };
    const Case cases[] = {
        {"2014-4-4 12:30:21", "2014-04-04 12:30:21"},
        {"2014/04/04", "2014-04-04 00:00:00"},
        {" 2014-4-4 9:05 ", "2014-04-04 09:05:00"},
        {gbk("2014年4月4日12时30分21秒"), "2014-04-04 12:30:21"},
        {"2000-2-29 00:00:00", "2000-02-29 00:00:00"},
        {"", nullptr},
        {"null", nullptr},
        {"NaN-Apr-4 12:30:21", nullptr},
        {"1900-2-29", nullptr},
        {"2014-13-1", nullptr},
        {"2014-4-31", nullptr},
        {"99-1-1", nullptr},
        {"275760-9-13 00:00:00", nullptr},
        {"2014-4-4 24:00:00", nullptr},
        {"2014-4-4 12:60", nullptr},
        {"2014-4-4 12:30:21 x", nullptr},
    };
    for (const Case& c : cases) {
        std::optional<DateTime> t = textToDateTime(c.text);
        if (c.formatted) {
            ASSERT_TRUE(t) << c.text;
            EXPECT_EQ(时间_到文本(*t, 1, 0), c.formatted);
        } else {
            EXPECT_FALSE(t) << c.text;
        }
    }
}

}  // namespace
