#pragma once
// An input box's recent inputs: a completer while typing and a drop-down button inside
// the box (or the Down key in an empty box), kept in the settings between runs. Extra
// suggestions (the demo's known inputs) follow the box's own inputs.
#include <QLineEdit>
#include <QObject>
#include <QString>
#include <QStringList>

class QCompleter;
class QStringListModel;

class InputHistory : public QObject {
    Q_OBJECT
  public:
    InputHistory(QLineEdit* box, QString key, QStringList suggestions = {});

    // Notes the box's text as its newest input.
    void remember();
    // The inputs offered, newest first, then the suggestions not among them.
    QStringList offered() const;
    // Shows every input offered under the box.
    void dropDown();
    QCompleter* completer() const { return completer_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void reload();

    QLineEdit* box_;
    QString key_;
    QStringList suggestions_;
    QStringListModel* model_;
    QCompleter* completer_;
};

// The demo's known inputs of a page ("huawei", "zte", "coolpad", "lg"), from
// ROMHAUL_DEMO_INPUTS ("huawei=P6,Mate 7;lg=..."), which the vendor simulator prints.
QStringList demoInputs(const char* page);

// The history of a box, once attached; null otherwise.
InputHistory* inputHistoryOf(const QLineEdit* box);
