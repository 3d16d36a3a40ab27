#pragma once
// A report-style list view: fixed columns with titles, widths and alignments, rows of
// texts. Result lists reach thousands of rows, so rows live in a plain table model (no
// item objects) and the view assumes uniform row heights.
#include <QAbstractTableModel>
#include <QTreeView>
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

  private:
    std::vector<ReportColumn> columns_;
    std::vector<std::vector<QString>> rows_;
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

  signals:
    // A new current row, from a click, the keyboard or setCurrentRow (clearing the list
    // drops the current row without this signal).
    void currentRowChanged(int row);
    // A row was double-clicked; the current row is already that row.
    void rowDoubleClicked(int row);

  private:
    ReportModel* model_;
};
