#include "app/window/report_view.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <algorithm>

#include "app/window/qt_text.h"

namespace {

// Clipboard lines are cells between tabs: a tab or line break inside a cell would split it.
QString flattened(QString cell) {
    for (QChar& c : cell) {
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    }
    return cell;
}

std::vector<QString> qtCells(const std::vector<std::string>& cells) {
    std::vector<QString> row;
    row.reserve(cells.size());
    for (const auto& c : cells) row.push_back(toQt(c));
    return row;
}

}  // namespace

ReportView::ReportView(std::vector<ReportColumn> columns, QWidget* parent)
    : QTreeView(parent), model_(new ReportRows(std::move(columns), this)) {
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
    // A click on a column title sorts the rows by it, a second click the other way; the
    // list shows no order until the first click (rows come in the vendor's order).
    h->setSectionsClickable(true);
    h->setSortIndicatorShown(false);
    connect(h, &QHeaderView::sectionClicked, this, [this](int column) { sortByTitle(column); });
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
    // Rows added after a sort come at the end: the list no longer shows that order.
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { forgetOrder(); });
    // A cleared list is filled anew in the vendor's order: no order is shown.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        chosenRow_ = -1;
        forgetOrder();
    });
    // Sorting moves the chosen row (always the current one) without choosing it again.
    connect(model_, &QAbstractItemModel::layoutChanged, this, [this] {
        if (chosenRow_ >= 0) chosenRow_ = currentRow();
    });
}

void ReportView::forgetOrder() {
    sortColumn_ = -1;
    header()->setSortIndicatorShown(false);
}

void ReportView::sortByTitle(int column) {
    if (column < 0 || column == model_->addressColumn()) return;
    // The header flips its own indicator on a click once it shows one: the order is kept
    // here, and the indicator made to say it.
    sortOrder_ = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                           : Qt::AscendingOrder;
    sortColumn_ = column;
    QHeaderView* h = header();
    h->setSortIndicator(column, sortOrder_);
    h->setSortIndicatorShown(true);
    model_->sort(column, sortOrder_);
    if (currentIndex().isValid()) scrollTo(currentIndex());
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

void ReportView::setEmptyText(const QString& text) {
    if (text == emptyText_) return;
    emptyText_ = text;
    viewport()->update();
}

void ReportView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (emptyText_.isEmpty() || model_->rowCount() > 0) return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(viewport()->rect().adjusted(12, 12, -12, -12),
                     Qt::AlignCenter | Qt::TextWordWrap, emptyText_);
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

std::vector<int> ReportView::copiedColumns() const {
    const int address = addressColumn();
    std::vector<int> order;
    for (int c : model_->columnsAddressLast()) {
        if (c == address || (!header()->isSectionHidden(c) && header()->sectionSize(c) > 0))
            order.push_back(c);
    }
    return order;
}

QString ReportView::rowsText(const std::vector<int>& rows) const {
    const std::vector<int> shown = copiedColumns();
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

void ReportView::mouseDoubleClickEvent(QMouseEvent* event) {
    doubleClickModifiers_ = event->modifiers();
    QTreeView::mouseDoubleClickEvent(event);
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
