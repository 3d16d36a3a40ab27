// The reader against the reader it replaced (kept in tests/oracle): over any bytes both
// give the same trimmed text, the same tree (type words, names, values, order), the same
// text buffer, the same error texts, and the same JSON written back; every member is
// found by name in the new tree as in the old one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "document/data_document.h"
#include "tests/oracle/reader_oracle.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

std::vector<std::string> takeLog() {
    std::vector<std::string> texts;
    ErrorLog& log = errorLog();
    for (int i = 1; i <= log.capacity(); ++i) texts.push_back(log.slot(i));
    texts.push_back(std::to_string(log.newest()));
    log.clear();
    return texts;
}

// Member by member: look-up by name in the new tree finds what the old tree's table finds.
void sameLookUps(DataDocument ours, DataDocument theirs, int depth) {
    if (depth > 64 || !ours.node() || !theirs.node()) return;
    const int kind = ours.kindOf();
    if (kind != theirs.kindOf() || (kind != kObject && kind != kArray)) return;
    for (int i = 1; i <= ours.count(); ++i) {
        DataDocument a = ours.member(i), b = theirs.member(i);
        if (kind == kObject && a.node()) {
            const std::string name = a.keyName();
            if (!name.empty() && name.find('.') == std::string::npos &&
                name.find('[') == std::string::npos) {
                check(oracleDump(ours.query(name).node()) == oracleDump(theirs.query(name).node()));
                check(ours.hasKey(name) && theirs.hasKey(name));
            }
        }
        sameLookUps(a, b, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const int liveBefore = nodePool().liveSlots();
    errorLog().clear();

    std::string oursText = input;
    DataDocument ours = parse(oursText);
    const std::vector<std::string> oursLog = takeLog();
    std::string theirsText = input;
    DataDocument theirs = oracleParse(theirsText);
    const std::vector<std::string> theirsLog = takeLog();

    check(oursText == theirsText);
    check(oursLog == theirsLog);
    check(oracleDump(ours.root()) == oracleDump(theirs.root()));
    check((ours.textBuffer() == nullptr) == (theirs.textBuffer() == nullptr));
    if (ours.textBuffer())
        check(std::memcmp(ours.textBuffer(), theirs.textBuffer(), oursText.size() + 1) == 0);
    check(ours.jsonText() == theirs.jsonText());
    sameLookUps(ours, theirs, 0);

    releaseDocument(ours);
    releaseOracleDocument(theirs);
    check(nodePool().liveSlots() == liveBefore);
    return 0;
}
