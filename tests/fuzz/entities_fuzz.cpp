// Character references on arbitrary bytes: the decoded text is never longer than the input
// (every reference is at least as long as what it stands for), a text without "&" comes
// back unchanged, and decoding a second time leaves no "&amp;" that the first pass made.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/entities.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string plain = net::decodeEntities(text);
    if (plain.size() > text.size()) std::abort();
    if (text.find('&') == std::string_view::npos && plain != text) std::abort();
    // "&amp;" spelled with references decodes to itself in one pass, never further.
    const std::string spelled = "&#38;amp;" + std::string(text);
    if (net::decodeEntities(spelled).compare(0, 5, "&amp;") != 0) std::abort();
    return 0;
}
