// The view's operations that move from node to node (index, member, key, query), the ones
// that make or reset nodes, and the small readers that the vendor pages use.
#include <cstring>

#include "base/error_log.h"
#include "document/data_document.h"
#include "document/json_writer.h"
#include "document/value_convert.h"

namespace {

std::uint32_t hashOf(const char* name, std::size_t length) {
    return nameHash(name, length);
}

bool keyIs(const char* key, const char* name, std::size_t length) {
    if (!key) return length == 0;
    // strncmp stops at the end of a shorter key.
    return std::strncmp(key, name, length) == 0 && key[length] == 0;
}

// The member of that name through the bucket table, or null.
DocNode* findMember(const DocNode* object, const char* name, std::size_t length,
                    std::uint32_t hash) {
    const NodeArr* table = objectBuckets(const_cast<DocNode*>(object));
    const int buckets = nodeArrCount(table);
    if (!buckets) return nullptr;
    const NodeArr* bucket = bucketAt(table, bucketOf(hash, buckets));
    const int entries = nodeArrCount(bucket);
    DocNode* const* items = entries ? nodeArrItems(bucket) : nullptr;
    for (int e = 0; e < entries; ++e)
        if (items[e] && keyIs(items[e]->key, name, length)) return items[e];
    return nullptr;
}

DocNode* newMember(DocNode* parent, const char* name, std::size_t length) {
    DocNode* node = newNode();
    node->key = copyText(std::string(name, length).c_str());
    node->parent = parent;
    return node;
}

std::string_view untilNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

bool DataDocument::newRoot() {
    DocNode* root = newNode();
    node_ = root;
    root_ = root;
    return true;
}

DataDocument DataDocument::index(int n) {
    if (!node_) newRoot();
    if (n < 1) {
        errorLog().push("function:index sysData:null");
        return viewOn(nullptr);
    }
    if (node_->kind() == kArray) {
        auto* list = static_cast<NodeArr*>(node_->value.address);
        if (nodeArrCount(list) < n) {
            nodeArrResize(list, n);
            node_->value.address = list;
        }
        DocNode* element = nodeArrGet(list, n);
        if (!element) {
            element = newNode();
            element->parent = node_;
            nodeArrSet(list, n, element);
        }
        return viewOn(element);
    }
    releaseContent(node_);
    node_->type = (node_->type & DocNode::keyBorrowed) | kArray;
    NodeArr* list = makeNodeArr(n);
    DocNode* element = newNode();
    element->parent = node_;
    nodeArrSet(list, n, element);
    node_->value.address = list;
    return viewOn(element);
}

DataDocument DataDocument::insert(int pos) {
    if (!node_ || pos < 1 || node_->kind() != kArray || !node_->value.address)
        return viewOn(nullptr);
    auto* list = static_cast<NodeArr*>(node_->value.address);
    if (pos > list->count + 1) return viewOn(nullptr);
    DocNode* element = newNode();
    element->parent = node_;
    nodeArrInsert(list, pos, element);
    node_->value.address = list;
    return viewOn(element);
}

DataDocument DataDocument::member(int n) const {
    if (!node_ || n < 1 || n > count()) return viewOn(nullptr);
    if (node_->kind() == kArray)
        return viewOn(nodeArrGet(static_cast<const NodeArr*>(node_->value.address), n));
    if (node_->kind() == kObject) return viewOn(nodeArrGet(node_->value.object.members, n));
    return viewOn(nullptr);
}

void DataDocument::clear() {
    if (node_) releaseContent(node_);
}

int DataDocument::position() const {
    if (!node_ || !node_->parent) return 0;
    const DocNode* parent = node_->parent;
    if (parent->kind() == kArray)
        return nodeArrFind(static_cast<const NodeArr*>(parent->value.address), node_);
    if (parent->kind() == kObject) return nodeArrFind(parent->value.object.members, node_);
    return 0;
}

DataDocument DataDocument::query(std::string_view path) const {
    if (!node_) {
        errorLog().push("function:query sysData:null");
        return viewOn(nullptr);
    }
    path = untilNul(path);
    DocNode* current = node_;
    const char* p = path.data();
    const std::size_t size = path.size();
    std::size_t nameStart = 0;
    bool pending = false;
    bool afterBracket = false;
    auto lookUp = [&](std::size_t end) {
        pending = false;
        if (current->kind() != kObject) return false;
        const std::size_t length = end - nameStart;
        current = findMember(current, p + nameStart, length, hashOf(p + nameStart, length));
        return current != nullptr;
    };
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c == '[') {
            std::size_t j = i + 1;
            std::int64_t number = 0;
            while (j < size && p[j] >= '0' && p[j] <= '9' && number <= INT32_MAX)
                number = number * 10 + (p[j++] - '0');
            if (j == i + 1 || j >= size || p[j] != ']' || number < 1 || number > INT32_MAX)
                return viewOn(nullptr);
            if (pending && !lookUp(i)) return viewOn(nullptr);
            if (current->kind() != kArray) return viewOn(nullptr);
            current = nodeArrGet(static_cast<const NodeArr*>(current->value.address), int(number));
            if (!current) return viewOn(nullptr);
            i = j;
            afterBracket = true;
        } else if (c == '.') {
            if (pending) {
                if (!lookUp(i)) return viewOn(nullptr);
            } else if (afterBracket) {
                // The dot that follows a position only separates.
            } else {
                return viewOn(nullptr);
            }
            afterBracket = false;
        } else {
            if (!pending) {
                pending = true;
                nameStart = i;
            }
            // A two-byte character's second byte may look like "[" or "]".
            if (c >= 0x80 && i + 1 < size) ++i;
        }
    }
    if (pending && !lookUp(size)) return viewOn(nullptr);
    return viewOn(current);
}

DataDocument DataDocument::key(std::string_view name) {
    if (!node_) newRoot();
    name = untilNul(name);
    if (name.empty()) {
        errorLog().push("function:key sysData:null");
        return viewOn(nullptr);
    }
    const std::uint32_t hash = hashOf(name.data(), name.size());
    if (node_->kind() == kObject) {
        objectBuckets(node_);
        NodeArr*& table = node_->value.object.buckets;
        if (!table) table = makeNodeArr(31);
        int b = bucketOf(hash, table->count);
        NodeArr* bucket = bucketAt(table, b);
        DocNode* made;
        if (bucket) {
            int empty = 0;
            DocNode** items = nodeArrItems(bucket);
            for (int e = 0; e < bucket->count; ++e) {
                if (!items[e]) {
                    if (!empty) empty = e + 1;
                } else if (keyIs(items[e]->key, name.data(), name.size())) {
                    return viewOn(items[e]);
                }
            }
            made = newMember(node_, name.data(), name.size());
            if (empty) {
                nodeArrSet(bucket, empty, made);
            } else {
                if (bucket->count > 10) {
                    table = rebuildBuckets(table);
                    b = bucketOf(hash, table->count);
                    bucket = bucketAt(table, b);
                }
                nodeArrAppend(bucket, made);
                setBucket(table, b, bucket);
            }
        } else {
            made = newMember(node_, name.data(), name.size());
            bucket = makeNodeArr(1);
            nodeArrSet(bucket, 1, made);
            setBucket(table, b, bucket);
        }
        nodeArrAppend(node_->value.object.members, made);
        return viewOn(made);
    }
    releaseContent(node_);
    node_->type = (node_->type & DocNode::keyBorrowed) | kObject;
    DocNode* made = newMember(node_, name.data(), name.size());
    NodeArr* table = makeNodeArr(31);
    NodeArr* bucket = makeNodeArr(1);
    nodeArrSet(bucket, 1, made);
    setBucket(table, bucketOf(hash, 31), bucket);
    node_->value.object.buckets = table;
    node_->value.object.members = makeNodeArr(1);
    nodeArrSet(node_->value.object.members, 1, made);
    return viewOn(made);
}

std::string DataDocument::jsonText() const {
    std::string out;
    if (node_) writeJson(node_, out, true);
    return out;
}

std::string DataDocument::textValue(std::string_view value, bool set) {
    if (!node_) newRoot();
    if (!set) {
        std::string out;
        appendValueText(node_, out);
        return out;
    }
    releaseContent(node_);
    value = untilNul(value);
    node_->value.address = copyText(std::string(value).c_str());
    node_->type = (node_->type & DocNode::keyBorrowed) | kText;
    return std::string();
}

int DataDocument::intValue(int value, bool set) {
    if (!node_) newRoot();
    if (!set) return valueAsInt32(node_);
    releaseContent(node_);
    node_->value.integer = value;
    node_->type = (node_->type & DocNode::keyBorrowed) | kInt32;
    return 0;
}

int DataDocument::names(std::vector<std::string>& out) const {
    if (!node_ || node_->kind() != kObject) return 0;
    const NodeArr* members = node_->value.object.members;
    const int n = nodeArrCount(members);
    out.assign(std::size_t(n), std::string());
    for (int i = 1; i <= n; ++i) {
        const DocNode* m = nodeArrGet(members, i);
        if (m && m->key) out[std::size_t(i - 1)] = m->key;
    }
    return n;
}

int DataDocument::count() const {
    if (!node_) return 0;
    switch (node_->kind()) {
        case kArray:
            return nodeArrCount(static_cast<const NodeArr*>(node_->value.address));
        case kObject:
            return nodeArrCount(node_->value.object.members);
        case kText:
            return node_->value.address
                       ? int(std::strlen(static_cast<const char*>(node_->value.address)))
                       : 0;
        default:
            return 0;
    }
}
