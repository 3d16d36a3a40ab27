#include "cli/download_command.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "download/download.h"

namespace lookup {
namespace {

std::string humanBytes(double bytes) {
    const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int u = 0;
    while (bytes >= 1024 && u < 4) {
        bytes /= 1024;
        ++u;
    }
    char text[32];
    std::snprintf(text, sizeof text, u == 0 ? "%.0f %s" : "%.1f %s", bytes, units[u]);
    return text;
}

std::string progressText(const std::string& name, const download::Progress& p) {
    std::string text = name + "  ";
    if (p.total > 0) {
        char percent[16];
        std::snprintf(percent, sizeof percent, "%3d%%  ", int(p.done * 100 / p.total));
        text += percent + humanBytes(double(p.done)) + " / " + humanBytes(double(p.total));
    } else {
        text += humanBytes(double(p.done));
    }
    text += "  " + humanBytes(p.bytesPerSecond) + "/s";
    if (p.total > 0 && p.bytesPerSecond > 0) {
        const auto left = std::uint64_t(double(p.total - p.done) / p.bytesPerSecond);
        char eta[32];
        std::snprintf(eta, sizeof eta, "  %u:%02u:%02u", unsigned(left / 3600),
                      unsigned(left / 60 % 60), unsigned(left % 60));
        text += eta;
    }
    return text;
}

int statusOf(const download::Progress& p) {
    if (p.state == download::State::Complete) return 0;
    return p.failure == download::Failure::Local ? kLocalFailure : 3;
}

}  // namespace

bool isDownloadAddress(const std::string& url) {
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) return false;
    for (char c : url)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    return url.size() > 8 && url.size() < 8192;
}

int runDownloads(const DownloadRequest& request, ProgressLine& progress,
                 const std::function<void(const std::string&)>& message) {
    std::error_code error;
    std::filesystem::create_directories(request.folder, error);
    if (!std::filesystem::is_directory(request.folder)) {
        message("无法写入 / cannot write: " + request.folder);
        return kLocalFailure;
    }
    deferInterrupts();
    int status = 0;
    for (const std::string& url : request.urls) {
        download::Options options;
        options.url = url;
        options.folder = request.folder;
        options.connections = request.connections;
        download::Download d(options);
        d.start();
        bool stopped = false;
        for (;;) {
            const download::Progress p = d.progress();
            if (p.state != download::State::Running) break;
            if (interruptRequested() && !stopped) {
                d.pause();  // saves the state: the same command resumes
                stopped = true;
            }
            if (progress.enabled() && !stopped) {
                const std::string path = p.path.empty() ? url : p.path;
                progress.show(progressText(path.substr(path.rfind('/') + 1), p));
            }
            d.waitFor(std::chrono::milliseconds(200));
        }
        const download::Progress p = d.wait();
        progress.clear();
        if (p.state == download::State::Complete) {
            writeWhole(STDOUT_FILENO,
                       p.path + "\t" + std::to_string(p.total) + "\t" + p.sha256 + "\n");
        } else if (p.state == download::State::Paused) {
            message(
                "已中断，再次运行同一命令即可续传 / interrupted; the same command "
                "resumes: " +
                (p.path.empty() ? url : p.path + ".part"));
            return kInterrupted;
        } else {
            message(url + ": 下载失败 / download failed: " + p.reason);
            status = std::max(status, statusOf(p));
        }
        if (stopped) return kInterrupted;
    }
    return status;
}

}  // namespace lookup
