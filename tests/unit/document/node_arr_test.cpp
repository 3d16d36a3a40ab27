#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/api.h"
#include "base/text_util.h"
#include "doc_test_util.h"

namespace {

// A node with an owned copy of its name, as trees built in code have them.
DocNode* named(const std::string& name) {
    DocNode* node = newNode();
    node->key = static_cast<char*>(api::HeapAlloc(api::GetProcessHeap(), 8, name.size() + 1));
    std::memcpy(node->key, name.data(), name.size());
    return node;
}

int bucketEntries(const NodeArr* table) {
    int n = 0;
    for (int b = 1; b <= nodeArrCount(table); ++b) n += nodeArrCount(bucketAt(table, b));
    return n;
}

void releaseTable(NodeArr* table) {
    for (int b = 1; b <= nodeArrCount(table); ++b) releaseNodeArr(bucketAt(table, b));
    releaseNodeArr(table);
}

TEST(NodeArr, PositionsCountFromOneAndStayInRange) {
    DocNode a{}, b{}, c{};
    NodeArr* list = nullptr;
    EXPECT_EQ(nodeArrGet(list, 1), nullptr);
    nodeArrAppend(list, &a);
    nodeArrAppend(list, &c);
    EXPECT_TRUE(nodeArrInsert(list, 2, &b));
    EXPECT_FALSE(nodeArrInsert(list, 5, &b));
    EXPECT_FALSE(nodeArrInsert(list, 0, &b));
    ASSERT_EQ(nodeArrCount(list), 3);
    EXPECT_EQ(nodeArrGet(list, 2), &b);
    EXPECT_EQ(nodeArrGet(list, 4), nullptr);
    EXPECT_EQ(nodeArrSet(list, 3, &a), &c);
    EXPECT_EQ(nodeArrSet(list, 4, &a), nullptr);
    EXPECT_EQ(nodeArrFind(list, &a), 1);
    EXPECT_EQ(nodeArrFind(list, &c), 0);
    EXPECT_TRUE(nodeArrInsert(list, 4, &c));
    nodeArrResize(list, 6);
    EXPECT_EQ(nodeArrGet(list, 4), &c);
    EXPECT_EQ(nodeArrGet(list, 6), nullptr);
    nodeArrResize(list, 1);
    EXPECT_EQ(nodeArrCount(list), 1);
    EXPECT_EQ(list->dims, 1);
    releaseNodeArr(list);
}

TEST(NodeArr, NamesHashAndCompareByteForByte) {
    EXPECT_EQ(nameHash(nullptr), 0u);
    EXPECT_EQ(bucketOf(nameHash(""), 31), 1);
    EXPECT_EQ(nameHash(""), 0u);
    EXPECT_EQ(nameHash("ab"), nameHash("ab", 2));
    EXPECT_EQ(nameHash("ab\0cd"), nameHash("ab", 2));
    // Names of one h*31 value ("Aa" and "BB" both give 2112) are told apart.
    EXPECT_NE(nameHash("Aa"), nameHash("BB"));
    EXPECT_NE(nameHash("AaAa"), nameHash("BBBB"));
    EXPECT_NE(nameHash("AaBB"), nameHash("BBAa"));
    EXPECT_TRUE(sameName(nullptr, ""));
    EXPECT_FALSE(sameName("Name", "name"));
    EXPECT_FALSE(sameName("ab", "abc"));
}

TEST(NodeArr, ToDisorderArrSizesTheTableAndRebuildKeepsEveryEntry) {
    for (auto [members, buckets] : {std::pair{0, 31}, {30, 31}, {31, 53}, {100, 173}}) {
        std::vector<DocNode*> nodes;
        for (int i = 0; i < members; ++i) nodes.push_back(named("m" + std::to_string(i)));
        int length = members;
        NodeArr* table = ToDisorderArr(nodes.data(), length);
        for (int grown : {buckets, buckets * 135 / 100}) {
            if (grown != buckets) table = rebuildBuckets(table);
            ASSERT_EQ(nodeArrCount(table), grown) << members;
            EXPECT_EQ(bucketEntries(table), members);
            for (DocNode* n : nodes)
                EXPECT_GT(nodeArrFind(bucketAt(table, bucketOf(nameHash(n->key), grown)), n), 0);
        }
        // An object owns its table and member list; releasing it releases all of them.
        const int live = nodePool().liveSlots();
        DocNode* object = newNode();
        object->type = kObject;
        object->value.object = {table, nodeArrFromMembers(nodes.data(), members)};
        releaseNode(object);
        EXPECT_EQ(nodePool().liveSlots(), live - members);
    }
    std::string text = R"({"x":1,"y":2,"x":3,"z":4,"":5,"y":6})";
    DataDocument doc = parse(text);
    EXPECT_EQ(dumpNode(doc.root()), "{x:1,y:2,z:4,:5}");
    // The reader leaves the table to the first look-up by name.
    EXPECT_EQ(doc.root()->value.object.buckets, nullptr);
    EXPECT_EQ(bucketEntries(objectBuckets(doc.root())), 4);
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
    releaseTable(table);
    setDocMessageBox(nullptr);
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
    DocNode* bytes = newNode();
    bytes->key = borrowed;
    bytes->type = kBytes | DocNode::keyBorrowed;
    bytes->value.address = api::HeapAlloc(api::GetProcessHeap(), 8, 12);
    releaseContent(bytes);
    EXPECT_EQ(bytes->type, DocNode::keyBorrowed);
    EXPECT_EQ(bytes->value.address, nullptr);
    releaseNode(bytes);
    releaseNode(list);
    EXPECT_EQ(nodePool().liveSlots(), live);
    EXPECT_STREQ(borrowed, "in a text buffer");
}

TEST(Prepare, RunsOnceWhenThreadsRaceToIt) {
    std::vector<std::thread> threads;
    std::vector<const std::uint16_t*> tables(4);
    for (std::size_t t = 0; t < 4; ++t)
        threads.emplace_back([&tables, t] { tables[t] = codePageTable(); });
    for (auto& t : threads) t.join();
    for (auto* t : tables) EXPECT_EQ(t, tables[0]);
    EXPECT_EQ(codePageTable()[0x4E2D], 0xD0D6);
    EXPECT_EQ(nodePool().slotSize(), int(sizeof(DocNode)));
    EXPECT_EQ(nodePool().bitmapBytes() * 8, 20480);
}

}  // namespace
