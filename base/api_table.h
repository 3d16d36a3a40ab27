#pragma once
// ApiTable: the system functions that the program calls by name, bound on first use.
// A row names the library as the program stores it and the function; its address is
// looked up in the platform layer's exports on the first call and cached. A function that
// cannot be found ends the program with the fatal message (fatalError).
#include <atomic>
#include <functional>
#include <string>

namespace api {

struct ApiRow {
    const char* library;  // as stored: "", "kernel32", "kernel32.dll", "wininet.dll", ...
    const char* function;
    std::atomic<void*> address{nullptr};
};

enum ApiId : int {
    kInternetOpenA,
    kInternetCloseHandle,
    kInternetConnectA,
    kHttpOpenRequestA,
    kHttpSendRequestA,
    kInternetReadFile,
    kHttpQueryInfoA,
    kMultiByteToWideChar,
    kWideCharToMultiByte,
    kGetProcessHeap,
    kHeapAlloc,
    kHeapFree,
    kHeapSize,
    kRtlMoveMemory,
    kInitializeCriticalSection,
    kEnterCriticalSection,
    kLeaveCriticalSection,
    kDeleteCriticalSection,
    kCreateThread,
    kCoInitialize,
    kCoUninitialize,
    kApiCount
};

ApiRow& apiRow(ApiId id);

// Looks the row's function up and caches it; on failure shows the fatal message and ends
// the program with exit code -1 (never returns null).
void* bindRow(ApiRow& row);

template <class F>
inline F* bound(ApiId id) {
    ApiRow& row = apiRow(id);
    void* address = row.address.load(std::memory_order_acquire);
    if (!address) address = bindRow(row);
    return reinterpret_cast<F*>(address);
}

// The text of the fatal message for a row that cannot be bound (code page 936).
std::string bindFailureText(const char* library, const char* function);

// Shows a fatal message (code page 936 text) and ends the program with exit code -1.
// The reporter that shows the text can be replaced; the default writes it to stderr as
// UTF-8. The program installs one that shows a message box.
using FatalReporter = std::function<void(const std::string& gbkText)>;
void setFatalReporter(FatalReporter reporter);
[[noreturn]] void fatalError(const std::string& gbkMessage);

}  // namespace api
