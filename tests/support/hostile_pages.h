#pragma once
// Replies as a hostile or broken server would send them, built at run time for the tests
// over hostile replies and for bench/hostile. Texts are as the readers get them (GBK after
// conversion); every shape here is ASCII or built with gbk().
#include <cstddef>
#include <string>

#include "base/text_util.h"

namespace hostile {

// A Huawei file record as the service writes it, on one line.
inline std::string huaweiRecord(int i) {
    const std::string n = std::to_string(i);
    return "{\"fileName\":\"P6 B" + n + "\",\"fileSize\":\"1" + n +
           " MB\",\"releaseDate\":1396585821312,\"downloadUrl\":\"http://d/" + n +
           "\",\"languageList\":[]}";
}

// One line of `groups` records that lack "languageList": every start is a record the
// pattern can stretch in many ways and never finish.
inline std::string huaweiBadLine(int groups = 34) {
    std::string line;
    for (int g = 0; g < groups; ++g)
        line += "\"fileName\":\"x\",\"fileSize\":\"1MB\",\"releaseDate\":1,\"downloadUrl\":\"u\",";
    return line + "\n";
}

// 1,000 such lines (about 2 MB, under the service's cap).
inline std::string huaweiBadPage(int lines = 1000, int groups = 27) {
    std::string page;
    for (int l = 0; l < lines; ++l) page += huaweiBadLine(groups);
    return page;
}

// A ZTE file entry: the heading line, then the size and date line.
inline std::string zteEntry(int i) {
    const std::string n = std::to_string(i);
    return gbk("<li>\r\n<h4><a href=\"http://d/f" + n + ".zip\" target=\"_blank\">file " + n +
               "</a></h4>\r\n<pre>文件大小：1" + n + "MB　　更新日期：2014-01-0" +
               std::to_string(i % 9 + 1) + "　　下载次数：9</pre>\r\n</li>\r\n");
}

// A heading whose next line repeats "<pre>文件大小：a" for `bytes` bytes with no date.
inline std::string zteBadEntry(std::size_t bytes = 480'000) {
    std::string entry = gbk("<h4><a href=\"u\" target=\"_blank\">n</a></h4>\r\n");
    const std::string unit = gbk("<pre>文件大小：a");
    std::string line;
    while (line.size() < bytes) line += unit;
    return entry + line + "\r\n";
}

// A file list of `lines` lines, as zteFileList makes it.
inline std::string zteFileListLines(int lines = 20'000) {
    std::string list;
    for (int i = 0; i < lines; ++i)
        list +=
            "http://d/" + std::to_string(i) + ".zip|f" + std::to_string(i) + "|1MB|2014-01-01\r\n";
    return list;
}

// A Coolpad download row as the site lays it out (seven lines per file).
inline std::string coolpadRow(int i) {
    const std::string n = std::to_string(i);
    return gbk("<tr>\r\n<td width=\"38%\" class=\"desc\">固件 " + n +
               "</td>\r\n<td>2014-01-01</td>\r\n<td>1" + n +
               "MB</td>\r\n<td>Android</td>\r\n<td>刷机包</td>\r\n<td>\r\n<a href=\"http://d/" + n +
               ".zip\" target=\"_blank\" class=\"down-btn\">下载</a>\r\n</td>\r\n</tr>\r\n");
}

// A download row that never gets to its link: long lines of cells for the greedy pieces
// of the pattern to try every split of.
inline std::string coolpadBadRow(int cells = 300) {
    std::string line;
    for (int i = 0; i < cells; ++i) line += "<td>a</td>";
    std::string row = "<td width=1>" + line + "\r\n";
    for (int l = 0; l < 6; ++l) row += line + "\r\n";
    return row;
}

// A search result line as the site writes it.
inline std::string coolpadResult(const std::string& type) {
    return gbk("<li><a href=\"javascript:go('" + type + "','DOWNLOAD_KEY')\">" + type +
               "</a> <span>所属类别：下载中心</span></li>\n");
}

// Search result openings that never reach their category, filling `bytes`.
inline std::string coolpadBadSearch(std::size_t bytes) {
    std::string line;
    for (int i = 0; i < 300; ++i) line += "('x','DOWNLOAD_KEY')\">";
    line += "\n";
    std::string page;
    while (page.size() + line.size() <= bytes) page += line;
    return page;
}

// "[" and then `bytes` commas: a JSON array of that many missing elements.
inline std::string jsonCommas(std::size_t bytes) {
    std::string text = "[";
    text.append(bytes, ',');
    return text;
}

}  // namespace hostile
