#pragma once
// Code-page conversion stand-in: code page 936 (GBK), UTF-8 and UTF-16, with the
// substitutions the system makes for input it cannot convert:
//  - code page 936 -> UTF-16: a byte pair that is no GBK character, or a lead byte with no
//    trail, becomes "?" and only the lead byte is consumed, so a quote or bracket after a
//    stray lead byte survives;
//  - UTF-8 -> UTF-16: every maximal invalid subsequence becomes U+FFFD;
//  - UTF-16 -> code page 936: a unit with no GBK form becomes "?" (or the caller's
//    default character);
//  - UTF-16 -> UTF-8: an unpaired surrogate becomes U+FFFD.
// The system ANSI code page (CP_ACP) is 936.
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace win {

// Semantics as the system's: a source length of -1 means "up to and including the
// terminating zero"; a destination length of 0 asks for the needed length; the result is
// the number of units written (or needed), 0 on failure (unknown code page, buffer too
// small, bad arguments).
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength,
                        WCHAR* destination, int destinationLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* source, int sourceLength,
                        char* destination, int destinationLength, const char* defaultChar,
                        BOOL* usedDefaultChar);

}  // namespace win

namespace codepage {

// Whole-string conversions over the same rules, for code that has no use for the
// two-call protocol. Embedded zero units are converted like any other.
std::u16string gbkToUtf16(std::string_view gbk);
std::string utf16ToGbk(std::u16string_view utf16);
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
std::string gbkToUtf8(std::string_view gbk);
std::string utf8ToGbk(std::string_view utf8);

// GBK bytes of one UTF-16 unit: 0 when it has no GBK form, else 1 or 2 bytes in the
// low bytes (a two-byte character as lead << 8 | trail).
unsigned gbkOfUnit(char16_t unit);
// Is this byte a GBK lead byte (0x81..0xFE)?
inline bool isGbkLead(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace codepage
