#include "platform/thread.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace win {
namespace {
std::atomic<DWORD> nextThreadId{1};
int startedTag;
}  // namespace

HANDLE CreateThread(void*, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    DWORD* threadId) {
    if (!start) return nullptr;
    try {
        std::thread(start, parameter).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    if (threadId) *threadId = nextThreadId.fetch_add(1);
    return &startedTag;
}

}  // namespace win
