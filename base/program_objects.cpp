#include "base/program_objects.h"

#include <atomic>
#include <mutex>

#include "base/api.h"
#include "base/error_log.h"

namespace {

std::mutex parseErrorMutex;
std::string& parseErrorText() {
    static std::string text;
    return text;
}

std::atomic<win::HANDLE> heapHandle{nullptr};

}  // namespace

std::vector<ZteModel>& zteModelTable() {
    static std::vector<ZteModel> table;
    return table;
}

void setLastParseErrorText(const std::string& text) {
    std::lock_guard lock(parseErrorMutex);
    parseErrorText() = text;
}

std::string lastParseErrorText() {
    std::lock_guard lock(parseErrorMutex);
    return parseErrorText();
}

void initDocumentModule() {
    heapHandle.store(api::GetProcessHeap(), std::memory_order_release);
}

win::HANDLE processHeap() {
    win::HANDLE h = heapHandle.load(std::memory_order_acquire);
    if (!h) {
        initDocumentModule();
        h = heapHandle.load(std::memory_order_acquire);
    }
    return h;
}

void createProgramObjects() {
    zteModelTable().clear();
    setLastParseErrorText({});
    errorLog().clear();
}

void releaseProgramObjects() {
    // swap, not clear: the records' storage goes back too, as the exit routine promises.
    std::vector<ZteModel>().swap(zteModelTable());
    {
        std::lock_guard lock(parseErrorMutex);
        std::string().swap(parseErrorText());
    }
    errorLog().clear();
}
