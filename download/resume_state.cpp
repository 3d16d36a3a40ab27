#include "download/resume_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace download {
namespace {

constexpr char kMagic[] = "romhaul-download 1";
constexpr std::size_t kMostGaps = 4096;
constexpr std::size_t kMostBytes = 256 << 10;

bool parseNumber(const std::string& text, std::uint64_t& out) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const std::uint64_t next = v * 10 + std::uint64_t(c - '0');
        if (next / 10 != v) return false;
        v = next;
    }
    out = v;
    return true;
}

bool oneLine(const std::string& s) {
    return s.find('\n') == std::string::npos && s.find('\r') == std::string::npos;
}

}  // namespace

std::string resumeStateText(const ResumeState& s) {
    std::string text = std::string(kMagic) + "\n";
    text += "url " + s.url + "\n";
    text += "length " + std::to_string(s.length) + "\n";
    text += "validator " + s.validator + "\n";
    text += std::string("ranges ") + (s.ranges ? "1" : "0") + "\n";
    for (const auto& [from, to] : s.gaps)
        text += "gap " + std::to_string(from) + " " + std::to_string(to) + "\n";
    text += "end\n";
    return text;
}

bool parseResumeState(const std::string& text, ResumeState& out) {
    ResumeState s;
    std::size_t i = 0;
    int field = 0;
    bool ended = false;
    while (i < text.size()) {
        const std::size_t nl = text.find('\n', i);
        if (nl == std::string::npos || ended) return false;  // cut short, or text after "end"
        const std::string line = text.substr(i, nl - i);
        i = nl + 1;
        const std::size_t sp = line.find(' ');
        const std::string key = line.substr(0, sp);
        const std::string value = sp == std::string::npos ? "" : line.substr(sp + 1);
        if (field == 0) {
            if (line != kMagic) return false;
        } else if (field == 1) {
            if (key != "url" || value.empty()) return false;
            s.url = value;
        } else if (field == 2) {
            if (key != "length" || !parseNumber(value, s.length)) return false;
        } else if (field == 3) {
            if (key != "validator") return false;
            s.validator = value;
        } else if (field == 4) {
            if (key != "ranges" || (value != "0" && value != "1")) return false;
            s.ranges = value == "1";
        } else if (key == "gap") {
            const std::size_t sp2 = value.find(' ');
            std::uint64_t from = 0, to = 0;
            if (sp2 == std::string::npos || !parseNumber(value.substr(0, sp2), from) ||
                !parseNumber(value.substr(sp2 + 1), to) || from >= to || to > s.length ||
                (!s.gaps.empty() && from < s.gaps.back().second) || s.gaps.size() >= kMostGaps)
                return false;
            s.gaps.emplace_back(from, to);
        } else if (line == "end") {
            ended = true;
        } else {
            return false;
        }
        ++field;
    }
    if (!ended) return false;
    out = std::move(s);
    return true;
}

bool readResumeState(const std::string& path, ResumeState& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, std::size_t(n));
        if (text.size() > kMostBytes) {
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return parseResumeState(text, out);
}

bool writeResumeState(const std::string& path, const ResumeState& s) {
    if (!oneLine(s.url) || !oneLine(s.validator)) return false;
    return writeFileAtomically(path, resumeStateText(s));
}

bool writeFileAtomically(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        at += std::size_t(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    syncFolder(path);
    return true;
}

void syncFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace download
