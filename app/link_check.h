#pragma once
// Checking a download address before the download starts: one HEAD request that tells
// whether the file is there, how large it is and when it last changed, without fetching it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct LinkCheck {
    int status = 0;            // the reply's HTTP status; 0 when no reply came
    std::int64_t size = -1;    // Content-Length; -1 when absent or unreadable
    std::string lastModified;  // Last-Modified as the server wrote it; "" when absent
};

// Only web addresses can be asked for their headers: http:// and https://, any letter case.
bool isCheckableAddress(std::string_view address);

// Reads a raw reply header block: the status line, then header lines, CR LF line ends.
// The block is the server's text: anything malformed reads as absent.
LinkCheck readLinkReply(std::string_view replyHeaders);

// Sends the HEAD request and reads its reply; blocks until the reply or the time-out.
LinkCheck checkLink(std::string_view address);

// What the user reads (code page 936): the address, then whether it can be reached with
// the HTTP status, then the size in MB or GB and the date when the reply gave them.
std::string linkCheckText(std::string_view address, const LinkCheck& check);

// Checks `address` on a job, so that the window stays free, and hands the answer text to
// `onAnswer` on the window thread. An address that cannot be checked is answered at once
// without a request. Once the window has gone no answer arrives.
void startLinkCheck(std::string address, std::function<void(const std::string& answer)> onAnswer);
