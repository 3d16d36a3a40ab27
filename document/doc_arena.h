#pragma once
// DocArena: the memory of one document that was read, given back all at once. The reader
// puts the node lists of its arrays and objects here instead of one heap block per list;
// they live as long as the text buffer that the tree's names and texts already borrow
// from, and the arena sits in front of that buffer, so releasing the buffer releases both.
#include <cstddef>

class DocArena {
  public:
    DocArena() = default;
    DocArena(const DocArena&) = delete;
    DocArena& operator=(const DocArena&) = delete;
    ~DocArena() { releaseAll(); }

    // `bytes` rounded up to 8, not zero-filled.
    void* take(std::size_t bytes) {
        bytes = (bytes + 7) & ~std::size_t(7);
        if (std::size_t(end_ - at_) < bytes) grow(bytes);
        void* result = at_;
        at_ += bytes;
        return result;
    }
    void releaseAll();
    // Bytes held from the heap, for measurements.
    std::size_t heldBytes() const { return held_; }

  private:
    void grow(std::size_t bytes);

    struct Chunk {
        Chunk* next;
        std::size_t size;
    };
    Chunk* chunks_ = nullptr;
    char* at_ = nullptr;
    char* end_ = nullptr;
    std::size_t held_ = 0;
};

// The text buffer of a document read: `bytes` bytes filled with spaces, then a NUL, with the
// document's arena in front of it.
char* makeTextBuffer(std::size_t bytes);
DocArena* textBufferArena(char* buffer);
// Releases the arena and the buffer; nothing for null.
void releaseTextBuffer(char* buffer);
