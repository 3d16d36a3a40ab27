#pragma once
// Millisecond time stamps to local dates, and the program's time formatter.
//
// The Huawei file list gives release dates as milliseconds since 1970-01-01 00:00:00 UTC;
// the list shows the local calendar date. scriptTimeToText gives the local date and time
// in the form the script host's date text yields ("2014-4-4 12:30:21"), computed from the
// C library's local time, so TZ decides the zone. Texts are code page 936 (GBK).
#include <array>
#include <optional>
#include <string>
#include <string_view>

// The platform's date-time value: days since 1899-12-30 00:00:00, the time of day as the
// fraction (before that day the fraction still counts forward from midnight).
using DateTime = double;

struct DateFields {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

// The fields are taken as they are (no range checks).
DateTime dateTimeFromFields(const DateFields& fields);
// Rounded to the second; values beyond 100-01-01 .. 9999-12-31 are held at the nearer end.
DateFields fieldsOfDateTime(DateTime value);
// Reads a date, or a date and time, as "2014-4-4 12:30:21", "2014/04/04", "2014-4-4 9:05"
// or "2014年4月4日"; years 100 to 9999. Nullopt for anything else.
std::optional<DateTime> textToDateTime(std::string_view text);

// The local date and time of a millisecond stamp: year-month-day hour:minute:second, with
// month and day unpadded and the time in two-digit fields ("2014-4-4 04:30:21"). The stamp
// is read as a number the way the script engine reads a numeric string (blanks around it,
// sign, fraction, exponent, 0x hex). "" when it is no number, lies beyond the engine's date
// range (100 million days either side of 1970) or before year 1.
std::string scriptTimeToText(std::string_view stamp);

// Year, month, day, hour, minute, second; all but the year padded to two digits.
std::array<std::string, 6> timeParts(DateTime value);

// Formats a date-time (omitted: now, local time). `part` picks the fields (0 all, 1 date,
// 2 month and day, 3 time, 4 hour and minute, 5 minute and second), `style` the separators
// (0 Chinese units, 1 "-" and ":", 2 "/", 3 none). Part 0 with style 0 is the unpadded
// "2014年4月3日12时30分" that leaves out trailing zero time fields. Out-of-range part or
// style gives "时间_到文本() 命令参数填写有误".
std::string 时间_到文本(std::optional<DateTime> when = std::nullopt, int style = 0, int part = 0);

// The local release date YYYY-MM-DD of a millisecond stamp; "100-01-01" when the stamp
// cannot be read.
std::string releaseDateText(std::string_view stamp);
