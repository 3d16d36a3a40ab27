#pragma once
// Checking a download address before the download starts: one HEAD request that tells
// whether the file is there, how large it is and when it last changed, without fetching it.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/jobs.h"
#include "net/reply_head.h"

// Only web addresses can be asked for their headers: http:// and https://, any letter case.
bool isCheckableAddress(std::string_view address);

// Sends the HEAD request and reads its reply; blocks until the reply or the time-out.
net::ReplyHead checkLink(std::string_view address);

// What the user reads (code page 936): the address, then whether it can be reached with
// the HTTP status, then the size in MB or GB and the date when the reply gave them.
std::string linkCheckText(std::string_view address, const net::ReplyHead& check);

// Checks `address` on a job, so that the window stays free, and hands the answer text to
// `onAnswer` on the window thread; gives the job's stop flag. An address that cannot be
// checked, or a check that cannot start, is answered at once (null flag). Once the window
// has gone, or the check has been stopped, no answer arrives.
jobs::StopFlag startLinkCheck(std::string address,
                              std::function<void(const std::string& answer)> onAnswer);

// The checks started from one list or address box. Refilling it stops them: the rows they
// would answer are gone. Window thread only.
class LinkChecks {
  public:
    void start(std::string address, std::function<void(const std::string& answer)> onAnswer);
    void stop();

  private:
    std::vector<std::weak_ptr<std::atomic<bool>>> running_;
};
