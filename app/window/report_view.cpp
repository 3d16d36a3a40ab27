#include "app/window/report_view.h"

#include <QHeaderView>

#include "app/window/qt_text.h"

ReportModel::ReportModel(std::vector<ReportColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int ReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const auto& row = rows_[std::size_t(index.row())];
        return std::size_t(index.column()) < row.size() ? row[std::size_t(index.column())]
                                                        : QString();
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns_[std::size_t(index.column())].alignment |
                                   Qt::AlignVCenter);
    return {};
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= int(columns_.size())) return {};
    if (role == Qt::DisplayRole) return columns_[std::size_t(section)].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns_[std::size_t(section)].alignment | Qt::AlignVCenter);
    return {};
}

int ReportModel::addRow(std::vector<QString> cells) {
    cells.resize(columns_.size());
    const int row = int(rows_.size());
    beginInsertRows({}, row, row);
    rows_.push_back(std::move(cells));
    endInsertRows();
    return row;
}

void ReportModel::addRows(std::vector<std::vector<QString>> rows) {
    if (rows.empty()) return;
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    for (auto& r : rows) {
        r.resize(columns_.size());
        rows_.push_back(std::move(r));
    }
    endInsertRows();
}

void ReportModel::setCell(int row, int column, const QString& text) {
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= int(columns_.size())) return;
    rows_[std::size_t(row)][std::size_t(column)] = text;
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

QString ReportModel::cell(int row, int column) const {
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= int(columns_.size()))
        return {};
    return rows_[std::size_t(row)][std::size_t(column)];
}

void ReportModel::clearRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

ReportView::ReportView(std::vector<ReportColumn> columns, QWidget* parent)
    : QTreeView(parent), model_(new ReportModel(std::move(columns), this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    QHeaderView* h = header();
    // The address column is 0 pixels wide and the last one: neither a minimum width nor
    // stretching may make it show.
    h->setMinimumSectionSize(0);
    h->setStretchLastSection(false);
    h->setSectionsMovable(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < int(model_->columns().size()); ++c)
        h->resizeSection(c, model_->columns()[std::size_t(c)].width);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                emit currentRowChanged(current.isValid() ? current.row() : -1);
            });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowDoubleClicked(index.row()); });
}

int ReportView::itemCount() const {
    return model_->rowCount();
}

std::string ReportView::itemText(int row, int column) const {
    return fromQt(model_->cell(row, column));
}

int ReportView::addRow(const std::vector<std::string>& cells) {
    std::vector<QString> row;
    row.reserve(cells.size());
    for (const auto& c : cells) row.push_back(toQt(c));
    return model_->addRow(std::move(row));
}

void ReportView::addRows(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::vector<QString>> converted;
    converted.reserve(rows.size());
    for (const auto& cells : rows) {
        std::vector<QString> row;
        row.reserve(cells.size());
        for (const auto& c : cells) row.push_back(toQt(c));
        converted.push_back(std::move(row));
    }
    model_->addRows(std::move(converted));
}

void ReportView::setItemText(int row, int column, const std::string& text) {
    model_->setCell(row, column, toQt(text));
}

void ReportView::clearItems() {
    model_->clearRows();
}

int ReportView::currentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ReportView::setCurrentRow(int row) {
    if (row < 0 || row >= itemCount()) {
        setCurrentIndex({});
        return;
    }
    setCurrentIndex(model_->index(row, 0));
}
