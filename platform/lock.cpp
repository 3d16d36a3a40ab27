#include "platform/lock.h"

#include <new>

namespace win {
namespace {
std::mutex* mutexOf(CRITICAL_SECTION* section) {
    return std::launder(reinterpret_cast<std::mutex*>(section->storage));
}
}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    new (section->storage) std::mutex;
}
void EnterCriticalSection(CRITICAL_SECTION* section) {
    mutexOf(section)->lock();
}
void LeaveCriticalSection(CRITICAL_SECTION* section) {
    mutexOf(section)->unlock();
}
void DeleteCriticalSection(CRITICAL_SECTION* section) {
    mutexOf(section)->~mutex();
}

}  // namespace win
