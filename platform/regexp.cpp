#include "platform/regexp.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <climits>

namespace regexp {

namespace detail {
// One run's result: the subject and, per match, the start and end of the match and of
// every group (-1 for a group that took no part).
struct Matches {
    std::shared_ptr<const std::u16string> subject;
    int groups = 0;
    int count = 0;
    std::vector<int> offsets;  // count * (groups + 1) * 2
    int attemptsGivenUp = 0;
    bool restGivenUp = false;
};
}  // namespace detail

namespace {

// ---------------------------------------------------------------------------------------
// Pattern translation

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool isOctal(char16_t c) {
    return c >= u'0' && c <= u'7';
}
int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}
bool isAsciiPunct(char16_t c) {
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
}
bool isClassEscapeLetter(char16_t c) {
    return c == u'd' || c == u'D' || c == u'w' || c == u'W' || c == u's' || c == u'S';
}

void appendCode(std::u16string& out, unsigned value) {
    static const char16_t digits[] = u"0123456789abcdef";
    char16_t buf[8];
    int n = 0;
    do {
        buf[n++] = digits[value & 0xF];
        value >>= 4;
    } while (value);
    out += u"\\x{";
    while (n) out += buf[--n];
    out += u'}';
}

// A character that stands for itself, written so that PCRE2 reads it as such in or out
// of a class: ASCII punctuation gets a backslash, everything else goes as it is.
void appendLiteral(std::u16string& out, char16_t c) {
    if (isAsciiPunct(c)) out += u'\\';
    out += c;
}

// Legacy octal escape: up to three octal digits, as long as the value stays within 0377.
unsigned readOctal(std::u16string_view p, std::size_t& i) {
    unsigned value = 0;
    for (int k = 0; k < 3 && i < p.size() && isOctal(p[i]); ++k) {
        unsigned next = value * 8 + (p[i] - u'0');
        if (next > 0377) break;
        value = next;
        ++i;
    }
    return value;
}

// Reads a hex escape of exactly `width` digits at i; -1 (i unchanged) when they are not there.
long readHex(std::u16string_view p, std::size_t i, int width) {
    if (i + width > p.size()) return -1;
    long value = 0;
    for (int k = 0; k < width; ++k) {
        int h = hexValue(p[i + k]);
        if (h < 0) return -1;
        value = value * 16 + h;
    }
    return value;
}

// Skips a character class starting at '[' and returns the index after its ']', or npos.
std::size_t skipClass(std::u16string_view p, std::size_t i) {
    ++i;
    if (i < p.size() && p[i] == u'^') ++i;
    while (i < p.size()) {
        if (p[i] == u']') return i + 1;
        i += p[i] == u'\\' ? 2 : 1;
    }
    return std::u16string_view::npos;
}

int countGroups(std::u16string_view p) {
    int groups = 0;
    for (std::size_t i = 0; i < p.size();) {
        if (p[i] == u'\\') {
            i += 2;
        } else if (p[i] == u'[') {
            i = skipClass(p, i);
        } else {
            if (p[i] == u'(' && (i + 1 >= p.size() || p[i + 1] != u'?')) ++groups;
            ++i;
        }
    }
    return groups;
}

// {n}, {n,} or {n,m} at i; its length, or 0 when the brace is a literal.
std::size_t quantifierLength(std::u16string_view p, std::size_t i) {
    std::size_t j = i + 1;
    std::size_t digits = 0;
    while (j < p.size() && isDigit(p[j])) ++j, ++digits;
    if (!digits) return 0;
    if (j < p.size() && p[j] == u',') {
        ++j;
        while (j < p.size() && isDigit(p[j])) ++j;
    }
    if (j < p.size() && p[j] == u'}') return j + 1 - i;
    return 0;
}

// Escapes that mean the same character in and out of a class. Returns false when `d` is
// not one of them.
bool appendCharacterEscape(std::u16string& out, std::u16string_view p, std::size_t& i, char16_t d) {
    switch (d) {
        case u'f':
        case u'n':
        case u'r':
        case u't':
            out += u'\\';
            out += d;
            return true;
        case u'v':
            appendCode(out, 0x0B);
            return true;
        case u'x': {
            long v = readHex(p, i, 2);
            if (v < 0) {
                out += u'x';
            } else {
                appendCode(out, unsigned(v));
                i += 2;
            }
            return true;
        }
        case u'u': {
            long v = readHex(p, i, 4);
            if (v < 0) {
                out += u'u';
            } else {
                appendCode(out, unsigned(v));
                i += 4;
            }
            return true;
        }
        default:
            return false;
    }
}

// Translates the class starting at p[i] == '['; false when it never closes.
bool translateClass(std::u16string_view p, std::size_t& i, std::u16string& out) {
    out += u'[';
    ++i;
    if (i < p.size() && p[i] == u'^') {
        out += u'^';
        ++i;
    }
    bool haveItem = false;
    bool afterClassEscape = false;
    bool afterRange = false;  // the last item ended a range such as a-c
    bool rangeOpen = false;   // a range hyphen went out; the next item is its upper end
    for (;;) {
        if (i >= p.size()) return false;
        char16_t c = p[i];
        if (c == u']') {
            out += u']';
            ++i;
            return true;
        }
        if (c == u'-' && !rangeOpen) {
            // A hyphen first or last, next to \d, \w or \s, or after a finished range is a
            // plain hyphen in the dialect; PCRE2 would call some of these invalid ranges.
            bool beforeClassEscape =
                i + 2 < p.size() && p[i + 1] == u'\\' && isClassEscapeLetter(p[i + 2]);
            bool last = i + 1 < p.size() && p[i + 1] == u']';
            ++i;
            if (!haveItem || afterClassEscape || afterRange || beforeClassEscape || last) {
                out += u"\\-";
                haveItem = true;
                afterClassEscape = afterRange = false;
            } else {
                out += u'-';
                rangeOpen = true;
            }
            continue;
        }
        afterClassEscape = false;
        if (c != u'\\') {
            appendLiteral(out, c);
            ++i;
        } else {
            if (i + 1 >= p.size()) return false;
            char16_t d = p[i + 1];
            i += 2;
            if (d == u'b') {
                appendCode(out, 0x08);
            } else if (isClassEscapeLetter(d)) {
                out += u'\\';
                out += d;
                afterClassEscape = true;
            } else if (isOctal(d)) {
                --i;
                appendCode(out, readOctal(p, i));
            } else if (d == u'c') {
                if (i < p.size() && (isAsciiLetter(p[i]) || isDigit(p[i]) || p[i] == u'_')) {
                    appendCode(out, p[i] % 32);
                    ++i;
                } else {
                    appendLiteral(out, u'\\');
                    appendLiteral(out, u'c');
                }
            } else if (!appendCharacterEscape(out, p, i, d)) {
                if (isAsciiLetter(d) || isDigit(d))
                    out += d;
                else
                    appendLiteral(out, d);
            }
        }
        haveItem = true;
        afterRange = rangeOpen;
        rangeOpen = false;
    }
}

}  // namespace

namespace {

// The marks that the run's budget counts with (see RegExp::run) are callouts: number 1
// before the whole pattern, number 2 after each quantifier.
constexpr int kAttemptMark = 1;

// The translation; with `marks`, a callout after every quantifier, where backtracking
// resumes, so that each step back or forward through a repeat is counted.
std::optional<std::u16string> translate(std::u16string_view p, bool multiline, bool marks) {
    const int groups = countGroups(p);
    std::u16string out;
    out.reserve(p.size() + 16);
    bool canQuantify = false;
    int depth = 0;
    std::size_t i = 0;
    while (i < p.size()) {
        char16_t c = p[i];
        switch (c) {
            case u'\\': {
                if (i + 1 >= p.size()) return std::nullopt;
                char16_t d = p[i + 1];
                i += 2;
                canQuantify = true;
                if (d >= u'1' && d <= u'9') {
                    std::size_t j = i - 1;
                    long number = 0;
                    while (j < p.size() && isDigit(p[j]) && number <= 100000)
                        number = number * 10 + (p[j++] - u'0');
                    if (number <= groups) {
                        out += u"\\g{";
                        for (std::size_t k = i - 1; k < j; ++k) out += p[k];
                        out += u'}';
                        i = j;
                    } else if (isOctal(d)) {
                        --i;
                        appendCode(out, readOctal(p, i));
                    } else {
                        out += d;
                    }
                } else if (d == u'0') {
                    --i;
                    appendCode(out, readOctal(p, i));
                } else if (d == u'b' || d == u'B') {
                    out += u'\\';
                    out += d;
                    canQuantify = false;
                } else if (isClassEscapeLetter(d)) {
                    out += u'\\';
                    out += d;
                } else if (d == u'c') {
                    if (i < p.size() && isAsciiLetter(p[i])) {
                        appendCode(out, p[i] % 32);
                        ++i;
                    } else {
                        out += u"\\\\";
                        --i;  // the "c" is read again as itself
                    }
                } else if (!appendCharacterEscape(out, p, i, d)) {
                    if (isAsciiLetter(d))
                        out += d;
                    else
                        appendLiteral(out, d);
                }
                break;
            }
            case u'[':
                if (!translateClass(p, i, out)) return std::nullopt;
                canQuantify = true;
                break;
            case u'(':
                if (i + 1 < p.size() && p[i + 1] == u'?') {
                    if (i + 2 >= p.size() ||
                        (p[i + 2] != u':' && p[i + 2] != u'=' && p[i + 2] != u'!'))
                        return std::nullopt;
                    out += p.substr(i, 3);
                    i += 3;
                } else {
                    out += u'(';
                    ++i;
                }
                ++depth;
                canQuantify = false;
                break;
            case u')':
                if (depth == 0) return std::nullopt;
                --depth;
                out += u')';
                ++i;
                canQuantify = true;
                break;
            case u'|':
                out += u'|';
                ++i;
                canQuantify = false;
                break;
            case u'^':
                // Compiled without PCRE2_MULTILINE, so "^" is the start of the subject; the
                // dialect's multi-line "^" also follows a line feed or carriage return.
                out += multiline ? u"(?<![^\\n\\r])" : u"^";
                ++i;
                canQuantify = false;
                break;
            case u'$':
                out += multiline ? u"(?![^\\n\\r])" : u"\\z";
                ++i;
                canQuantify = false;
                break;
            case u'.':
                out += u'.';
                ++i;
                canQuantify = true;
                break;
            case u'*':
            case u'+':
            case u'?':
            case u'{': {
                std::size_t length = c == u'{' ? quantifierLength(p, i) : 1;
                if (!length) {  // a brace that opens no quantifier is a literal
                    out += u"\\{";
                    ++i;
                    canQuantify = true;
                    break;
                }
                if (!canQuantify) return std::nullopt;
                out += p.substr(i, length);
                i += length;
                if (i < p.size() && p[i] == u'?') {
                    out += u'?';
                    ++i;
                }
                if (marks) out += u"(?C2)";
                canQuantify = false;
                break;
            }
            default:
                appendLiteral(out, c);
                ++i;
                canQuantify = true;
                break;
        }
    }
    if (depth != 0) return std::nullopt;
    // The mark before everything is passed once per start position, so it tells where the
    // attempt that ran out of budget began.
    if (marks) return u"(?C1)(?:" + out + u")";
    return out;
}

}  // namespace

std::optional<std::u16string> translatePattern(std::u16string_view p, bool multiline) {
    return translate(p, multiline, false);
}

namespace {

// ---------------------------------------------------------------------------------------
// Compiled patterns, cached per thread: vendor routines run the same few patterns over
// reply after reply.

struct Compiled {
    pcre2_code* code = nullptr;
    int groups = 0;
    ~Compiled() { pcre2_code_free(code); }
};

struct CacheEntry {
    std::u16string pattern;
    bool ignoreCase;
    bool multiline;
    std::shared_ptr<const Compiled> compiled;
};

std::shared_ptr<const Compiled> compile(const std::u16string& pattern, bool ignoreCase,
                                        bool multiline) {
    thread_local std::vector<CacheEntry> cache;
    for (std::size_t k = 0; k < cache.size(); ++k) {
        if (cache[k].ignoreCase == ignoreCase && cache[k].multiline == multiline &&
            cache[k].pattern == pattern) {
            if (k) std::rotate(cache.begin(), cache.begin() + k, cache.begin() + k + 1);
            return cache.front().compiled;
        }
    }
    std::optional<std::u16string> translated = translate(pattern, multiline, true);
    if (!translated) return nullptr;

    struct ContextFree {
        void operator()(pcre2_compile_context* c) const { pcre2_compile_context_free(c); }
    };
    thread_local std::unique_ptr<pcre2_compile_context, ContextFree> context = [] {
        std::unique_ptr<pcre2_compile_context, ContextFree> c(
            pcre2_compile_context_create(nullptr));
        // "." must exclude line feed only, whatever newline convention the library was
        // built with.
        if (c) pcre2_set_newline(c.get(), PCRE2_NEWLINE_LF);
        return c;
    }();
    if (!context) return nullptr;

    uint32_t options = PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF | PCRE2_NEVER_UTF |
                       PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C;
    if (ignoreCase) options |= PCRE2_CASELESS;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    auto compiled = std::make_shared<Compiled>();
    compiled->code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated->data()), translated->size(), options,
                      &error, &errorOffset, context.get());
    if (!compiled->code) return nullptr;
    // Without JIT the interpreter still gives the same matches, only slower.
    pcre2_jit_compile(compiled->code, PCRE2_JIT_COMPLETE);
    uint32_t groups = 0;
    pcre2_pattern_info(compiled->code, PCRE2_INFO_CAPTURECOUNT, &groups);
    compiled->groups = int(groups);

    constexpr std::size_t kCacheSize = 8;
    if (cache.size() == kCacheSize) cache.pop_back();
    cache.insert(cache.begin(), CacheEntry{pattern, ignoreCase, multiline, compiled});
    return compiled;
}

// Per-thread matching state: a JIT stack that grows on demand and the match context
// that carries it and the limits.
struct MatchState {
    pcre2_jit_stack* stack = nullptr;
    pcre2_match_context* context = nullptr;
    MatchState() {
        context = pcre2_match_context_create(nullptr);
        stack = pcre2_jit_stack_create(32 * 1024, 64 * 1024 * 1024, nullptr);
        if (context && stack) pcre2_jit_stack_assign(context, nullptr, stack);
        // The interpreter keeps its backtracking frames on the heap; bound them (KiB).
        if (context) pcre2_set_heap_limit(context, 256 * 1024);
    }
    ~MatchState() {
        pcre2_match_context_free(context);
        pcre2_jit_stack_free(stack);
    }
    MatchState(const MatchState&) = delete;
    MatchState& operator=(const MatchState&) = delete;
};

MatchState& matchState() {
    thread_local MatchState state;
    return state;
}

}  // namespace

void* detail::threadMatchContext() {
    return matchState().context;
}

// ---------------------------------------------------------------------------------------
// Matches

const int* Match::offsets() const {
    return all_->offsets.data() + std::size_t(index_) * std::size_t(all_->groups + 1) * 2;
}

std::u16string_view Match::Value() const {
    const int* o = offsets();
    return std::u16string_view(*all_->subject).substr(std::size_t(o[0]), std::size_t(o[1] - o[0]));
}

int Match::FirstIndex() const {
    return offsets()[0];
}

int Match::Length() const {
    return offsets()[1] - offsets()[0];
}

int Match::SubMatchCount() const {
    return all_->groups;
}

std::optional<std::u16string_view> Match::SubMatch(int index) const {
    if (index < 0 || index >= all_->groups) return std::nullopt;
    const int* o = offsets() + std::size_t(index + 1) * 2;
    if (o[0] < 0 || o[1] < o[0]) return std::u16string_view();
    return std::u16string_view(*all_->subject).substr(std::size_t(o[0]), std::size_t(o[1] - o[0]));
}

int Match::SubMatchIndex(int index) const {
    if (index < 0 || index >= all_->groups) return -1;
    return offsets()[std::size_t(index + 1) * 2];
}

int MatchCollection::Count() const {
    return all_->count;
}

std::optional<Match> MatchCollection::Item(int index) const {
    if (index < 0 || index >= all_->count) return std::nullopt;
    return Match(all_, index);
}

int MatchCollection::AttemptsGivenUp() const {
    return all_->attemptsGivenUp;
}

bool MatchCollection::RestGivenUp() const {
    return all_->restGivenUp;
}

// ---------------------------------------------------------------------------------------
// RegExp

namespace {

// What one run may spend, in steps: a step is one pass through a mark, that is, one start
// position tried or one turn forward or back through a repeat. A record that takes more
// than its share is given up and the search goes on at the next position; a subject that
// takes more than the run's share ends the run with the matches found so far.
struct Budget {
    std::uint64_t recordLimit = 0;
    std::uint64_t runLimit = 0;
    std::uint64_t recordSteps = 0;
    std::uint64_t runSteps = 0;
    std::size_t attemptStart = 0;
    std::size_t reach = 0;  // the furthest unit the attempt has got to
    bool recordSpent = false;
    bool runSpent = false;
};

int countStep(pcre2_callout_block* block, void* data) {
    auto* budget = static_cast<Budget*>(data);
    if (block->callout_number == kAttemptMark) {
        budget->attemptStart = block->start_match;
        budget->reach = block->start_match;
        budget->recordSteps = 0;
    }
    if (++budget->runSteps > budget->runLimit) {
        budget->runSpent = true;
        return PCRE2_ERROR_CALLOUT;
    }
    // A record's share grows with the stretch of subject it spans, so a long genuine
    // record gets what it needs while a short one that backtracks without end is given
    // up early and leaves the budget to the records after it.
    budget->reach = std::max<std::size_t>(budget->reach, block->current_position);
    const std::uint64_t share =
        std::min(budget->recordLimit,
                 kStepsPerUnitReached * (budget->reach - budget->attemptStart) + kRecordSteps / 64);
    if (++budget->recordSteps > share) {
        budget->recordSpent = true;
        return PCRE2_ERROR_CALLOUT;
    }
    return 0;
}

bool isLimit(int rc) {
    return rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
           rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_JIT_STACKLIMIT ||
           rc == PCRE2_ERROR_NOMEMORY;
}

}  // namespace

std::shared_ptr<const detail::Matches> RegExp::run(
    std::shared_ptr<const std::u16string> subject) const {
    if (!subject || subject->size() > std::size_t(INT_MAX) - 1) return nullptr;
    std::shared_ptr<const Compiled> compiled = compile(pattern_, ignoreCase_, multiline_);
    if (!compiled) return nullptr;
    MatchState& state = matchState();
    if (!state.context) return nullptr;

    Budget budget;
    budget.recordLimit = matchLimit_ ? matchLimit_ : kRecordSteps;
    budget.runLimit = kRunRecords * budget.recordLimit + kRunStepsPerUnit * subject->size();
    pcre2_set_callout(state.context, countStep, &budget);
    // The budget dies with this frame; the context outlives it, so it lets go on every way out.
    struct CalloutReset {
        pcre2_match_context* context;
        ~CalloutReset() { pcre2_set_callout(context, nullptr, nullptr); }
    } calloutReset{state.context};
    // The library's own counters stay as a backstop; the marks count finer and run out first.
    const std::uint32_t backstop =
        std::uint32_t(std::min<std::uint64_t>(budget.recordLimit * 4, UINT32_MAX));
    pcre2_set_match_limit(state.context, backstop);
    pcre2_set_depth_limit(state.context, backstop);

    struct DataFree {
        void operator()(pcre2_match_data* d) const { pcre2_match_data_free(d); }
    };
    std::unique_ptr<pcre2_match_data, DataFree> data(
        pcre2_match_data_create_from_pattern(compiled->code, nullptr));
    if (!data) return nullptr;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());

    auto result = std::make_shared<detail::Matches>();
    result->subject = subject;
    result->groups = compiled->groups;
    const std::size_t pairs = std::size_t(compiled->groups) + 1;
    const auto* units = reinterpret_cast<PCRE2_SPTR>(subject->data());
    const std::size_t length = subject->size();
    std::size_t start = 0;
    while (start <= length) {
        budget.attemptStart = start;
        budget.recordSpent = false;
        int rc = pcre2_match(compiled->code, units, length, start, 0, data.get(), state.context);
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT && !budget.runSpent)
            rc = pcre2_match(compiled->code, units, length, start, PCRE2_NO_JIT, data.get(),
                             state.context);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (budget.runSpent) {
            result->restGivenUp = true;
            break;
        }
        if (rc < 0) {
            if (!budget.recordSpent && !isLimit(rc)) return nullptr;
            // This record is given up; the ones after it still count.
            ++result->attemptsGivenUp;
            start = std::max(budget.attemptStart, start) + 1;
            continue;
        }
        for (std::size_t k = 0; k < pairs; ++k) {
            PCRE2_SIZE from = ovector[2 * k], to = ovector[2 * k + 1];
            bool unset = from == PCRE2_UNSET || (k >= std::size_t(rc));
            result->offsets.push_back(unset ? -1 : int(from));
            result->offsets.push_back(unset ? -1 : int(to));
        }
        ++result->count;
        if (!global_) break;
        PCRE2_SIZE matchStart = ovector[0], matchEnd = ovector[1];
        start = matchEnd > matchStart ? matchEnd : std::max(matchEnd, matchStart) + 1;
    }
    return result;
}

std::shared_ptr<const MatchCollection> RegExp::Execute(std::u16string_view subject) const {
    return Execute(std::make_shared<const std::u16string>(subject));
}

std::shared_ptr<const MatchCollection> RegExp::Execute(
    std::shared_ptr<const std::u16string> subject) const {
    std::shared_ptr<const detail::Matches> all = run(std::move(subject));
    if (!all) return nullptr;
    return std::shared_ptr<const MatchCollection>(new MatchCollection(std::move(all)));
}

std::optional<std::u16string> RegExp::Replace(std::u16string_view subject,
                                              std::u16string_view replacement) const {
    auto owned = std::make_shared<const std::u16string>(subject);
    std::shared_ptr<const detail::Matches> all = run(owned);
    if (!all) return std::nullopt;
    const std::u16string& s = *owned;
    const std::size_t pairs = std::size_t(all->groups) + 1;
    std::u16string out;
    out.reserve(s.size());
    std::size_t copied = 0;
    for (int m = 0; m < all->count; ++m) {
        const int* o = all->offsets.data() + std::size_t(m) * pairs * 2;
        const std::size_t from = std::size_t(o[0]), to = std::size_t(o[1]);
        out.append(s, copied, from - copied);
        auto group = [&](int k) {
            if (o[2 * k] >= 0)
                out.append(s, std::size_t(o[2 * k]), std::size_t(o[2 * k + 1] - o[2 * k]));
        };
        for (std::size_t r = 0; r < replacement.size(); ++r) {
            char16_t c = replacement[r];
            if (c != u'$' || r + 1 >= replacement.size()) {
                out += c;
                continue;
            }
            char16_t d = replacement[r + 1];
            if (d == u'$') {
                out += u'$';
                ++r;
            } else if (d == u'&') {
                out.append(s, from, to - from);
                ++r;
            } else if (d == u'`') {
                out.append(s, 0, from);
                ++r;
            } else if (d == u'\'') {
                out.append(s, to, std::u16string::npos);
                ++r;
            } else if (isDigit(d)) {
                // Two digits when they name a group, else one digit when it does.
                int one = d - u'0';
                int two = r + 2 < replacement.size() && isDigit(replacement[r + 2])
                              ? one * 10 + (replacement[r + 2] - u'0')
                              : -1;
                if (two >= 1 && two <= all->groups) {
                    group(two);
                    r += 2;
                } else if (one >= 1 && one <= all->groups) {
                    group(one);
                    r += 1;
                } else {
                    out += c;
                }
            } else {
                out += c;
            }
        }
        copied = to;
    }
    out.append(s, copied, std::u16string::npos);
    return out;
}

}  // namespace regexp
