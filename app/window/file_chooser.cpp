#include "app/window/file_chooser.h"

#include <QFileDialog>

namespace {

SaveFileChooser& installed() {
    static SaveFileChooser chooser;
    return chooser;
}

}  // namespace

QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& suggested,
                       const QString& filter) {
    if (installed()) return installed()(suggested);
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

SaveFileChooser setSaveFileChooser(SaveFileChooser chooser) {
    SaveFileChooser previous = std::move(installed());
    installed() = std::move(chooser);
    return previous;
}
