#pragma once
// romhaul-lookup download: each address into a folder, one after another, through the
// download engine; a progress line on a terminal and one line per finished file.
#include <functional>
#include <string>
#include <vector>

#include "cli/terminal.h"

namespace lookup {

struct DownloadRequest {
    std::string folder = ".";
    int connections = 4;
    std::vector<std::string> urls;
};

// Exit statuses beyond the look-ups' own (0 complete, 3 network or service failure).
constexpr int kLocalFailure = 4;  // no space, cannot write
constexpr int kInterrupted = 130;

// Downloads every address; `message` takes one UTF-8 line for standard error. Returns 0
// when every file is complete and verified, else the worst failure's status (130 once
// Ctrl-C stopped it with the state saved).
int runDownloads(const DownloadRequest& request, ProgressLine& progress,
                 const std::function<void(const std::string&)>& message);

// An address the downloader takes (http or https, no spaces or control bytes).
bool isDownloadAddress(const std::string& url);

}  // namespace lookup
