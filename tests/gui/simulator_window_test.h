#pragma once
// Fixture of the page tests: the suite's vendor simulator (SimulatorTest) and a fresh,
// exposed main window per test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

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
