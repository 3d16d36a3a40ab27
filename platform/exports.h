#pragma once
// The functions that the platform layer exports by name, grouped by the system library
// whose place they take. The program binds them at run time by library and function name.
#include <string_view>

namespace platform {

struct ExportRow {
    const char* function;
    void* address;
};

struct ExportModule {
    const char* name;  // library name without ".dll", lower case
    const ExportRow* rows;
    int count;
};

// The address of `function` in `library` as the program stores the library name
// ("kernel32.dll", "kernel32", "wininet.dll", ...; letter case and ".dll" do not matter).
// An empty library name searches every module in turn. Null when there is no such export.
void* findExport(std::string_view library, std::string_view function);

}  // namespace platform
