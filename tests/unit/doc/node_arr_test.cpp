#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/api.h"
#include "base/text_util.h"
#include "doc_test_util.h"

namespace {

// Nodes with owned copies of their names, as trees built in code have them.
DocNode* named(const std::string& name) {
    DocNode* node = newNode();
    node->key = static_cast<char*>(api::HeapAlloc(api::GetProcessHeap(), win::HEAP_ZERO_MEMORY, name.size() + 1));
    std::memcpy(node->key, name.data(), name.size());
    return node;
}

TEST(NodeArr, PositionsCountFromOneAndStayInRange) {
    DocNode a{}, b{}, c{};
    NodeArr* list = nullptr;
    EXPECT_EQ(nodeArrCount(list), 0);
    EXPECT_EQ(nodeArrGet(list, 1), nullptr);
    nodeArrAppend(list, &a);
    nodeArrAppend(list, &c);
    ASSERT_EQ(nodeArrCount(list), 2);
    EXPECT_TRUE(nodeArrInsert(list, 2, &b));
    EXPECT_FALSE(nodeArrInsert(list, 5, &b));
    EXPECT_FALSE(nodeArrInsert(list, 0, &b));
    ASSERT_EQ(nodeArrCount(list), 3);
    EXPECT_EQ(nodeArrGet(list, 1), &a);
    EXPECT_EQ(nodeArrGet(list, 2), &b);
    EXPECT_EQ(nodeArrGet(list, 3), &c);
    EXPECT_EQ(nodeArrGet(list, 0), nullptr);
    EXPECT_EQ(nodeArrGet(list, 4), nullptr);
    EXPECT_EQ(nodeArrFind(list, &c), 3);
    EXPECT_EQ(nodeArrSet(list, 3, &a), &c);
    EXPECT_EQ(nodeArrSet(list, 4, &a), nullptr);
    EXPECT_EQ(nodeArrFind(list, &a), 1);
    EXPECT_EQ(nodeArrFind(list, &c), 0);
    EXPECT_TRUE(nodeArrInsert(list, 4, &c));
    EXPECT_EQ(nodeArrGet(list, 4), &c);
    nodeArrResize(list, 6);
    EXPECT_EQ(nodeArrCount(list), 6);
    EXPECT_EQ(nodeArrGet(list, 4), &c);
    EXPECT_EQ(nodeArrGet(list, 6), nullptr);
    nodeArrResize(list, 1);
    EXPECT_EQ(nodeArrCount(list), 1);
    EXPECT_EQ(list->dims, 1);
    releaseNodeArr(list);
}

TEST(NodeArr, NamesHashAndCompareByteForByte) {
    EXPECT_EQ(nameHash(nullptr), 0u);
    EXPECT_EQ(nameHash(""), 0u);
    EXPECT_EQ(nameHash("a"), 97u);
    EXPECT_EQ(nameHash("ab"), 97u * 31 + 98);
    EXPECT_EQ(nameHash("\xFF"), 255u);  // bytes count as unsigned
    EXPECT_EQ(bucketOf(nameHash(""), 31), 1);
    EXPECT_TRUE(sameName(nullptr, ""));
    EXPECT_TRUE(sameName(nullptr, nullptr));
    EXPECT_FALSE(sameName("Name", "name"));
    EXPECT_FALSE(sameName("ab", "abc"));
}

int bucketEntries(const NodeArr* table) {
    int n = 0;
    for (int b = 1; b <= nodeArrCount(table); ++b) n += nodeArrCount(bucketAt(table, b));
    return n;
}

TEST(NodeArr, ToDisorderArrSizesTheTableAndDropsRepeatedNames) {
    for (auto [members, buckets] : {std::pair{0, 31}, {30, 31}, {31, 53}, {100, 173}}) {
        std::vector<DocNode*> nodes;
        for (int i = 0; i < members; ++i) nodes.push_back(named("m" + std::to_string(i)));
        int length = members;
        NodeArr* table = ToDisorderArr(nodes.data(), length);
        EXPECT_EQ(nodeArrCount(table), buckets) << members;
        EXPECT_EQ(bucketEntries(table), members);
        for (DocNode* n : nodes) {
            EXPECT_GT(nodeArrFind(bucketAt(table, bucketOf(nameHash(n->key), buckets)), n), 0);
            releaseNode(n);
        }
        for (int b = 1; b <= buckets; ++b) releaseNodeArr(bucketAt(table, b));
        releaseNodeArr(table);
    }
    ParseResult r = parseAndDump(R"({"x":1,"y":2,"x":3,"z":4,"":5,"y":6})");
    EXPECT_EQ(r.tree, "{x:1,y:2,z:4,:5}");
    std::string text = R"({"x":1,"y":2,"x":3,"z":4})";
    DataDocument doc = parse(text);
    EXPECT_EQ(bucketEntries(doc.root()->value.object.buckets), 3);
    releaseDocument(doc);
}

TEST(NodeArr, ToDisorderArrWithNCountsOnlyTheFirstN) {
    static std::string shown;
    setDocMessageBox([](const std::string& text) { shown = text; });
    std::vector<DocNode*> nodes{named("a"), named("b"), named("a"), named("c")};
    int length = 4;
    EXPECT_EQ(ToDisorderArr(nodes.data(), length, 5, true), nullptr);
    EXPECT_EQ(shown, gbk("ToDisorderArr 函数数组错误"));
    NodeArr* table = ToDisorderArr(nodes.data(), length, 3, true);
    ASSERT_EQ(length, 3);  // the repeated "a" is released, "c" closes up
    EXPECT_EQ(bucketEntries(table), 2);
    EXPECT_STREQ(nodes[2]->key, "c");
    for (int i = 0; i < 3; ++i) releaseNode(nodes[std::size_t(i)]);
    for (int b = 1; b <= nodeArrCount(table); ++b) releaseNodeArr(bucketAt(table, b));
    releaseNodeArr(table);
    setDocMessageBox(nullptr);
}

TEST(NodeArr, RebuildKeepsEveryEntryReachable) {
    std::vector<DocNode*> nodes;
    for (int i = 0; i < 30; ++i) nodes.push_back(named("k" + std::to_string(i)));
    int length = 30;
    NodeArr* table = ToDisorderArr(nodes.data(), length);
    for (int expected : {41, 55, 74, 99}) {
        table = rebuildBuckets(table);
        ASSERT_EQ(nodeArrCount(table), expected);
        EXPECT_EQ(bucketEntries(table), 30);
        for (DocNode* n : nodes) {
            const NodeArr* bucket = bucketAt(table, bucketOf(nameHash(n->key), expected));
            EXPECT_GT(nodeArrFind(bucket, n), 0);
        }
    }
    // An object node owns its table and member list; releasing it frees all of it.
    const int live = nodePool().liveSlots();
    DocNode* object = newNode();
    object->type = kObject;
    object->value.object.buckets = table;
    object->value.object.members = nodeArrFromMembers(nodes.data(), 30);
    releaseNode(object);
    EXPECT_EQ(nodePool().liveSlots(), live - 30);
}

TEST(NodeArr, ReleaseHonoursBorrowedFlags) {
    const int live = nodePool().liveSlots();
    char borrowed[] = "in a text buffer";
    DocNode* text = named("owned");
    text->type = kText | DocNode::valueBorrowed;
    text->value.address = borrowed;
    DocNode* list = newNode();
    list->type = kArray;
    list->value.address = nodeArrFromMembers(&text, 1);
    DocNode* owned = newNode();
    owned->key = borrowed;
    owned->type = kBytes | DocNode::keyBorrowed;
    owned->value.address = api::HeapAlloc(api::GetProcessHeap(), win::HEAP_ZERO_MEMORY, 12);
    releaseContent(owned);
    EXPECT_EQ(owned->type, DocNode::keyBorrowed);
    EXPECT_EQ(owned->value.address, nullptr);
    releaseNode(owned);
    releaseNode(list);
    EXPECT_EQ(nodePool().liveSlots(), live);
    EXPECT_STREQ(borrowed, "in a text buffer");
}

TEST(Prepare, RunsOnceWhenThreadsRaceToIt) {
    std::vector<std::thread> threads;
    std::vector<const std::uint16_t*> tables(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&tables, t] {
            std::string text = R"(["\u4e2d",1])";
            DataDocument doc = parse(text);
            tables[std::size_t(t)] = codePageTable();
            releaseDocument(doc);
        });
    for (auto& t : threads) t.join();
    for (auto* t : tables) EXPECT_EQ(t, tables[0]);
    EXPECT_EQ(codePageTable()[0x4E2D], 0xD0D6);
    EXPECT_EQ(codePageTable()['A'], 'A');
    EXPECT_TRUE(nodePool().isInitialized());
    EXPECT_EQ(nodePool().slotSize(), int(sizeof(DocNode)));
    EXPECT_EQ(nodePool().bitmapBytes() * 8, 20480);
}

}  // namespace
