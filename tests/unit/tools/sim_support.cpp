#include "tests/unit/tools/sim_support.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pcre2.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/codepage.h"

namespace simtest {

HttpReply exchange(int port, std::string_view request) {
    HttpReply reply;
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    if (sock < 0) return reply;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{10, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string raw;
    if (::connect(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(sock, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
        char buffer[65536];
        for (ssize_t n; (n = ::recv(sock, buffer, sizeof buffer, 0)) > 0;) raw.append(buffer, n);
    }
    ::close(sock);
    const std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos) return reply;
    reply.head = raw.substr(0, end + 2);
    reply.body = raw.substr(end + 4);
    if (reply.head.size() > 12) reply.status = std::atoi(reply.head.c_str() + 9);
    return reply;
}

namespace {

std::string defaultHeaders(int port, std::string_view target) {
    const std::string host = "127.0.0.1:" + std::to_string(port);
    return "Host: " + host +
           "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"
           "\r\nAccept: */*\r\nReferer: http://" +
           host + std::string(target) +
           "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n";
}

}  // namespace

HttpReply get(int port, std::string_view target) {
    return exchange(port, "GET " + std::string(target) + " HTTP/1.1\r\n" +
                              defaultHeaders(port, target) + "\r\n");
}

HttpReply post(int port, std::string_view target, std::string_view body) {
    return exchange(port, "POST " + std::string(target) + " HTTP/1.1\r\n" +
                              defaultHeaders(port, target) + "Content-Length: " +
                              std::to_string(body.size()) + "\r\n\r\n" + std::string(body));
}

std::vector<Match> matchAll(std::string_view pattern, std::string_view gbkText) {
    std::vector<Match> matches;
    const std::u16string p = codepage::utf8ToUtf16(pattern);
    const std::u16string subject = codepage::gbkToUtf16(gbkText);
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, PCRE2_NEWLINE_LF);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.data()), p.size(),
                      PCRE2_CASELESS | PCRE2_MULTILINE | PCRE2_UTF, &error, &offset, context);
    pcre2_compile_context_free(context);
    if (!code) return matches;
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    const auto* s = reinterpret_cast<PCRE2_SPTR>(subject.data());
    for (PCRE2_SIZE start = 0; start <= subject.size();) {
        const int rc = pcre2_match(code, s, subject.size(), start, 0, data, nullptr);
        if (rc < 0) break;
        const PCRE2_SIZE* v = pcre2_get_ovector_pointer(data);
        Match groups;
        for (int g = 1; g < rc; ++g) {
            groups.push_back(
                codepage::utf16ToUtf8(subject.substr(v[2 * g], v[2 * g + 1] - v[2 * g])));
        }
        groups.resize(pcre2_get_ovector_count(data) - 1);
        matches.push_back(std::move(groups));
        start = v[1] > v[0] ? v[1] : v[1] + 1;
    }
    pcre2_match_data_free(data);
    pcre2_code_free(code);
    return matches;
}

std::string textOf(const std::string& utf8Body) {
    return codepage::utf8ToGbk(utf8Body);
}

std::string percentEncoded(std::string_view bytes) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                           (c >= 'A' && c <= 'Z') || c == '-' || c == '_' || c == '.' || c == ',';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace simtest
