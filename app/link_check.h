#pragma once
// Checking a download address before the download starts: one HEAD request that tells
// whether the file is there, how large it is and when it last changed, without fetching it.
#include <functional>
#include <string>
#include <string_view>

#include "net/reply_head.h"

// Only web addresses can be asked for their headers: http:// and https://, any letter case.
bool isCheckableAddress(std::string_view address);

// Sends the HEAD request and reads its reply; blocks until the reply or the time-out.
net::ReplyHead checkLink(std::string_view address);

// What the user reads (code page 936): the address, then whether it can be reached with
// the HTTP status, then the size in MB or GB and the date when the reply gave them.
std::string linkCheckText(std::string_view address, const net::ReplyHead& check);

// Checks `address` on a job, so that the window stays free, and hands the answer text to
// `onAnswer` on the window thread. An address that cannot be checked is answered at once
// without a request. Once the window has gone no answer arrives.
void startLinkCheck(std::string address, std::function<void(const std::string& answer)> onAnswer);
