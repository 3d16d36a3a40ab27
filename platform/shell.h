#pragma once
// Shell "open": hand an address to the user's default browser without waiting for it.
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace win {

// The opener receives the address as UTF-8. The window program installs the desktop's
// browser opener at start-up; until then, and without one, nothing is opened.
using ShellOpener = std::function<bool(const std::string& utf8Address)>;

// Installs the opener (the program's browser opener, or a recorder in tests); an empty
// function leaves none.
// Returns the opener that was installed before.
ShellOpener setShellOpener(ShellOpener opener);

// ShellExecuteA reduced to what the program uses: verb "open" on an address given in the
// system code page. Returns a value above 32 on success, as the shell does.
std::intptr_t ShellExecuteA(void* owner, const char* verb, const char* file, const char* parameters,
                            const char* directory, int show);

}  // namespace win
