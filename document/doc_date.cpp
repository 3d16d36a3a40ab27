#include "document/doc_date.h"

#include <cmath>
#include <cstdint>

#include "base/civil_date.h"

namespace {

// Days from 1899-12-30 to 1970-01-01.
constexpr double kUnixEpochDay = 25569.0;
constexpr std::int64_t kFirstDay = -657434;  // 0100-01-01
constexpr std::int64_t kLastDay = 2958465;   // 9999-12-31

int clampPart(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

void appendNumber(std::string& out, long long value, int width) {
    char digits[24];
    int n = 0;
    unsigned long long v = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                     : static_cast<unsigned long long>(value);
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    if (value < 0) out += '-';
    for (int i = n; i < width; ++i) out += '0';
    while (n) out += digits[--n];
}

const char* const kShortDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
const char* const kShortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};

bool isPatternLetter(unsigned char c) {
    return c == 'y' || c == 'M' || c == 'd' || c == 'H' || c == 'h' || c == 'm' || c == 's';
}

void emitRun(std::string& out, const DocDateParts& p, char letter, int n) {
    switch (letter) {
        case 'y': {
            // The last n digits, never padded.
            std::string year;
            appendNumber(year, p.year, 0);
            out.append(year.size() > std::size_t(n) ? year.substr(year.size() - std::size_t(n))
                                                    : year);
            return;
        }
        case 'M':
            if (n == 3) return void(out += kShortMonths[p.month - 1]);
            if (n == 4) return void(out += kLongMonths[p.month - 1]);
            return appendNumber(out, p.month, n);
        case 'd':
            if (n == 3) return void(out += kShortDays[p.weekday]);
            if (n == 4) return void(out += kLongDays[p.weekday]);
            return appendNumber(out, p.day, n);
        case 'H':
            return appendNumber(out, p.hour, n);
        case 'h':
            return appendNumber(out, p.hour > 12 ? p.hour - 12 : p.hour, n);
        case 'm':
            return appendNumber(out, p.minute, n);
        default:
            return appendNumber(out, p.second, n);
    }
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

DocDateTime makeDocDate(int year, int month, int day, int hour, int minute, int second) {
    year = clampPart(year, 100, 9999);
    month = clampPart(month, 1, 12);
    day = clampPart(day, 1, daysInMonth(year, month));
    hour = clampPart(hour, 0, 23);
    minute = clampPart(minute, 0, 59);
    second = clampPart(second, 0, 59);
    const double days = double(daysFromCivil(year, unsigned(month), unsigned(day))) + kUnixEpochDay;
    const double fraction = double(hour * 3600 + minute * 60 + second) / 86400.0;
    // Before 1899-12-30 the fraction still counts forward from midnight.
    return days < 0 ? days - fraction : days + fraction;
}

DocDateParts docDateParts(DocDateTime value) {
    std::int64_t day;
    std::int64_t second;
    if (!(value == value)) value = 0;
    if (value < double(kFirstDay)) value = double(kFirstDay);
    if (value > double(kLastDay) + 86399.0 / 86400.0) value = double(kLastDay) + 86399.0 / 86400.0;
    day = std::int64_t(value);  // toward zero: the calendar day
    second = std::llround(std::fabs(value - double(day)) * 86400.0);
    if (second >= 86400) {
        second -= 86400;
        ++day;
    }
    if (day > kLastDay) {
        day = kLastDay;
        second = 86399;
    }
    DocDateParts p;
    civilFromDays(day - std::int64_t(kUnixEpochDay), p.year, p.month, p.day);
    p.hour = int(second / 3600);
    p.minute = int(second / 60 % 60);
    p.second = int(second % 60);
    // 1899-12-30 was a Saturday.
    p.weekday = int(((day + 6) % 7 + 7) % 7);
    return p;
}

std::int64_t dateToSeconds(DocDateTime value) {
    const double milliseconds = std::round((value - kUnixEpochDay) * 86400000.0);
    if (!(std::fabs(milliseconds) < 9.2e18)) return INT64_MIN;
    const auto ms = std::int64_t(milliseconds);
    return ms / 1000;
}

DocDateTime secondsToDate(double seconds) {
    return kUnixEpochDay + seconds / 86400.0;
}

std::string formatDate(DocDateTime value, std::string_view pattern) {
    const DocDateParts parts = docDateParts(value);
    std::string out;
    char run = 0;
    int length = 0;
    const std::size_t size = pattern.size();
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(pattern[i]);
        if (c == 0) break;
        if (isPatternLetter(c)) {
            if (run == char(c)) {
                ++length;
                continue;
            }
            if (run) emitRun(out, parts, run, length);
            run = char(c);
            length = 1;
            continue;
        }
        if (run) emitRun(out, parts, run, length);
        run = 0;
        if (c >= 0x80 && i + 1 < size && pattern[i + 1] != 0) {
            // A two-byte character: its second byte is never a pattern letter.
            out += pattern[i];
            out += pattern[++i];
            continue;
        }
        if (c == '\\') {
            if (i + 1 >= size || pattern[i + 1] == 0) break;
            ++i;
        }
        out += pattern[i];
    }
    if (run) emitRun(out, parts, run, length);
    return out;
}

DocDateTime parseDate(std::string_view text) {
    enum { nothing, dateRead, minus, plus } state = nothing;
    int parts[6] = {0, 0, 0, 0, 0, 0};
    int next = 0;
    DocDateTime result = 0;
    std::size_t end = text.find('\0');
    if (end == std::string_view::npos) end = text.size();
    std::size_t i = 0;
    while (i < end) {
        const char c = text[i];
        if (c == 'D' && end - i > 5 && text.compare(i, 5, "Date(") == 0 && isDigit(text[i + 5])) {
            i += 5;
            double seconds = 0;
            for (int n = 0; n < 10 && i < end && isDigit(text[i]); ++n, ++i)
                seconds = seconds * 10 + (text[i] - '0');
            result = secondsToDate(seconds);
            state = dateRead;
            continue;
        }
        if (isDigit(c) && state == nothing) {
            const std::size_t width = next == 0 ? 4 : 2;
            int value = 0;
            for (std::size_t k = i; k < i + width && k < end && isDigit(text[k]); ++k)
                value = value * 10 + (text[k] - '0');
            parts[next++] = value;
            i = i + width < end ? i + width : end;
            if (next == 6) {
                result = makeDocDate(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
                state = dateRead;
            }
            continue;
        }
        if (isDigit(c) && (state == minus || state == plus)) {
            int hours = c - '0';
            if (i + 1 < end && isDigit(text[i + 1])) hours = hours * 10 + (text[i + 1] - '0');
            result += (state == minus ? -hours : hours) / 24.0;
            break;
        }
        if (state == dateRead && c == '-') state = minus;
        if (state == dateRead && c == '+') state = plus;
        ++i;
    }
    return result;
}
