#include "base/error_log.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

TEST(ErrorLog, RingKeepsTheNewest32) {
    ErrorLog log;
    EXPECT_EQ(log.newest(), 32);
    EXPECT_EQ(log.latest(), "");
    for (int i = 1; i <= 33; ++i) log.push("e" + std::to_string(i));
    EXPECT_EQ(log.newest(), 31);
    EXPECT_EQ(log.slot(31), "e33");
    EXPECT_EQ(log.slot(32), "e32");
    for (int s = 1; s <= 30; ++s) EXPECT_EQ(log.slot(s), "e" + std::to_string(32 - s)) << s;
    for (int s = 1; s <= 32; ++s) EXPECT_NE(log.slot(s), "e1");
    EXPECT_EQ(log.latest(), "e33");
    log.clear();
    EXPECT_EQ(log.newest(), 32);
    EXPECT_EQ(log.slot(31), "");
}

TEST(ErrorLog, ZeroCapacityIgnoresPushesAndConcurrentPushesAreSafe) {
    ErrorLog none(0);
    none.push("x");
    EXPECT_EQ(none.latest(), "");
    ErrorLog log;
    std::thread a([&] {
        for (int i = 0; i < 1000; ++i) log.push("a");
    });
    std::thread b([&] {
        for (int i = 0; i < 1000; ++i) log.push("b");
    });
    a.join();
    b.join();
    EXPECT_EQ(log.newest(), 32 - (2000 % 32 == 0 ? 0 : 2000 % 32));
}

}  // namespace
