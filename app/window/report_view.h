#pragma once
// A report-style list view: fixed columns with titles, widths and alignments, rows of
// texts. Result lists reach thousands of rows, so rows live in a plain table model (no
// item objects) and the view assumes uniform row heights.
#include <QAbstractTableModel>
#include <QByteArray>
#include <QTreeView>
#include <map>
#include <string>
#include <vector>

struct ReportColumn {
    QString title;
    int width;
    Qt::Alignment alignment;
};

class ReportModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ReportModel(std::vector<ReportColumn> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<ReportColumn>& columns() const { return columns_; }
    int addRow(std::vector<QString> cells);
    void addRows(std::vector<std::vector<QString>> rows);
    void setCell(int row, int column, const QString& text);
    QString cell(int row, int column) const;
    void clearRows();
    // A row's tooltip in place of its cell texts (what a link check found, say); an empty
    // note gives the cells back. Notes go with the rows when the list is cleared.
    void setRowNote(int row, const QString& note);

  private:
    std::vector<ReportColumn> columns_;
    std::vector<std::vector<QString>> rows_;
    std::map<int, QString> notes_;
};

class ReportView : public QTreeView {
    Q_OBJECT
  public:
    explicit ReportView(std::vector<ReportColumn> columns, QWidget* parent = nullptr);

    ReportModel* reportModel() const { return model_; }
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

    // The untitled column that holds each row's download address, -1 when there is none.
    int addressColumn() const;
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

    // The whole list as a CSV file: UTF-8 with a byte order mark, a header line with the
    // column titles and "下载地址", every row in list order, RFC 4180 quoting.
    QByteArray csvText() const;
    // Writes csvText to `path` whole or not at all; on failure `reason` says why.
    bool writeCsv(const QString& path, QString* reason) const;

    void setRowNote(int row, const QString& note) { model_->setRowNote(row, note); }

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
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void noteChoice();
    // The columns that a copy or an export writes, in that order: every column but the
    // address (with `shownOnly`, only those with a visible width), then the address.
    std::vector<int> columnsAddressLast(bool shownOnly) const;

    ReportModel* model_;
    int chosenRow_ = -1;
    int menuRow_ = -1;
    // A press on a selected row moves the current row at once but leaves the selection to
    // the release (Ctrl takes the row out then): the choice waits for the release.
    bool choiceOnRelease_ = false;
};
