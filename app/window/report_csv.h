#pragma once
// The rows of a result list as a CSV file, for a spreadsheet to open.
#include <QByteArray>
#include <QString>

class ReportRows;

// A cell as it may go into a file that a spreadsheet opens: vendor text that the
// spreadsheet would run as a formula ("=HYPERLINK(...)", "@SUM(A1)") gets a leading
// apostrophe and stays text; numbers such as "-1" stay as they are.
QString inertCell(const QString& cell);

// The whole list: UTF-8 with a byte order mark, a header line with the column titles and
// "下载地址", every row in list order (the address last), RFC 4180 quoting, every cell
// made inert.
QByteArray csvText(const ReportRows& rows);

// Writes csvText to `path` whole or not at all; on failure `reason` says why.
bool writeCsv(const ReportRows& rows, const QString& path, QString* reason);
