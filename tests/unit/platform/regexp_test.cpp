#include "platform/regexp.h"

#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

struct Found {
    int index;
    std::u16string value;
    bool operator==(const Found&) const = default;
};

std::vector<Found> findAll(std::u16string_view pattern, std::u16string_view subject,
                           bool ignoreCase = true, bool global = true, bool multiline = false) {
    regexp::RegExp re;
    re.setPattern(pattern);
    re.setIgnoreCase(ignoreCase);
    re.setGlobal(global);
    re.setMultiline(multiline);
    auto matches = re.Execute(subject);
    EXPECT_NE(matches, nullptr) << "pattern rejected";
    std::vector<Found> out;
    if (!matches) return out;
    for (int i = 0; i < matches->Count(); ++i) {
        auto m = matches->Item(i);
        out.push_back({m->FirstIndex(), std::u16string(m->Value())});
    }
    return out;
}

std::u16string firstValue(std::u16string_view pattern, std::u16string_view subject,
                          bool ignoreCase = true) {
    auto all = findAll(pattern, subject, ignoreCase, false);
    return all.empty() ? u"<none>" : all[0].value;
}

bool rejected(std::u16string_view pattern) {
    regexp::RegExp re;
    re.setPattern(pattern);
    return re.Execute(u"subject") == nullptr;
}

TEST(RegExp, DotStopsAtLineFeedOnly) {
    EXPECT_EQ(firstValue(u"a.c", u"a\rc"), u"a\rc");
    EXPECT_EQ(firstValue(u"a.c", u"a\nc"), u"<none>");
    EXPECT_EQ(firstValue(u"<b>.*</b>", u"<b>x\r</b>\r\n"), u"<b>x\r</b>");
    EXPECT_EQ(firstValue(u"x.*", u"x\r\u2028\u0085y\nz"), u"x\r\u2028\u0085y");
    EXPECT_EQ(firstValue(u"a.c", u"a\0c"s), u"a\0c"s);
    // A literal carriage return in the pattern matches itself; \n and \r are the escapes.
    EXPECT_EQ(firstValue(u"</h4>\r\n.*?<pre>", u"x</h4>\r\n  <pre>"), u"</h4>\r\n  <pre>");
    EXPECT_EQ(firstValue(u"d\\r\\n(.)", u"d\r\nq"), u"d\r\nq");
}

TEST(RegExp, LazyAndGreedyQuantifiers) {
    const std::u16string s = u"<td>a</td><td>b</td>";
    EXPECT_EQ(firstValue(u"<td>(.*)</td>", s), s);
    EXPECT_EQ(firstValue(u"<td>(.*?)</td>", s), u"<td>a</td>");
    EXPECT_EQ(firstValue(u"<td>(.+?)</td>", u"<td></td>x</td>"), u"<td></td>x</td>");
    EXPECT_EQ(firstValue(u"(.+[a-z]).+end", u"12.5 MB  end"), u"12.5 MB  end");
    EXPECT_EQ(firstValue(u"a{3}", u"aaaa"), u"aaa");
    EXPECT_EQ(firstValue(u"a{2,}?", u"aaaa"), u"aa");
    EXPECT_EQ(firstValue(u"a{1,2}", u"aaaa"), u"aa");
}

TEST(RegExp, RepeatCountsUtf16Units) {
    // Ten Chinese characters are ten units; a character outside the BMP is two.
    const std::u16string ten = u"华为荣耀畅玩手机升级包";
    EXPECT_EQ(firstValue(u"(.{10})", ten), ten.substr(0, 10));
    EXPECT_EQ(firstValue(u"^.{11}$", ten), ten);
    EXPECT_EQ(firstValue(u"^.{2}$", u"\U0001F600"), u"\U0001F600");
    EXPECT_EQ(firstValue(u"更新日期：(.{10})", u"更新日期：2014-04-04 x"), u"更新日期：2014-04-04");
}

TEST(RegExp, CaseFoldingCoversRangesAndLiterals) {
    EXPECT_EQ(firstValue(u"[a-z]+", u"12ABc"), u"ABc");
    EXPECT_EQ(firstValue(u"[a-z]+", u"12ABc", false), u"c");
    EXPECT_EQ(firstValue(u"(.+[a-z])", u"700 MB", true), u"700 MB");
    EXPECT_EQ(firstValue(u"FILENAME", u"\"fileName\""), u"fileName");
    EXPECT_EQ(firstValue(u"FILENAME", u"\"fileName\"", false), u"<none>");
    EXPECT_EQ(firstValue(u"[^a-z]+", u"abC12d"), u"12");
    EXPECT_EQ(firstValue(u"(a)\\1", u"aA"), u"aA");
}

TEST(RegExp, DigitAndWordClassesAreAscii) {
    EXPECT_EQ(firstValue(u"\\d+", u"１２34"), u"34");
    EXPECT_EQ(firstValue(u"\\w+", u"中文_ab9"), u"_ab9");
    EXPECT_EQ(firstValue(u"\\s+", u"a\u3000\u00a0 \t\v\f\r\nb"), u" \t\v\f\r\n");
    EXPECT_EQ(firstValue(u"\\bab\\b", u"xab ab"), u"ab");
    EXPECT_EQ(findAll(u"\\bab\\b", u"xab ab")[0].index, 4);
}

TEST(RegExp, GlobalMatchesAreLeftToRightWithoutOverlap) {
    EXPECT_EQ(findAll(u"aa", u"aaaaa"), (std::vector<Found>{{0, u"aa"}, {2, u"aa"}}));
    // An empty match moves the next search on by one unit.
    EXPECT_EQ(findAll(u"x*", u"ab"), (std::vector<Found>{{0, u""}, {1, u""}, {2, u""}}));
    EXPECT_EQ(findAll(u"\\d*", u"1a22"),
              (std::vector<Found>{{0, u"1"}, {1, u""}, {2, u"22"}, {4, u""}}));
    EXPECT_EQ(findAll(u"a|ab", u"abab"), (std::vector<Found>{{0, u"a"}, {2, u"a"}}));
    EXPECT_EQ(findAll(u"aa", u"aaaaa", true, false), (std::vector<Found>{{0, u"aa"}}));
    EXPECT_EQ(findAll(u"q", u"abc"), std::vector<Found>{});
    EXPECT_EQ(findAll(u"", u""), (std::vector<Found>{{0, u""}}));
}

TEST(RegExp, DialectEscapes) {
    struct Case {
        std::u16string pattern, subject, expected;
    };
    const Case cases[] = {
        {u"\\x41\\u4e2D", u"xA中", u"A中"},
        {u"\\v", u"a\x0B", u"\x0B"},          // vertical tab, not a class of line ends
        {u"a\\v", u"a\n", u"<none>"},         //
        {u"\\q\\y\\j", u"qyj", u"qyj"},       // unknown letter escapes stand for the letter
        {u"\\Q.\\E", u"Q.E", u"Q.E"},         // no quoting mode
        {u"\\Z\\A\\G", u"ZAG", u"ZAG"},       // no PCRE anchors
        {u"\\K", u"K", u"K"},                 //
        {u"\\h\\H\\R\\N", u"hHRN", u"hHRN"},  //
        {u"\\x4", u"x4", u"x4"},              // a short \x is the letter x
        {u"\\u12", u"u12", u"u12"},           //
        {u"\\/\\:\\\"", u"/:\"", u"/:\""},    // identity escapes
        {u"\\cJ", u"\n", u"\n"},              //
        {u"\\101", u"A", u"A"},               // octal when no such group
        {u"\\0", u"a\0"s, u"\0"s},            //
        {u"(a)\\1", u"aa", u"aa"},            //
        {u"(a)?b\\1", u"b", u"b"},            // a group that took no part matches empty
        {u"\\8", u"8", u"8"},                 //
        {u"[\\d-z]+", u"-z5", u"-z5"},        // a hyphen beside a class escape is plain
        {u"[a-\\d]+", u"-a1", u"-a1"},        //
        {u"[a-c-e]+", u"-ace", u"-ace"},      //
        {u"[\\b]", u"a\bb", u"\b"},           //
        {u"[[:alpha:]]+", u"[:a]]", u"a]]"},  // no POSIX classes; "[" is plain in a class
        {u"[^]", u"\n", u"\n"},               // the negated empty class takes anything
        {u"[]a", u"a", u"<none>"},            // the empty class takes nothing
        {u"a{,2}", u"a{,2}", u"a{,2}"},       // braces that are no quantifier are literal
        {u"x{", u"x{", u"x{"},                //
        {u"a}]", u"a}]", u"a}]"},             //
        {u"(?:ab)+", u"ababa", u"abab"},      //
        {u"a(?=b)", u"acab", u"a"},           //
        {u"a(?!b)", u"abac", u"a"},           //
        {u"#\\ #", u"# #", u"# #"},           // no extended mode
    };
    for (const Case& c : cases)
        EXPECT_EQ(firstValue(c.pattern, c.subject, false), c.expected)
            << std::string(c.pattern.begin(), c.pattern.end());
}

TEST(RegExp, AnchorsFollowTheMultilineProperty) {
    const std::u16string s = u"ab\r\ncd\nef";
    EXPECT_EQ(findAll(u"^\\w+$", s), std::vector<Found>{});
    EXPECT_EQ(findAll(u"^\\w+$", s, true, true, true),
              (std::vector<Found>{{0, u"ab"}, {4, u"cd"}, {7, u"ef"}}));
    EXPECT_EQ(findAll(u"^a", s), (std::vector<Found>{{0, u"a"}}));
    EXPECT_EQ(findAll(u"f$", s), (std::vector<Found>{{8, u"f"}}));
    // "$" is the very end, not before a final line feed.
    EXPECT_EQ(findAll(u"x$", u"x\n"), std::vector<Found>{});
}

TEST(RegExp, PatternsTheDialectRejects) {
    for (const char16_t* p :
         {u"(",    u"a)",      u"[a",      u"*a",    u"a**",   u"a*+",   u"a{2}{3}",
          u"a??+", u"(?<=a)b", u"(?<n>a)", u"(?i)a", u"(?>a)", u"(?#c)", u"(*UTF)a",
          u"\\",   u"[z-a]",   u"a{3,1}",  u"|*",    u"^*",    u"\\b+"})
        EXPECT_TRUE(rejected(p)) << std::string(p, p + std::char_traits<char16_t>::length(p));
    EXPECT_FALSE(rejected(u"a|"));
    EXPECT_FALSE(rejected(u"()"));
}

TEST(RegExp, SubMatchesAndTheirPlaces) {
    regexp::RegExp re;
    re.setPattern(u"(\\w+)=(\\d+)?(x)?");
    re.setGlobal(true);
    std::shared_ptr<const regexp::MatchCollection> matches;
    {
        std::u16string subject = u"中 a=1 b=";
        matches = re.Execute(subject);
        subject.assign(subject.size(), u'#');  // the collection holds its own subject
    }
    re.setPattern(u"other");  // nor does it depend on the engine any more
    ASSERT_NE(matches, nullptr);
    ASSERT_EQ(matches->Count(), 2);
    auto second = matches->Item(1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Value(), u"b=");
    EXPECT_EQ(second->FirstIndex(), 6);
    EXPECT_EQ(second->Length(), 2);
    EXPECT_EQ(second->SubMatchCount(), 3);
    EXPECT_EQ(second->SubMatch(0), u"b");
    EXPECT_EQ(second->SubMatchIndex(0), 6);
    EXPECT_EQ(second->SubMatch(1), u"");  // took no part
    EXPECT_EQ(second->SubMatchIndex(1), -1);
    EXPECT_EQ(second->SubMatch(3), std::nullopt);
    EXPECT_EQ(second->SubMatch(-1), std::nullopt);
    EXPECT_EQ(matches->Item(0)->SubMatch(1), u"1");
    EXPECT_FALSE(matches->Item(2));
    EXPECT_FALSE(matches->Item(-1));
}

TEST(RegExp, ReplaceExpandsDollarForms) {
    struct Case {
        std::u16string pattern, replacement, expected;
        bool global;
    };
    const std::u16string subject = u"k1=v1;k2=v2";
    const Case cases[] = {
        {u"(\\w+)=(\\w+)", u"$2=$1", u"v1=k1;v2=k2", true},
        {u"(\\w+)=(\\w+)", u"$2=$1", u"v1=k1;k2=v2", false},
        {u"=", u"[$&]", u"k1[=]v1;k2[=]v2", true},
        {u";", u"<$`|$'>", u"k1=v1<k1=v1|k2=v2>k2=v2", true},
        {u";", u"$$-$0-$x-$", u"k1=v1$-$0-$x-$k2=v2", true},
        {u"(k)(1)", u"$10|$01|$3", u"k0|k|$3=v1;k2=v2", true},
        {u"(k)(1)?", u"[$2]", u"[1]=v1;[]2=v2", true},
        {u"x*", u"-", u"-k-1-=-v-1-;-k-2-=-v-2-", true},
        {u"z", u"-", u"k1=v1;k2=v2", true},
    };
    for (const Case& c : cases) {
        regexp::RegExp re;
        re.setPattern(c.pattern);
        re.setGlobal(c.global);
        EXPECT_EQ(re.Replace(subject, c.replacement), c.expected)
            << std::string(c.pattern.begin(), c.pattern.end());
    }
    regexp::RegExp re;
    re.setPattern(u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)");
    EXPECT_EQ(re.Replace(u"abcdefghijkl!", u"$12$11$10$9"), u"lkji!");
    re.setPattern(u"(");
    EXPECT_EQ(re.Replace(u"abc", u"x"), std::nullopt);
}

TEST(RegExp, RunawayBacktrackingCostsOnlyItsOwnAttempt) {
    regexp::RegExp re;
    re.setPattern(u"(a+)+$");
    re.setMatchLimit(100000);
    auto matches = re.Execute(std::u16string(40, u'a') + u"b");
    ASSERT_NE(matches, nullptr);
    EXPECT_EQ(matches->Count(), 0);
    EXPECT_GE(matches->AttemptsGivenUp(), 1) << "no match, but not for want of one";
    matches = re.Execute(std::u16string(40, u'a'));
    ASSERT_NE(matches, nullptr);
    EXPECT_EQ(matches->Count(), 1);
    EXPECT_EQ(matches->AttemptsGivenUp(), 0);

    // The attempt at the middle "x" is given up; the records on either side still match,
    // on the same line and on the next.
    re.setPattern(u"x(a+)+y");
    re.setGlobal(true);
    const std::u16string bad = u"x" + std::u16string(40, u'a') + u"z";
    matches = re.Execute(u"xaay " + bad + u" xay\nxaaay");
    ASSERT_NE(matches, nullptr);
    ASSERT_EQ(matches->Count(), 3);
    EXPECT_EQ(matches->Item(0)->Value(), u"xaay");
    EXPECT_EQ(matches->Item(1)->Value(), u"xay");
    EXPECT_EQ(matches->Item(2)->Value(), u"xaaay");
    EXPECT_EQ(matches->AttemptsGivenUp(), 1);
    EXPECT_FALSE(matches->RestGivenUp());
    // Records that fail on their own finish: nothing is given up.
    matches = re.Execute(u"xaay xaaz xa" + std::u16string(500, u'b') + u" xay");
    EXPECT_EQ(matches->Count(), 2);
    EXPECT_EQ(matches->AttemptsGivenUp() + matches->RestGivenUp(), 0);
    EXPECT_EQ(re.Replace(u"xay " + bad + u" xaay", u"<$1>"), u"<a> " + bad + u" <aa>");

    // A subject of nothing but bad records spends the run's budget and ends with what it
    // found before.
    std::u16string many = u"xaay ";
    for (int i = 0; i < 2000; ++i) many += bad;
    matches = re.Execute(many + u"xay");
    ASSERT_NE(matches, nullptr);
    ASSERT_EQ(matches->Count(), 1);
    EXPECT_EQ(matches->Item(0)->Value(), u"xaay");
    EXPECT_TRUE(matches->RestGivenUp());
}

TEST(RegExp, LongLazyRunsDoNotExhaustTheStack) {
    // One record spread over a megabyte-long line: the lazy group must stretch across it.
    std::u16string subject = u"\"fileName\":\"" + std::u16string(1 << 20, u'x') + u"\",\"end";
    regexp::RegExp re;
    re.setPattern(u"fileName\":\"(.*?)\",\"(.*?)end");
    auto matches = re.Execute(subject);
    ASSERT_NE(matches, nullptr);
    ASSERT_EQ(matches->Count(), 1);
    EXPECT_EQ(matches->Item(0)->SubMatch(0)->size(), std::size_t(1) << 20);
    // A million turns of a group keep a backtracking point each.
    re.setPattern(u"(?:(a)|b)*c");
    matches = re.Execute(std::u16string(1 << 20, u'a') + u"c");
    ASSERT_NE(matches, nullptr);
    EXPECT_EQ(matches->Count(), 1);
}

// A run lends the thread's match context its step counter, which lives in the run's own
// frame. Once the run is over the context must not lead there: anything else that matched
// with it would write into a dead frame (AddressSanitizer reports it as a use after return,
// see __asan_default_options below; elsewhere the counter's garbage refuses the match).
TEST(RegExp, ContextKeepsNoPointerIntoAFinishedRun) {
    regexp::RegExp re;
    re.setPattern(u"b+");
    re.setGlobal(true);
    ASSERT_NE(re.Execute(u"abbbc"), nullptr);

    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(u"(?C1)a"), 6, 0, &error, &offset, nullptr);
    ASSERT_NE(code, nullptr);
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    const std::u16string subject = u"a";
    const int rc =
        pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), 1, 0, 0, data,
                    static_cast<pcre2_match_context*>(regexp::detail::threadMatchContext()));
    pcre2_match_data_free(data);
    pcre2_code_free(code);
    EXPECT_EQ(rc, 1);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Keep returned frames poisoned, so that a pointer into one is caught when it is used.
extern "C" const char* __asan_default_options() {
    return "detect_stack_use_after_return=1";
}
#endif
