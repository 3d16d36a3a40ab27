#pragma once
// COM initialisation stand-in. Nothing here needs an apartment, but every CoInitialize
// must still be paired with one CoUninitialize on the same thread; the count lets tests
// check that pairing.
#include "platform/win_types.h"

namespace win {

HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// Number of CoInitialize calls on this thread not yet matched by CoUninitialize.
int comInitDepth();

}  // namespace win
