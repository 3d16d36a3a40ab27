// A reply's header block on arbitrary bytes: the status stays a real status, the length is
// a length or absent, and the date is short printable text or absent.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/reply_head.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string block(reinterpret_cast<const char*>(data), size);
    const net::ReplyHead head = net::readReplyHead(block);
    if (head.status != 0 && (head.status < 100 || head.status > 599)) std::abort();
    if (head.contentLength < -1) std::abort();
    if (!head.status && (head.contentLength != -1 || !head.lastModified.empty())) std::abort();
    if (head.lastModified.size() > 64) std::abort();
    for (char c : head.lastModified)
        if (c < 0x20 || c > 0x7E) std::abort();
    return 0;
}
