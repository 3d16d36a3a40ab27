// query() paths over a fixed tree: any path either names a node of that tree or gives a view
// on nothing, and never changes the tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text_util.h"
#include "document/data_document.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

struct Fixed {
    Fixed() {
        std::string text = gbk(
            R"({"data":{"list":[{"name":"a","id":1},{"name":"b","tags":["x","y",[1,[2]]]}],)"
            R"("n":null,"t":"text","中文":{"名":"值"},"a.b":{"[1]":2}},"":[],"list":[[],[[3]]],)"
            R"("x":[1,2,3,4,5,6,7,8,9,10,11,12],"y":{"z":{"w":{"v":{"u":"deep"}}}}})");
        doc = parse(text);
        json = doc.jsonText();
    }
    DataDocument doc;
    std::string json;
};

bool inTree(const DocNode* node, const DocNode* root) {
    while (node && node != root) node = node->parent;
    return node == root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixed fixed;
    const std::string path(reinterpret_cast<const char*>(data), size);
    DataDocument found = fixed.doc.query(path);
    check(found.root() == fixed.doc.root());
    if (!found.isNothing()) {
        check(inTree(found.node(), fixed.doc.root()));
        (void)found.textValue();
        (void)found.count();
        (void)found.jsonText();
        // Reached again from the view it found, the rest of a path still works.
        DataDocument again = found.query("");
        check(again.node() == found.node());
    }
    // From a member as well as from the root.
    DataDocument inner = fixed.doc.query("data").query(path);
    check(inner.isNothing() || inTree(inner.node(), fixed.doc.root()));
    check(fixed.doc.jsonText() == fixed.json);
    return 0;
}
