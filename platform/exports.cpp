#include "platform/exports.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/heap.h"
#include "platform/lock.h"
#include "platform/thread.h"
#include "platform/wininet.h"

namespace platform {
namespace {

template <class F>
void* address(F* function) {
    return reinterpret_cast<void*>(function);
}

const ExportRow kernel32Rows[] = {
    {"GetProcessHeap", address(&win::GetProcessHeap)},
    {"HeapAlloc", address(&win::HeapAlloc)},
    {"HeapFree", address(&win::HeapFree)},
    {"HeapSize", address(&win::HeapSize)},
    {"RtlMoveMemory", address(&win::RtlMoveMemory)},
    {"InitializeCriticalSection", address(&win::InitializeCriticalSection)},
    {"EnterCriticalSection", address(&win::EnterCriticalSection)},
    {"LeaveCriticalSection", address(&win::LeaveCriticalSection)},
    {"DeleteCriticalSection", address(&win::DeleteCriticalSection)},
    {"MultiByteToWideChar", address(&win::MultiByteToWideChar)},
    {"WideCharToMultiByte", address(&win::WideCharToMultiByte)},
    {"CreateThread", address(&win::CreateThread)},
};

const ExportRow ole32Rows[] = {
    {"CoInitialize", address(&win::CoInitialize)},
    {"CoUninitialize", address(&win::CoUninitialize)},
};

const ExportRow wininetRows[] = {
    {"InternetOpenA", address(&win::InternetOpenA)},
    {"InternetConnectA", address(&win::InternetConnectA)},
    {"HttpOpenRequestA", address(&win::HttpOpenRequestA)},
    {"HttpSendRequestA", address(&win::HttpSendRequestA)},
    {"InternetReadFile", address(&win::InternetReadFile)},
    {"HttpQueryInfoA", address(&win::HttpQueryInfoA)},
    {"InternetCloseHandle", address(&win::InternetCloseHandle)},
};

const ExportModule modules[] = {
    {"kernel32", kernel32Rows, int(std::size(kernel32Rows))},
    {"ole32", ole32Rows, int(std::size(ole32Rows))},
    {"wininet", wininetRows, int(std::size(wininetRows))},
};

std::string moduleKey(std::string_view library) {
    std::string key(library);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) key.resize(key.size() - 4);
    return key;
}

void* findIn(const ExportModule& module, std::string_view function) {
    for (int i = 0; i < module.count; ++i)
        if (function == module.rows[i].function) return module.rows[i].address;
    return nullptr;
}

}  // namespace

void* findExport(std::string_view library, std::string_view function) {
    const std::string key = moduleKey(library);
    for (const ExportModule& module : modules) {
        if (!key.empty() && key != module.name) continue;
        if (void* found = findIn(module, function)) return found;
    }
    return nullptr;
}

}  // namespace platform
