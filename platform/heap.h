#pragma once
// Process heap stand-in: zero-filled blocks whose size can be asked for later.
#include "platform/win_types.h"

namespace win {

HANDLE GetProcessHeap();
// Blocks are always zero-filled, whatever the flags say; callers rely on it.
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
// The size that was asked for at allocation; (SIZE_T)-1 for a null block.
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);
void RtlMoveMemory(void* destination, const void* source, SIZE_T bytes);

}  // namespace win

namespace platform {

// Asks for large pages behind a big buffer that is about to be filled: faulting a body of
// tens of megabytes in 4 KiB pages costs more than receiving it over loopback. A hint
// only; small buffers are left alone.
void adviseLargeBuffer(void* data, win::SIZE_T bytes);

// Hands the free memory of every heap arena back to the system. Each job thread allocates
// from an arena of its own, and what a finished look-up freed there would otherwise stay
// resident for good, growing with every look-up until each arena holds its high mark.
void releaseFreeMemory();

}  // namespace platform
