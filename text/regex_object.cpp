#include "text/regex_object.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/api.h"
#include "base/text_util.h"
#include "platform/regexp.h"

namespace {

// The subject in one conversion into `units`: a GBK text never has more characters than
// bytes.
void convertSubject(std::string_view text, std::u16string& units) {
    if (text.empty() || text.size() > 0x7FFFFFFF) {
        units = textToUtf16(text);
        return;
    }
    units.resize(text.size());
    int n = api::MultiByteToWideChar(win::CP_GBK, 0, text.data(), int(text.size()), units.data(),
                                     int(units.size()));
    units.resize(std::size_t(n));
}

const std::string& quoteToken() {
    static const std::string token = gbk("#引号");
    return token;
}

}  // namespace

RegexObject::RegexObject() {
    api::CoInitialize(nullptr);
}

RegexObject::RegexObject(const RegexObject& other)
    : engine_(other.engine_),
      matches_(other.matches_),
      subject_(other.subject_),
      subjectText_(other.subjectText_) {
    api::CoInitialize(nullptr);
}

RegexObject& RegexObject::operator=(const RegexObject& other) {
    if (this != &other) {
        engine_ = other.engine_;
        matches_ = other.matches_;
        subject_ = other.subject_;
        subjectText_ = other.subjectText_;
        cursorUnit_ = cursorByte_ = 0;
    }
    return *this;
}

RegexObject::~RegexObject() {
    engine_.reset();
    matches_.reset();
    subject_.reset();
    api::CoUninitialize();
}

bool RegexObject::create(std::string_view pattern, std::string_view subject, bool caseSensitive,
                         bool multiline, bool global, bool quoteTokenFlag) {
    engine_.reset();
    matches_.reset();
    engine_ = std::make_shared<regexp::RegExp>();
    engine_->setIgnoreCase(!caseSensitive);
    engine_->setMultiline(multiline);
    engine_->setGlobal(global);
    if (quoteTokenFlag)
        engine_->setPattern(textToUtf16(replaceAll(pattern, quoteToken(), "\"")));
    else
        engine_->setPattern(textToUtf16(pattern));
    // A routine that runs one object over a long reply piece by piece gets the buffers of
    // the last piece back, unless a copy of this object still shares them: allocating and
    // faulting in a fresh megabyte per piece cost more than the matching.
    std::shared_ptr<std::u16string> units;
    if (subject_.use_count() == 1)
        units = std::const_pointer_cast<std::u16string>(std::move(subject_));
    else
        units = std::make_shared<std::u16string>();
    std::shared_ptr<std::string> bytes;
    if (subjectText_.use_count() == 1)
        bytes = std::const_pointer_cast<std::string>(std::move(subjectText_));
    else
        bytes = std::make_shared<std::string>();
    subject_.reset();
    subjectText_.reset();
    convertSubject(subject, *units);
    bytes->assign(subject);
    subject_ = std::move(units);
    subjectText_ = std::move(bytes);
    cursorUnit_ = cursorByte_ = 0;
    matches_ = engine_->Execute(subject_);
    return matches_ != nullptr;
}

int RegexObject::matchCount() const {
    return matches_ ? matches_->Count() : 0;
}

bool RegexObject::cutShort() const {
    return matches_ && (matches_->AttemptsGivenUp() > 0 || matches_->RestGivenUp());
}

// Byte offset in the GBK subject of a UTF-16 unit index. The conversion turns every
// character into one unit: an ASCII byte or a stray byte (which became "?") was one byte,
// the single-byte euro sign 0x80 one byte, and every other unit a two-byte pair. So the
// offset is the unit count plus the number of units from 0x80 up, except around a euro
// sign, where the bytes decide. Reads come in subject order, so the count resumes where
// the last one stopped.
std::size_t RegexObject::byteOffset(int unitIndex) const {
    const std::u16string& units = *subject_;
    const std::string& bytes = *subjectText_;
    const std::size_t target = std::min(std::size_t(unitIndex), units.size());
    if (target < cursorUnit_) cursorUnit_ = cursorByte_ = 0;
    std::size_t u = cursorUnit_, b = cursorByte_;
    while (u < target && b < bytes.size()) {
        const std::size_t block = std::min<std::size_t>(target - u, 1024);
        const char16_t* p = units.data() + u;
        std::uint32_t high = 0, euro = 0;
        for (std::size_t k = 0; k < block; ++k) {
            high += p[k] >= 0x80;
            euro += p[k] == 0x20AC;
        }
        if (!euro) {
            u += block;
            b += block + high;
            continue;
        }
        for (std::size_t end = u + block; u < end && b < bytes.size(); ++u)
            b += (units[u] < 0x80 || static_cast<unsigned char>(bytes[b]) == 0x80) ? 1 : 2;
    }
    if (b > bytes.size()) b = bytes.size();
    cursorUnit_ = u;
    cursorByte_ = b;
    return b;
}

std::string RegexObject::bytesOf(int from, int to, int* position) const {
    std::size_t begin = byteOffset(from);
    std::size_t end = byteOffset(to);
    if (position) *position = int(begin);
    return subjectText_->substr(begin, end - begin);
}

std::string RegexObject::matchText(int n, int* position) const {
    if (position) *position = -1;
    if (!matches_) return {};
    std::optional<regexp::Match> match = matches_->Item(n - 1);
    if (!match) return {};
    return bytesOf(match->FirstIndex(), match->FirstIndex() + match->Length(), position);
}

std::string RegexObject::subMatchText(int n, int k, int* position) const {
    if (position) *position = -1;
    if (!matches_) return {};
    std::optional<regexp::Match> match = matches_->Item(n - 1);
    if (!match) return {};
    std::optional<std::u16string_view> group = match->SubMatch(k - 1);
    int start = match->SubMatchIndex(k - 1);
    if (!group || start < 0) return {};
    return bytesOf(start, start + int(group->size()), position);
}

int RegexObject::subMatchCount() const {
    if (!matches_) return 0;
    std::optional<regexp::Match> first = matches_->Item(0);
    return first ? first->SubMatchCount() : 0;
}

std::string RegexObject::pattern() const {
    return engine_ ? utf16ToText(engine_->Pattern()) : std::string();
}

std::string RegexObject::replace(std::string_view replacement) const {
    if (!engine_ || !subject_) return {};
    std::optional<std::u16string> replaced = engine_->Replace(*subject_, textToUtf16(replacement));
    return replaced ? utf16ToText(*replaced) : std::string();
}
