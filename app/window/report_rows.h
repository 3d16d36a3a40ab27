#pragma once
// The rows of a report-style list: fixed columns, each known by a name, and rows of texts.
// Result lists reach thousands of rows, so rows live in a plain table model (no item
// objects).
//
// A cell may carry a sort key beside its text (the bytes behind "1.46 GB", the day behind a
// date text); sort() orders the rows by it, in place, so that a row number means the same
// row to the view, the page routines and the copy and export commands. A row's note goes
// with its row.
#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <string_view>
#include <vector>

struct ReportColumn {
    QString title;
    int width;
    Qt::Alignment alignment;
    // What the column holds, for code that looks for it: titles are for people (padded,
    // and some day translated), names are not.
    const char* name = "";
};

// Column names the program looks for.
namespace report_column {
inline constexpr const char* kAddress = "address";  // the hidden download address
inline constexpr const char* kName = "name";
inline constexpr const char* kDate = "date";
inline constexpr const char* kSize = "size";
inline constexpr const char* kType = "type";
inline constexpr const char* kFormat = "format";
inline constexpr const char* kVersion = "version";
inline constexpr const char* kNotes = "notes";
}  // namespace report_column

class ReportRows : public QAbstractTableModel {
    Q_OBJECT
  public:
    // data() gives a cell's sort key under this role: the key set for it, else its text.
    static constexpr int SortKeyRole = Qt::UserRole;

    explicit ReportRows(std::vector<ReportColumn> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Orders the rows by the column's sort keys; rows with equal keys keep their order.
    // Texts compare by their UTF-16 code units, numbers and dates by value; a row without a
    // key of the column's kind (an empty cell) goes last either way.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const std::vector<ReportColumn>& columns() const { return columns_; }
    // The column called `name`, -1 when there is none.
    int column(std::string_view name) const;
    // The column of the download addresses, -1 when there is none.
    int addressColumn() const { return column(report_column::kAddress); }
    // The columns in the order a copy or an export writes them: the address last.
    std::vector<int> columnsAddressLast() const;

    // Appends a row (missing cells stay empty, extra cells are dropped); returns its index.
    int addRow(std::vector<QString> cells);
    void addRows(std::vector<std::vector<QString>> rows);
    // Cells outside the table are neither written nor read ("" and no key).
    void setCell(int row, int column, const QString& text);
    QString cell(int row, int column) const;
    void setSortKey(int row, int column, const QVariant& key);
    void clearRows();
    // A row's tooltip in place of its cell texts (what a link check found, say); an empty
    // note gives the cells back. Notes go with the rows when the list is cleared.
    void setRowNote(int row, const QString& note);

  private:
    struct Row {
        std::vector<QString> cells;
        std::vector<QVariant> keys;  // empty until a key is set
        QString note;
    };
    bool inTable(int row, int column) const;
    QVariant sortKey(const Row& row, int column) const;

    std::vector<ReportColumn> columns_;
    std::vector<Row> rows_;
};
