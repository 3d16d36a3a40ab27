#pragma once
// Fixture of the page tests: the suite's vendor simulator (SimulatorTest) and a fresh,
// exposed main window per test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "app/window/jobs.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/simulator_test.h"

class SimulatorWindowTest : public SimulatorTest {
  protected:
    void openWindow() {
        ASSERT_TRUE(openMainWindow(window));
        QApplication::processEvents();
    }

    std::unique_ptr<MainWindow> window;
};

// The window opens before each test and closes after it. No job may outlive its test: a
// stray one would write into the next test's window, so closing waits up to `jobsEndMs`
// for the jobs to end.
class OpenWindowTest : public SimulatorWindowTest {
  protected:
    explicit OpenWindowTest(int jobsEndMs) : jobsEndMs_(jobsEndMs) {}
    void SetUp() override {
        SimulatorWindowTest::SetUp();
        openWindow();
    }
    void TearDown() override {
        window.reset();
        EXPECT_TRUE(waitFor([] { return runningJobs() == 0; }, jobsEndMs_));
        QApplication::processEvents();
    }

  private:
    int jobsEndMs_;
};
