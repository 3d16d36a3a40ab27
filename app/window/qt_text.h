#pragma once
// The widget boundary: program texts are code page 936 bytes, Qt speaks UTF-16.
//
// The program's own texts are Chinese and stay the source texts; the window shows them
// translated. Texts written in the window are wrapped in Romhaul::tr() where they are
// set; texts that reach the window from the cores (GBK bytes) go through uiText(), which
// finds them by their Chinese source text in the same context. Without a translator
// installed both give the source text unchanged.
#include <QCoreApplication>
#include <QString>
#include <string>
#include <string_view>

#include "platform/codepage.h"

// The one translation context of the program's texts.
class Romhaul {
    Q_DECLARE_TR_FUNCTIONS(Romhaul)
};

inline QString toQt(std::string_view gbkText) {
    const std::u16string u = codepage::gbkToUtf16(gbkText);
    return QString::fromUtf16(u.data(), qsizetype(u.size()));
}

inline std::string fromQt(const QString& text) {
    return codepage::utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                    std::size_t(text.size())));
}

// A program text from a core, translated. The cores word three kinds of text: a whole
// message, a label and its value ("文件大小：12 MB", the label ends in a full-width
// colon), and phrases joined by full-width commas ("原厂固件，可平刷"). Each known part is
// translated; anything not known (vendor data) stays as it came.
QString uiText(std::string_view gbkText);
QString uiText(const QString& text);
