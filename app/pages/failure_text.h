#pragma once
// How the window words a failed look-up: one message that names the service and the
// reason. The one table of these words for the window; the command-line tool has its own.
#include <string>

#include "vendors/lookup.h"
#include "vendors/service_hosts.h"

// "LG 服务请求失败（csmg.lgmobile.com:9002）：网络错误：Couldn't connect to server", in the
// window's language (code page 936 bytes, like the program's texts).
std::string lookupFailureMessage(VendorService service, const Failure& failure);
