#pragma once
// Address splitting for the connection and request calls, and the cookie jar: a plain text
// of name=value items separated by "; ", without attributes.
#include <string>
#include <string_view>

namespace net {

// Host of an address, lower-cased; with ":port" when keepPort and the address has one. An
// address without "http://" or "https://" counts as "http://".
std::string urlHost(std::string_view url, bool keepPort = false);
// Explicit port (its leading digits, 0 when there are none), else 443 for "https", else 80.
int urlPort(std::string_view url);
// Path and query from the first "/" after the host, case kept, nothing escaped; "/" when
// there is none.
std::string urlPath(std::string_view url);

// The address that `reference`, as it stands in the page at `base`, points to: RFC 3986
// reference resolution (section 5.2, strict: a reference with a scheme is taken as
// absolute, its dot segments removed). "/a.zip" on the page "http://h/x/y.html" is
// "http://h/a.zip", "b.zip" is "http://h/x/b.zip", "?p=2" is "http://h/x/y.html?p=2". The
// base's fragment is dropped; nothing is escaped or unescaped, bytes stay as they are.
std::string resolveReference(std::string_view base, std::string_view reference);

// The reply's cookies first, in reply order, then the old ones it did not name; a cookie
// whose new value is "deleted" goes. Both variables lose their spaces; returns the new jar,
// also stored in cookieJar.
std::string mergeCookies(std::string& cookieJar, std::string& newCookies);
// The text before the first "=", spaces trimmed.
std::string cookieName(std::string_view item);
// The items of `text` split at `separator`, each kept at its first occurrence only.
std::string dedupeItems(std::string_view text, std::string_view separator);

}  // namespace net
