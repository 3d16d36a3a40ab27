#pragma once
// Critical sections: a lock held for the whole of one operation. The storage belongs to
// the caller; InitializeCriticalSection and DeleteCriticalSection bracket the lock's life.
#include <mutex>

namespace win {

struct CRITICAL_SECTION {
    alignas(std::mutex) unsigned char storage[sizeof(std::mutex)];
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

}  // namespace win
