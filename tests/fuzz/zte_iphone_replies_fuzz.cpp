// The ZTE and iPhone reply readers over arbitrary bytes: the model-list script file, a
// file page and the file list made of it, the catalogue's lists and its firmware list.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/text_util.h"
#include "vendors/iphone.h"
#include "vendors/zte.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const ZteSeries& s : zteReadModelList(text)) {
        for (const ZteTreeModel& m : s.models) {
            // 36 characters, which is more bytes when some of them are two-byte ones.
            if (textToUtf16(m.modelId).size() != 36) std::abort();
        }
    }
    for (const auto& row : zteFileRows(zteFileList(text))) {
        if (row.size() != 5) std::abort();
        (void)zteDisplayName(row[0], row[3]);
    }
    (void)zteFileRows(text);
    (void)iphoneReadList(text);
    (void)iphoneReadFirmware(text);
    return 0;
}
