#pragma once
// The data document's date-time: days since 1899-12-30 00:00:00 as a double, the time of
// day as the fraction (before that day the fraction still counts forward from midnight).
// The same representation as the text layer's DateTime; document/ keeps its own helpers so that
// it does not depend on text/.
#include <cstdint>
#include <string>
#include <string_view>

using DocDateTime = double;

struct DocDateParts {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
    int weekday = 6;  // 0 Sunday to 6 Saturday
};

// Each part is first forced into range: year 100-9999, month 1-12, day 1 to the month's
// length, hour 0-23, minute and second 0-59 (below the range: lowest, above: highest).
DocDateTime makeDocDate(int year, int month, int day, int hour, int minute, int second);
// Rounded to the second; values outside 100-01-01 .. 9999-12-31 23:59:59 (and NaN) are held
// at the nearer end (NaN: the zero date).
DocDateParts docDateParts(DocDateTime value);

// Whole seconds from 1970-01-01 00:00:00 of the same clock, truncated toward zero (after
// rounding to the millisecond, so that a date made from whole seconds counts exactly).
// INT64_MIN for a value that is not a finite date within reach.
std::int64_t dateToSeconds(DocDateTime value);
DocDateTime secondsToDate(double seconds);

// Pattern letters y M d H h m s in runs; "ddd"/"dddd" and "MMM"/"MMMM" give English names,
// a backslash makes the next byte literal, every other byte is copied.
std::string formatDate(DocDateTime value, std::string_view pattern);
// A date-time out of free text: six digit groups (year of up to 4 digits, then up to 2
// each), or "Date(" and seconds, optionally followed by "+hh" or "-hh". The zero date when
// neither is found.
DocDateTime parseDate(std::string_view text);
