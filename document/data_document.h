#pragma once
// DataDocument: a view on one node of a data document tree. Views are small values: copying
// one copies its three fields, and dropping one never touches the tree or the text buffer
// that the tree's names and texts borrow from. parse() reads JSON text (code page 936) into
// a new tree; errors go to errorLog() and leave a partial tree.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/doc_date.h"
#include "document/doc_node.h"
#include "document/node_arr.h"
#include "document/node_pool.h"

// Makes the node pool and the code-page table, once per process; safe to call from any
// thread at any time (the first caller builds, the others wait for it).
void prepare();
// The process-wide node pool (calls prepare() first).
NodePool& nodePool();
// Entry u: the system ANSI code page's bytes for the UTF-16 unit u, first byte low; the
// second byte is 0 for a one-byte result.
const std::uint16_t* codePageTable();

class DataDocument {
  public:
    // The view's operations keep this order (the program's table of operations):
    //  1 destroy, 2 copy: the compiler's; views never own the tree.
    //  3 attach
    //  4 newRoot, 5 index, 6 insert, 7 member, 8 clear, 9 position, 10 query, 11 key
    // 12 jsonText, 13 xmlText
    // 14 remove, 15 getAs, 16 setAs, 17 dateValue, 18 setDocument, 19 int64Value,
    // 20 textValue, 21 floatValue, 22 doubleValue, 23 intValue, 24 boolValue, 25 names,
    // 26 keyName, 27 rename, 28 isEmpty, 29 kindOf, 30 count, 31 findAll, 32 hasKey,
    // 33 rootView, 34 parentView, 35 sort, 36 textSlot, 37 numberSlot, 38 clone, 39 join
    DataDocument();
    DataDocument(DocNode* node, DocNode* root, char* textBuffer);
    ~DataDocument() = default;
    DataDocument(const DataDocument&) = default;
    DataDocument& operator=(const DataDocument&) = default;

    void attach(DocNode* node, DocNode* root, char* textBuffer);

    // A new null node that becomes both this view's node and its root; the tree the view
    // stood in stays as it was.
    bool newRoot();
    // Element n (from 1), created as needed; a node that is not an array becomes one (its old
    // content released). n < 1: a view on nothing.
    DataDocument index(int n);
    // A new null element at position pos (1 to count + 1) of an array; nothing otherwise.
    DataDocument insert(int pos);
    // Element n of an array or the n-th member of an object; never creates.
    DataDocument member(int n) const;
    // Releases the node's content; the node becomes null, its key stays.
    void clear();
    // The node's position (from 1) in its parent array or object; 0 without one.
    int position() const;
    // The node that a path such as "data.list[2].name" names, or a view on nothing; never
    // changes the tree.
    DataDocument query(std::string_view path) const;
    // The member of that name, created as needed; a node that is not an object becomes one.
    DataDocument key(std::string_view name);
    // Compact JSON of the node and everything below it ("" for a view on nothing).
    std::string jsonText() const;
    // An XML declaration naming `encoding`, then the node as indented elements (an empty
    // item element for a view on nothing).
    std::string xmlText(std::string_view itemName = "item", std::string_view encoding = "gb2312",
                        std::string_view lineBreak = "\r\n", std::string_view indent = "\t") const;
    // Takes the node out of its parent and releases it, or with liftChildren (and not
    // dropAll) moves an array's elements or an object's members into a parent of the same
    // kind. A root takes its whole tree and the text buffer with it. 0 when the node is gone
    // (the view is then on nothing), the node's address when it was only taken out (the view
    // keeps it, as the root of a tree of its own), -1 without a node.
    std::intptr_t remove(bool dropAll = false, bool liftChildren = false);
    // convertValue of the node into `destination`; never creates a node.
    bool getAs(int kind, void* destination) const;
    // storeValue into the node (a new root first for a view on nothing).
    bool setAs(int kind, const void* source);
    // Typed get and set: get converts (0 when the value does not convert); set clears the
    // node and stores the value, keeping the key, and returns 0.
    DocDateTime dateValue(DocDateTime value = 0, bool set = false);
    // The node becomes a deep copy of the other view's node (null when it has none); false
    // without another view.
    bool setDocument(const DataDocument* other);
    std::int64_t int64Value(std::int64_t value = 0, bool set = false);
    // Get (set false): the value as text. Set: the node becomes an owned text; returns "".
    std::string textValue(std::string_view value = {}, bool set = false);
    float floatValue(float value = 0, bool set = false);
    double doubleValue(double value = 0, bool set = false);
    // Get: the value as a 32-bit integer. Set: the node becomes an int32; returns 0.
    int intValue(int value = 0, bool set = false);
    // Reads the low value word as it is (a double 0.5 reads false); get and set both return
    // whether that word was non-zero before the call.
    bool boolValue(bool value = false, bool set = false);
    // The member names of an object in order (out is resized to them); 0 for anything else.
    int names(std::vector<std::string>& out) const;
    // A copy of the node's member name; "" without one.
    std::string keyName() const;
    // Gives an object member another name (owned by the node); its place in the member order
    // stays. An existing member of that name is not checked for.
    bool rename(std::string_view newName);
    // No node, null, or an empty text, array or object.
    bool isEmpty() const;
    // The kind byte (128 + element kind for a native array), -1 without a node.
    int kindOf() const;
    // Elements of an array, members of an object, bytes of a text; 0 otherwise.
    int count() const;
    // Views on every member named `name` below the node, in the order met; depth 1 looks at
    // the node's own members only, 0 or less at the whole subtree. `out` is replaced.
    int findAll(std::string_view name, std::vector<DataDocument>& out, int depth = 0) const;
    // Whether the node is an object with a member of that name.
    bool hasKey(std::string_view name) const;
    DataDocument rootView() const;
    // A view on the node's parent, or on nothing for a root.
    DataDocument parentView() const;
    // Reorders an array by its elements' text (first element a text) or 64-bit number
    // (first element byte to dateTime); false for anything else. Equal keys may swap.
    bool sort(bool descending = false);
    // Insertion position (from 1) of a key in a list sorted largest first.
    static int textSlot(const std::vector<std::string>& sorted, std::string_view key);
    static int numberSlot(const std::vector<DocNode*>& sorted, std::int64_t key);
    // A view on a deep copy of the node: a root of its own, sharing nothing with this tree.
    DataDocument clone() const;
    // The values of an array, or name + equals + value of an object's members, joined with
    // `separator`; empty values are left out unless keepEmpty (objects only).
    std::string join(std::string_view separator, std::string_view equals = "=",
                     bool keepEmpty = false) const;

    DocNode* node() const { return node_; }
    DocNode* root() const { return root_; }
    char* textBuffer() const { return textBuffer_; }
    bool isNothing() const { return node_ == nullptr; }

  private:
    // Every view that an operation returns: same root and text buffer, another node.
    DataDocument viewOn(DocNode* node) const { return DataDocument(node, root_, textBuffer_); }

    DocNode* node_ = nullptr;
    DocNode* root_ = nullptr;
    char* textBuffer_ = nullptr;
};

// Reads `text` (replaced by its trimmed form: ASCII and full-width spaces off both ends) into
// a new tree. Never fails; a malformed text gives a partial tree or a null root.
DataDocument parse(std::string& text);

// Releases the tree that the view belongs to (its root with everything below it) and its
// text buffer, and leaves the view on nothing. Every other view on that tree is dangling
// afterwards; the caller releases a tree only when none is used any more.
void releaseDocument(DataDocument& view);

// The texts that the reader writes to the error log, for callers that match them.
std::string formatErrorText(const std::string& text, std::size_t position);
std::string valueErrorText(std::size_t position);
std::string missingCloseText(std::size_t position);
std::string nestingErrorText(std::size_t position);
// The deepest nesting of arrays and objects that parse reads; the next level is refused.
constexpr int kMaxNesting = 512;
