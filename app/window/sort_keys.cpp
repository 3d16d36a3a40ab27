#include "app/window/sort_keys.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>

QVariant sizeSortKey(const QString& text) {
    static const QRegularExpression size(
        QStringLiteral("^\\s*([0-9]{1,15}(?:\\.[0-9]{1,6})?)\\s*([KMGT]?)(?:i?B|bytes?)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = size.match(text);
    if (!m.hasMatch()) return {};
    const double value = m.captured(1).toDouble();
    const QString unit = m.captured(2).toUpper();
    const int power = unit.isEmpty() ? 0 : int(QStringLiteral("KMGT").indexOf(unit)) + 1;
    const double bytes = value * std::pow(1024.0, power);
    // Past 2^53 a double no longer holds whole bytes; no firmware comes near.
    if (!(bytes < 9.0e15)) return {};
    return QVariant::fromValue(qint64(std::llround(bytes)));
}

QVariant dateSortKey(const QString& text) {
    static const QRegularExpression date(
        QStringLiteral("^\\s*([0-9]{4})\\D{1,3}([0-9]{1,2})\\D{1,3}([0-9]{1,2})"));
    const QRegularExpressionMatch m = date.match(text);
    if (!m.hasMatch()) return {};
    const QDate day(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return day.isValid() ? QVariant(day) : QVariant();
}
