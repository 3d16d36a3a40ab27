#include "vendors/iphone.h"

#include <gtest/gtest.h>

#include <atomic>

#include "base/text_util.h"
#include "tests/support/scoped_env.h"
#include "tests/unit/vendors/scripted_fetch.h"

namespace {

using testsupport::ScopedEnv;

constexpr const char* kBase = "http://127.0.0.1:4100/fw/";
constexpr const char* kModels = "http://127.0.0.1:4100/fw/model/getModelSelect.go";
constexpr const char* kVersions = "http://127.0.0.1:4100/fw/model/getVersionSelect.go?type=all";
constexpr const char* kEverything =
    "http://127.0.0.1:4100/fw/down/getDown.go?model=all&type=all&version=all&brush=30";

TEST(IphoneAddresses, TakeTheChoicesAsTheyStand) {
    const ScopedEnv base("ROMHAUL_IPHONE_BASE", kBase);
    EXPECT_EQ(iphoneModelListAddress(), kModels);
    EXPECT_EQ(iphoneVersionListAddress(), kVersions);
    EXPECT_EQ(iphoneTypeListAddress(gbk("iPhone 4 电信版")),
              "http://127.0.0.1:4100/fw/model/getTypeSelect.go?model=" + gbk("iPhone 4 电信版"));
    EXPECT_EQ(iphoneFirmwareAddress("all", "all", "all", false), kEverything);
    EXPECT_EQ(iphoneFirmwareAddress("iPhone 4", "iPhone3,1", "", true),
              "http://127.0.0.1:4100/fw/down/getDown.go?model=iPhone 4&type=iPhone3,1&version="
              "&brush=1");

    EXPECT_EQ(iphoneChoice(iphoneAllModels(), iphoneAllModels()), "all");
    EXPECT_EQ(iphoneChoice(iphoneAllTypes(), iphoneAllModels()), iphoneAllTypes());
    EXPECT_EQ(iphoneChoice("", iphoneAllVersions()), "");
    EXPECT_EQ(iphoneChoice("8.1", iphoneAllVersions()), "8.1");
}

TEST(IphoneNote, JoinsFirmwareJailbreakAndFlashing) {
    struct Case {
        int types, isSetup, productState;
        const char* note;
    };
    const Case cases[] = {
        {0, 120, 60, "原厂固件，可完美越狱，可随意刷此版本"},
        {1, 0, 0, "自制固件"},
        {5, 80, 120, "自制固件，可不完美越狱，有SHSH则可以刷"},
        {0, 50, 45, "原厂固件"},
        {0, 20, 30, "原厂固件，不可越狱，不可刷"},
        {-1, 120, 90, "自制固件，可完美越狱，可平刷"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(iphoneNote(c.types, c.isSetup, c.productState), gbk(c.note)) << c.note;
}

TEST(IphoneReplies, ListsAndFirmwareInReplyOrder) {
    EXPECT_EQ(iphoneReadList(gbk("[\"iPhone 4\",\"iPhone 4 电信版\",\"5\"]")),
              (std::vector<std::string>{"iPhone 4", gbk("iPhone 4 电信版"), "5"}));
    const std::string reply =
        "{\"iPhone3,1\":[{\"version\":\"7.1.2\",\"productName\":\"A\",\"types\":0,\"isSetup\":120,"
        "\"productState\":60,\"downUrl\":\"http://h/a\"},{\"version\":\"6.1.3\",\"productName\":"
        "\"B\",\"types\":5,\"productState\":120,\"downUrl\":\"http://h/b\"}],"
        "\"iPhone3,2\":[{\"productName\":\"C\"}]}";
    EXPECT_EQ(iphoneReadFirmware(reply),
              (std::vector<IphoneRow>{
                  {"7.1.2", "A", gbk("原厂固件，可完美越狱，可随意刷此版本"), "http://h/a"},
                  {"6.1.3", "B", gbk("自制固件，有SHSH则可以刷"), "http://h/b"},
                  {"", "C", gbk("原厂固件"), ""}}));
}

TEST(IphoneReplies, UnexpectedShapesGiveNoRows) {
    for (const char* reply : {"", "null", "[]", "{}", "\"text\"", "[1,2", "{\"a\":\"a long text\"}",
                              "{\"a\":{\"b\":1}}", "{\"a\":5}"}) {
        EXPECT_TRUE(iphoneReadFirmware(reply).empty()) << reply;
    }
    for (const char* reply : {"", "{}", "\"abcdef\"", "{\"a\":1}", "5"})
        EXPECT_TRUE(iphoneReadList(reply).empty()) << reply;
}

// ---------------------------------------------------------------- look-ups

class IphoneLookUps : public ::testing::Test {
  protected:
    const ScopedEnv base{"ROMHAUL_IPHONE_BASE", kBase};
    ScriptedFetch fetch;
};

TEST_F(IphoneLookUps, CatalogueAsksForModelsVersionsThenEverything) {
    fetch.answer(kModels, "[\"iPhone 4\",\"iPhone 4 电信版\"]");
    fetch.answer(kVersions, "[\"7.1.2\"]");
    fetch.answer(kEverything,
                 "{\"a\":[{\"version\":\"7.1.2\",\"productName\":\"A\",\"downUrl\":\"u\"}]}");
    const IphoneCatalogue c = iphoneFetchCatalogue(fetch.context());
    EXPECT_EQ(fetch.addresses(), (std::vector<std::string>{kModels, kVersions, kEverything}));
    EXPECT_EQ(c.models, (std::vector<std::string>{"iPhone 4", gbk("iPhone 4 电信版")}));
    EXPECT_EQ(c.versions, std::vector<std::string>{"7.1.2"});
    EXPECT_EQ(c.rows, (std::vector<IphoneRow>{
                          {"7.1.2", "A", gbk("原厂固件"), "http://127.0.0.1:4100/fw/down/u"}}));
    EXPECT_EQ(c.end, LookupEnd::Complete);

    // A failed request reads as an empty reply and the load goes on.
    fetch.requests.clear();
    fetch.fail(kModels);
    const IphoneCatalogue partial = iphoneFetchCatalogue(fetch.context());
    EXPECT_EQ(fetch.requests.size(), 3u);
    EXPECT_TRUE(partial.models.empty());
    EXPECT_EQ(partial.versions.size(), 1u);
    EXPECT_EQ(partial.rows.size(), 1u);
    EXPECT_EQ(partial.end, LookupEnd::Failed);

    // A stop ends it before its next request.
    std::atomic<bool> stop{false};
    fetch.requests.clear();
    fetch.answerAll([&](const FetchRequest&) {
        stop = true;
        return FetchReply{"[\"x\"]", false};
    });
    LookupContext ctx = fetch.context();
    ctx.stop = &stop;
    const IphoneCatalogue stopped = iphoneFetchCatalogue(ctx);
    EXPECT_EQ(fetch.requests.size(), 1u);
    EXPECT_EQ(stopped.end, LookupEnd::Stopped);
    EXPECT_TRUE(stopped.models.empty());
}

TEST_F(IphoneLookUps, TypesOfAModelAndTheFirmwareOfTheChoices) {
    const std::string model = gbk("iPhone 4 电信版");
    const std::string types = "http://127.0.0.1:4100/fw/model/getTypeSelect.go?model=" + model;
    fetch.answer(types, "[\"iPhone3,3\"]");
    EXPECT_EQ(iphoneFetchTypes(model, fetch.context()).entries,
              std::vector<std::string>{"iPhone3,3"});
    // The first entry asks for no type list.
    const IphoneList all = iphoneFetchTypes(iphoneAllModels(), fetch.context());
    EXPECT_TRUE(all.entries.empty());
    EXPECT_EQ(all.end, LookupEnd::Complete);
    EXPECT_EQ(fetch.addresses(), std::vector<std::string>{types});

    const std::string firmware =
        "http://127.0.0.1:4100/fw/down/getDown.go?model=all&type=iPhone3,3&version=all&brush=1";
    fetch.answer(firmware, "{\"a\":[{\"productName\":\"B\",\"types\":1}]}");
    const IphoneFirmware f = iphoneFetchFirmware("all", "iPhone3,3", "all", true, fetch.context());
    EXPECT_EQ(fetch.requests.back().address, firmware);
    EXPECT_EQ(f.rows, (std::vector<IphoneRow>{{"", "B", gbk("自制固件"), ""}}));
    fetch.fail(firmware);
    EXPECT_EQ(iphoneFetchFirmware("all", "iPhone3,3", "all", true, fetch.context()).end,
              LookupEnd::Failed);
}

}  // namespace
