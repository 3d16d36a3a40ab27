#include "cli/wording.h"

#include <cstdlib>
#include <utility>

namespace {

// The cores' messages, which have no English half.
constexpr std::pair<std::string_view, std::string_view> kCoreMessages[] = {
    {"您要搜索的手机型号呢？", "name the phone model to search for"},
    {"您要搜索的关键字呢？", "name the keyword to search for"},
    {"抱歉，未找到合适结果。", "nothing found"},
    {"读取机型列表出错，请尝试刷新列表！", "the model list could not be read"},
    {"请输入串号，可在拨号界面按*#06#进行查询！",
     "give a serial number (IMEI; dial *#06# to see it)"},
    {"查询失败，请检查您的手机串号是否有误！", "the look-up failed: check the serial number"},
};

bool isLeadOfCjk(unsigned char c) {
    // UTF-8 lead bytes of U+3000..U+9FFF and U+FF00..U+FFEF.
    return c == 0xE3 || (c >= 0xE4 && c <= 0xE9) || c == 0xEF;
}

}  // namespace

bool speaksChinese() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::string_view(value).substr(0, 2) == "zh";
    }
    return false;
}

std::string englishUtf8(std::string_view utf8) {
    std::string text(utf8);
    for (const auto& [chinese, english] : kCoreMessages) {
        const std::size_t at = text.find(chinese);
        if (at != std::string::npos) text.replace(at, chinese.size(), english);
    }
    // "中文 / English": from the first CJK character to the next " / " goes.
    for (std::size_t from = 0; from < text.size();) {
        std::size_t start = from;
        while (start < text.size() && !isLeadOfCjk(static_cast<unsigned char>(text[start])))
            ++start;
        if (start == text.size()) break;
        const std::size_t slash = text.find(" / ", start);
        if (slash == std::string::npos) break;
        text.erase(start, slash + 3 - start);
        from = start;
    }
    return text;
}
