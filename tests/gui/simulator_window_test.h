#pragma once
// Fixture of the page tests: one vendor simulator on loopback for the whole suite, with
// the program's service hosts pointed at it, and a fresh, exposed main window per test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "tests/gui/gui_test_support.h"
#include "tools/vendor-sim/simulator.h"

class SimulatorWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sim = new vendorsim::Simulator;
        ASSERT_TRUE(sim->start()) << sim->error();
        sim->exportEnvironment();
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    // Knobs and the request log start clean, so each test sees only its own requests.
    void SetUp() override {
        ASSERT_TRUE(sim && sim->running());
        sim->resetKnobs();
        sim->clearRequests();
    }
    void openWindow() {
        ASSERT_TRUE(openMainWindow(window));
        QApplication::processEvents();
    }

    static inline vendorsim::Simulator* sim = nullptr;
    std::unique_ptr<MainWindow> window;
};
