// The Coolpad and LG reply readers over arbitrary reply text (GBK bytes, as the program
// holds a reply after conversion): every product type listed is non-empty and listed once,
// every file row and LG value is text that stood in the reply (or, where the reply holds
// character references, no longer than it).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>

#include "vendors/coolpad.h"
#include "vendors/lg.h"

namespace {

void mustStandIn(std::string_view reply, const std::string& piece) {
    if (piece.size() > reply.size()) std::abort();
    if (reply.find('&') != std::string_view::npos) return;
    if (!piece.empty() && reply.find(piece) == std::string_view::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    std::unordered_set<std::string> seen;
    for (const std::string& type : coolpadProductTypes(reply)) {
        if (type.empty() || !seen.insert(type).second) std::abort();
        if (reply.find(type) == std::string_view::npos) std::abort();
    }

    for (const CoolpadFileRow& row : coolpadFileRows(reply)) {
        for (const std::string* cell :
             {&row.description, &row.date, &row.size, &row.kind, &row.address})
            mustStandIn(reply, *cell);
    }

    const LgReply lg = readLgReply(reply);
    if ((lg.outcome == LgOutcome::NoReply) != reply.empty()) std::abort();
    for (const std::string& field : lg.fields) {
        if (lg.outcome != LgOutcome::Found && !field.empty()) std::abort();
        mustStandIn(reply, field);
    }
    return 0;
}
