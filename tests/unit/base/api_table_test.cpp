#include "base/api_table.h"

#include <gtest/gtest.h>

#include "base/api.h"
#include "base/text_util.h"
#include "platform/codepage.h"

namespace {

TEST(ApiTable, BindsOnFirstUseAndCaches) {
    api::ApiRow& row = api::apiRow(api::kHeapSize);
    win::HANDLE heap = api::GetProcessHeap();
    void* p = api::HeapAlloc(heap, win::HEAP_ZERO_MEMORY, 7);
    EXPECT_EQ(api::HeapSize(heap, 0, p), 7u);
    void* bound = row.address.load();
    EXPECT_NE(bound, nullptr);
    api::HeapFree(heap, 0, p);
    EXPECT_EQ(row.address.load(), bound);
}

TEST(ApiTable, FailureTextsAreExact) {
    EXPECT_EQ(codepage::gbkToUtf8(api::bindFailureText("nosuch.dll", "Nothing")),
              "无法找到指定DLL库文件“nosuch.dll”中的输出命令“Nothing”");
    EXPECT_EQ(codepage::gbkToUtf8(api::bindFailureText("", "Nothing")),
              "无法找到指定DLL库文件中的输出命令“Nothing”");
}

TEST(ApiTableDeathTest, UnbindableFunctionEndsTheProgramWithTheFatalMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto bindMissing = [] {
        static api::ApiRow row{"kernel32", "NoSuchFunction"};
        api::bindRow(row);
    };
    // The default reporter writes the message as UTF-8 to stderr; the exit code is -1.
    EXPECT_EXIT(
        bindMissing(), ::testing::ExitedWithCode(255),
        "运行时出错!"
        "\r\n\r\n错误信息：无法找到指定DLL库文件“kernel32”中的输出命令“NoSuchFunction”\r\n");
    auto bindFromUnknownLibrary = [] {
        static api::ApiRow row{"", "AlsoMissing"};
        api::bindRow(row);
    };
    EXPECT_EXIT(bindFromUnknownLibrary(), ::testing::ExitedWithCode(255),
                "无法找到指定DLL库文件中的输出命令“AlsoMissing”");
}

TEST(ApiTable, EveryRowBinds) {
    // All rows of the table must be exported by the platform layer once it is complete;
    // wininet joins with the web access layer.
    for (int id = 0; id < api::kApiCount; ++id) {
        api::ApiRow& row = api::apiRow(api::ApiId(id));
        if (std::string_view(row.library) == "wininet.dll") continue;
        EXPECT_NE(api::bindRow(row), nullptr) << row.function;
    }
}

}  // namespace
