#include "document/doc_arena.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/api.h"
#include "base/text_util.h"

namespace {

// The arena record, padded so that the buffer behind it starts 16-aligned.
constexpr std::size_t kFront = (sizeof(DocArena) + 15) & ~std::size_t(15);
constexpr std::size_t kFirstChunk = 16 << 10;
constexpr std::size_t kLargestChunk = 4 << 20;

}  // namespace

void DocArena::grow(std::size_t bytes) {
    // Chunks grow with what the document has taken so far, so that a small reply stays
    // small and a large one needs few chunks; a list larger than that gets its own.
    std::size_t size = held_ / 2;
    if (size < kFirstChunk) size = kFirstChunk;
    if (size > kLargestChunk) size = kLargestChunk;
    if (size < bytes + sizeof(Chunk)) size = bytes + sizeof(Chunk);
    auto* chunk = static_cast<Chunk*>(std::malloc(size));
    if (!chunk) api::fatalError(gbk("内存不足"));
    chunk->next = chunks_;
    chunk->size = size;
    chunks_ = chunk;
    held_ += size;
    at_ = reinterpret_cast<char*>(chunk) + sizeof(Chunk);
    end_ = reinterpret_cast<char*>(chunk) + size;
}

void DocArena::releaseAll() {
    while (chunks_) {
        Chunk* next = chunks_->next;
        std::free(chunks_);
        chunks_ = next;
    }
    at_ = end_ = nullptr;
    held_ = 0;
}

char* makeTextBuffer(std::size_t bytes) {
    // Filled once, with spaces: a zero-filled heap block would be written twice.
    auto* block = static_cast<char*>(std::malloc(kFront + bytes + 1));
    if (!block) return nullptr;
    new (block) DocArena;
    char* buffer = block + kFront;
    std::memset(buffer, ' ', bytes);
    buffer[bytes] = 0;
    return buffer;
}

DocArena* textBufferArena(char* buffer) {
    return std::launder(reinterpret_cast<DocArena*>(buffer - kFront));
}

void releaseTextBuffer(char* buffer) {
    if (!buffer) return;
    DocArena* arena = textBufferArena(buffer);
    arena->~DocArena();
    std::free(buffer - kFront);
}
