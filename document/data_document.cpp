#include "document/data_document.h"

#include <atomic>
#include <mutex>

#include "base/api.h"
#include "base/text_util.h"

namespace {

std::atomic<NodePool*> pool{nullptr};
std::atomic<const std::uint16_t*> table{nullptr};
std::once_flag prepared;

}  // namespace

void prepare() {
    // Jobs may be the first to read a reply; call_once makes the second caller wait until
    // the pool and the table are complete.
    std::call_once(prepared, [] {
        auto* made = new NodePool;
        made->init(int(sizeof(DocNode)), 20480, true);
        auto* entries = new std::uint16_t[65536];
        for (unsigned u = 0; u < 65536; ++u) {
            const win::WCHAR unit = static_cast<win::WCHAR>(u);
            char out[4] = {0, 0, 0, 0};
            const int n =
                api::WideCharToMultiByte(win::CP_ACP, 0, &unit, 1, out, 4, nullptr, nullptr);
            entries[u] =
                static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) |
                                           (n >= 2 ? static_cast<unsigned char>(out[1]) << 8 : 0));
        }
        table.store(entries, std::memory_order_release);
        pool.store(made, std::memory_order_release);
    });
}

NodePool& nodePool() {
    NodePool* made = pool.load(std::memory_order_acquire);
    if (!made) {
        prepare();
        made = pool.load(std::memory_order_acquire);
    }
    return *made;
}

const std::uint16_t* codePageTable() {
    const std::uint16_t* made = table.load(std::memory_order_acquire);
    if (!made) {
        prepare();
        made = table.load(std::memory_order_acquire);
    }
    return made;
}

DataDocument::DataDocument() {
    prepare();
}

DataDocument::DataDocument(DocNode* node, DocNode* root, char* textBuffer)
    : node_(node), root_(root), textBuffer_(textBuffer) {}

void DataDocument::attach(DocNode* node, DocNode* root, char* textBuffer) {
    node_ = node;
    root_ = root;
    textBuffer_ = textBuffer;
}

void releaseDocument(DataDocument& view) {
    releaseNode(view.root());
    releaseTextBuffer(view.textBuffer());
    view.attach(nullptr, nullptr, nullptr);
}

std::string formatErrorText(const std::string& text, std::size_t position) {
    static const std::string head = gbk("格式错误,当前索引:");
    static const std::string before = gbk("前面10个文本:");
    std::string excerpt;
    // Twenty bytes from ten before the position, cut at either end of the text.
    if (position > 10 && position - 11 < text.size()) excerpt = text.substr(position - 11, 20);
    return head + std::to_string(position) + before + excerpt;
}

std::string valueErrorText(std::size_t position) {
    static const std::string head = gbk("值错误  当前索引:");
    return head + std::to_string(position);
}

std::string missingCloseText(std::size_t position) {
    static const std::string head = gbk("格式错误,缺少闭合 当前索引:");
    return head + std::to_string(position);
}

std::string nestingErrorText(std::size_t position) {
    static const std::string head = gbk("格式错误,嵌套过深 当前索引:");
    return head + std::to_string(position);
}
