#pragma once
// Helpers for the simulator tests: exact bytes over a loopback socket, and the vendor
// patterns run the way the program runs them (reply UTF-8 -> GBK text -> UTF-16 subject,
// PCRE2 16-bit, case-insensitive, multi-line, global, "." stopping only at line feed).
#include <string>
#include <string_view>
#include <vector>

namespace simtest {

struct HttpReply {
    int status = 0;
    std::string head;  // status line and headers
    std::string body;
};

// Sends `request` byte for byte to 127.0.0.1:port and reads until the server closes.
HttpReply exchange(int port, std::string_view request);
// A GET of `target` with the request routine's default header lines.
HttpReply get(int port, std::string_view target);
HttpReply post(int port, std::string_view target, std::string_view body);

// Every match of `pattern` (UTF-8) over `gbkText`; each match is its groups 1..n in UTF-8.
using Match = std::vector<std::string>;
std::vector<Match> matchAll(std::string_view pattern, std::string_view gbkText);

// The reply body as the program holds it.
std::string textOf(const std::string& utf8Body);

// Keyword bytes as the program sends them: GBK, then percent-encoded.
std::string percentEncoded(std::string_view bytes);

}  // namespace simtest
