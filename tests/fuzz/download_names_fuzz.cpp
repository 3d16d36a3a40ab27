// The download's readers of server and disk text: Content-Disposition and address file
// names (network text) end as a plain name inside the folder; a resume state that parses
// writes back to text that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "download/file_name.h"
#include "download/resume_state.h"

namespace {

void checkPlain(const std::string& name) {
    if (name.empty() || name.size() > download::kMaxNameBytes) std::abort();
    if (name == "." || name == ".." || name.front() == '.' || name.front() == ' ') std::abort();
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    checkPlain(download::safeFileName(download::nameFromContentDisposition(input)));
    checkPlain(download::safeFileName(download::nameFromUrl(input)));
    checkPlain(download::safeFileName(input));
    checkPlain(download::safeFileName(download::numberedName(download::safeFileName(input), 7)));

    download::ResumeState state, again;
    if (download::parseResumeState(input, state)) {
        const std::string text = download::resumeStateText(state);
        if (!download::parseResumeState(text, again) || download::resumeStateText(again) != text)
            std::abort();
    }
    return 0;
}
