// Requests through the proxies of the environment and of the settings, against small HTTP
// and SOCKS5 proxies on loopback. The proxies send every connection to one loopback server
// whatever host was named, so "vendor.example" is reached only through them; 127.0.0.2,
// where nothing listens, shows whether a request went direct.
#include <gtest/gtest.h>

#include <cstdlib>

#include "net/fetch_url.h"
#include "net/proxy_settings.h"
#include "platform/wininet.h"
#include "tests/support/loopback_proxy.h"
#include "tests/support/raw_http_server.h"
#include "tests/support/scoped_env.h"

namespace {

using namespace net;
using testsupport::LoopbackProxy;
using testsupport::RawRequest;
using testsupport::ScopedEnv;
using Kind = LoopbackProxy::Kind;
using Strings = std::vector<std::string>;

const char* const kVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                  "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

class Proxy : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* v : kVariables) ::unsetenv(v);
        setProxySettings({});
        wininet::Limits l = saved_ = wininet::limits();
        l.connectTimeout = std::chrono::milliseconds(3000);
        l.idleTimeout = std::chrono::milliseconds(5000);
        wininet::setLimits(l);
    }
    void TearDown() override {
        setProxySettings({});
        wininet::setLimits(saved_);
    }

    LoopbackProxy::Options to(Kind kind) const { return {kind, origin_.port()}; }
    std::string direct(const std::string& path) const {
        return "http://127.0.0.2:" + std::to_string(origin_.port()) + path;
    }

    testsupport::RawHttpServer origin_{
        [](const RawRequest& r) { return testsupport::keptReply("origin " + r.target()); }};
    wininet::Limits saved_;
};

TEST_F(Proxy, EnvironmentVariablesInEitherLetterCase) {
    struct Case {
        const char* variable;
        Kind kind;
        const char* url;
        Strings asked;
        bool answered;
    };
    const Case cases[] = {
        {"http_proxy",
         Kind::Http,
         "http://vendor.example/p?q=1",
         {"GET http://vendor.example/p?q=1"},
         true},
        {"HTTP_PROXY",
         Kind::Http,
         "http://vendor.example/p",
         {"GET http://vendor.example/p"},
         true},
        {"all_proxy", Kind::Socks5, "http://vendor.example:8080/p", {"vendor.example:8080"}, true},
        {"ALL_PROXY", Kind::Socks5, "http://vendor.example/p", {"vendor.example:80"}, true},
        // The origin speaks no TLS: the tunnel is what shows.
        {"https_proxy",
         Kind::Http,
         "https://vendor.example/p",
         {"CONNECT vendor.example:443"},
         false},
        {"HTTPS_PROXY", Kind::Socks5, "https://vendor.example/p", {"vendor.example:443"}, false},
    };
    // A TLS handshake with a server that speaks none waits for the connect time-out.
    wininet::Limits l = wininet::limits();
    l.connectTimeout = std::chrono::milliseconds(1000);
    wininet::setLimits(l);
    for (const Case& c : cases) {
        LoopbackProxy proxy(to(c.kind));
        ScopedEnv env(c.variable, proxy.address());
        const std::string body = fetchUrl(c.url);
        EXPECT_EQ(proxy.asked(), c.asked) << c.variable;
        EXPECT_EQ(!lastFetchFailed(), c.answered) << c.variable << ": " << lastFetchError();
        if (c.answered) {
            const std::string url = c.url;
            EXPECT_EQ(body, "origin " + url.substr(url.find("/p")));
        }
    }
}

TEST_F(Proxy, NoProxyAndLoopbackGoDirect) {
    LoopbackProxy proxy(to(Kind::Http));
    ScopedEnv env("http_proxy", proxy.address());
    EXPECT_EQ(fetchUrl(direct("/a")), "origin /a") << "through the proxy";
    EXPECT_EQ(proxy.asked().size(), 1u);
    for (const char* variable : {"no_proxy", "NO_PROXY"}) {
        ScopedEnv bypass(variable, "other.example,127.0.0.2");
        EXPECT_EQ(fetchUrl(direct("/b")), "") << variable;
        EXPECT_TRUE(lastFetchFailed()) << "nothing listens there";
    }
    EXPECT_EQ(fetchUrl(origin_.base() + "/c"), "origin /c") << "loopback";
    EXPECT_EQ(proxy.asked().size(), 1u);
}

TEST_F(Proxy, SettingsOverrideTheEnvironment) {
    LoopbackProxy envProxy(to(Kind::Http));
    ScopedEnv env("http_proxy", envProxy.address());

    LoopbackProxy http(to(Kind::Http));
    ASSERT_TRUE(setProxySettings({ProxyMode::Http, "127.0.0.1", http.port(), "user", "pa:ss"}));
    EXPECT_EQ(fetchUrl("http://vendor.example/h"), "origin /h") << lastFetchError();
    EXPECT_EQ(http.asked(), Strings{"GET http://vendor.example/h"});
    EXPECT_EQ(http.credentials(), Strings{"Basic dXNlcjpwYTpzcw=="});

    LoopbackProxy socks({Kind::Socks5, origin_.port(), false, "user", "secret"});
    ASSERT_TRUE(setProxySettings({ProxyMode::Socks5, "localhost", socks.port(), "user", "secret"}));
    EXPECT_EQ(fetchUrl("http://vendor.example/s"), "origin /s") << lastFetchError();
    EXPECT_EQ(socks.asked(), Strings{"vendor.example:80"}) << "the proxy resolves the name";
    EXPECT_EQ(socks.credentials(), Strings{"user:secret"});

    ASSERT_TRUE(setProxySettings({ProxyMode::None}));
    EXPECT_EQ(fetchUrl(direct("/n")), "");
    EXPECT_TRUE(envProxy.asked().empty()) << "None ignores the environment";
    ASSERT_TRUE(setProxySettings({ProxyMode::System}));
    EXPECT_EQ(fetchUrl(direct("/e")), "origin /e");
    EXPECT_EQ(envProxy.asked(), Strings{"GET " + direct("/e")});
}

TEST_F(Proxy, UnusableSettingsChangeNothing) {
    const ProxySettings good{ProxyMode::Http, "proxy.shop.lan", 3128, "", ""};
    ASSERT_TRUE(setProxySettings(good));
    const ProxySettings bad[] = {
        {ProxyMode::Http, "", 3128},
        {ProxyMode::Socks5, "h", 0},
        {ProxyMode::Socks5, "h", 65536},
        {ProxyMode::Http, "bad host", 80},
        {ProxyMode::Http, "h/x", 80},
        {ProxyMode::Http, "h", 80, "u\r\nX: 1", "p"},
        {ProxyMode::Http, "h", 80, "u", "p\n"},
    };
    for (const ProxySettings& s : bad) {
        EXPECT_FALSE(setProxySettings(s)) << s.host << ":" << s.port;
        EXPECT_EQ(proxySettings(), good);
    }
    EXPECT_TRUE(setProxySettings({ProxyMode::Socks5, "[::1]", 1080}));
    EXPECT_TRUE(setProxySettings({ProxyMode::Http, "fe80::1", 8080}));
}

TEST_F(Proxy, AProxyThatRefusesOrIsNotThereIsAFailureWithItsReason) {
    const int dead = testsupport::unusedPort();
    LoopbackProxy refusingHttp({Kind::Http, origin_.port(), true});
    LoopbackProxy refusingSocks({Kind::Socks5, origin_.port(), true});
    LoopbackProxy wantsPassword({Kind::Socks5, origin_.port(), false, "user", "secret"});
    struct Case {
        ProxySettings settings;
        const char* url;
        std::string reasonHolds;
    };
    const Case cases[] = {
        {{ProxyMode::Http, "127.0.0.1", dead}, "http://vendor.example/", std::to_string(dead)},
        {{ProxyMode::Http, "127.0.0.1", refusingHttp.port()}, "http://vendor.example/", "407"},
        {{ProxyMode::Http, "127.0.0.1", refusingHttp.port()}, "https://vendor.example/", "407"},
        {{ProxyMode::Socks5, "127.0.0.1", refusingSocks.port()}, "http://vendor.example/", "SOCKS"},
        {{ProxyMode::Socks5, "127.0.0.1", wantsPassword.port(), "user", "wrong"},
         "http://vendor.example/",
         "SOCKS"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(setProxySettings(c.settings));
        EXPECT_EQ(fetchUrl(c.url), "") << c.url;
        EXPECT_TRUE(lastFetchFailed()) << c.settings.port << " " << c.url;
        EXPECT_NE(lastFetchError().find(c.reasonHolds), std::string::npos)
            << c.url << ": " << lastFetchError();
    }
}

}  // namespace
