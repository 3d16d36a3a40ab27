#include "vendors/service_hosts.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Every case starts from an environment without overrides and leaves none behind.
class ServiceHosts : public ::testing::Test {
  protected:
    void SetUp() override { clearAll(); }
    void TearDown() override { clearAll(); }
    static void clearAll() {
        for (auto s : {VendorService::Huawei, VendorService::Zte, VendorService::Coolpad,
                       VendorService::Lg, VendorService::Iphone}) {
            unsetenv(serviceHostVariable(s));
        }
    }
};

TEST_F(ServiceHosts, DefaultsAreThePublicHosts) {
    EXPECT_EQ(huaweiBase(), "http://consumer.huawei.com");
    EXPECT_EQ(zteBase(), "http://support.zte.com.cn");
    EXPECT_EQ(coolpadBase(), "http://www.coolpad.com");
    EXPECT_EQ(lgBase(), "http://csmg.lgmobile.com:9002");
    EXPECT_EQ(serviceHost(VendorService::Lg), "csmg.lgmobile.com:9002");
    const std::string iphone = iphoneBase();
    EXPECT_EQ(iphone.substr(0, 7), "http://");
    EXPECT_EQ(iphone.back(), '/');
}

TEST_F(ServiceHosts, OverridesAreTakenFromTheEnvironment) {
    struct Case {
        VendorService service;
        const char* value;
        const char* base;
    };
    const Case cases[] = {
        {VendorService::Huawei, "127.0.0.1:41001", "http://127.0.0.1:41001"},
        {VendorService::Huawei, "  mirror.example.org  ", "http://mirror.example.org"},
        {VendorService::Zte, "http://127.0.0.1:41002/", "http://127.0.0.1:41002"},
        {VendorService::Zte, "HTTP://Zte.Mirror:8080", "http://Zte.Mirror:8080"},
        {VendorService::Coolpad, "[::1]:41003", "http://[::1]:41003"},
        {VendorService::Lg, "127.0.0.1", "http://127.0.0.1:9002"},
        {VendorService::Lg, "127.0.0.1:41004", "http://127.0.0.1:41004"},
        {VendorService::Lg, "[::1]", "http://[::1]:9002"},
        {VendorService::Iphone, "http://127.0.0.1:41005/", "http://127.0.0.1:41005/"},
        {VendorService::Iphone, "http://127.0.0.1:41005/fw", "http://127.0.0.1:41005/fw/"},
        {VendorService::Iphone, "127.0.0.1:41005/api/", "http://127.0.0.1:41005/api/"},
        {VendorService::Iphone, "https://fw.example.org/", "https://fw.example.org/"},
    };
    for (const Case& c : cases) {
        setenv(serviceHostVariable(c.service), c.value, 1);
        EXPECT_EQ(serviceBase(c.service), c.base) << c.value;
        clearAll();
    }
    setenv("ROMHAUL_IPHONE_BASE", "http://127.0.0.1:41005/api/", 1);
    EXPECT_EQ(serviceHost(VendorService::Iphone), "127.0.0.1:41005");
}

TEST_F(ServiceHosts, UnusableOverridesFallBackToThePublicHost) {
    const char* badHosts[] = {"",    "   ",       "host:0", "host:65536", "host:x1", "host/path",
                              "a b", "https://h", "[::1",   "[::1]x",     "host:",   "ftp://h"};
    for (const char* value : badHosts) {
        setenv("ROMHAUL_COOLPAD_HOST", value, 1);
        EXPECT_EQ(coolpadBase(), "http://www.coolpad.com") << '"' << value << '"';
        setenv("ROMHAUL_LG_HOST", value, 1);
        EXPECT_EQ(lgBase(), "http://csmg.lgmobile.com:9002") << '"' << value << '"';
    }
    unsetenv("ROMHAUL_IPHONE_BASE");
    const std::string publicBase = iphoneBase();
    for (const char* value : {"", "ftp://h/", "http://a b/", "http://h:99999/", "http:///x"}) {
        setenv("ROMHAUL_IPHONE_BASE", value, 1);
        EXPECT_EQ(iphoneBase(), publicBase) << '"' << value << '"';
    }
}

}  // namespace
