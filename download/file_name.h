#pragma once
// Where a download lands: the name a server suggests or the address implies, reduced to a
// plain file name that cannot leave the folder or hide itself.
#include <string>
#include <string_view>

namespace download {

// The file name of a Content-Disposition value (filename* in UTF-8 first, then filename),
// "" when it names none.
std::string nameFromContentDisposition(std::string_view value);

// The last path segment of an address, percent-decoded, without query or fragment.
std::string nameFromUrl(std::string_view url);

// A plain file name: no '/', '\\' or control bytes, not "." or "..", no leading dots or
// spaces, at most kMaxNameBytes bytes of whole UTF-8 characters (the extension kept);
// "download" when nothing is left.
std::string safeFileName(std::string_view name);
constexpr std::size_t kMaxNameBytes = 200;

// "NAME (n).ext" for the n-th alternative of NAME ("NAME" itself for n == 0).
std::string numberedName(const std::string& name, int n);

}  // namespace download
