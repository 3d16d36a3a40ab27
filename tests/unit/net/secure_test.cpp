// Secure requests against a TLS server on loopback with a certificate made for the test.
#include <httplib.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/api.h"
#include "net/fetch_url.h"
#include "platform/wininet.h"
#include "tests/support/raw_http_server.h"

namespace {

namespace fs = std::filesystem;
using net::fetchUrl;

class Secure : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ =
            new fs::path(fs::temp_directory_path() / ("romhaul_tls_" + std::to_string(::getpid())));
        fs::create_directories(*dir_);
        const std::string command =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
            "-addext subjectAltName=IP:127.0.0.1 -keyout " +
            (*dir_ / "key.pem").string() + " -out " + (*dir_ / "cert.pem").string() +
            " >/dev/null 2>&1";
        made_ = std::system(command.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir_);
        delete dir_;
    }

    void SetUp() override {
        if (!made_) GTEST_SKIP() << "openssl could not make a test certificate";
        wininet::clearCookies();
        server_ = std::make_unique<httplib::SSLServer>((*dir_ / "cert.pem").c_str(),
                                                       (*dir_ / "key.pem").c_str());
        server_->Get("/x", [this](const httplib::Request& req, httplib::Response& res) {
            ++hits_;
            res.set_content("secure " + req.get_header_value("Accept-Language"), "text/plain");
        });
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void TearDown() override {
        wininet::setTrustedCertificates("");
        if (!server_) return;
        server_->stop();
        thread_.join();
    }

    std::string url(const char* path) const {
        return "https://127.0.0.1:" + std::to_string(port_) + path;
    }

    static fs::path* dir_;
    static bool made_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<int> hits_{0};
};
fs::path* Secure::dir_ = nullptr;
bool Secure::made_ = false;

TEST_F(Secure, CertificateIsVerified) {
    EXPECT_EQ(fetchUrl(url("/x")), "") << "a certificate nobody vouches for is refused";
    EXPECT_EQ(hits_.load(), 0);

    wininet::setTrustedCertificates((*dir_ / "cert.pem").string());
    EXPECT_EQ(fetchUrl(url("/x")), "secure zh-cn");
    EXPECT_EQ(hits_.load(), 1);
    EXPECT_EQ(wininet::lastRequest().flags, 0x80800010u);
}

TEST_F(Secure, PlainRequestsMayBeRedirectedToHttps) {
    wininet::setTrustedCertificates((*dir_ / "cert.pem").string());
    const std::string target = url("/x");
    testsupport::RawHttpServer plain([&](const testsupport::RawRequest&) {
        return testsupport::rawReply("302 Found", "Location: " + target + "\r\n", "moved");
    });
    EXPECT_EQ(fetchUrl(plain.base() + "/go"), "secure zh-cn");
    EXPECT_EQ(fetchUrl(plain.base() + "/go", 0, {}, nullptr, nullptr, nullptr, nullptr, true),
              "moved");
    EXPECT_EQ(hits_.load(), 1);

    // Without IGNORE_REDIRECT_TO_HTTPS the layer does not follow such a redirect.
    win::HINTERNET session = api::InternetOpenA("a", win::INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
    win::HINTERNET connection =
        api::InternetConnectA(session, "127.0.0.1", win::INTERNET_PORT(plain.port()), "", "",
                              win::INTERNET_SERVICE_HTTP, 0, 0);
    win::HINTERNET request = api::HttpOpenRequestA(connection, "GET", "/go", "HTTP/1.1", nullptr,
                                                   nullptr, 0x80000010, 0);
    api::HttpSendRequestA(request, "", 0, nullptr, 0);
    char buffer[64];
    win::DWORD read = 0;
    EXPECT_FALSE(api::InternetReadFile(request, buffer, sizeof buffer, &read));
    EXPECT_EQ(hits_.load(), 1);
    for (win::HINTERNET h : {request, connection, session}) api::InternetCloseHandle(h);
}

}  // namespace
