#pragma once
// A report-style list view: the rows (report_rows.h) under fixed columns with titles,
// widths and alignments, and what a user does with them: clicks, selection, the clipboard
// and the context menu. Result lists reach thousands of rows, so the view assumes uniform
// row heights.
#include <QTreeView>
#include <string>
#include <vector>

#include "app/window/report_rows.h"

class ReportView : public QTreeView {
    Q_OBJECT
  public:
    explicit ReportView(std::vector<ReportColumn> columns, QWidget* parent = nullptr);

    ReportRows* reportModel() const { return model_; }
    const std::vector<ReportColumn>& columns() const { return model_->columns(); }

    // Rows and columns are 0-based. Texts are code page 936; out-of-range cells read "".
    int itemCount() const;
    std::string itemText(int row, int column) const;
    // Appends a row (missing cells stay empty, extra cells are dropped); returns its index.
    int addRow(const std::vector<std::string>& cells);
    void addRows(const std::vector<std::vector<std::string>>& rows);
    void setItemText(int row, int column, const std::string& text);
    void clearItems();
    // The current row, -1 for none.
    int currentRow() const;
    void setCurrentRow(int row);

    // The column that holds each row's download address (hidden), -1 when there is none.
    int addressColumn() const { return model_->addressColumn(); }
    // Selected rows in list order.
    std::vector<int> selectedRows() const;
    // The row a one-row command acts on: the row a context menu was opened on, else the
    // current row when it is selected, else the first selected row; -1 for none.
    int targetRow() const;

    // The rows as lines for the clipboard: the cells of every column shown, then the
    // address, separated by tabs, so that they paste into a spreadsheet's cells.
    QString rowsText(const std::vector<int>& rows) const;
    // The rows' addresses, one a line.
    QString addressesText(const std::vector<int>& rows) const;
    // Puts rowsText or addressesText of the selected rows on the clipboard; false (the
    // clipboard keeps what it had) when no row is selected.
    bool copySelectedRows() const;
    bool copySelectedAddresses() const;

    void setRowNote(int row, const QString& note) { model_->setRowNote(row, note); }

    // Said in the middle of the list while it has no rows (why it is empty); "" for none.
    void setEmptyText(const QString& text);
    QString emptyText() const { return emptyText_; }

    // The keys held at the last double-click (Shift chooses download over the browser).
    Qt::KeyboardModifiers doubleClickModifiers() const { return doubleClickModifiers_; }

  signals:
    // A new current row, from a click, the keyboard or setCurrentRow (clearing the list
    // drops the current row without this signal).
    void currentRowChanged(int row);
    // A row was double-clicked; the current row is already that row.
    void rowDoubleClicked(int row);
    // A row became current by being selected (a click, the arrow keys, setCurrentRow).
    // Rows added to or taken from a selection that keeps its current row, and a current
    // row that is not selected (focus arriving by Tab), choose nothing.
    void rowChosen(int row);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // Sorts the rows by a column, as a click on its title does: ascending, and the other
    // way when it is already the column sorted by.
    void sortByTitle(int column);

  private:
    void forgetOrder();
    void noteChoice();
    // The columns that a copy writes, in that order: those shown, then the address.
    std::vector<int> copiedColumns() const;

    ReportRows* model_;
    int chosenRow_ = -1;
    int menuRow_ = -1;
    // A press on a selected row moves the current row at once but leaves the selection to
    // the release (Ctrl takes the row out then): the choice waits for the release.
    bool choiceOnRelease_ = false;
    Qt::KeyboardModifiers doubleClickModifiers_;
    QString emptyText_;
    // The column the rows are sorted by (-1: the vendor's order) and which way.
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
