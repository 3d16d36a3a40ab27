#pragma once
// What a reply's header block tells about the file behind an address, read without the
// body: the status, the announced length and the date of the last change.
#include <cstdint>
#include <string>
#include <string_view>

namespace net {

struct ReplyHead {
    int status = 0;                   // the HTTP status; 0 without a readable status line
    std::int64_t contentLength = -1;  // -1 when absent or unreadable
    std::string lastModified;         // as the server wrote it; "" when absent or not a date
};

// Reads a raw reply header block as fetchUrl hands it back: the status line, then header
// lines, CR LF line ends. The block is the server's text: anything malformed reads as
// absent, the first of repeated headers counts.
ReplyHead readReplyHead(std::string_view replyHeaders);

}  // namespace net
