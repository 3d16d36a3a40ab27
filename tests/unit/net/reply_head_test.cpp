// The header block of a reply read for its status, length and date: server text, so
// whatever is malformed reads as absent.
#include <gtest/gtest.h>

#include <cstdint>

#include "net/reply_head.h"

namespace {

TEST(ReplyHead, ReadsStatusLengthAndDateAndDropsWhatIsMalformed) {
    struct Case {
        const char* headers;
        int status;
        std::int64_t size;
        const char* date;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 1024\r\nLast-Modified: Tue, 03 Mar 2015 08:00:00 "
         "GMT\r\n\r\n",
         200, 1024, "Tue, 03 Mar 2015 08:00:00 GMT"},
        {"http/1.0 404\r\ncontent-length:7\r\n", 404, 7, ""},
        {"HTTP/2 200\r\nCONTENT-LENGTH:  999999999999999999 \r\n", 200, 999999999999999999, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 9999999999999999999\r\n", 200, -1, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\nContent-Length: 6\r\n", 200, -1, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\nLast-Modified: \xB9\xCC\r\n", 200, -1, ""},
        {"HTTP/1.1 200 OK\r\nLast-Modified: "
         "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r\n",
         200, -1, ""},
        {"HTTP/1.1 2000 OK\r\nContent-Length: 1\r\n", 0, -1, ""},
        {"HTTP/1.1 99 Odd\r\n", 0, -1, ""},
        {"HTTP/1.1\r\n", 0, -1, ""},
        {"Content-Length: 1\r\n", 0, -1, ""},
        {"                                  ", 0, -1, ""},
        {"", 0, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        const net::ReplyHead head = net::readReplyHead(c.headers);
        EXPECT_EQ(head.status, c.status);
        EXPECT_EQ(head.contentLength, c.size);
        EXPECT_EQ(head.lastModified, c.date);
    }
}

}  // namespace
