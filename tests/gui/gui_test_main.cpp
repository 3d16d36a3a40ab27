#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

#include "app/window/file_chooser.h"
#include "app/window/settings.h"
#include "base/jobs.h"
#include "base/message_box.h"
#include "platform/codepage.h"

int main(int argc, char** argv) {
    // Test discovery runs the binary without CTest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // The settings of a run live in a folder of its own, never the user's, and choose
    // the program's source language whatever the machine's locale; a test that wants
    // English says so.
    QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    settingsStore()->setValue("language", "zh");
    // A box nobody expected fails the test that raised it instead of waiting for a click.
    setMessageBoxPresenter([](const std::string& gbkText) {
        ADD_FAILURE() << "unexpected message box: " << codepage::gbkToUtf8(gbkText);
    });
    setSaveFileChooser([](const QString& suggested) {
        ADD_FAILURE() << "unexpected file dialog for " << suggested.toStdString();
        return QString();
    });
    const int status = RUN_ALL_TESTS();
    // As the program does at its exit: no job may outlive main() into the destructors of
    // the objects it uses. A test that leaves a look-up running (a page shown at its end
    // starts one) would otherwise end the process under it.
    jobs::stopAll();
    if (!jobs::waitAll(std::chrono::seconds(5))) {
        std::fprintf(stderr, "jobs still running at exit\n");
        return 1;
    }
    return status;
}
