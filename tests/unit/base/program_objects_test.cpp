#include "base/program_objects.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/api.h"
#include "base/message_box.h"
#include "base/text_util.h"

namespace {

TEST(ProgramObjects, HeapIsUsableBeforeAndAfterTheModuleInitialiser) {
    // Document code may run in tests that never start the program.
    win::HANDLE before = processHeap();
    ASSERT_NE(before, nullptr);
    initDocumentModule();
    EXPECT_EQ(processHeap(), api::GetProcessHeap());
    void* block = api::HeapAlloc(processHeap(), 0, 24);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(api::HeapSize(processHeap(), 0, block), 24u);
    EXPECT_TRUE(api::HeapFree(processHeap(), 0, block));
}

TEST(ProgramObjects, ParseErrorTextTakesWritersFromSeveralThreads) {
    createProgramObjects();
    EXPECT_EQ(lastParseErrorText(), "");
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 2000; ++i)
                setLastParseErrorText(std::string(std::size_t(1 + (i + t) % 64), char('a' + t)));
        });
    for (auto& w : writers) w.join();
    const std::string last = lastParseErrorText();
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last, std::string(last.size(), last[0]));
    releaseProgramObjects();
    EXPECT_EQ(lastParseErrorText(), "");
}

TEST(MessageBoxSeam, PresenterIsReplaceableAndStderrIsTheFallback) {
    std::vector<std::string> seen;
    MessageBoxPresenter before =
        setMessageBoxPresenter([&](const std::string& text) { seen.push_back(text); });
    showMessageBox(gbk("您要搜索的关键字呢？"));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], gbk("您要搜索的关键字呢？"));

    setMessageBoxPresenter({});
    testing::internal::CaptureStderr();
    showMessageBox(gbk("抱歉，未找到合适结果。"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "抱歉，未找到合适结果。\n");
    setMessageBoxPresenter(before);
}

}  // namespace
