#pragma once
// Stand-in for the scripting regular-expression engine (the VBScript.RegExp object): the
// properties IgnoreCase, Multiline, Global and Pattern, Execute giving a match collection
// (Count, Item; each match with Value, FirstIndex and SubMatches) and Replace with the
// engine's "$" replacements. Matching works on UTF-16 code units and follows the
// scripting dialect:
//  - "." matches every unit but line feed (carriage return included);
//  - \d, \w, \s and \b are ASCII classes; with IgnoreCase, ASCII letters match either case,
//    inside ranges too;
//  - escapes of the dialect (\v, \xhh, \uhhhh, \cX, octal) keep their meaning, and a
//    backslash before any other letter stands for the letter itself;
//  - "^" and "$" mean the ends of the subject, or with Multiline also the places next to a
//    line feed or carriage return;
//  - global matching runs left to right without overlap; an empty match moves the next
//    search on by one unit.
// Constructs that the dialect does not know (look-behind, named groups, inline options,
// possessive and stacked quantifiers) make the pattern invalid, as the engine rejects them.
//
// The objects are reference-counted like the COM objects they stand for: a match
// collection and its matches stay valid as long as anyone holds them, whatever happens to
// the RegExp afterwards.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace regexp {

namespace detail {
struct Matches;
}

class Match {
  public:
    // The matched units.
    std::u16string_view Value() const;
    // 0-based index of the match's first unit in the subject.
    int FirstIndex() const;
    int Length() const;
    // SubMatches.Count: the number of capture groups of the pattern.
    int SubMatchCount() const;
    // SubMatches.Item(index), 0-based: the group's units, empty for a group that took no
    // part in the match; nullopt for an index outside the collection.
    std::optional<std::u16string_view> SubMatch(int index) const;
    // 0-based index of the group's first unit in the subject; -1 for a group that took no
    // part in the match or an index outside the collection.
    int SubMatchIndex(int index) const;

  private:
    friend class MatchCollection;
    Match(std::shared_ptr<const detail::Matches> all, int index)
        : all_(std::move(all)), index_(index) {}
    const int* offsets() const;
    std::shared_ptr<const detail::Matches> all_;
    int index_;
};

class MatchCollection {
  public:
    int Count() const;
    // Item(index), 0-based; nullopt outside the collection.
    std::optional<Match> Item(int index) const;
    // What the run behind the collection left unread when its work ran out (see
    // kRecordSteps): the match attempts it gave up, and whether it gave up on the rest of
    // the subject. The matches found stay as they are; either way others that the subject
    // holds may be missing.
    int AttemptsGivenUp() const;
    bool RestGivenUp() const;

  private:
    friend class RegExp;
    explicit MatchCollection(std::shared_ptr<const detail::Matches> all) : all_(std::move(all)) {}
    std::shared_ptr<const detail::Matches> all_;
};

// Bounds on the work of one run, for replies crafted to make the search backtrack without
// end. A step is one start position tried or one turn forward or back through a repeat; the
// vendors' genuine pages cost under one step per character.
//  - one match attempt (a record) takes at most kStepsPerUnitReached steps per unit of
//    subject it has got to, plus kRecordSteps / 64, and never more than kRecordSteps;
//  - one run takes at most kRunRecords records' worth plus kRunStepsPerUnit per unit of
//    subject, so a run over a page of nothing but bad records still ends promptly.
inline constexpr std::uint64_t kRecordSteps = 1'500'000;
inline constexpr std::uint64_t kStepsPerUnitReached = 16;
inline constexpr std::uint64_t kRunRecords = 2;
inline constexpr std::uint64_t kRunStepsPerUnit = 2;

class RegExp {
  public:
    // The engine's defaults: case-sensitive, single-line, first match only, empty pattern.
    bool IgnoreCase() const { return ignoreCase_; }
    void setIgnoreCase(bool on) { ignoreCase_ = on; }
    bool Multiline() const { return multiline_; }
    void setMultiline(bool on) { multiline_ = on; }
    bool Global() const { return global_; }
    void setGlobal(bool on) { global_ = on; }
    const std::u16string& Pattern() const { return pattern_; }
    void setPattern(std::u16string_view pattern) { pattern_ = pattern; }

    // Runs the pattern over the subject. Null when the pattern is invalid; an empty
    // collection when nothing matches. The work is bounded (see kRecordSteps): a match
    // attempt that runs out of steps is given up and the search goes on after its start,
    // and a subject that runs out of steps altogether keeps the matches found so far; the
    // collection says so (AttemptsGivenUp, RestGivenUp). It shares the subject rather than
    // copying it.
    std::shared_ptr<const MatchCollection> Execute(std::u16string_view subject) const;
    std::shared_ptr<const MatchCollection> Execute(
        std::shared_ptr<const std::u16string> subject) const;

    // The subject with the first match, or with Global every match, replaced. In the
    // replacement, $1..$99 stand for a group, $& for the match, $` for the subject before
    // it, $' for the subject after it and $$ for "$"; any other "$" is literal. Nullopt
    // when Execute would fail.
    std::optional<std::u16string> Replace(std::u16string_view subject,
                                          std::u16string_view replacement) const;

    // Steps that one match attempt may take at most (0: kRecordSteps); the run's budget
    // follows.
    void setMatchLimit(std::uint32_t limit) { matchLimit_ = limit; }

  private:
    std::shared_ptr<const detail::Matches> run(std::shared_ptr<const std::u16string> subject) const;

    bool ignoreCase_ = false;
    bool multiline_ = false;
    bool global_ = false;
    std::u16string pattern_;
    std::uint32_t matchLimit_ = 0;
};

// The pattern rewritten into the syntax of the underlying library (PCRE2), with the
// dialect's meaning; nullopt when the dialect rejects the pattern. Exposed for tests.
std::optional<std::u16string> translatePattern(std::u16string_view pattern, bool multiline);

namespace detail {
// The calling thread's PCRE2 match context (a pcre2_match_context_16*), which every run
// borrows. Exposed for tests: between runs it must refer to nothing of a finished run.
void* threadMatchContext();
}  // namespace detail

}  // namespace regexp
