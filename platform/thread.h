#pragma once
// Thread start stand-in: the thread runs at once and nobody waits for it.
#include "platform/win_types.h"

namespace win {

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

// Returns a non-null token on success (there is nothing to close), null when the thread
// could not be started. The thread id, when asked for, is a process-unique number.
HANDLE CreateThread(void* security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD* threadId);

}  // namespace win
