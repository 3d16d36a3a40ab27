#pragma once
// Character references in values cut out of XML and HTML replies. The services escape "&",
// "<" and quotes in addresses and descriptions the way their pages must, so a value taken
// as it stands reads "a.kdz?ver=2&amp;src=b2c" where the page meant "a.kdz?ver=2&src=b2c".
#include <string>
#include <string_view>

namespace net {

// `text` (GBK) with its character references replaced, in one pass (a reference that the
// replacement spells out is not read again: "&amp;lt;" gives "&lt;"):
//  - the five XML names (amp, lt, gt, quot, apos) and the HTML names that vendor pages use
//    (nbsp and the other spaces, copy, reg, middot, the dashes and quotes, ...), each with
//    its closing ";";
//  - decimal "&#38;" and hexadecimal "&#x26;" references.
// A character without a GBK form becomes "?", as in utf8ToText, except the spaces, which
// become " ". What is not a complete reference stays as it stands: an unknown name, a
// missing ";", a number that is no character (0, a surrogate, past U+10FFFF, too long).
// Time is linear in the text; a reference is looked for at most a few bytes ahead.
std::string decodeEntities(std::string_view text);

}  // namespace net
