#pragma once
// Text and list utilities used throughout the program. A text is a std::string of code
// page 936 (GBK) bytes; positions are 1-based, 0 meaning "not found".
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// The program's own literals are written in UTF-8 source; this gives their GBK bytes.
std::string gbk(std::string_view utf8);

int textLength(const char* text);
int compareTexts(const char* a, const char* b);
std::string joinTexts(std::initializer_list<std::string_view> texts);
std::string joinBytes(std::initializer_list<std::string_view> arrays);
template <class T>
int elementCount(const std::vector<T>& list) {
    return int(list.size());
}

// Removes ASCII spaces and full-width spaces (GBK A1 A1) at both ends, nothing else.
std::string trimSpaces(std::string_view text);
bool isBlank(std::string_view text);

// 1-based position of `needle` in `text` from 1-based `start` (0 or 1: the beginning),
// or 0. A match starts on a character boundary, never inside a two-byte character.
// With ignoreCase, ASCII letters match either case; two-byte characters match exactly.
std::size_t findText(std::string_view text, std::string_view needle, std::size_t start = 1,
                     bool ignoreCase = false);
// 1-based position of the last occurrence, or 0.
std::size_t findLastText(std::string_view text, std::string_view needle);
// Replaces every occurrence (left to right, non-overlapping), as findText finds them.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase = false);
// Splits at every separator; an empty text gives no item, a final separator no trailing
// item, two adjacent separators an empty item between them.
std::vector<std::string> splitText(std::string_view text, std::string_view separator);
// The same items as views into `text`, for callers that only look at them.
std::vector<std::string_view> splitTextViews(std::string_view text, std::string_view separator);
std::string toLowerAscii(std::string_view text);
std::string toUpperAscii(std::string_view text);

// One field of a CSV line (RFC 4180): quoted, with its quotes doubled, only when it holds a
// comma, a quote or a line break. Works on code page 936 and UTF-8 bytes alike: neither
// puts those bytes inside a character.
std::string csvField(std::string_view field);

// Conversions through the ApiTable's code-page functions.
std::u16string textToUtf16(std::string_view gbkText);
std::string utf16ToText(std::u16string_view utf16);
