#include "net/url_cookies.h"

#include <gtest/gtest.h>

#include "platform/wininet.h"

namespace {

using namespace net;

struct UrlCase {
    const char* url;
    const char* host;
    const char* hostWithPort;
    int port;
    const char* path;
};

TEST(UrlSplit, HostPortAndPath) {
    const UrlCase cases[] = {
        {"HTTP://Host:8080/A?b=1", "host", "host:8080", 8080, "/A?b=1"},
        {"https://host", "host", "host", 443, "/"},
        {"HTTPS://Host/x", "host", "host", 443, "/x"},
        {"host/x", "host", "host", 80, "/x"},
        {"host", "host", "host", 80, "/"},
        {"http://a.com/p#frag", "a.com", "a.com", 80, "/p#frag"},
        {"http://a.com:/x", "a.com", "a.com:", 0, "/x"},
        {"http://a.com:12ab/x", "a.com", "a.com:12ab", 12, "/x"},
        {"http://a.com:99999999999999/x", "a.com", "a.com:99999999999999", 2147483647, "/x"},
        {"http://u:p@h.com/x", "u", "u:p@h.com", 0, "/x"},
        {"http:///x", "", "", 80, "/x"},
        {"http://", "", "", 80, "/"},
        {"", "", "", 80, "/"},
        // No scheme at the start: the host follows the first "http://" anywhere.
        {"go/x?u=http://Inner.org/y", "inner.org", "inner.org", 80, "/y"},
        {"https:/x", "https", "https:", 0, "/x"},
        {"https://", "", "", 443, "/"},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(urlHost(c.url), c.host);
        EXPECT_EQ(urlHost(c.url, true), c.hostWithPort);
        EXPECT_EQ(urlPort(c.url), c.port);
        EXPECT_EQ(urlPath(c.url), c.path);
    }
}

TEST(UrlSplit, PathIsFoundAfterTheSchemeEvenWhenTheHostOccursInIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://h/x", "/x"},          {"http://t/x", "/x"},     {"http://p/x", "/x"},
        {"https://s/x?q=1", "/x?q=1"}, {"http://tp/x", "/x"},    {"HTTP://TP:81/Y", "/Y"},
        {"http://http/a", "/a"},       {"https://ttps/b", "/b"},
    };
    for (auto [url, path] : cases) EXPECT_EQ(urlPath(url), path) << url;
}

TEST(UrlSplit, GbkTextStaysIntact) {
    // "测" is B2 E2; the trail byte 0x41 of 0x81 0x41 must not be lower-cased.
    const std::string url =
        "http://Host/\x81"
        "A\xB2\xE2?k=\xB2\xE2";
    EXPECT_EQ(urlHost(url), "host");
    EXPECT_EQ(urlPath(url),
              "/\x81"
              "A\xB2\xE2?k=\xB2\xE2");
    EXPECT_EQ(urlHost("http://\x81"
                      "A.cn/"),
              "\x81"
              "A.cn")
        << "a trail byte is no letter";
}

TEST(RequestTarget, EncodesOnlyWhatCannotStandRaw) {
    using wininet::requestTarget;
    EXPECT_EQ(requestTarget("/s?a=1&b=2"), "/s?a=1&b=2");
    EXPECT_EQ(requestTarget("/%41/~!$'()*+,;=:@{}|^`[]\\"), "/%41/~!$'()*+,;=:@{}|^`[]\\");
    EXPECT_EQ(requestTarget("/s?&keywords=  P6  "), "/s?&keywords=%20%20P6%20%20");
    EXPECT_EQ(requestTarget("/\"<>\x7f\t\r\n"), "/%22%3C%3E%7F%09%0D%0A");
    EXPECT_EQ(requestTarget("/k=\xB2\xE2"), "/k=%B2%E2");
    EXPECT_EQ(requestTarget("/a#frag ment"), "/a");
    EXPECT_EQ(requestTarget("#x"), "/");
    EXPECT_EQ(requestTarget(""), "/");
    EXPECT_EQ(requestTarget("x"), "/x");
    EXPECT_EQ(requestTarget(std::string("/a\0b", 4)), "/a%00b");
}

TEST(CookieJar, NamesAndDedupe) {
    EXPECT_EQ(cookieName(" a =1"), "a");
    EXPECT_EQ(cookieName("solo"), "solo");
    EXPECT_EQ(cookieName("=v"), "");
    EXPECT_EQ(cookieName("a=b=c"), "a");
    EXPECT_EQ(dedupeItems("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(dedupeItems("", "; "), "");
    EXPECT_EQ(dedupeItems("a;;a;", ";"), "a;");
    EXPECT_EQ(dedupeItems("A; a", "; "), "A; a") << "letter case counts";
}

struct MergeCase {
    const char* jar;
    const char* fresh;
    const char* merged;
    const char* freshAfter;
};

TEST(CookieJar, Merge) {
    const MergeCase cases[] = {
        {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
        {"a=1", "a=deleted", "", "a=deleted"},
        {"x=1; x=2", "", "x=1", ""},
        {"", "", "", ""},
        {"", "s=1", "s=1", "s=1"},
        {"a=1; b=deleted", "c=3", "c=3; a=1", "c=3"},
        {"a = 1\xA1\xA1",
         "b=\xA1\xA1"
         "2",
         "b=2; a=1", "b=2"},
        {"a=1;;b=2", "", "a=1; ; b=2", ""},
        {"a=1;", "a=2; a=3", "a=2; a=3", "a=2;a=3"},
        {"a=1", "b=2; b=2", "b=2; a=1", "b=2;b=2"},
        {"deleted", "x=deleted", "deleted", "x=deleted"},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(std::string(c.jar) + " | " + c.fresh);
        std::string jar = c.jar, fresh = c.fresh;
        EXPECT_EQ(mergeCookies(jar, fresh), c.merged);
        EXPECT_EQ(jar, c.merged);
        EXPECT_EQ(fresh, c.freshAfter);
    }
}

TEST(CookieJar, FullWidthSpaceIsRemovedOnlyOnCharacterBoundaries) {
    // "啊" is B0 A1: its trail byte and the next A1 are no full-width space.
    std::string jar =
                    "k=\xB0\xA1\xA1"
                    "b",
                fresh;
    EXPECT_EQ(mergeCookies(jar, fresh),
              "k=\xB0\xA1\xA1"
              "b");
}

}  // namespace

TEST(ResolveReference, Rfc3986ExamplesAndVendorAddresses) {
    const char* const base = "http://a/b/c/d;p?q";
    const std::pair<const char*, const char*> rfc[] = {
        // RFC 3986 5.4.1, normal examples
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
        // 5.4.2, abnormal examples (strict parser)
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    for (auto [reference, want] : rfc)
        EXPECT_EQ(resolveReference(base, reference), want) << reference;

    // The pages the addresses come from: a fragment on the page, a host without a path, a
    // query of its own, bytes that are no ASCII, and JSON's escaped slashes left alone.
    const std::tuple<const char*, const char*, const char*> pages[] = {
        {"http://support.zte.com.cn/support/1002/ab.html", "/support/fileDownload?fileId=88012",
         "http://support.zte.com.cn/support/fileDownload?fileId=88012"},
        {"http://h:81/p/downloadInfo.html?t=F1#downListUL", "../dl/a b.zip",
         "http://h:81/dl/a b.zip"},
        {"http://h", "a.kdz", "http://h/a.kdz"},
        {"http://h/x/", "\xB2\xE2/a.zip", "http://h/x/\xB2\xE2/a.zip"},
        {"http://h/x", "HTTP:\\/\\/dl.h\\/a.zip", "HTTP:\\/\\/dl.h\\/a.zip"},
        {"http://h/x", "ftp://f/pub/../a.zip", "ftp://f/a.zip"},
    };
    for (auto [page, reference, want] : pages)
        EXPECT_EQ(resolveReference(page, reference), want) << page << " " << reference;
}
