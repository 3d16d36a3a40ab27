#pragma once
// Calls into the system functions through their ApiTable rows.
#include "base/api_table.h"
#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/heap.h"
#include "platform/lock.h"
#include "platform/thread.h"
#include "platform/wininet.h"

namespace api {

#define ROMHAUL_API_CALL(name, ...) bound<decltype(win::name)>(k##name)(__VA_ARGS__)

inline win::HANDLE GetProcessHeap() {
    return ROMHAUL_API_CALL(GetProcessHeap);
}
inline win::LPVOID HeapAlloc(win::HANDLE h, win::DWORD f, win::SIZE_T n) {
    return ROMHAUL_API_CALL(HeapAlloc, h, f, n);
}
inline win::BOOL HeapFree(win::HANDLE h, win::DWORD f, win::LPVOID p) {
    return ROMHAUL_API_CALL(HeapFree, h, f, p);
}
inline win::SIZE_T HeapSize(win::HANDLE h, win::DWORD f, win::LPCVOID p) {
    return ROMHAUL_API_CALL(HeapSize, h, f, p);
}
inline void RtlMoveMemory(void* d, const void* s, win::SIZE_T n) {
    ROMHAUL_API_CALL(RtlMoveMemory, d, s, n);
}
inline void InitializeCriticalSection(win::CRITICAL_SECTION* s) {
    ROMHAUL_API_CALL(InitializeCriticalSection, s);
}
inline void EnterCriticalSection(win::CRITICAL_SECTION* s) {
    ROMHAUL_API_CALL(EnterCriticalSection, s);
}
inline void LeaveCriticalSection(win::CRITICAL_SECTION* s) {
    ROMHAUL_API_CALL(LeaveCriticalSection, s);
}
inline void DeleteCriticalSection(win::CRITICAL_SECTION* s) {
    ROMHAUL_API_CALL(DeleteCriticalSection, s);
}
inline int MultiByteToWideChar(win::UINT cp, win::DWORD f, const char* s, int sn, win::WCHAR* d,
                               int dn) {
    return ROMHAUL_API_CALL(MultiByteToWideChar, cp, f, s, sn, d, dn);
}
inline int WideCharToMultiByte(win::UINT cp, win::DWORD f, const win::WCHAR* s, int sn, char* d,
                               int dn, const char* def, win::BOOL* used) {
    return ROMHAUL_API_CALL(WideCharToMultiByte, cp, f, s, sn, d, dn, def, used);
}
inline win::HANDLE CreateThread(void* sec, win::SIZE_T stack, win::LPTHREAD_START_ROUTINE start,
                                win::LPVOID param, win::DWORD flags, win::DWORD* id) {
    return ROMHAUL_API_CALL(CreateThread, sec, stack, start, param, flags, id);
}
inline win::HRESULT CoInitialize(void* reserved) {
    return ROMHAUL_API_CALL(CoInitialize, reserved);
}
inline void CoUninitialize() {
    ROMHAUL_API_CALL(CoUninitialize);
}

// WinINet calls join here with the web access layer.
inline win::HINTERNET InternetOpenA(const char* agent, win::DWORD access, const char* proxy,
                                    const char* bypass, win::DWORD flags) {
    return ROMHAUL_API_CALL(InternetOpenA, agent, access, proxy, bypass, flags);
}
inline win::HINTERNET InternetConnectA(win::HINTERNET session, const char* server,
                                       win::INTERNET_PORT port, const char* user,
                                       const char* password, win::DWORD service, win::DWORD flags,
                                       win::DWORD_PTR context) {
    return ROMHAUL_API_CALL(InternetConnectA, session, server, port, user, password, service, flags,
                            context);
}
inline win::HINTERNET HttpOpenRequestA(win::HINTERNET connection, const char* verb,
                                       const char* object, const char* version,
                                       const char* referrer, const char** acceptTypes,
                                       win::DWORD flags, win::DWORD_PTR context) {
    return ROMHAUL_API_CALL(HttpOpenRequestA, connection, verb, object, version, referrer,
                            acceptTypes, flags, context);
}
inline win::BOOL HttpSendRequestA(win::HINTERNET request, const char* headers, win::DWORD length,
                                  win::LPVOID optional, win::DWORD optionalLength) {
    return ROMHAUL_API_CALL(HttpSendRequestA, request, headers, length, optional, optionalLength);
}
inline win::BOOL InternetReadFile(win::HINTERNET request, win::LPVOID buffer, win::DWORD toRead,
                                  win::DWORD* read) {
    return ROMHAUL_API_CALL(InternetReadFile, request, buffer, toRead, read);
}
inline win::BOOL HttpQueryInfoA(win::HINTERNET request, win::DWORD level, win::LPVOID buffer,
                                win::DWORD* length, win::DWORD* index) {
    return ROMHAUL_API_CALL(HttpQueryInfoA, request, level, buffer, length, index);
}
inline win::BOOL InternetCloseHandle(win::HINTERNET handle) {
    return ROMHAUL_API_CALL(InternetCloseHandle, handle);
}

}  // namespace api
