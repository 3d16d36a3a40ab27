// Romhaul takes no command-line arguments of its own; Qt's (-platform ...) still work.
#include <QApplication>

#include "app/startup.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return startProgram();
}
