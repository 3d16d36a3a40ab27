#include "text/script_time.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "base/civil_date.h"
#include "base/text_util.h"

namespace {

const std::int64_t kEpochDay = daysFromCivil(1899, 12, 30);  // day 0 of DateTime
constexpr double kFirstDay = -657434.0;                      // 100-01-01
constexpr double kLastDay = 2958465.0;                       // 9999-12-31

std::string twoDigits(int n) {
    std::string s = std::to_string(n);
    return s.size() < 2 ? "0" + s : s;
}

// ---------------------------------------------------------------------------------------
// Reading a stamp as the script engine reads a numeric string.

bool isScriptBlank(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number, or nullopt for text that is no number. Infinities come back as such.
std::optional<double> stampNumber(std::string_view stamp) {
    std::u16string units = textToUtf16(stamp);
    std::size_t b = 0, e = units.size();
    while (b < e && isScriptBlank(units[b])) ++b;
    while (e > b && isScriptBlank(units[e - 1])) --e;
    if (b == e) return std::nullopt;  // an empty stamp counts as no number
    std::string s;
    for (std::size_t i = b; i < e; ++i) {
        if (units[i] >= 0x80) return std::nullopt;
        s += char(units[i]);
    }
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        double v = 0;
        for (std::size_t i = 2; i < s.size(); ++i) {
            char c = s[i];
            int h = isAsciiDigit(c)          ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (h < 0) return std::nullopt;
            v = v * 16 + h;
        }
        return v;
    }
    std::size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    std::string_view body = std::string_view(s).substr(i);
    if (body == "Infinity") return negative ? -HUGE_VAL : HUGE_VAL;
    // StrDecimalLiteral: digits [. digits] or . digits, then an optional exponent.
    std::size_t j = 0, intDigits = 0, fracDigits = 0;
    while (j < body.size() && isAsciiDigit(body[j])) ++j, ++intDigits;
    if (j < body.size() && body[j] == '.') {
        ++j;
        while (j < body.size() && isAsciiDigit(body[j])) ++j, ++fracDigits;
    }
    if (!intDigits && !fracDigits) return std::nullopt;
    if (j < body.size() && (body[j] == 'e' || body[j] == 'E')) {
        ++j;
        if (j < body.size() && (body[j] == '+' || body[j] == '-')) ++j;
        std::size_t expDigits = 0;
        while (j < body.size() && isAsciiDigit(body[j])) ++j, ++expDigits;
        if (!expDigits) return std::nullopt;
    }
    if (j != body.size()) return std::nullopt;
    double v = 0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Too large gives an infinity, too small a zero, as the engine rounds.
        bool tiny = body.find_first_of("eE") != std::string_view::npos &&
                    body[body.find_first_of("eE") + 1] == '-';
        v = tiny ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc() || end != body.data() + body.size()) {
        return std::nullopt;
    }
    return negative ? -v : v;
}

}  // namespace

DateTime dateTimeFromFields(const DateFields& f) {
    const double days =
        double(daysFromCivil(f.year, unsigned(f.month), unsigned(f.day)) - kEpochDay);
    const double time = (f.hour * 3600.0 + f.minute * 60.0 + f.second) / 86400.0;
    return days >= 0 ? days + time : days - time;
}

DateFields fieldsOfDateTime(DateTime value) {
    if (!std::isfinite(value)) value = 0;
    if (value < kFirstDay) value = kFirstDay;
    if (value >= kLastDay + 1) value = kLastDay + 86399.0 / 86400.0;
    double whole = std::trunc(value);
    std::int64_t day = std::int64_t(whole);
    std::int64_t seconds = std::llround(std::fabs(value - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    DateFields f;
    civilFromDays(day + kEpochDay, f.year, f.month, f.day);
    f.hour = int(seconds / 3600);
    f.minute = int(seconds / 60 % 60);
    f.second = int(seconds % 60);
    return f;
}

std::optional<DateTime> textToDateTime(std::string_view text) {
    static const std::string year = gbk("年"), month = gbk("月"), day = gbk("日"), hour = gbk("时"),
                             minute = gbk("分"), second = gbk("秒");
    std::string_view t = text;
    auto skipSpaces = [&] {
        while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    };
    auto number = [&](int maxDigits, int& out) {
        int digits = 0;
        out = 0;
        while (!t.empty() && isAsciiDigit(t.front()) && digits < maxDigits) {
            out = out * 10 + (t.front() - '0');
            t.remove_prefix(1);
            ++digits;
        }
        return digits > 0;
    };
    auto separator = [&](std::initializer_list<std::string_view> options) {
        for (std::string_view o : options)
            if (t.substr(0, o.size()) == o) {
                t.remove_prefix(o.size());
                return true;
            }
        return false;
    };
    DateFields f;
    skipSpaces();
    if (!number(4, f.year) || !separator({"-", "/", year})) return std::nullopt;
    if (!number(2, f.month) || !separator({"-", "/", month})) return std::nullopt;
    if (!number(2, f.day)) return std::nullopt;
    separator({day});
    f.hour = f.minute = f.second = 0;
    skipSpaces();
    if (!t.empty()) {
        if (!number(2, f.hour) || !separator({":", hour}) || !number(2, f.minute))
            return std::nullopt;
        if (separator({":", minute})) {
            if (!t.empty() && !separator({second})) {
                if (!number(2, f.second)) return std::nullopt;
                separator({second});
            }
        }
        skipSpaces();
        if (!t.empty()) return std::nullopt;
    }
    if (f.year < 100 || f.month < 1 || f.month > 12 || f.day < 1 ||
        f.day > daysInMonth(f.year, f.month) || f.hour > 23 || f.minute > 59 || f.second > 59)
        return std::nullopt;
    return dateTimeFromFields(f);
}

std::string scriptTimeToText(std::string_view stamp) {
    std::optional<double> number = stampNumber(stamp);
    // The engine's time values end 8.64e15 ms either side of 1970; beyond is no date.
    if (!number || !std::isfinite(*number) || std::fabs(*number) > 8.64e15) return {};
    const auto ms = std::int64_t(std::trunc(*number));
    std::int64_t seconds = ms / 1000;
    if (ms % 1000 < 0) --seconds;  // the date of -1 ms is the last second of 1969
    // TZ may have changed since the last call; tzset reads it again only when it did.
    tzset();
    const std::time_t t = std::time_t(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) return {};
    const long long yearNumber = local.tm_year + 1900LL;
    if (yearNumber < 1) return {};
    return std::to_string(yearNumber) + "-" + std::to_string(local.tm_mon + 1) + "-" +
           std::to_string(local.tm_mday) + " " + twoDigits(local.tm_hour) + ":" +
           twoDigits(local.tm_min) + ":" + twoDigits(local.tm_sec);
}

std::array<std::string, 6> timeParts(DateTime value) {
    DateFields f = fieldsOfDateTime(value);
    return {std::to_string(f.year), twoDigits(f.month),  twoDigits(f.day),
            twoDigits(f.hour),      twoDigits(f.minute), twoDigits(f.second)};
}

std::string 时间_到文本(std::optional<DateTime> when, int style, int part) {
    if (part < 0 || part > 5 || style < 0 || style > 3)
        return gbk("时间_到文本() 命令参数填写有误");
    DateFields f;
    if (when) {
        f = fieldsOfDateTime(*when);
    } else {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        tzset();
        localtime_r(&now, &local);
        f = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour,        local.tm_min,     local.tm_sec};
    }
    if (part == 0 && style == 0) {
        // The default text: unpadded, trailing zero time fields left out.
        std::string s = std::to_string(f.year) + "年" + std::to_string(f.month) + "月" +
                        std::to_string(f.day) + "日";
        if (f.second != 0)
            s += std::to_string(f.hour) + "时" + std::to_string(f.minute) + "分" +
                 std::to_string(f.second) + "秒";
        else if (f.minute != 0)
            s += std::to_string(f.hour) + "时" + std::to_string(f.minute) + "分";
        else if (f.hour != 0)
            s += std::to_string(f.hour) + "时";
        return gbk(s);
    }
    const std::string Y = std::to_string(f.year), MM = twoDigits(f.month), DD = twoDigits(f.day),
                      hh = twoDigits(f.hour), mm = twoDigits(f.minute), ss = twoDigits(f.second);
    // Per part: the fields, and per style the separators that follow each but the last.
    struct Layout {
        std::string fields[6];
        int count;
    };
    const Layout layouts[6] = {
        {{Y, MM, DD, hh, mm, ss}, 6},
        {{Y, MM, DD}, 3},
        {{MM, DD}, 2},
        {{hh, mm, ss}, 3},
        {{hh, mm}, 2},
        {{mm, ss}, 2},
    };
    // Style 0 units after each field, by part (part 0 style 0 is the default text above).
    static const char* const units[6][3] = {
        {}, {"年", "月", "日"}, {"月", "日"}, {"时", "分", "秒"}, {"时", "分"}, {"分", "秒"},
    };
    const Layout& layout = layouts[part];
    std::string s;
    for (int i = 0; i < layout.count; ++i) {
        s += layout.fields[i];
        if (style == 0) {
            s += units[part][i];
        } else if (i + 1 < layout.count && style != 3) {
            // Style 1 parts the date with "-", the time with ":" and date from time with a
            // blank; style 2 uses "/" throughout, with the same blank.
            const bool dateField = part <= 2 && !(part == 0 && i >= 3);
            if (part == 0 && i == 2)
                s += " ";
            else if (style == 2)
                s += "/";
            else
                s += dateField ? "-" : ":";
        }
    }
    return gbk(s);
}

std::string releaseDateText(std::string_view stamp) {
    static const DateTime fallback = dateTimeFromFields({100, 1, 1, 0, 0, 0});
    return 时间_到文本(textToDateTime(scriptTimeToText(stamp)).value_or(fallback), 1, 1);
}
