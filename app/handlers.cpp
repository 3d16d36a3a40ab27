#include "app/handlers.h"

#include "app/main_window.h"
#include "app/startup.h"

void bindHandlers(MainWindow& w) {
    QObject::connect(&w, &MainWindow::created, &w, [] { onMainWindowCreated(); });
}
