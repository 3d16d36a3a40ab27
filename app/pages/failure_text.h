#pragma once
// How the window words a failed look-up: one message that names the service and the
// reason; and a list that may be incomplete although nothing failed. The one table of
// these words for the window; the command-line tool has its own.
#include <QString>
#include <string>

#include "vendors/lookup.h"
#include "vendors/service_hosts.h"

class QLabel;

// "LG 服务请求失败（csmg.lgmobile.com:9002）：网络错误：Couldn't connect to server", in the
// window's language (code page 936 bytes, like the program's texts).
std::string lookupFailureMessage(VendorService service, const Failure& failure);

// The status line's note after a look-up that read a reply only in part (`tooComplex`):
// "回复太复杂，未能读完，列表可能不完整。", in the window's language.
QString tooComplexNote();

// Shows `note` on a page's hint line. The line is widened within its group box when the
// note needs more room than it has (English notes are longer than the Chinese ones that
// the line was sized for); it is never made narrower.
void showHintNote(QLabel* line, const QString& note);
