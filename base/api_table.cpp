#include "base/api_table.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/text_util.h"
#include "platform/codepage.h"
#include "platform/exports.h"

namespace api {
namespace {

ApiRow rows[kApiCount] = {
    {"wininet.dll", "InternetOpenA"},
    {"wininet.dll", "InternetCloseHandle"},
    {"wininet.dll", "InternetConnectA"},
    {"wininet.dll", "HttpOpenRequestA"},
    {"wininet.dll", "HttpSendRequestA"},
    {"wininet.dll", "InternetReadFile"},
    {"wininet.dll", "HttpQueryInfoA"},
    {"kernel32.dll", "MultiByteToWideChar"},
    {"kernel32.dll", "WideCharToMultiByte"},
    {"kernel32", "GetProcessHeap"},
    {"kernel32", "HeapAlloc"},
    {"kernel32", "HeapFree"},
    {"kernel32", "HeapSize"},
    {"kernel32", "RtlMoveMemory"},
    {"kernel32", "InitializeCriticalSection"},
    {"kernel32", "EnterCriticalSection"},
    {"kernel32", "LeaveCriticalSection"},
    {"kernel32", "DeleteCriticalSection"},
    {"", "CreateThread"},
    {"ole32.dll", "CoInitialize"},
    {"ole32.dll", "CoUninitialize"},
};

std::mutex reporterMutex;
FatalReporter& reporter() {
    static FatalReporter r;
    return r;
}

}  // namespace

ApiRow& apiRow(ApiId id) {
    return rows[id];
}

std::string bindFailureText(const char* library, const char* function) {
    const std::string fn = function ? function : "";
    if (!library || !*library) return gbk("无法找到指定DLL库文件中的输出命令“") + fn + gbk("”");
    return gbk("无法找到指定DLL库文件“") + library + gbk("”中的输出命令“") + fn + gbk("”");
}

void* bindRow(ApiRow& row) {
    // No lock: two threads binding one row at once store the same address.
    void* address = platform::findExport(row.library, row.function);
    if (!address) fatalError(bindFailureText(row.library, row.function));
    row.address.store(address, std::memory_order_release);
    return address;
}

void setFatalReporter(FatalReporter r) {
    std::lock_guard lock(reporterMutex);
    reporter() = std::move(r);
}

void fatalError(const std::string& gbkMessage) {
    const std::string text = gbk("运行时出错!\r\n\r\n错误信息：") + gbkMessage + "\r\n";
    FatalReporter r;
    {
        std::lock_guard lock(reporterMutex);
        r = reporter();
    }
    if (r) {
        r(text);
    } else {
        const std::string utf8 = codepage::gbkToUtf8(text);
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
        std::fflush(stderr);
    }
    std::exit(-1);
}

}  // namespace api
