#pragma once
// Sort keys read from the texts the vendors give: sizes ("803.49MB", "1.46 GB", "512 KB")
// as bytes and dates ("2013-05-20", "2014/4/4", "2014年4月4日") as days, so that a list
// orders them by value rather than as text. A text that is not one gives an invalid key.
#include <QString>
#include <QVariant>

QVariant sizeSortKey(const QString& text);
QVariant dateSortKey(const QString& text);
