#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text_util.h"
#include "doc_test_util.h"

namespace {

// A parsed document released at the end of the test.
struct Doc {
    explicit Doc(std::string text) : view(parse(text)) {}
    ~Doc() { releaseDocument(view); }
    DataDocument view;
};

// A tree built in code, released at the end of the test.
struct Built {
    Built() { view.newRoot(); }
    ~Built() { releaseDocument(view); }
    DataDocument view;
};

TEST(Query, PathsGoodAndBad) {
    Doc d(gbk(R"({"a":[{"b":"x"},[10,20,[30]]],"n":{"m":{"k":7}},"中文":{"名":"值"}})"));
    struct Case {
        std::string path;
        const char* found;  // dump of the node, or nullptr for a view on nothing
    } cases[] = {
        {"a[1].b", "\"x\""},
        {"a[1]b", "\"x\""},
        {"a[2][3][1]", "30"},
        {"a[2][3].", "[30]"},
        {"n.m.k", "7"},
        {"", nullptr},  // the root itself, checked below
        {gbk("中文.名"), nullptr},
        {"a[2].b", nullptr},
        {"a.b", nullptr},
        {"a[0]", nullptr},
        {"a..b", nullptr},
        {"a[3]", nullptr},
        {"a[", nullptr},
        {"a[1", nullptr},
        {"a[x]", nullptr},
        {"a[]", nullptr},
        {"a[99999999999999999999]", nullptr},
        {".a", nullptr},
        {"n.m.k.z", nullptr},
        {"A", nullptr},
        {"n[1]", nullptr},
        {"[1]", nullptr},
    };
    const std::string before = dumpNode(d.view.root());
    for (const auto& c : cases) {
        DataDocument found = d.view.query(c.path);
        if (c.path.empty()) {
            EXPECT_EQ(found.node(), d.view.node());
        } else if (c.path == gbk("中文.名")) {
            EXPECT_EQ(found.textValue(), gbk("值"));
        } else if (c.found) {
            EXPECT_EQ(dumpNode(found.node()), c.found) << c.path;
        } else {
            EXPECT_TRUE(found.isNothing()) << c.path;
        }
        EXPECT_EQ(found.root(), d.view.root());
    }
    EXPECT_EQ(dumpNode(d.view.root()), before);

    Doc list(R"([{"id":5}])");
    EXPECT_EQ(list.view.query("[1].id").intValue(), 5);
}

TEST(Query, OnNothingLogsAndReturnsNothing) {
    errorLog().clear();
    DataDocument nothing(nullptr, nullptr, nullptr);
    EXPECT_TRUE(nothing.query("a").isNothing());
    EXPECT_EQ(errorLog().latest(), "function:query sysData:null");
}

TEST(Key, FindsCreatesAndConverts) {
    Doc d(R"({"a":[{"b":"x"}]})");
    EXPECT_EQ(d.view.key("a").index(1).key("b").textValue(), "x");
    EXPECT_TRUE(d.view.query("Name").isNothing());

    DataDocument c = d.view.key("c");
    EXPECT_EQ(c.node()->type, std::uint32_t(kNull));
    EXPECT_EQ(c.node()->parent, d.view.root());
    std::vector<std::string> names = {"old", "texts", "go"};
    EXPECT_EQ(d.view.names(names), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(d.view.count(), 2);
    EXPECT_EQ(d.view.key("c").node(), c.node());
    // A key makes an object of an array: its elements go.
    DataDocument a = d.view.key("a");
    EXPECT_EQ(a.key("z").node()->parent, a.node());
    EXPECT_EQ(dumpNode(a.node()), "{z:null}");
    EXPECT_EQ(a.node()->type, std::uint32_t(kObject) | DocNode::keyBorrowed);
    // Case matters.
    EXPECT_NE(a.key("Z").node(), a.key("z").node());

    errorLog().clear();
    EXPECT_TRUE(d.view.key("").isNothing());
    EXPECT_EQ(errorLog().latest(), "function:key sysData:null");

    DataDocument nothing(nullptr, nullptr, nullptr);
    DataDocument made = nothing.key("k");
    EXPECT_FALSE(nothing.isNothing());
    EXPECT_EQ(nothing.node(), nothing.root());
    EXPECT_EQ(made.root(), nothing.root());
    releaseDocument(nothing);
}

TEST(Key, BucketGrowthKeepsEveryMemberAndOrder) {
    // Twelve names of one bucket of 31: the twelfth rebuilds the table to 41 buckets.
    Built b;
    const std::vector<std::string> wanted = namesInOneBucket(12, 31, "k", "A");
    for (int i = 0; i < 11; ++i) b.view.key(wanted[std::size_t(i)]).intValue(i, true);
    EXPECT_EQ(nodeArrCount(b.view.node()->value.object.buckets), 31);
    b.view.key(wanted[11]).intValue(11, true);
    EXPECT_EQ(nodeArrCount(b.view.node()->value.object.buckets), 41);
    std::vector<std::string> names;
    EXPECT_EQ(b.view.names(names), 12);
    EXPECT_EQ(names, wanted);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(b.view.query(wanted[std::size_t(i)]).intValue(), i);
}

TEST(Key, ReusesTheFirstEmptyEntryOfItsBucket) {
    // Four names of one bucket of 31.
    const std::vector<std::string> n = namesInOneBucket(4, 31, "", "A");
    Doc d("{\"" + n[0] + "\":1,\"" + n[1] + "\":2,\"" + n[2] + "\":3}");
    NodeArr* table = objectBuckets(d.view.node());
    NodeArr* bucket = bucketAt(table, bucketOf(nameHash(n[0].c_str()), nodeArrCount(table)));
    ASSERT_EQ(nodeArrCount(bucket), 3);
    // An entry emptied (as removing a member leaves it) is taken by the next new name.
    DocNode* y = nodeArrSet(bucket, 2, nullptr);
    DataDocument w = d.view.key(n[3]);
    EXPECT_EQ(nodeArrCount(bucket), 3);
    EXPECT_EQ(nodeArrGet(bucket, 2), w.node());
    EXPECT_EQ(d.view.key(n[0]).intValue(), 1);
    EXPECT_EQ(d.view.key(n[2]).intValue(), 3);
    EXPECT_EQ(w.position(), 4);
    // The emptied member is still listed; put it back in a bucket of its own making.
    NodeArr*& members = d.view.node()->value.object.members;
    const int at = nodeArrFind(members, y);
    nodeArrSet(members, at, nullptr);
    releaseNode(y);
    std::vector<std::string> names;
    EXPECT_EQ(d.view.names(names), 4);
    EXPECT_EQ(names, (std::vector<std::string>{n[0], "", n[2], n[3]}));
    EXPECT_TRUE(d.view.member(2).isNothing());
}

TEST(Key, ManyMembersStayReachable) {
    Built b;
    for (int i = 0; i < 3000; ++i) b.view.key("m" + std::to_string(i)).intValue(i, true);
    EXPECT_EQ(b.view.count(), 3000);
    for (int i = 0; i < 3000; i += 7) {
        EXPECT_EQ(b.view.key("m" + std::to_string(i)).intValue(), i);
        EXPECT_EQ(b.view.key("m" + std::to_string(i)).position(), i + 1);
    }
    EXPECT_EQ(b.view.count(), 3000);
}

TEST(Index, ShapesAndErrors) {
    Built b;
    DataDocument third = b.view.index(3);
    EXPECT_EQ(b.view.count(), 3);
    EXPECT_TRUE(b.view.member(1).isNothing());
    EXPECT_EQ(b.view.member(3).node(), third.node());
    EXPECT_EQ(third.node()->parent, b.view.node());
    EXPECT_EQ(third.position(), 3);
    // Growing keeps existing elements; an existing element is returned as it is.
    b.view.index(1).textValue("one", true);
    EXPECT_EQ(b.view.index(5).position(), 5);
    EXPECT_EQ(b.view.index(1).textValue(), "one");
    EXPECT_EQ(b.view.index(3).node(), third.node());
    EXPECT_EQ(b.view.count(), 5);

    errorLog().clear();
    EXPECT_TRUE(b.view.index(0).isNothing());
    EXPECT_EQ(errorLog().latest(), "function:index sysData:null");

    Doc obj(R"({"a":1,"b":{"c":2}})");
    const int live = nodePool().liveSlots();
    obj.view.index(1);
    EXPECT_EQ(dumpNode(obj.view.node()), "[null]");
    EXPECT_EQ(nodePool().liveSlots(), live - 3 + 1);
}

TEST(Insert, Shapes) {
    Doc empty("[]");
    EXPECT_FALSE(empty.view.insert(1).isNothing());
    EXPECT_EQ(empty.view.count(), 1);
    Doc one("[1]");
    EXPECT_TRUE(one.view.insert(3).isNothing());
    EXPECT_TRUE(one.view.insert(0).isNothing());
    EXPECT_EQ(dumpNode(one.view.node()), "[1]");
    one.view.insert(1).intValue(0, true);
    one.view.insert(3).intValue(2, true);
    one.view.insert(3).textValue("x", true);
    EXPECT_EQ(dumpNode(one.view.node()), "[0,1,\"x\",2]");
    EXPECT_EQ(one.view.member(3).node()->parent, one.view.node());
    Doc obj(R"({"a":1})");
    EXPECT_TRUE(obj.view.insert(1).isNothing());
    DataDocument nothing(nullptr, nullptr, nullptr);
    EXPECT_TRUE(nothing.insert(1).isNothing());
}

TEST(Member, NeverCreates) {
    Doc d(R"({"a":1,"b":[7,8]})");
    EXPECT_EQ(d.view.member(2).member(2).intValue(), 8);
    EXPECT_EQ(std::string(d.view.member(1).node()->key), "a");
    for (int n : {0, 3, -1}) EXPECT_TRUE(d.view.member(n).isNothing());
    EXPECT_TRUE(d.view.member(1).member(1).isNothing());
    EXPECT_EQ(dumpNode(d.view.node()), "{a:1,b:[7,8]}");
}

TEST(ClearAndPosition, KeepKeyAndFindPlace) {
    Doc d(R"({"a":"x","b":[1,2,{"c":3}]})");
    DataDocument b = d.view.key("b");
    EXPECT_EQ(b.position(), 2);
    EXPECT_EQ(b.member(3).position(), 3);
    EXPECT_EQ(b.member(3).member(1).position(), 1);
    EXPECT_EQ(d.view.position(), 0);
    EXPECT_EQ(DataDocument(nullptr, nullptr, nullptr).position(), 0);
    const int live = nodePool().liveSlots();
    b.clear();
    EXPECT_EQ(nodePool().liveSlots(), live - 4);
    EXPECT_EQ(b.node()->type, DocNode::keyBorrowed);
    EXPECT_EQ(dumpNode(d.view.node()), "{a:\"x\",b:null}");
    d.view.key("a").clear();
    EXPECT_EQ(dumpNode(d.view.node()), "{a:null,b:null}");
}

TEST(Count, ByKind) {
    Doc d(gbk(R"({"t":"中文","e":"","n":5,"a":[1,,3],"o":{}})"));
    const std::pair<const char*, int> cases[] = {{"t", 4}, {"e", 0}, {"n", 0}, {"a", 3}, {"o", 0}};
    for (auto [name, n] : cases) EXPECT_EQ(d.view.query(name).count(), n) << name;
    EXPECT_EQ(d.view.count(), 5);
    EXPECT_EQ(DataDocument(nullptr, nullptr, nullptr).count(), 0);
    std::vector<std::string> untouched = {"x"};
    EXPECT_EQ(d.view.key("a").names(untouched), 0);
    EXPECT_EQ(untouched, std::vector<std::string>{"x"});
}

TEST(TextAndIntValue, GetAndSet) {
    Doc d(R"({"t":"12abc","i":-7,"d":2.5,"b":true,"z":null,"l":12345678901})");
    EXPECT_EQ(d.view.key("t").intValue(), 12);
    EXPECT_EQ(d.view.key("i").textValue(), "-7");
    EXPECT_EQ(d.view.key("d").intValue(), 2);
    EXPECT_EQ(d.view.key("d").textValue(), "2.5");
    EXPECT_EQ(d.view.key("b").textValue(), "true");
    EXPECT_EQ(d.view.key("b").intValue(), 1);
    EXPECT_EQ(d.view.key("z").textValue(), "");
    EXPECT_EQ(d.view.key("l").textValue(), "12345678901");
    EXPECT_EQ(d.view.textValue(), "");

    DataDocument t = d.view.key("t");
    EXPECT_EQ(t.textValue("new", true), "");
    EXPECT_EQ(t.node()->type, DocNode::keyBorrowed | kText);
    EXPECT_EQ(t.textValue(), "new");
    EXPECT_EQ(t.intValue(42, true), 0);
    EXPECT_EQ(t.node()->type, DocNode::keyBorrowed | kInt32);
    EXPECT_EQ(t.textValue(), "42");
    EXPECT_EQ(std::string(t.node()->key), "t");

    DataDocument nothing(nullptr, nullptr, nullptr);
    EXPECT_EQ(nothing.intValue(), 0);
    EXPECT_FALSE(nothing.isNothing());
    releaseDocument(nothing);
}

}  // namespace
