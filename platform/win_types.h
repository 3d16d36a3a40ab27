#pragma once
// The handful of Windows types that the program's system calls are spelled in. The program
// was conceived against these interfaces; keeping their shapes keeps callers honest about
// sizes, flags and ownership.
#include <cstddef>
#include <cstdint>

namespace win {

using BOOL = int;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using SIZE_T = std::size_t;
using HRESULT = std::int32_t;
using HANDLE = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using WCHAR = char16_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;

constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_GBK = 936;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD WC_COMPOSITECHECK = 0x00000200;

}  // namespace win
