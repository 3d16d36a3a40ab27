#pragma once
// RegexObject: the program's regular-expression object over the scripting regex engine.
// A vendor routine makes one, runs create with a pattern and the whole reply, asks
// matchCount and reads the groups of every match with subMatchText. The pattern runs once,
// at create; every later read works on the matches of that run.
//
// Texts in and out are code page 936 (GBK) byte strings; match and group numbers are
// 1-based. Nothing is reported: a failed run, or a number outside the matches, gives
// 0 or "".
//
// Each object initialises COM on the thread that makes it and uninitialises it once when
// it goes, so an object belongs to that thread.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace regexp {
class RegExp;
class MatchCollection;
}  // namespace regexp

class RegexObject {
  public:
    RegexObject();
    // A copy shares the engine and the matches of the original.
    RegexObject(const RegexObject& other);
    RegexObject& operator=(const RegexObject& other);
    ~RegexObject();

    // Runs `pattern` over `subject`. The defaults are those of every vendor routine:
    // case-insensitive, multi-line, global. With quoteToken, each "#引号" in the pattern
    // stands for a double quote. True when the run produced a match collection, even an
    // empty one; false for a pattern the engine rejects.
    bool create(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
                bool multiline = true, bool global = true, bool quoteToken = false);

    // Number of matches of the last create; 0 when it failed.
    int matchCount() const;
    // True when the last create's run ran out of the engine's step budget, as a reply
    // crafted or broken to make the pattern backtrack without end does: it gave up on a
    // record or on the rest of the subject, so records that the subject holds may be
    // missing. The matches found are read as usual.
    bool cutShort() const;
    // Text of match n. With `position`, also its 0-based byte offset in the subject
    // (-1 when there is no such match).
    std::string matchText(int n, int* position = nullptr) const;
    // Text of capture group k of match n; "" for a group that took no part. With
    // `position`, also the group's 0-based byte offset in the subject (-1 when the group
    // took no part or does not exist).
    std::string subMatchText(int n, int k, int* position = nullptr) const;
    // Number of capture groups, read off the first match; 0 without a match.
    int subMatchCount() const;
    // The engine's current pattern (after the quote token); "" before the first create.
    std::string pattern() const;
    // The subject of the last create with its matches replaced ($1..$99, $&, $`, $', $$);
    // "" when there is nothing to replace in (no create, or a failed one).
    std::string replace(std::string_view replacement) const;

  private:
    std::size_t byteOffset(int unitIndex) const;
    std::string bytesOf(int fromUnit, int toUnit, int* position) const;

    std::shared_ptr<regexp::RegExp> engine_;
    std::shared_ptr<const regexp::MatchCollection> matches_;
    // The subject as the engine sees it (UTF-16) and as the caller gave it: texts read
    // back are cut out of the caller's bytes, so they come back exactly as they went in.
    std::shared_ptr<const std::u16string> subject_;
    std::shared_ptr<const std::string> subjectText_;
    // Where the last byte-offset walk stopped (unit index, byte offset).
    mutable std::size_t cursorUnit_ = 0;
    mutable std::size_t cursorByte_ = 0;
};
