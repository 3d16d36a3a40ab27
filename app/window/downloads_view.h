#pragma once
// The downloads page's controls: one row per download (name, size, a progress bar, speed,
// time left, state) and the commands on the selected rows, as buttons below the list and
// in its context menu. The view only shows what the downloads page routine
// (app/pages/downloads_page.h) writes into it; the handlers connect the buttons.
#include <QPushButton>
#include <QString>
#include <QTreeWidget>
#include <QWidget>
#include <vector>

// What one row shows. percent < 0: the length is not known yet (a busy bar while it runs).
struct DownloadRowText {
    QString name;
    QString size;
    int percent = -1;
    QString speed;
    QString timeLeft;
    QString state;
    QString toolTip;         // the full path, the failure reason
    bool running = false;    // pause applies
    bool resumable = false;  // paused, failed or waiting: resume applies
};

class DownloadsView : public QWidget {
    Q_OBJECT
  public:
    enum Column { kName, kSize, kProgress, kSpeed, kTimeLeft, kState, kColumnCount };

    explicit DownloadsView(QWidget* parent = nullptr);

    int rowCount() const;
    // Appends an empty row; returns its index.
    int addRow();
    void setRow(int row, const DownloadRowText& text);
    void removeRow(int row);
    // Selected rows in list order.
    std::vector<int> selectedRows() const;
    void selectRow(int row);

    QTreeWidget* list;
    QPushButton* pauseButton;
    QPushButton* resumeButton;
    QPushButton* cancelButton;
    QPushButton* removeButton;
    QPushButton* folderButton;
    QPushButton* copyHashButton;

  private:
    void updateButtons();
};
