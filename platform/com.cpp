#include "platform/com.h"

namespace win {
namespace {
thread_local int depth = 0;
}

HRESULT CoInitialize(void*) {
    return depth++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (depth > 0) --depth;
}

int comInitDepth() {
    return depth;
}

}  // namespace win
