// parseDate over free text and formatDate over any pattern and any value: never out of
// bounds, and a date read from text formats and reads back to the same second.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "document/doc_date.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The text up to the first 0x01 is the date text, the rest the pattern.
    const std::size_t cut = input.find('\x01');
    const std::string text = input.substr(0, cut);
    const std::string pattern = cut == std::string::npos ? "yyyy-MM-dd" : input.substr(cut + 1);

    const DocDateTime when = parseDate(text);
    check(std::isfinite(when));
    (void)formatDate(when, pattern);
    if (when >= makeDocDate(1000, 1, 1, 0, 0, 0) && when <= makeDocDate(9999, 12, 31, 0, 0, 0)) {
        const DocDateTime back = parseDate(formatDate(when, "yyyy-MM-dd HH:mm:ss"));
        check(std::fabs(back - when) * 86400.0 < 1.0);
    }
    // Any 8 bytes as a value, NaN and infinities included.
    if (size >= 8) {
        double value;
        std::memcpy(&value, data, 8);
        (void)formatDate(value, pattern);
        (void)dateToSeconds(value);
    }
    return 0;
}
