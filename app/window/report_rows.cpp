#include "app/window/report_rows.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <numeric>

#include "app/window/sort_keys.h"

namespace {

// A sort key brought to a form that orders: numbers and moments by value, texts by code
// unit; `rank` keeps kinds apart, and nothing (an empty cell) ranks after everything.
struct Ordered {
    int rank = 3;
    double number = 0;
    QString text;
};

Ordered ordered(const QVariant& key) {
    switch (key.typeId()) {
        case QMetaType::UnknownType:
            return {};
        case QMetaType::QString: {
            QString text = key.toString();
            if (text.isEmpty()) return {};
            return {2, 0, std::move(text)};
        }
        case QMetaType::QDate:
            return {1, double(key.toDate().startOfDay(Qt::UTC).toMSecsSinceEpoch()), {}};
        case QMetaType::QDateTime:
            return {1, double(key.toDateTime().toMSecsSinceEpoch()), {}};
        default:
            break;
    }
    bool number = false;
    const double value = key.toDouble(&number);
    if (number) return {0, value, {}};
    QString text = key.toString();
    if (text.isEmpty()) return {};
    return {2, 0, std::move(text)};
}

// -1, 0 or 1 as `a` comes before, with or after `b` in ascending order.
int compareOrdered(const Ordered& a, const Ordered& b) {
    if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
    if (a.rank == 2) return std::clamp(a.text.compare(b.text), -1, 1);
    if (a.number != b.number) return a.number < b.number ? -1 : 1;
    return 0;
}

}  // namespace

ReportRows::ReportRows(std::vector<ReportColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

int ReportRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int ReportRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

bool ReportRows::inTable(int row, int column) const {
    return row >= 0 && row < int(rows_.size()) && column >= 0 && column < int(columns_.size());
}

QVariant ReportRows::sortKey(const Row& row, int column) const {
    const auto c = std::size_t(column);
    if (c < row.keys.size() && row.keys[c].isValid()) return row.keys[c];
    // Sizes and dates without a key of their own order by the value their text gives.
    const std::string_view name = columns_[c].name;
    QVariant derived;
    if (name == report_column::kSize) derived = sizeSortKey(row.cells[c]);
    if (name == report_column::kDate) derived = dateSortKey(row.cells[c]);
    return derived.isValid() ? derived : QVariant(row.cells[c]);
}

QVariant ReportRows::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !inTable(index.row(), index.column())) return {};
    const Row& row = rows_[std::size_t(index.row())];
    switch (role) {
        case Qt::ToolTipRole:
            if (!row.note.isEmpty()) return row.note;
            [[fallthrough]];
        case Qt::DisplayRole:
            return row.cells[std::size_t(index.column())];
        case SortKeyRole:
            return sortKey(row, index.column());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(columns_[std::size_t(index.column())].alignment |
                                       Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant ReportRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= int(columns_.size())) return {};
    if (role == Qt::DisplayRole) return columns_[std::size_t(section)].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns_[std::size_t(section)].alignment | Qt::AlignVCenter);
    return {};
}

void ReportRows::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= int(columns_.size()) || rows_.size() < 2) return;
    std::vector<Ordered> keys;
    keys.reserve(rows_.size());
    for (const Row& row : rows_) keys.push_back(ordered(sortKey(row, column)));
    std::vector<int> from(rows_.size());  // from[new position] = old position
    std::iota(from.begin(), from.end(), 0);
    const bool descending = order == Qt::DescendingOrder;
    std::stable_sort(from.begin(), from.end(), [&](int a, int b) {
        const Ordered& x = keys[std::size_t(a)];
        const Ordered& y = keys[std::size_t(b)];
        // Empty cells stay at the end whichever way the column is ordered.
        if (descending && x.rank != 3 && y.rank != 3) return compareOrdered(y, x) < 0;
        return compareOrdered(x, y) < 0;
    });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    std::vector<int> to(rows_.size());
    for (std::size_t i = 0; i < from.size(); ++i) {
        sorted.push_back(std::move(rows_[std::size_t(from[i])]));
        to[std::size_t(from[i])] = int(i);
    }
    rows_ = std::move(sorted);
    // The current row and the selection follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& at : before)
        after.push_back(index(to[std::size_t(at.row())], at.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ReportRows::column(std::string_view name) const {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (name == columns_[c].name) return int(c);
    }
    return -1;
}

std::vector<int> ReportRows::columnsAddressLast() const {
    const int address = addressColumn();
    std::vector<int> order;
    for (int c = 0; c < int(columns_.size()); ++c) {
        if (c != address) order.push_back(c);
    }
    if (address >= 0) order.push_back(address);
    return order;
}

int ReportRows::addRow(std::vector<QString> cells) {
    cells.resize(columns_.size());
    const int row = int(rows_.size());
    beginInsertRows({}, row, row);
    rows_.push_back({std::move(cells), {}, {}});
    endInsertRows();
    return row;
}

void ReportRows::addRows(std::vector<std::vector<QString>> rows) {
    if (rows.empty()) return;
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    rows_.reserve(rows_.size() + rows.size());
    for (auto& cells : rows) {
        cells.resize(columns_.size());
        rows_.push_back({std::move(cells), {}, {}});
    }
    endInsertRows();
}

void ReportRows::setCell(int row, int column, const QString& text) {
    if (!inTable(row, column)) return;
    rows_[std::size_t(row)].cells[std::size_t(column)] = text;
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole, SortKeyRole});
}

QString ReportRows::cell(int row, int column) const {
    if (!inTable(row, column)) return {};
    return rows_[std::size_t(row)].cells[std::size_t(column)];
}

void ReportRows::setSortKey(int row, int column, const QVariant& key) {
    if (!inTable(row, column)) return;
    std::vector<QVariant>& keys = rows_[std::size_t(row)].keys;
    keys.resize(columns_.size());
    keys[std::size_t(column)] = key;
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {SortKeyRole});
}

void ReportRows::clearRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void ReportRows::setRowNote(int row, const QString& note) {
    if (row < 0 || row >= int(rows_.size())) return;
    rows_[std::size_t(row)].note = note;
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1), {Qt::ToolTipRole});
}
