#include "cli/lookup_tool.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/text_util.h"
#include "cli/batch.h"
#include "cli/download_command.h"
#include "cli/lookups.h"
#include "cli/output.h"
#include "cli/terminal.h"
#include "cli/wording.h"
#include "platform/codepage.h"
#include "platform/wininet.h"
#include "vendors/coolpad.h"
#include "vendors/lg.h"

namespace lookup {
namespace {

constexpr char kName[] = "romhaul-lookup";
// A batch is a shop's intake list, not a data set; a larger input is a mistake.
constexpr std::size_t kMaxBatchBytes = 4 << 20;
constexpr std::size_t kMaxSerialDigits = 32;

const char* const kFooter =
    "输出 / Output:\n"
    "  终端上为对齐的表格，否则为制表符分隔的行（首行为列名）；--format 可指定。\n"
    "  An aligned table on a terminal, otherwise tab-separated lines after a header line;\n"
    "  --format chooses.\n"
    "退出状态 / Exit status:\n"
    "  0 找到结果 found   1 没有结果 nothing found   2 用法错误 usage error\n"
    "  3 网络或服务故障 network or service failure\n"
    "  4 本地故障：输出无法写入、输入无法读取、磁盘已满 local failure: output cannot be\n"
    "    written, input cannot be read, no space for a download\n"
    "  130 被中断 interrupted (Ctrl-C)\n"
    "服务地址 / Service hosts (environment):\n"
    "  ROMHAUL_HUAWEI_HOST ROMHAUL_ZTE_HOST ROMHAUL_COOLPAD_HOST ROMHAUL_LG_HOST\n"
    "  ROMHAUL_IPHONE_BASE\n"
    "详见 / See: man romhaul-lookup";

// The session's streams and how text reaches them.
struct Session {
    LocaleText locale = LocaleText::fromEnvironment();
    bool chinese = speaksChinese();
    bool stdoutTerminal = isTerminal(STDOUT_FILENO);
    ProgressLine progress{isTerminal(STDERR_FILENO)};

    // One message line on standard error; `programText` is code page 936.
    void message(std::string_view prefix, std::string_view programText) {
        messageUtf8(codepage::gbkToUtf8(prefix) + codepage::gbkToUtf8(programText));
    }
    void messageUtf8(std::string_view utf8) {
        std::string line = std::string(kName) + ": ";
        line += locale.outUtf8(withoutControls(chinese ? std::string(utf8) : englishUtf8(utf8)));
        line += '\n';
        writeWhole(STDERR_FILENO, line);
    }
    // Once standard output refuses a write (a full disk, a closed file), nothing more is
    // written there: the rows would have a hole. One line says so, and the status is 4.
    void out(std::string_view bytes) {
        if (outputFailed || writeWhole(STDOUT_FILENO, bytes)) return;
        const int error = errno;
        outputFailed = true;
        messageUtf8(std::string("输出写入失败 / cannot write the output: ") + std::strerror(error));
    }
    bool outputFailed = false;
};

std::string joinWords(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) {
        if (!text.empty()) text += ' ';
        text += w;
    }
    return text;
}

// Spaces and tabs at both ends, as typed in a list; full-width spaces too (trimSpaces).
std::string trimLine(std::string_view line) {
    std::string text(line);
    for (char& c : text)
        if (c == '\t' || c == '\r') c = ' ';
    return trimSpaces(text);
}

bool allDigits(std::string_view text) {
    if (text.empty() || text.size() > kMaxSerialDigits) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// All of standard input: Found, Usage when it runs past the cap, Output when it cannot
// be read (a read error is not the end of the batch).
Status readStandardInput(std::string& text) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::Output;
        }
        if (n == 0) return Status::Found;
        text.append(buffer, std::size_t(n));
        if (text.size() > kMaxBatchBytes) return Status::Usage;
    }
}

struct Serial {
    std::string text;          // program text, trimmed
    std::string where;         // where it came from, for messages ("" for an argument)
    std::string problem = {};  // why it is no serial number; "" for a good one
};

// The serial numbers of the arguments, "-" standing for the lines of standard input, in
// order. A bad one is reported and kept with its problem, so that the batch goes on
// without it and its output says so. False (with the status) when standard input is too
// long or cannot be read: then nothing is looked up.
bool collectSerials(Session& s, const std::vector<std::string>& args, std::vector<Serial>& out,
                    Status& status) {
    bool stdinRead = false;
    auto check = [&](std::string serial, std::string where) {
        std::string problem;
        if (serial.empty())
            problem = lgEmptySerialMessage();
        else if (!allDigits(serial))
            problem = gbk("串号只能是数字 / a serial number is digits only: ") + serial;
        if (!problem.empty()) s.message(where, problem);
        out.push_back({std::move(serial), std::move(where), std::move(problem)});
    };
    for (const std::string& arg : args) {
        if (arg != "-") {
            check(trimLine(s.locale.in(arg)), "");
            continue;
        }
        if (stdinRead) continue;
        stdinRead = true;
        std::string input;
        status = readStandardInput(input);
        if (status == Status::Usage) {
            s.messageUtf8("标准输入过长 / standard input is too long (more than 4 MiB)");
            return false;
        }
        if (status == Status::Output) {
            s.messageUtf8(std::string("读取标准输入出错 / cannot read standard input: ") +
                          std::strerror(errno));
            return false;
        }
        const std::vector<std::string> lines = splitText(input, "\n");
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string line = lines[i];
            const std::size_t hash = line.find('#');
            if (hash != std::string::npos) line.resize(hash);
            std::string serial = trimLine(s.locale.in(line));
            if (serial.empty()) continue;  // blank lines and comments
            check(std::move(serial), gbk("标准输入第 ") + std::to_string(i + 1) +
                                         gbk(" 行 / standard input line ") + std::to_string(i + 1) +
                                         ": ");
        }
    }
    if (out.empty()) {
        s.message("", lgEmptySerialMessage());
        status = Status::Usage;
        return false;
    }
    return true;
}

int finish(Session& s, const Result& r, Format format) {
    s.progress.clear();
    for (const std::string& m : r.messages) s.message("", m);
    // After a failure, what was found before it is still worth having; the status tells
    // that the list may be short.
    const bool answered = r.status == Status::Found || r.status == Status::Nothing;
    if ((answered || !r.table.rows.empty()) && !(format == Format::Table && r.table.rows.empty()))
        s.out(render(r.table, format, s.locale, s.stdoutTerminal));
    return int(r.status);
}

int runLg(Session& s, const std::vector<std::string>& args, Format format, int parallel) {
    std::vector<Serial> serials;
    Status readStatus = Status::Found;
    if (!collectSerials(s, args, serials, readStatus)) return int(readStatus);

    // Delimited lines go out as each look-up ends, so that a long batch shows its rows as
    // they come and an interrupted one keeps whole rows; a table and JSON need them all.
    // Several serials are looked up at once, but their rows keep the input's order.
    const bool stream = format == Format::Tsv || format == Format::Csv;
    Table all;
    Status status = Status::Found;
    auto progress = [&](std::size_t i) {
        if (serials.size() > 1 && i < serials.size())
            s.progress.show("LG " + std::to_string(i + 1) + "/" + std::to_string(serials.size()));
    };
    progress(0);
    runInOrder(
        serials.size(), parallel,
        [&](std::size_t i) {
            if (serials[i].problem.empty()) return lgLookup(serials[i].text);
            Result r;  // reported when it was read
            r.status = Status::Usage;
            r.table = {lgColumns(),
                       {lgErrorRow(serials[i].text, serials[i].where + serials[i].problem)}};
            return r;
        },
        [&](std::size_t i, Result& r) {
            if (all.columns.empty()) all.columns = r.table.columns;
            status = i == 0 ? r.status : worse(status, r.status);
            for (const std::string& m : r.messages)
                s.message(serials[i].where + "lg " + serials[i].text + ": ", m);
            if (stream) {
                s.out(render(r.table, format, s.locale, s.stdoutTerminal, i == 0));
            } else {
                for (auto& row : r.table.rows) all.rows.push_back(std::move(row));
            }
            progress(i + 1);
        });
    s.progress.clear();
    if (!stream && !(format == Format::Table && all.rows.empty()))
        s.out(render(all, format, s.locale, s.stdoutTerminal));
    return int(status);
}

void setTimeout(double seconds) {
    const auto total = std::chrono::milliseconds(std::llround(seconds * 1000));
    wininet::Limits l = wininet::limits();
    l.totalTimeout = total;
    l.connectTimeout = std::min(l.connectTimeout, total);
    l.idleTimeout = std::min(l.idleTimeout, total);
    wininet::setLimits(l);
}

// The addresses of the arguments, "-" standing for the lines of standard input (blank
// lines and # comments skipped); a bad one is a usage error before anything is fetched.
int runDownload(Session& s, DownloadRequest request) {
    std::vector<std::string> urls;
    bool stdinRead = false;
    bool ok = true;
    auto add = [&](const std::string& url) {
        if (isDownloadAddress(url)) {
            urls.push_back(url);
        } else {
            s.messageUtf8("不是 http(s) 地址 / not an http(s) address: " + url);
            ok = false;
        }
    };
    for (const std::string& arg : request.urls) {
        if (arg != "-") {
            add(trimLine(arg));
            continue;
        }
        if (stdinRead) continue;
        stdinRead = true;
        std::string input;
        if (const Status read = readStandardInput(input); read != Status::Found) {
            s.messageUtf8(
                read == Status::Usage
                    ? std::string("标准输入过长 / standard input is too long (more than 4 MiB)")
                    : std::string("读取标准输入出错 / cannot read standard input: ") +
                          std::strerror(errno));
            return int(read);
        }
        for (std::string line : splitText(input, "\n")) {
            line = trimLine(line);
            if (!line.empty() && line[0] != '#') add(line);
        }
    }
    if (!ok) return int(Status::Usage);
    if (urls.empty()) {
        s.messageUtf8("没有下载地址 / no address to download");
        return int(Status::Usage);
    }
    request.urls = std::move(urls);
    return runDownloads(request, s.progress, [&](const std::string& line) { s.messageUtf8(line); });
}

// CLI11's messages may span lines; ours never do.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

namespace {

int runCommand(Session& s, int argc, char** argv) {
    CLI::App app{
        "romhaul-lookup —— 在命令行查询华为、中兴、酷派、LG 和 iPhone 固件\n"
        "Firmware look-ups of Huawei, ZTE, Coolpad, LG and the iPhone catalogue",
        kName};
    app.set_help_flag("-h,--help", "显示帮助 / show this help");
    app.set_version_flag("--version", std::string(kName) + " " + ROMHAUL_VERSION,
                         "显示版本 / show the version");
    app.get_formatter()->column_width(28);
    app.footer(kFooter);
    app.require_subcommand(1);
    app.fallthrough();

    std::string formatName;
    double timeoutSeconds = 0;
    app.add_option("--format", formatName,
                   "输出格式 / output format: table, tsv, csv, json\n"
                   "(默认 default: 终端 table on a terminal, 否则 tsv otherwise)")
        ->check(CLI::IsMember({"table", "tsv", "csv", "json"}))
        ->option_text("FORMAT");
    app.add_option("--timeout", timeoutSeconds,
                   "每个请求的总时限（秒）/ overall deadline of each request, in seconds")
        ->check(CLI::Range(0.001, 86400.0))
        ->option_text("SECONDS");

    std::vector<std::string> huaweiWords;
    CLI::App* huawei = app.add_subcommand(
        "huawei",
        "华为：按型号或关键词搜索固件，逐页取完 / Huawei: firmware files by model or "
        "keyword, every page");
    huawei->add_option("KEYWORD", huaweiWords, "型号或关键词 / model or keyword")->required();
    huawei->footer("例 / Example: romhaul-lookup huawei P6");

    CLI::App* zte =
        app.add_subcommand("zte", "中兴：机型列表与下载文件 / ZTE: models and their files");
    zte->require_subcommand(1);
    std::vector<std::string> zteFilter, zteModel;
    CLI::App* zteModels = zte->add_subcommand(
        "models",
        "系列与机型，可按文字筛选（不分大小写）/ series and models, filtered by TEXT "
        "in any letter case");
    zteModels->add_option("TEXT", zteFilter, "筛选文字 / text to look for");
    CLI::App* zteFiles =
        zte->add_subcommand("files", "该机型的下载文件 / the downloads of a model");
    zteFiles->add_option("MODEL", zteModel, "机型名称 / model name")->required();
    zte->footer(
        "例 / Examples: romhaul-lookup zte models blade; romhaul-lookup zte files "
        "\"Blade A1\"");

    std::vector<std::string> coolpadWords, coolpadType;
    CLI::App* coolpad = app.add_subcommand(
        "coolpad",
        "酷派：按关键词查产品类型，或列出某类型的下载 / Coolpad: product types by "
        "keyword, or the downloads of a type");
    coolpad->add_option("KEYWORD", coolpadWords, "关键词 / keyword");
    CLI::App* coolpadFiles = coolpad->add_subcommand(
        "files", "该产品类型的下载表 / the download table of a product type");
    coolpadFiles->add_option("TYPE", coolpadType, "产品类型 / product type")->required();
    coolpad->footer(
        "例 / Examples: romhaul-lookup coolpad 8297; romhaul-lookup coolpad files "
        "\"Coolpad 8297\"");

    std::vector<std::string> lgSerials;
    CLI::App* lg = app.add_subcommand(
        "lg",
        "LG：按串号（IMEI，拨 *#06#）查 KDZ 固件 / LG: KDZ firmware by serial number "
        "(IMEI, dial *#06#)");
    lg->add_option("SERIAL", lgSerials,
                   "串号；- 表示从标准输入逐行读取（跳过空行和 # 注释）/ serial numbers; - reads "
                   "them from standard input, one a line (blank lines and # comments skipped)")
        ->required();
    int lgParallel = 4;
    lg->add_option("--parallel", lgParallel,
                   "同时查询的串号数，1 到 16，默认 4 / serial numbers looked up at once, 1 to "
                   "16 (default 4); the output keeps the input's order")
        ->check(CLI::Range(1, 16))
        ->option_text("N");
    lg->footer("例 / Example: romhaul-lookup lg - < intake.txt");

    IphoneQuery iq;
    std::string iphoneModel, iphoneType, iphoneVersion;
    CLI::App* iphone =
        app.add_subcommand("iphone", "iPhone 固件目录 / the iPhone firmware catalogue");
    iphone->add_option("--model", iphoneModel, "机型，默认全部 / model (default: all)")
        ->option_text("M");
    iphone->add_option("--type", iphoneType, "类型，默认全部 / type (default: all)")
        ->option_text("T");
    iphone->add_option("--version", iphoneVersion, "版本，默认全部 / version (default: all)")
        ->option_text("V");
    iphone->add_flag("--all", iq.allVersions,
                     "包括不可刷的版本 / include versions that can no longer be flashed");
    iphone->footer("例 / Example: romhaul-lookup iphone --model \"iPhone 4S\" --format json");

    DownloadRequest dl;
    CLI::App* download = app.add_subcommand(
        "download",
        "下载文件：断点续传、多连接、校验 / download files: resumable, several connections, "
        "verified");
    download
        ->add_option("URL", dl.urls,
                     "下载地址；- 表示从标准输入逐行读取 / addresses; - reads them from "
                     "standard input, one a line")
        ->required();
    download->add_option("--output,-o", dl.folder, "保存到的文件夹 / folder (default: .)")
        ->option_text("DIR");
    download
        ->add_option("--connections,-n", dl.connections,
                     "每个文件的连接数 / connections per file, 1-16 (default: 4)")
        ->check(CLI::Range(1, 16))
        ->option_text("N");
    download->footer(
        "每个完成的文件输出一行：路径、字节数、SHA-256（制表符分隔），并写入 NAME.sha256。\n"
        "One line per finished file: path, size in bytes, SHA-256 (tab-separated); the sum\n"
        "also goes to NAME.sha256 (sha256sum -c reads it). Ctrl-C saves the state: the same\n"
        "command resumes. Exit status 0 all complete, 3 network or service failure,\n"
        "4 local failure (no space, cannot write), 130 interrupted.\n"
        "例 / Example: romhaul-lookup download -o ~/fw https://host/fw.zip");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        s.out(s.locale.outUtf8(app.help()));
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        s.out(s.locale.outUtf8(app.help("", CLI::AppFormatMode::All)));
        return 0;
    } catch (const CLI::CallForVersion& e) {
        s.out(std::string(e.what()) + "\n");
        return 0;
    } catch (const CLI::ParseError& e) {
        // CLI11 would only say that a command is missing.
        const std::vector<std::string> left = app.remaining();
        if (app.get_subcommands().empty() && !left.empty() && left.front().rfind('-', 0) != 0)
            s.messageUtf8("未知命令 / unknown command: " + left.front() +
                          " (用法见 / see: romhaul-lookup --help)");
        else
            s.messageUtf8(oneLine(e.what()) + " (用法见 / see: romhaul-lookup --help)");
        return int(Status::Usage);
    }

    Format format = s.stdoutTerminal ? Format::Table : Format::Tsv;
    if (!formatName.empty()) format = *formatNamed(formatName);
    if (timeoutSeconds > 0) setTimeout(timeoutSeconds);

    if (huawei->parsed()) {
        const std::string keyword = s.locale.in(joinWords(huaweiWords));
        if (isBlank(keyword)) {
            s.message("", emptyModelMessage());
            return int(Status::Usage);
        }
        return finish(s,
                      huaweiLookup(keyword,
                                   [&](const std::string& text) {
                                       s.progress.show(s.chinese ? s.locale.out(text)
                                                                 : s.locale.outUtf8(englishUtf8(
                                                                       codepage::gbkToUtf8(text))));
                                   }),
                      format);
    }
    if (zteModels->parsed())
        return finish(s, zteModelsLookup(s.locale.in(joinWords(zteFilter))), format);
    if (zteFiles->parsed()) {
        const std::string model = trimSpaces(s.locale.in(joinWords(zteModel)));
        if (model.empty()) {
            s.message("", emptyModelMessage());
            return int(Status::Usage);
        }
        return finish(s, zteFilesLookup(model), format);
    }
    if (coolpad->parsed()) {
        if (coolpadFiles->parsed()) {
            if (!coolpadWords.empty()) {
                s.messageUtf8(
                    "coolpad: 关键词与 files 只能二选一 / give a KEYWORD or files TYPE, "
                    "not both");
                return int(Status::Usage);
            }
            const std::string type = s.locale.in(joinWords(coolpadType));
            if (isBlank(type)) {
                s.messageUtf8("coolpad files: 请给出产品类型 / name a product type");
                return int(Status::Usage);
            }
            return finish(s, coolpadFilesLookup(type), format);
        }
        const std::string keyword = s.locale.in(joinWords(coolpadWords));
        if (isBlank(keyword)) {
            s.message("", coolpadEmptyKeywordMessage());
            return int(Status::Usage);
        }
        return finish(s, coolpadTypesLookup(keyword), format);
    }
    if (lg->parsed()) return runLg(s, lgSerials, format, lgParallel);
    if (download->parsed()) return runDownload(s, dl);
    if (iphone->parsed()) {
        if (iphone->count("--model")) iq.model = s.locale.in(iphoneModel);
        if (iphone->count("--type")) iq.type = s.locale.in(iphoneType);
        if (iphone->count("--version")) iq.version = s.locale.in(iphoneVersion);
        return finish(s, iphoneLookup(iq), format);
    }
    return int(Status::Usage);
}

}  // namespace

int runLookupTool(int argc, char** argv) {
    installInterruptHandler();
    Session s;
    const int status = runCommand(s, argc, argv);
    return s.outputFailed ? int(Status::Output) : status;
}

}  // namespace lookup
