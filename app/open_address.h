#pragma once
// Hands a download address to the default browser through the shell's "open".
#include <string_view>

// Addresses come from vendor replies, so only web and FTP addresses (any letter case) are
// handed on: anything else, a local path, "file:" or a scheme that starts a program, and
// the empty text, is dropped. Returns whether the address went to the shell.
bool openAddress(std::string_view address);

// The test behind openAddress: does the address start with http://, https:// or ftp://?
bool isOpenableAddress(std::string_view address);

// Makes the shell's "open" hand addresses to the desktop's default browser, unless an
// opener is installed already.
void installBrowserOpener();
