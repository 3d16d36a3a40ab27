#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/com.h"
#include "platform/heap.h"
#include "platform/lock.h"
#include "platform/thread.h"

namespace {

TEST(Heap, BlocksAreZeroFilledAndKnowTheirSize) {
    win::HANDLE heap = win::GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    for (win::SIZE_T n : {win::SIZE_T(0), win::SIZE_T(1), win::SIZE_T(20), win::SIZE_T(100000)}) {
        auto* p = static_cast<unsigned char*>(win::HeapAlloc(heap, win::HEAP_ZERO_MEMORY, n));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(win::HeapSize(heap, 0, p), n);
        for (win::SIZE_T i = 0; i < n; ++i) ASSERT_EQ(p[i], 0);
        std::memset(p, 0xAB, n);
        EXPECT_TRUE(win::HeapFree(heap, 0, p));
    }
    EXPECT_EQ(win::HeapAlloc(heap, 0, win::SIZE_T(-1)), nullptr);
    char buf[] = "abcdef";
    win::RtlMoveMemory(buf + 1, buf, 4);  // overlapping, as memmove
    EXPECT_STREQ(buf, "aabcdf");
}

TEST(Com, InitialisationIsCountedPerThread) {
    EXPECT_EQ(win::comInitDepth(), 0);
    EXPECT_EQ(win::CoInitialize(nullptr), win::S_OK);
    EXPECT_EQ(win::CoInitialize(nullptr), win::S_FALSE);
    int other = -1;
    std::thread([&] { other = win::comInitDepth(); }).join();
    EXPECT_EQ(other, 0);
    win::CoUninitialize();
    win::CoUninitialize();
    win::CoUninitialize();  // unbalanced: must not go below zero
    EXPECT_EQ(win::comInitDepth(), 0);
}

std::atomic<int> ran{0};
win::DWORD job(win::LPVOID parameter) {
    ran.fetch_add(*static_cast<int*>(parameter));
    return 0;
}

TEST(Thread, StartsWithoutWaitingAndCriticalSectionExcludes) {
    static int one = 1;
    ran = 0;
    win::DWORD id = 0;
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(win::CreateThread(nullptr, 0, job, &one, 0, &id), nullptr);
    EXPECT_NE(id, 0u);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ran.load() < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(ran.load(), 4);
    EXPECT_EQ(win::CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);

    win::CRITICAL_SECTION cs;
    win::InitializeCriticalSection(&cs);
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            win::EnterCriticalSection(&cs);
            ++counter;
            win::LeaveCriticalSection(&cs);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    win::DeleteCriticalSection(&cs);
    EXPECT_EQ(counter, 40000);
}

}  // namespace
