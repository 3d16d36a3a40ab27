#pragma once
// Fixture of the tests that talk to the services: one vendor simulator on loopback for the
// whole suite, with the program's service hosts (the ROMHAUL_* variables) pointed at it.
#include <gtest/gtest.h>

#include "tools/vendor-sim/simulator.h"

class SimulatorTest : public ::testing::Test {
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

    static inline vendorsim::Simulator* sim = nullptr;
};
