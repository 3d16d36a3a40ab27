#include "app/window/report_csv.h"

#include <QSaveFile>
#include <string>
#include <vector>

#include "app/window/qt_text.h"
#include "app/window/report_rows.h"
#include "base/text_util.h"

namespace {

void appendCsvLine(std::string& out, const std::vector<QString>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        out += csvField(fields[i].toStdString());
    }
    out += "\r\n";
}

}  // namespace

QString inertCell(const QString& cell) {
    if (cell.size() < 2 || !QStringView(u"=+-@").contains(cell.front())) return cell;
    bool number = false;
    cell.toDouble(&number);
    return number ? cell : QStringLiteral("'") + cell;
}

QByteArray csvText(const ReportRows& rows) {
    const int address = rows.addressColumn();
    const std::vector<int> order = rows.columnsAddressLast();
    std::vector<QString> fields;
    for (int c : order) {
        // Titles are padded with spaces to sit centred over their column; a file wants none.
        fields.push_back(c == address ? Romhaul::tr("下载地址")
                                      : rows.columns()[std::size_t(c)].title.trimmed());
    }
    // The byte order mark tells spreadsheet programs that the file is UTF-8.
    std::string text = "\xEF\xBB\xBF";
    appendCsvLine(text, fields);
    for (int row = 0; row < rows.rowCount(); ++row) {
        fields.clear();
        for (int c : order) fields.push_back(inertCell(rows.cell(row, c)));
        appendCsvLine(text, fields);
    }
    return QByteArray::fromStdString(text);
}

bool writeCsv(const ReportRows& rows, const QString& path, QString* reason) {
    QSaveFile file(path);
    const QByteArray bytes = csvText(rows);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        if (reason) *reason = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (reason) *reason = file.errorString();
        return false;
    }
    return true;
}
