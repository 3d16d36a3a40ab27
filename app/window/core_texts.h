#pragma once
// The texts that reach the window from below app/ (the vendor cores' messages and list
// entries, the About constants, the start-up's and the document reader's failures), as
// translation sources: uiText() finds them by their Chinese text.
#include <vector>

const std::vector<const char*>& coreTexts();
