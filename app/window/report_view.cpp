#include "app/window/report_view.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QSaveFile>
#include <algorithm>

#include "app/window/qt_text.h"
#include "base/text_util.h"

namespace {

// Clipboard lines are cells between tabs: a tab or line break inside a cell would split it.
QString flattened(QString cell) {
    for (QChar& c : cell) {
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    }
    return cell;
}

// Vendor texts are not ours: a cell such as "=HYPERLINK(...)" would run as a formula in
// the spreadsheet that opens the file. A leading apostrophe keeps it text; numbers such
// as "-1" stay as they are.
QString inertCell(const QString& cell) {
    if (cell.size() < 2 || !QStringView(u"=+-@").contains(cell.front())) return cell;
    bool number = false;
    cell.toDouble(&number);
    return number ? cell : QStringLiteral("'") + cell;
}

std::vector<QString> qtCells(const std::vector<std::string>& cells) {
    std::vector<QString> row;
    row.reserve(cells.size());
    for (const auto& c : cells) row.push_back(toQt(c));
    return row;
}

void appendCsvLine(std::string& out, const std::vector<QString>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        out += csvField(fields[i].toStdString());
    }
    out += "\r\n";
}

}  // namespace

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
    if (role == Qt::ToolTipRole) {
        const auto note = notes_.find(index.row());
        if (note != notes_.end()) return note->second;
    }
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
    notes_.clear();
    endResetModel();
}

void ReportModel::setRowNote(int row, const QString& note) {
    if (row < 0 || row >= int(rows_.size())) return;
    if (note.isEmpty())
        notes_.erase(row);
    else
        notes_[row] = note;
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1), {Qt::ToolTipRole});
}

ReportView::ReportView(std::vector<ReportColumn> columns, QWidget* parent)
    : QTreeView(parent), model_(new ReportModel(std::move(columns), this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
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
    // A mouse press moves the current row before it selects; the keyboard selects first.
    // Either way the choice is known once both have happened, so both ask.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { noteChoice(); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { noteChoice(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { chosenRow_ = -1; });
}

void ReportView::noteChoice() {
    if (choiceOnRelease_) return;
    const int current = currentRow();
    if (current < 0 || !selectionModel()->isSelected(model_->index(current, 0))) {
        chosenRow_ = -1;
        return;
    }
    if (current == chosenRow_) return;
    chosenRow_ = current;
    emit rowChosen(current);
}

int ReportView::itemCount() const {
    return model_->rowCount();
}

std::string ReportView::itemText(int row, int column) const {
    return fromQt(model_->cell(row, column));
}

int ReportView::addRow(const std::vector<std::string>& cells) {
    return model_->addRow(qtCells(cells));
}

void ReportView::addRows(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::vector<QString>> converted;
    converted.reserve(rows.size());
    for (const auto& cells : rows) converted.push_back(qtCells(cells));
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

int ReportView::addressColumn() const {
    const auto& cols = columns();
    for (std::size_t c = 0; c < cols.size(); ++c) {
        if (cols[c].title.isEmpty()) return int(c);
    }
    return -1;
}

std::vector<int> ReportView::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ReportView::targetRow() const {
    if (menuRow_ >= 0 && menuRow_ < itemCount()) return menuRow_;
    const int current = currentRow();
    if (current >= 0 && selectionModel()->isSelected(model_->index(current, 0))) return current;
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? -1 : rows.front();
}

std::vector<int> ReportView::columnsAddressLast(bool shownOnly) const {
    const int address = addressColumn();
    std::vector<int> order;
    for (int c = 0; c < int(columns().size()); ++c) {
        if (c == address) continue;
        if (shownOnly && (header()->isSectionHidden(c) || header()->sectionSize(c) <= 0)) continue;
        order.push_back(c);
    }
    if (address >= 0) order.push_back(address);
    return order;
}

QString ReportView::rowsText(const std::vector<int>& rows) const {
    const std::vector<int> shown = columnsAddressLast(true);
    QStringList lines;
    for (int row : rows) {
        QStringList cells;
        for (int c : shown) cells << flattened(model_->cell(row, c));
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n');
}

QString ReportView::addressesText(const std::vector<int>& rows) const {
    const int address = addressColumn();
    QStringList lines;
    for (int row : rows) lines << flattened(model_->cell(row, address));
    return lines.join(u'\n');
}

bool ReportView::copySelectedRows() const {
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return false;
    QGuiApplication::clipboard()->setText(rowsText(rows));
    return true;
}

bool ReportView::copySelectedAddresses() const {
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return false;
    QGuiApplication::clipboard()->setText(addressesText(rows));
    return true;
}

QByteArray ReportView::csvText() const {
    const int address = addressColumn();
    const std::vector<int> order = columnsAddressLast(false);
    std::vector<QString> fields;
    for (int c : order) {
        // Titles are padded with spaces to sit centred over their column; a file wants none.
        fields.push_back(c == address ? QStringLiteral("下载地址")
                                      : columns()[std::size_t(c)].title.trimmed());
    }
    // The byte order mark tells spreadsheet programs that the file is UTF-8.
    std::string text = "\xEF\xBB\xBF";
    appendCsvLine(text, fields);
    for (int row = 0; row < itemCount(); ++row) {
        fields.clear();
        for (int c : order) fields.push_back(inertCell(model_->cell(row, c)));
        appendCsvLine(text, fields);
    }
    return QByteArray::fromStdString(text);
}

bool ReportView::writeCsv(const QString& path, QString* reason) const {
    QSaveFile file(path);
    const QByteArray bytes = csvText();
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

void ReportView::keyPressEvent(QKeyEvent* event) {
    // The rows, not the one cell that the view copies on its own.
    if (event->matches(QKeySequence::Copy)) {
        copySelectedRows();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ReportView::mousePressEvent(QMouseEvent* event) {
    // A right click on a selected row opens the menu for the selection as it stands,
    // without moving the current row (which would choose that row).
    if (event->button() == Qt::RightButton) {
        const QModelIndex at = indexAt(event->position().toPoint());
        if (at.isValid() && selectionModel()->isSelected(model_->index(at.row(), 0))) {
            event->accept();
            return;
        }
    }
    const QModelIndex at = indexAt(event->position().toPoint());
    choiceOnRelease_ = event->button() == Qt::LeftButton && at.isValid() &&
                       selectionModel()->isSelected(model_->index(at.row(), 0));
    QTreeView::mousePressEvent(event);
}

void ReportView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (!choiceOnRelease_) return;
    choiceOnRelease_ = false;
    noteChoice();
}

void ReportView::contextMenuEvent(QContextMenuEvent* event) {
    if (actions().isEmpty()) {
        QTreeView::contextMenuEvent(event);
        return;
    }
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex at = indexAt(event->pos());
        if (at.isValid() && selectionModel()->isSelected(model_->index(at.row(), 0)))
            menuRow_ = at.row();
    }
    const QPoint where = event->reason() == QContextMenuEvent::Mouse
                             ? event->globalPos()
                             : viewport()->mapToGlobal(visualRect(currentIndex()).center());
    QPointer<ReportView> alive(this);
    QMenu::exec(actions(), where, nullptr, this);
    if (alive) menuRow_ = -1;
    event->accept();
}
