#pragma once
// Helpers shared by the data document tests: a compact dump of a tree and the error log
// texts that one parse wrote.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "document/data_document.h"

// null, true/false, 12 (int32), 12L (int64), 1.5d (double), "text", b'bytes', [..], {k:v,..}
inline std::string dumpNode(const DocNode* node) {
    if (!node) return "~";
    char number[64];
    switch (node->kind()) {
        case kNull:
            return "null";
        case kBool:
            return node->value.integer ? "true" : "false";
        case kInt32:
            return std::to_string(node->value.integer);
        case kInt64:
            return std::to_string(node->value.integer) + "L";
        case kDouble:
            std::snprintf(number, sizeof number, "%.17gd", node->value.real);
            return number;
        case kText:
            return "\"" + std::string(static_cast<const char*>(node->value.address)) + "\"";
        case kBytes: {
            ByteArrayHeader h;
            std::memcpy(&h, node->value.address, sizeof h);
            return "b'" +
                   std::string(static_cast<const char*>(node->value.address) + sizeof h,
                               std::size_t(h.length)) +
                   "'";
        }
        case kArray: {
            std::string out = "[";
            const auto* list = static_cast<const NodeArr*>(node->value.address);
            for (int i = 1; i <= nodeArrCount(list); ++i)
                out += (i > 1 ? "," : "") + dumpNode(nodeArrGet(list, i));
            return out + "]";
        }
        case kObject: {
            std::string out = "{";
            const NodeArr* members = node->value.object.members;
            for (int i = 1; i <= nodeArrCount(members); ++i) {
                const DocNode* m = nodeArrGet(members, i);
                out += (i > 1 ? "," : "") + std::string(m->key ? m->key : "~") + ":" + dumpNode(m);
            }
            return out + "}";
        }
        default:
            return "?" + std::to_string(node->type);
    }
}

// The texts pushed to the error log since `clear`, oldest first.
inline std::vector<std::string> loggedErrors() {
    std::vector<std::string> texts;
    ErrorLog& log = errorLog();
    for (int i = 0; i < log.capacity(); ++i) {
        int slot = (log.newest() - 1 + i) % log.capacity() + 1;
        if (!log.slot(slot).empty()) texts.insert(texts.begin(), log.slot(slot));
    }
    return texts;
}

// The reader's conformance set (conformance_test.cpp): document text, tree dump.
std::vector<std::pair<std::string, std::string>> validDocuments();

// Parses, dumps, records the errors and releases the tree.
struct ParseResult {
    std::string tree;
    std::vector<std::string> errors;
};
inline ParseResult parseAndDump(std::string text) {
    errorLog().clear();
    DataDocument doc = parse(text);
    ParseResult r{dumpNode(doc.root()), loggedErrors()};
    releaseDocument(doc);
    return r;
}

// `count` names made of prefix, a number and suffix that fall into one bucket of a table of
// `buckets` (the name hash is keyed per process, so they are found at run time).
inline std::vector<std::string> namesInOneBucket(int count, int buckets, const std::string& prefix,
                                                 const std::string& suffix) {
    std::vector<std::vector<std::string>> by(static_cast<std::size_t>(buckets));
    for (int i = 0;; ++i) {
        std::string name = prefix + std::to_string(i) + suffix;
        auto& same = by[static_cast<std::size_t>(bucketOf(nameHash(name.c_str()), buckets) - 1)];
        same.push_back(name);
        if (int(same.size()) == count) return same;
    }
}
