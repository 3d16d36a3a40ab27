#pragma once
// DocNode: one value of a data document tree, a slot of the node pool. The value holds an
// 8-byte scalar or two addresses (an object's bucket table and its ordered member list).
#include <cstdint>

struct NodeArr;

// The low byte of the type word. Codes 1-11 follow the system's numbering of scalar types.
enum DocKind : std::uint32_t {
    kNull = 0,
    kByte = 1,
    kShort = 2,
    kInt32 = 3,
    kInt64 = 4,
    kFloat = 5,
    kDouble = 6,
    kBool = 7,
    kDateTime = 8,
    kRoutine = 9,
    kText = 10,
    kBytes = 11,
    kArray = 21,
    kObject = 22,
    // Conversion targets only.
    kDocument = 23,
    kValueAddress = 24,
};

struct DocNode {
    // Flags above the kind byte.
    static constexpr std::uint32_t typedArray = 128;     // kind = element kind + 128
    static constexpr std::uint32_t keyBorrowed = 256;    // key lies in the text buffer
    static constexpr std::uint32_t valueBorrowed = 512;  // text/bytes value lies in the buffer

    struct ObjectValue {
        NodeArr* buckets;  // the "low" word: bucket table
        NodeArr* members;  // the "high" word: ordered member list
    };
    union Value {
        std::int64_t integer;  // int32 (sign-extended), int64, bool, byte, short
        double real;           // double, dateTime
        float single;          // float
        void* address;         // text, bytes block, NodeArr of an array, typed array
        ObjectValue object;
        unsigned char raw[16];
    };

    char* key;  // NUL-terminated member name; null for array elements and roots
    Value value;
    std::uint32_t type;
    DocNode* parent;

    std::uint32_t kind() const { return type & 0xFFu; }
    bool has(std::uint32_t flag) const { return (type & flag) != 0; }
};

// A bytes value: this header, then `length` bytes.
struct ByteArrayHeader {
    std::int32_t one;  // always 1
    std::int32_t length;
};
