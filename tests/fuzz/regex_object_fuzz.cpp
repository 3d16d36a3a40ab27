// The regex object over untrusted text. The first byte picks the mode and the options:
//  - most inputs are a vendor reply (GBK bytes) run through every extraction pattern of
//    the program, with every match and group read back with its position;
//  - the rest are a pattern and a short subject, split at the first zero byte, run through
//    the engine directly, which checks the translation of the scripting dialect.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text_util.h"
#include "platform/regexp.h"
#include "text/regex_object.h"

namespace {

const std::string* patterns() {
    static const std::string all[] = {
        R"re(fileName":"(.*?)",".*?fileSize":"(.*?)",".*?releaseDate":(.*?),"downloadUrl":"(.*?)","languageList)re",
        R"re("(.{36})":\[\d+,"(.*?)",\d+\])re",
        gbk(R"re(<a href="(.*?)" target="_blank">(.*?)</a></h4>)re"
            "\r\n"
            ".*?<pre>文件大小：(.+[a-z]).+更新日期：(.{10})"),
        gbk(R"re(\('(.*?)','DOWNLOAD_KEY'\)">.*?所属类别：下载中心</span>)re"),
        R"re(<td width=.*>(.*)</td>.*\n.*<td>(.*)</td>)re"
        "\r"
        R"re(.*\n.*<td>(.*)</td>)re"
        "\r"
        R"re(.*\n.*\n.*<td>(.*)</td>)re"
        "\r"
        R"re(.*\n.*<td>.*\n.*<a href="(.*?)" )re",
        "",
    };
    return all;
}

void readAll(const RegexObject& re, std::size_t subjectSize) {
    const int count = re.matchCount();
    const int groups = re.subMatchCount();
    // Reads in order, then a few backwards, as a caller that wants positions might.
    for (int i = 1; i <= count && i <= 300; ++i) {
        int position = 0;
        std::string text = re.matchText(i, &position);
        if (position < 0 || std::size_t(position) + text.size() > subjectSize) __builtin_trap();
        for (int k = 0; k <= groups + 1; ++k) {
            text = re.subMatchText(i, k, &position);
            if (position >= 0 && std::size_t(position) + text.size() > subjectSize)
                __builtin_trap();
        }
    }
    for (int i = count + 1; i >= count - 3 && i >= 0; --i) re.matchText(i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t mode = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool caseSensitive = mode & 1, multiline = mode & 2, global = !(mode & 4);

    if ((mode >> 3) % 4 != 3) {
        RegexObject re;
        for (const std::string* p = patterns(); !p->empty(); ++p) {
            re.create(*p, rest, caseSensitive, multiline, global);
            readAll(re, rest.size());
        }
        if (rest.size() < 4096) {
            re.create("(\\d+)|([a-z])", rest, caseSensitive, multiline, global);
            re.replace("$1|$2|$&|$`|$'|$$|$99|$");
        }
        return 0;
    }

    const std::size_t cut = rest.find('\0');
    std::string_view pattern = rest.substr(0, cut);
    std::string_view subject = cut == std::string_view::npos ? "" : rest.substr(cut + 1, 256);
    regexp::RegExp engine;
    engine.setPattern(textToUtf16(pattern));
    engine.setIgnoreCase(!caseSensitive);
    engine.setMultiline(multiline);
    engine.setGlobal(global);
    engine.setMatchLimit(20000);
    const std::u16string units = textToUtf16(subject);
    if (auto matches = engine.Execute(units)) {
        for (int i = 0; i < matches->Count(); ++i) {
            auto m = matches->Item(i);
            if (m->FirstIndex() < 0 || std::size_t(m->FirstIndex() + m->Length()) > units.size())
                __builtin_trap();
            for (int k = 0; k < m->SubMatchCount(); ++k) m->SubMatch(k);
        }
        engine.Replace(units, u"$1$&$`$'$$");
    }
    return 0;
}
