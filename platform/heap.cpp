#include "platform/heap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

// Under a sanitizer the heap belongs to the sanitizer's allocator: glibc's arenas are never
// set up, and malloc_trim from several job threads at once races on their lazy set-up and
// reads through a null arena. There is nothing of glibc's to give back there anyway.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ROMHAUL_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define ROMHAUL_SANITIZED_HEAP 1
#endif
#endif
#ifndef ROMHAUL_SANITIZED_HEAP
#define ROMHAUL_SANITIZED_HEAP 0
#endif

namespace win {
namespace {
// Each block carries its requested size in front so that HeapSize answers exactly.
// 16 bytes keep the payload aligned for any scalar.
constexpr SIZE_T kHeader = 16;
int processHeapTag;
}  // namespace

HANDLE GetProcessHeap() {
    return &processHeapTag;
}

LPVOID HeapAlloc(HANDLE, DWORD, SIZE_T bytes) {
    if (bytes > SIZE_T(-1) - kHeader) return nullptr;
    auto* raw = static_cast<unsigned char*>(std::calloc(1, bytes + kHeader));
    if (!raw) return nullptr;
    std::memcpy(raw, &bytes, sizeof bytes);
    return raw + kHeader;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID block) {
    if (!block) return TRUE;
    std::free(static_cast<unsigned char*>(block) - kHeader);
    return TRUE;
}

SIZE_T HeapSize(HANDLE, DWORD, LPCVOID block) {
    if (!block) return SIZE_T(-1);
    SIZE_T bytes;
    std::memcpy(&bytes, static_cast<const unsigned char*>(block) - kHeader, sizeof bytes);
    return bytes;
}

void RtlMoveMemory(void* destination, const void* source, SIZE_T bytes) {
    if (bytes) std::memmove(destination, source, bytes);
}

}  // namespace win

namespace platform {

void adviseLargeBuffer(void* data, win::SIZE_T bytes) {
    constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
    if (!data || bytes < 4 * kLargePage) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kLargePage - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void releaseFreeMemory() {
#if !ROMHAUL_SANITIZED_HEAP
    malloc_trim(0);
#endif
}

}  // namespace platform
