#pragma once
// What the look-up tool prints: rows of program texts (code page 936) turned into an
// aligned table, tab- or comma-separated lines, or JSON, in the user's encoding.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lookup {

enum class Format { Table, Tsv, Csv, Json };

// "table", "tsv", "csv" or "json".
std::optional<Format> formatNamed(std::string_view name);

struct Table {
    std::vector<std::string> columns;            // ASCII names, also the JSON keys
    std::vector<std::vector<std::string>> rows;  // program texts, one per column
};

// The encoding of the user's locale (LC_CTYPE), between it and the program's texts.
// The C locale's ASCII is taken as UTF-8: a script run without a locale would otherwise
// see every Chinese character as "?".
class LocaleText {
  public:
    // The codeset as nl_langinfo(CODESET) names it; "" is UTF-8.
    explicit LocaleText(std::string_view codeset);
    // After setlocale(LC_CTYPE, ""): the environment's codeset.
    static LocaleText fromEnvironment();

    bool isUtf8() const { return kind_ == Kind::Utf8; }
    // A program text in the locale's encoding; characters it cannot hold become "?".
    std::string out(std::string_view programText) const;
    // UTF-8 text (the tool's own messages and help) in the locale's encoding.
    std::string outUtf8(std::string_view utf8) const;
    // Bytes in the locale's encoding (an argument, a line of input) as a program text;
    // characters the program cannot hold become "?".
    std::string in(std::string_view localeBytes) const;

  private:
    enum class Kind { Utf8, Gbk, Other };
    Kind kind_ = Kind::Utf8;
    std::string codeset_;
};

// Control characters in text bound for a terminal (ESC sequences in a vendor's reply could
// move the cursor or retitle the window) become "?". UTF-8 in, UTF-8 out.
std::string withoutControls(std::string_view utf8);

// Columns a UTF-8 text takes on a terminal (CJK characters two each).
int displayWidth(std::string_view utf8);

// Each renders its whole output, line ends included. `forTerminal` strips control
// characters (see withoutControls).
std::string renderTable(const Table& table, const LocaleText& locale);
// One line of tab-separated fields. Tab, line feed, carriage return and backslash inside a
// field are written "\t", "\n", "\r" and "\\", so that a line is always one record.
std::string renderTsvLine(const std::vector<std::string>& fields, const LocaleText& locale,
                          bool forTerminal);
// One record of comma-separated fields, quoted as RFC 4180 asks when a field holds a
// comma, a quote or a line end; records end in a line feed.
std::string renderCsvLine(const std::vector<std::string>& fields, const LocaleText& locale,
                          bool forTerminal);
// An array of objects, one per row, keyed by column name: always UTF-8, whatever the
// locale.
std::string renderJson(const Table& table);

// The whole table in `format`, a header line first for TSV and CSV unless `withHeader` is
// false (the rows that follow earlier ones).
std::string render(const Table& table, Format format, const LocaleText& locale, bool forTerminal,
                   bool withHeader = true);

}  // namespace lookup
