#include "app/window/qt_text.h"

#include <QStringList>

namespace {

// The translation of a whole known text, or a null string.
QString known(const QString& source) {
    if (source.isEmpty()) return {};
    const QByteArray utf8 = source.toUtf8();
    const QString translated = QCoreApplication::translate("Romhaul", utf8.constData());
    return translated == source ? QString() : translated;
}

}  // namespace

QString uiText(std::string_view gbkText) {
    return uiText(toQt(gbkText));
}

QString uiText(const QString& text) {
    if (QString whole = known(text); !whole.isNull()) return whole;
    // Label and value: the label is translated with its colon.
    const qsizetype colon = text.indexOf(u'：');
    if (colon > 0) {
        if (QString label = known(text.left(colon + 1)); !label.isNull()) {
            QString value = text.mid(colon + 1);
            const QString core = value.trimmed();
            if (QString t = known(core); !t.isNull())
                value.replace(value.indexOf(core), core.size(), t);
            return label + value;
        }
    }
    // Phrases: translated only when every phrase is known, so that a vendor's own text
    // with a comma in it is never half translated.
    if (text.contains(u'，')) {
        QStringList phrases = text.split(u'，');
        for (QString& phrase : phrases) {
            QString t = known(phrase);
            if (t.isNull()) return text;
            phrase = t;
        }
        return phrases.join(QStringLiteral(", "));
    }
    return text;
}
