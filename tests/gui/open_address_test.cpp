// Addresses from vendor replies reach the browser only when they are web or FTP addresses.
#include <gtest/gtest.h>

#include "app/open_address.h"
#include "tests/gui/gui_test_support.h"

TEST(OpenAddress, HandsOnlyWebAndFtpAddressesToTheShell) {
    struct Case {
        const char* address;
        bool opened;
    };
    const Case cases[] = {
        {"http://example.com/a.zip", true},    {"HTTPS://example.com/a.zip", true},
        {"Ftp://example.com/pub/a.kdz", true}, {"", false},
        {"file:///etc/passwd", false},         {"/usr/bin/xterm", false},
        {"javascript:alert(1)", false},        {"http:/example.com", false},
        {" http://example.com", false},        {"mailto:someone@example.com", false},
    };
    for (const Case& c : cases) {
        OpenRecorder opens;
        EXPECT_EQ(openAddress(c.address), c.opened) << c.address;
        EXPECT_EQ(opens.addresses().size(), c.opened ? 1u : 0u) << c.address;
        if (c.opened) {
            EXPECT_EQ(opens.addresses()[0], c.address);
        }
    }
}

TEST(OpenAddress, KeepsGbkTextOfTheAddressIntact) {
    OpenRecorder opens;
    // "http://h/固件.zip" in code page 936 arrives at the opener as UTF-8.
    ASSERT_TRUE(openAddress("http://h/\xB9\xCC\xBC\xFE.zip"));
    ASSERT_EQ(opens.addresses().size(), 1u);
    EXPECT_EQ(opens.addresses()[0], "http://h/\xE5\x9B\xBA\xE4\xBB\xB6.zip");
}
