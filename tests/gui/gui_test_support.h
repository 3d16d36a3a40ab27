#pragma once
// Helpers for GUI tests: record message boxes and shell opens instead of showing them.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QString>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/window/file_chooser.h"
#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "base/message_box.h"
#include "platform/codepage.h"
#include "platform/shell.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Records every message box text (as UTF-8) while it lives; restores the presenter after.
class MessageRecorder {
  public:
    MessageRecorder()
        : previous_(setMessageBoxPresenter([this](const std::string& gbkText) {
              texts_.push_back(codepage::gbkToUtf8(gbkText));
          })) {}
    ~MessageRecorder() { setMessageBoxPresenter(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    const std::vector<std::string>& texts() const { return texts_; }

  private:
    std::vector<std::string> texts_;
    MessageBoxPresenter previous_;
};

// Records every address handed to the shell's "open" (as UTF-8) while it lives.
class OpenRecorder {
  public:
    OpenRecorder()
        : previous_(win::setShellOpener([this](const std::string& utf8Address) {
              addresses_.push_back(utf8Address);
              return true;
          })) {}
    ~OpenRecorder() { win::setShellOpener(previous_); }
    OpenRecorder(const OpenRecorder&) = delete;
    OpenRecorder& operator=(const OpenRecorder&) = delete;
    const std::vector<std::string>& addresses() const { return addresses_; }

  private:
    std::vector<std::string> addresses_;
    win::ShellOpener previous_;
};

// Answers every save dialog with `answer` while it lives (empty: the user cancels) and
// records the paths the dialogs suggested.
class SaveDialogStub {
  public:
    explicit SaveDialogStub(QString answer)
        : previous_(setSaveFileChooser([this, answer](const QString& suggested) {
              suggestions_.push_back(suggested);
              return answer;
          })) {}
    ~SaveDialogStub() { setSaveFileChooser(previous_); }
    SaveDialogStub(const SaveDialogStub&) = delete;
    SaveDialogStub& operator=(const SaveDialogStub&) = delete;
    const std::vector<QString>& suggestions() const { return suggestions_; }

  private:
    std::vector<QString> suggestions_;
    SaveFileChooser previous_;
};

// Polls the event loop until `done` holds or the deadline passes.
template <class Predicate>
bool waitFor(Predicate done, int milliseconds = 5000) {
    return QTest::qWaitFor(done, milliseconds);
}

// Look-ups run on jobs: waits until every job has ended and what they handed to the window
// has run, polling the event loop meanwhile (the window keeps working). What a job hands
// over may start the next job (the iPhone type list starts the list fill), which may end
// before the wait looks again, so the wait lasts until no job runs and nothing handed over
// waits. A job hands over its last call before it ends.
inline bool waitForLookups(int milliseconds = 10000) {
    QDeadlineTimer deadline(milliseconds);
    do {
        if (!QTest::qWaitFor([] { return runningJobs() == 0; }, int(deadline.remainingTime())))
            return false;
        QCoreApplication::processEvents();
    } while (runningJobs() != 0 || !windowCalls().idle());
    return true;
}

// Showing the ZTE or iPhone page loads its data. Tests that only look at the window point
// every service at a loopback port where nothing listens, so those loads fail at once and
// never leave the machine; the ZTE page then shows its error message, which such a test
// records.
inline void pointServicesAtNothing() {
    for (const char* variable :
         {"ROMHAUL_HUAWEI_HOST", "ROMHAUL_ZTE_HOST", "ROMHAUL_COOLPAD_HOST", "ROMHAUL_LG_HOST"})
        setenv(variable, "127.0.0.1:9", 1);
    setenv("ROMHAUL_IPHONE_BASE", "http://127.0.0.1:9/", 1);
}

// Loads the main window into `window`, shows it and waits until it is on screen and active.
inline ::testing::AssertionResult openMainWindow(std::unique_ptr<MainWindow>& window) {
    window.reset(loadMainWindow());
    if (!window) return ::testing::AssertionFailure() << "the main window did not load";
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return ::testing::AssertionFailure() << "the main window was never exposed";
    window->activateWindow();
    return ::testing::AssertionSuccess();
}
