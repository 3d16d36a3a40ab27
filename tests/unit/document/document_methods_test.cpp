#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/api.h"
#include "base/text_util.h"
#include "doc_test_util.h"
#include "document/value_convert.h"

namespace {

struct Doc {
    explicit Doc(std::string text) : view(parse(text)) {}
    ~Doc() {
        if (!view.isNothing()) releaseDocument(view);
    }
    DataDocument view;
};

// Every node below `node` names its holder as parent, and an object's ordered member list
// and bucket table hold the same members, reachable by name.
void expectSound(const DocNode* node, int& checked) {
    ++checked;
    if (node->kind() == kArray) {
        const auto* list = static_cast<const NodeArr*>(node->value.address);
        for (int i = 1; i <= nodeArrCount(list); ++i)
            if (const DocNode* e = nodeArrGet(list, i)) {
                EXPECT_EQ(e->parent, node);
                expectSound(e, checked);
            }
    } else if (node->kind() == kObject) {
        DataDocument view(const_cast<DocNode*>(node), nullptr, nullptr);
        std::vector<std::string> names;
        const int n = view.names(names);
        EXPECT_EQ(n, view.count());
        int inBuckets = 0;
        // Objects read or copied get their table on the first look-up by name.
        const NodeArr* table = objectBuckets(const_cast<DocNode*>(node));
        for (int b = 1; b <= nodeArrCount(table); ++b) {
            const NodeArr* bucket = bucketAt(table, b);
            for (int e = 1; e <= nodeArrCount(bucket); ++e) {
                const DocNode* m = nodeArrGet(bucket, e);
                ASSERT_NE(m, nullptr);
                EXPECT_EQ(bucketOf(nameHash(m->key), nodeArrCount(table)), b);
                EXPECT_GT(nodeArrFind(node->value.object.members, m), 0) << m->key;
                ++inBuckets;
            }
        }
        EXPECT_EQ(inBuckets, n);
        for (int i = 1; i <= n; ++i) {
            const DataDocument m = view.member(i);
            ASSERT_FALSE(m.isNothing());
            EXPECT_EQ(m.node()->parent, node);
            EXPECT_TRUE(view.hasKey(names[std::size_t(i - 1)]));
            EXPECT_EQ(view.query(names[std::size_t(i - 1)]).node(), m.node());
            EXPECT_EQ(view.key(names[std::size_t(i - 1)]).node(), m.node());
            expectSound(m.node(), checked);
        }
        EXPECT_EQ(view.count(), n);  // key found every name: nothing was added
    }
}

// The tree is sound and its JSON reads back to the same text.
void expectTree(const DataDocument& root, const std::string& json) {
    int checked = 0;
    expectSound(root.node(), checked);
    EXPECT_EQ(root.jsonText(), json);
    Doc again(root.jsonText());
    EXPECT_EQ(again.view.jsonText(), json);
}

TEST(Remove, ElementsAndMembers) {
    const int live = nodePool().liveSlots();
    {
        Doc d(R"({"a":[5],"b":{"x":1},"c":2})");
        DataDocument only = d.view.query("a[1]");
        EXPECT_EQ(only.remove(), 0);
        EXPECT_TRUE(only.isNothing());
        EXPECT_EQ(only.root(), nullptr);
        EXPECT_EQ(d.view.key("a").count(), 0);
        expectTree(d.view, R"({"a":[],"b":{"x":1},"c":2})");

        DataDocument b = d.view.key("b");
        EXPECT_EQ(b.remove(false, false), 0);
        EXPECT_FALSE(d.view.hasKey("b"));
        EXPECT_TRUE(d.view.query("b").isNothing());
        expectTree(d.view, R"({"a":[],"c":2})");
        // A name taken out can be added again, behind the others.
        d.view.key("b").intValue(3, true);
        expectTree(d.view, R"({"a":[],"c":2,"b":3})");

        Doc list("[1,2,3,2]");
        EXPECT_EQ(list.view.member(2).remove(), 0);
        expectTree(list.view, "[1,3,2]");
        EXPECT_EQ(list.view.member(3).position(), 3);
        EXPECT_EQ(DataDocument().remove(), -1);
    }
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(Remove, LiftsArrayElementsIntoParentArray) {
    const int live = nodePool().liveSlots();
    {
        Doc d(R"([1,[2,[3]],4])");
        DataDocument inner = d.view.member(2);
        EXPECT_EQ(inner.remove(false, true), 0);
        EXPECT_TRUE(inner.isNothing());
        expectTree(d.view, "[1,4,2,[3]]");
        // The lifted elements know their new parent.
        DataDocument lifted = d.view.member(4);
        EXPECT_EQ(lifted.position(), 4);
        EXPECT_EQ(lifted.parentView().node(), d.view.node());
        EXPECT_EQ(lifted.remove(false, true), 0);
        expectTree(d.view, "[1,4,2,3]");
        EXPECT_EQ(d.view.member(3).remove(), 0);
        expectTree(d.view, "[1,4,3]");
        // An empty array lifts nothing.
        Doc e("[[],7]");
        EXPECT_EQ(e.view.member(1).remove(false, true), 0);
        expectTree(e.view, "[7]");
        // dropAll wins over liftChildren.
        Doc f("[[1,2],3]");
        EXPECT_EQ(f.view.member(1).remove(true, true), 0);
        expectTree(f.view, "[3]");
    }
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(Remove, MergesObjectIntoParentObject) {
    const int live = nodePool().liveSlots();
    {
        Doc d(R"({"a":1,"o":{"b":2,"a":9,"c":{"d":[4]}},"z":0})");
        EXPECT_EQ(d.view.key("o").remove(false, true), 0);
        // The parent's own member wins over a merged one of the same name.
        expectTree(d.view, R"({"a":1,"z":0,"b":2,"c":{"d":[4]}})");
        std::vector<std::string> names;
        EXPECT_EQ(d.view.names(names), 4);
        EXPECT_EQ(names, (std::vector<std::string>{"a", "z", "b", "c"}));
        EXPECT_EQ(d.view.query("c.d[1]").intValue(), 4);
        EXPECT_EQ(d.view.key("c").parentView().node(), d.view.node());
        EXPECT_EQ(d.view.key("c").position(), 4);
        // A merged member can be removed again.
        EXPECT_EQ(d.view.key("b").remove(), 0);
        expectTree(d.view, R"({"a":1,"z":0,"c":{"d":[4]}})");

        // Merging into many members rebuilds a table large enough for all of them.
        std::string big = R"({"m":{)";
        for (int i = 0; i < 60; ++i)
            big += (i ? "," : "") + ("\"k" + std::to_string(i) + "\":" + std::to_string(i));
        big += "}}";
        Doc b(big);
        EXPECT_EQ(b.view.key("m").remove(false, true), 0);
        EXPECT_EQ(b.view.count(), 60);
        EXPECT_EQ(b.view.query("k59").intValue(), 59);
        int checked = 0;
        expectSound(b.view.node(), checked);
        EXPECT_EQ(checked, 61);
    }
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(Remove, TakenOutSubtreeOfNumbersOutlivesItsDocument) {
    // Its lists were read into the document's arena; taken out, they become its own. (Its
    // names and texts, if any, still lie in the document's text buffer.)
    const int live = nodePool().liveSlots();
    std::string text = R"({"a":[1,[2,3],{"k":4}],"o":{"x":1}})";
    DataDocument doc = parse(text);
    DataDocument a = doc.key("a");
    const DocNode* node = a.node();
    ASSERT_EQ(a.remove(false, true), reinterpret_cast<std::intptr_t>(node));
    EXPECT_TRUE(a.member(3).member(1).rename("key"));
    releaseDocument(doc);
    EXPECT_EQ(a.jsonText(), R"([1,[2,3],{"key":4}])");
    EXPECT_EQ(a.query("[3].key").intValue(), 4);
    EXPECT_EQ(a.remove(), 0);
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(Remove, TakenOutUnderOtherKindAndRoots) {
    const int live = nodePool().liveSlots();
    {
        Doc d(R"({"a":[1,2],"o":{"x":1}})");
        DataDocument a = d.view.key("a");
        const DocNode* node = a.node();
        EXPECT_EQ(a.remove(false, true), reinterpret_cast<std::intptr_t>(node));
        EXPECT_EQ(a.node(), node);
        EXPECT_EQ(a.jsonText(), "[1,2]");
        EXPECT_TRUE(a.parentView().isNothing());
        expectTree(d.view, R"({"o":{"x":1}})");
        // The taken-out node is a tree of its own: removing it releases only it.
        EXPECT_EQ(a.remove(), 0);
        expectTree(d.view, R"({"o":{"x":1}})");

        Doc e(R"([{"x":1}])");
        DataDocument o = e.view.member(1);
        EXPECT_EQ(o.remove(false, true), reinterpret_cast<std::intptr_t>(o.node()));
        expectTree(e.view, "[]");
        o.remove();

        // A parent that is neither array nor object: logged, the node still released.
        errorLog().clear();
        DocNode* parent = newNode();
        parent->type = kInt32;
        DocNode* child = newNode();
        child->parent = parent;
        DataDocument c(child, parent, nullptr);
        EXPECT_EQ(c.remove(), 0);
        EXPECT_EQ(loggedErrors(),
                  std::vector<std::string>{gbk("释放内存的时候, 因为类型不匹配,导致出现错误.")});
        releaseNode(parent);

        // The root takes the whole tree and the text buffer.
        Doc r(R"({"k":[1,{"j":"v"}]})");
        DataDocument root = r.view;
        EXPECT_EQ(root.remove(), 0);
        EXPECT_TRUE(root.isNothing());
        EXPECT_EQ(root.textBuffer(), nullptr);
        r.view.attach(nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(TypedValues, GetAndSet) {
    Doc d(R"({"t":"-12","h":0.5,"n":null,"i":7,"s":"2024-03-05 07:08:09"})");
    EXPECT_EQ(d.view.key("t").int64Value(), -12);
    EXPECT_EQ(d.view.key("t").intValue(), 0);
    // boolValue reads the low word of the double 0.5, which is 0; getAs converts.
    EXPECT_FALSE(d.view.key("h").boolValue());
    std::int32_t b = 0;  // a bool target is four bytes wide
    EXPECT_TRUE(d.view.key("h").getAs(kBool, &b));
    EXPECT_EQ(b, 1);
    EXPECT_EQ(d.view.key("n").dateValue(), 0.0);
    EXPECT_EQ(formatDate(d.view.key("n").dateValue(), "yyyy-MM-dd HH:mm:ss"),
              "1899-12-30 00:00:00");
    EXPECT_DOUBLE_EQ(d.view.key("h").doubleValue(), 0.5);
    EXPECT_FLOAT_EQ(d.view.key("i").floatValue(), 7.0f);
    EXPECT_EQ(d.view.key("s").dateValue(), makeDocDate(2024, 3, 5, 7, 8, 9));

    DataDocument v = d.view.key("v");
    EXPECT_EQ(v.int64Value(-5000000000LL, true), 0);
    EXPECT_EQ(v.kindOf(), int(kInt64));
    EXPECT_EQ(v.int64Value(), -5000000000LL);
    EXPECT_EQ(v.floatValue(-2.5f, true), 0.0f);
    EXPECT_EQ(v.kindOf(), int(kFloat));
    EXPECT_EQ(v.node()->value.integer >> 32, -1);  // high word copies the sign bit
    EXPECT_FLOAT_EQ(v.floatValue(), -2.5f);
    v.doubleValue(1e300, true);
    EXPECT_EQ(v.doubleValue(), 1e300);
    EXPECT_EQ(v.dateValue(makeDocDate(2000, 1, 2, 3, 4, 5), true), 0.0);
    EXPECT_EQ(v.kindOf(), int(kDateTime));
    EXPECT_EQ(formatDate(v.dateValue(), "yyyy-MM-dd HH:mm:ss"), "2000-01-02 03:04:05");
    // boolValue answers with the word as it was before the call, for get and set alike.
    v.intValue(0, true);
    EXPECT_FALSE(v.boolValue(true, true));
    EXPECT_TRUE(v.boolValue());
    EXPECT_TRUE(v.boolValue(false, true));
    EXPECT_FALSE(v.boolValue());
    EXPECT_EQ(v.kindOf(), int(kBool));
    EXPECT_STREQ(v.node()->key, "v");  // sets keep the member name

    // A view on nothing gets a root of its own.
    DataDocument fresh;
    EXPECT_EQ(fresh.int64Value(), 0);
    EXPECT_FALSE(fresh.isNothing());
    releaseDocument(fresh);

    DataDocument g;
    std::int32_t n = 0;
    EXPECT_FALSE(g.getAs(kInt32, &n));  // never creates
    EXPECT_TRUE(g.isNothing());
    EXPECT_FALSE(d.view.getAs(kInt32, nullptr));
    const std::int32_t nine = 9;
    EXPECT_TRUE(g.setAs(kInt32, &nine));
    EXPECT_EQ(g.intValue(), 9);
    EXPECT_TRUE(g.getAs(kInt32, &n));
    EXPECT_EQ(n, 9);
    releaseDocument(g);
}

TEST(Inspection, KeyNameEmptinessKindsAndViews) {
    Doc d(R"({"t":"","a":[],"o":{},"n":null,"z":0,"f":false,"x":"x","l":[null]})");
    const struct {
        const char* name;
        bool empty;
        int kind;
    } cases[] = {{"t", true, kText},  {"a", true, kArray},  {"o", true, kObject},
                 {"n", true, kNull},  {"z", false, kInt32}, {"f", false, kBool},
                 {"x", false, kText}, {"l", false, kArray}};
    for (const auto& c : cases) {
        DataDocument m = d.view.query(c.name);
        EXPECT_EQ(m.isEmpty(), c.empty) << c.name;
        EXPECT_EQ(m.kindOf(), c.kind) << c.name;
        EXPECT_EQ(m.keyName(), c.name);
        EXPECT_EQ(m.rootView().node(), d.view.node());
        EXPECT_EQ(m.parentView().node(), d.view.node());
        EXPECT_TRUE(d.view.hasKey(c.name));
    }
    DataDocument nothing(nullptr, nullptr, nullptr);
    EXPECT_TRUE(nothing.isEmpty());
    EXPECT_EQ(nothing.kindOf(), -1);
    EXPECT_EQ(nothing.keyName(), "");
    EXPECT_TRUE(nothing.parentView().isNothing());
    EXPECT_EQ(d.view.keyName(), "");
    EXPECT_TRUE(d.view.parentView().isNothing());
    EXPECT_EQ(d.view.query("l[1]").keyName(), "");
    EXPECT_FALSE(d.view.hasKey(""));
    EXPECT_FALSE(d.view.hasKey("T"));
    EXPECT_FALSE(d.view.key("l").hasKey("x"));
    EXPECT_FALSE(nothing.hasKey("x"));
}

TEST(Rename, KeepsPlaceAndFindsByNewName) {
    const int live = nodePool().liveSlots();
    {
        Doc d(R"({"a":1,"b":2,"c":3})");
        DataDocument b = d.view.key("b");
        EXPECT_TRUE(b.rename("q"));
        EXPECT_EQ(b.keyName(), "q");
        EXPECT_FALSE(b.node()->has(DocNode::keyBorrowed));
        EXPECT_FALSE(d.view.hasKey("b"));
        EXPECT_EQ(d.view.query("q").intValue(), 2);
        EXPECT_EQ(b.position(), 2);
        expectTree(d.view, R"({"a":1,"q":2,"c":3})");
        // An owned name is renamed again (the old copy goes back to the heap).
        EXPECT_TRUE(b.rename(gbk("名称")));
        EXPECT_EQ(d.view.query(gbk("名称")).intValue(), 2);

        // A second member named a: the one that had the name first stays the one found.
        EXPECT_TRUE(d.view.key("c").rename("a"));
        EXPECT_EQ(d.view.key("a").intValue(), 1);
        EXPECT_EQ(d.view.count(), 3);
        std::vector<std::string> names;
        d.view.names(names);
        EXPECT_EQ(names, (std::vector<std::string>{"a", gbk("名称"), "a"}));

        EXPECT_FALSE(d.view.rename("root"));
        Doc list("[1]");
        EXPECT_FALSE(list.view.member(1).rename("x"));
        EXPECT_FALSE(DataDocument(nullptr, nullptr, nullptr).rename("x"));
    }
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(FindAll, ByDepth) {
    Doc d(R"({"id":1,"x":{"id":2,"y":[{"id":3}]},"l":[{"id":4}]})");
    std::vector<DataDocument> out(3);
    const struct {
        int depth;
        std::vector<int> ids;
    } cases[] = {{1, {1}},          {2, {1, 2}},       {3, {1, 2, 4}},
                 {4, {1, 2, 3, 4}}, {0, {1, 2, 3, 4}}, {-3, {1, 2, 3, 4}}};
    for (const auto& c : cases) {
        EXPECT_EQ(d.view.findAll("id", out, c.depth), int(c.ids.size())) << c.depth;
        std::vector<int> ids;
        for (auto& v : out) ids.push_back(v.intValue());
        EXPECT_EQ(ids, c.ids) << c.depth;
    }
    Doc e(R"({"x":{"id":1}})");
    EXPECT_EQ(e.view.findAll("id", out, 1), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(e.view.findAll("id", out, 2), 1);
    EXPECT_EQ(e.view.findAll("ID", out), 0);
    EXPECT_EQ(DataDocument(nullptr, nullptr, nullptr).findAll("id", out), 0);
}

std::string sorted(const std::string& json, bool descending, bool* result = nullptr) {
    Doc d(json);
    const bool ok = d.view.sort(descending);
    if (result) *result = ok;
    int checked = 0;
    expectSound(d.view.node(), checked);
    return d.view.jsonText();
}

TEST(Sort, TextsAndNumbersBothWays) {
    const struct {
        const char* json;
        const char* ascending;
        const char* descending;
    } cases[] = {
        {R"(["y","x","z"])", R"(["x","y","z"])", R"(["z","y","x"])"},
        {R"(["b","ab","a","","B"])", R"(["","B","a","ab","b"])", R"(["b","ab","a","B",""])"},
        {"[3,-1,2,10,0]", "[-1,0,2,3,10]", "[10,3,2,0,-1]"},
        {"[5]", "[5]", "[5]"},
        {"[true,12345678901,-2,false]", "[-2,false,true,12345678901]",
         "[12345678901,true,false,-2]"},
        // Numbers in a text list sort by their text form.
        {R"(["b",10,9])", R"([10,9,"b"])", R"(["b",9,10])"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sorted(c.json, false), c.ascending) << c.json;
        EXPECT_EQ(sorted(c.json, true), c.descending) << c.json;
    }
    // Two-byte texts compare as unsigned bytes: after every ASCII text.
    EXPECT_EQ(sorted(gbk(R"(["中","z"])"), false), gbk(R"(["z","中"])"));
    bool ok = true;
    EXPECT_EQ(sorted("[null,2,1]", false, &ok), "[null,2,1]");
    EXPECT_FALSE(ok);
    EXPECT_EQ(sorted("[[1],2]", false, &ok), "[[1],2]");
    EXPECT_FALSE(ok);
    EXPECT_EQ(sorted("[]", false, &ok), "[]");
    EXPECT_FALSE(ok);
    EXPECT_EQ(sorted(R"({"a":1})", false, &ok), R"({"a":1})");
    EXPECT_FALSE(ok);
}

// The sort as it was first written, one insertion at a time into a list kept largest first:
// the oracle for the faster one, equal keys included.
template <typename Compare>
int oracleSlot(int n, Compare compare) {
    if (n == 0) return 1;
    int lo = 0, hi = n, probe = n;
    for (;;) {
        const int c = compare(probe);
        if (c == 0) return probe;
        if (c > 0)
            hi = probe;
        else
            lo = probe;
        const int step = (hi - lo) / 2;
        if (step == 0) return lo + 1;
        probe = lo + step;
    }
}

void oracleSort(DocNode* array, bool descending) {
    auto* list = static_cast<NodeArr*>(array->value.address);
    const int n = nodeArrCount(list);
    DocNode** items = nodeArrItems(list);
    std::vector<DocNode*> order;
    if (items[0]->kind() == kText) {
        std::vector<std::string> texts(static_cast<std::size_t>(n));
        std::vector<std::string_view> keys;
        std::string_view key;
        for (int i = 0; i < n; ++i) {
            if (appendValueText(items[i], texts[std::size_t(i)])) key = texts[std::size_t(i)];
            const int slot = oracleSlot(
                int(keys.size()), [&](int p) { return key.compare(keys[std::size_t(p - 1)]); });
            keys.insert(keys.begin() + (slot - 1), key);
            order.insert(order.begin() + (slot - 1), items[i]);
        }
    } else {
        auto number = [](const DocNode* node) {
            std::int64_t k = 0;
            convertValue(node, &k, kInt64);
            return k;
        };
        for (int i = 0; i < n; ++i) {
            const std::int64_t key = number(items[i]);
            const int slot = oracleSlot(int(order.size()), [&](int p) {
                const std::int64_t e = number(order[std::size_t(p - 1)]);
                return key < e ? -1 : key > e ? 1 : 0;
            });
            order.insert(order.begin() + (slot - 1), items[i]);
        }
    }
    for (int i = 0; i < n; ++i)
        items[i] = descending ? order[std::size_t(i)] : order[std::size_t(n - 1 - i)];
}

// Where each element of the array stood before it was sorted (from 1), in its new order.
std::vector<int> formerPlaces(const DataDocument& array, const std::vector<DocNode*>& before) {
    std::vector<int> places;
    for (int i = 1; i <= array.count(); ++i) {
        const auto at = std::find(before.begin(), before.end(), array.member(i).node());
        places.push_back(int(at - before.begin()) + 1);
    }
    return places;
}

TEST(Sort, SameOrderAsOneByOneInsertionWithManyEqualKeys) {
    std::mt19937 rng(20261208u);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + int(rng() % (round < 200 ? 40 : 600));
        const int distinct = 1 + int(rng() % 6);
        const bool texts = round % 2 == 0;
        std::string json = "[";
        for (int i = 0; i < n; ++i) {
            if (i) json += ',';
            const int v = int(rng() % unsigned(distinct));
            const unsigned other = rng() % 10;
            if (texts && i > 0 && other == 0)
                json += "null";  // no text form: takes the key before it
            else if (texts && other == 1)
                json += std::to_string(v);  // sorts by its text form
            else if (texts)
                json += "\"" + std::string(std::size_t(v % 3), 'a') + char('x' + v) + "\"";
            else if (other == 0)
                json += v % 2 ? "true" : "false";
            else
                json += std::to_string(v - distinct / 2) + (other == 1 ? ".5" : "");
        }
        json += "]";
        for (bool descending : {false, true}) {
            std::string a = json, b = json;
            DataDocument ours = parse(a), theirs = parse(b);
            std::vector<DocNode*> oursBefore, theirsBefore;
            for (int i = 1; i <= ours.count(); ++i) {
                oursBefore.push_back(ours.member(i).node());
                theirsBefore.push_back(theirs.member(i).node());
            }
            ASSERT_TRUE(ours.sort(descending)) << json;
            oracleSort(theirs.node(), descending);
            ASSERT_EQ(formerPlaces(ours, oursBefore), formerPlaces(theirs, theirsBefore))
                << json << (descending ? " descending" : " ascending");
            releaseDocument(ours);
            releaseDocument(theirs);
        }
    }
}

TEST(Sort, SlotsInListsSortedLargestFirst) {
    const std::vector<std::string> texts = {"z", "m", "c"};
    const struct {
        const char* key;
        int slot;
    } cases[] = {{"zz", 1}, {"z", 1}, {"n", 2}, {"m", 2}, {"d", 3}, {"a", 4}};
    for (const auto& c : cases) EXPECT_EQ(DataDocument::textSlot(texts, c.key), c.slot) << c.key;
    EXPECT_EQ(DataDocument::textSlot({}, "x"), 1);

    Doc d("[9,5,1]");
    std::vector<DocNode*> nodes = {d.view.member(1).node(), d.view.member(2).node(),
                                   d.view.member(3).node()};
    const std::int64_t keys[] = {10, 9, 7, 5, 3, 1, 0};
    const int slots[] = {1, 1, 2, 2, 3, 3, 4};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(DataDocument::numberSlot(nodes, keys[i]), slots[i]);
    EXPECT_EQ(DataDocument::numberSlot({}, 3), 1);
}

TEST(Clone, SharesNothingWithItsSource) {
    const int live = nodePool().liveSlots();
    {
        std::string text = R"({"a":[1,"two",{"b":null}],"c":"text"})";
        DataDocument source = parse(text);
        DataDocument copy = source.key("a").clone();
        EXPECT_EQ(copy.jsonText(), R"([1,"two",{"b":null}])");
        EXPECT_EQ(copy.root(), copy.node());
        EXPECT_EQ(copy.node()->parent, nullptr);
        EXPECT_EQ(copy.node()->key, nullptr);
        EXPECT_EQ(copy.textBuffer(), nullptr);
        DataDocument whole = source.clone();
        // Changing one leaves the other.
        source.query("a[3]").key("b").textValue("changed", true);
        copy.index(1).intValue(100, true);
        EXPECT_EQ(copy.jsonText(), R"([100,"two",{"b":null}])");
        EXPECT_EQ(source.jsonText(), R"({"a":[1,"two",{"b":"changed"}],"c":"text"})");
        // The source's text buffer and tree may go; the copies keep their own texts.
        releaseDocument(source);
        EXPECT_EQ(whole.jsonText(), R"({"a":[1,"two",{"b":null}],"c":"text"})");
        int checked = 0;
        expectSound(whole.node(), checked);
        EXPECT_EQ(checked, 7);
        releaseDocument(whole);
        releaseDocument(copy);
        EXPECT_TRUE(DataDocument(nullptr, nullptr, nullptr).clone().isNothing());
    }
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(SetDocument, DeepCopyOfAnotherView) {
    const int live = nodePool().liveSlots();
    {
        Doc from(R"({"x":[1,2],"y":"t"})");
        Doc to(R"({"k":5})");
        DataDocument k = to.view.key("k");
        EXPECT_TRUE(k.setDocument(&from.view));
        expectTree(to.view, R"({"k":{"x":[1,2],"y":"t"}})");
        from.view.key("y").intValue(0, true);
        EXPECT_EQ(to.view.query("k.y").textValue(), "t");
        // A view on nothing as the source makes the node null; no source: false.
        DataDocument nothing(nullptr, nullptr, nullptr);
        EXPECT_TRUE(k.setDocument(&nothing));
        EXPECT_EQ(to.view.jsonText(), R"({"k":null})");
        EXPECT_FALSE(k.setDocument(nullptr));
        // Copying a node into a member of itself.
        DataDocument self = to.view.key("k");
        self.key("q").intValue(1, true);
        EXPECT_TRUE(self.key("q").setDocument(&to.view));
        expectTree(to.view, R"({"k":{"q":{"k":{"q":1}}}})");
    }
    EXPECT_EQ(nodePool().liveSlots(), live);
}

TEST(Join, ArraysAndObjects) {
    Doc d(R"({"o":{"a":1,"b":"","c":"x y"},"l":[1,"",null,"z"],"s":"text"})");
    DataDocument o = d.view.key("o");
    EXPECT_EQ(o.join("&"), "a=1&c=x y");
    EXPECT_EQ(o.join("&", "=", true), "a=1&b=&c=x y");
    EXPECT_EQ(o.join(", ", ": "), "a: 1, c: x y");
    EXPECT_EQ(d.view.key("l").join("|"), "1|z");
    EXPECT_EQ(d.view.key("l").join("|", "=", true), "1|z");
    EXPECT_EQ(d.view.key("s").join("&"), "");
    EXPECT_EQ(DataDocument(nullptr, nullptr, nullptr).join("&"), "");
    Doc one(R"({"a":1,"b":""})");
    EXPECT_EQ(one.view.join("&"), "a=1");
    EXPECT_EQ(one.view.join("&", "=", true), "a=1&b=");
}

}  // namespace

namespace {

// Run under the LeakSanitizer build: every heap block that parse, the edits, the writers
// and removal make must be back by the end; the pool's count covers the nodes.
TEST(Leaks, ParseEditWriteAndRemoveTheRoot) {
    const int live = nodePool().liveSlots();
    std::string text =
        gbk(R"({"名":"值","a":[3,1,2],"o":{"x":{"y":[1,{"z":"t"}]},"w":"v"},"s":"x"})");
    DataDocument d = parse(text);
    d.key("a").sort(true);
    d.key("t").textValue("new", true);
    d.key("t").rename("renamed");
    d.query("renamed").rename(gbk("再改"));
    d.key("n").int64Value(5, true);
    d.key("n").floatValue(1.5f, true);
    d.key("n").doubleValue(2.5, true);
    d.key("n").dateValue(100.5, true);
    d.key("n").boolValue(true, true);
    d.key("b").textValue("bytes", true);
    void* bytes = nullptr;
    EXPECT_TRUE(d.key("b").getAs(kBytes, &bytes));
    EXPECT_TRUE(d.key("b").setAs(kBytes, &bytes));
    char* textOut = nullptr;
    EXPECT_TRUE(d.key("b").getAs(kText, &textOut));
    EXPECT_TRUE(d.key("c").setAs(kText, &textOut));
    api::HeapFree(api::GetProcessHeap(), 0, bytes);
    api::HeapFree(api::GetProcessHeap(), 0, textOut);
    DataDocument o = d.key("o");
    EXPECT_TRUE(d.key("copy").setDocument(&o));
    DataDocument c = o.clone();
    c.key("extra").textValue("e", true);
    std::vector<DataDocument> found;
    EXPECT_EQ(d.findAll("y", found), 2);
    EXPECT_FALSE(d.join("&", "=", true).empty());
    EXPECT_FALSE(d.xmlText().empty());
    EXPECT_FALSE(d.jsonText().empty());
    EXPECT_FALSE(c.xmlText("row", "utf-8", "\n", " ").empty());
    // An object under an array and an array under an object are only taken out: the views
    // keep them until they are removed themselves.
    DataDocument inArray = d.query("o.x.y[2]");
    EXPECT_GT(inArray.remove(false, true), 0);
    DataDocument inObject = d.query("copy.x.y");
    EXPECT_GT(inObject.remove(false, true), 0);
    EXPECT_EQ(d.key("o").key("x").remove(false, true), 0);  // merged into o
    EXPECT_EQ(d.key("a").remove(true, true), 0);
    EXPECT_EQ(d.remove(), 0);
    EXPECT_TRUE(d.isNothing());
    EXPECT_EQ(inArray.remove(), 0);
    EXPECT_EQ(inObject.remove(), 0);
    EXPECT_EQ(c.remove(), 0);
    EXPECT_EQ(nodePool().liveSlots(), live);
}

}  // namespace
