#pragma once
// Where the user picks a file to save to. Every save goes through chooseSaveFile, which a
// test can replace with a chooser of its own (as the message boxes are replaced), so that
// no test ever waits on a real file dialog.
#include <QString>
#include <functional>

class QWidget;

// Returns the chosen path, empty when the user cancelled. `suggested` is a path whose
// folder the dialog opens in and whose file name it offers.
QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& suggested,
                       const QString& filter);

using SaveFileChooser = std::function<QString(const QString& suggested)>;
// Installs a chooser (empty: the real dialog) and returns the one installed before.
SaveFileChooser setSaveFileChooser(SaveFileChooser chooser);
