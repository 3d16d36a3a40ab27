#pragma once
// The widget boundary: program texts are code page 936 bytes, Qt speaks UTF-16.
#include <QString>
#include <string>
#include <string_view>

#include "platform/codepage.h"

inline QString toQt(std::string_view gbkText) {
    const std::u16string u = codepage::gbkToUtf16(gbkText);
    return QString::fromUtf16(u.data(), qsizetype(u.size()));
}

inline std::string fromQt(const QString& text) {
    return codepage::utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                    std::size_t(text.size())));
}
