#include "platform/heap.h"

#include <cstdlib>
#include <cstring>

namespace win {
namespace {
// Each block carries its requested size in front so that HeapSize answers exactly.
// 16 bytes keep the payload aligned for any scalar.
constexpr SIZE_T kHeader = 16;
int processHeapTag;
}  // namespace

HANDLE GetProcessHeap() { return &processHeapTag; }

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
