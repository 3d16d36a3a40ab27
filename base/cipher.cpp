#include "base/cipher.h"

#include <array>

std::int64_t hexToInt(std::string_view text) {
    static constexpr std::string_view digits = "0123456789ABCDEF";
    std::uint64_t value = 0;
    for (char c : text) {
        char u = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        auto p = digits.find(u);
        std::int64_t digit = p == std::string_view::npos ? -1 : std::int64_t(p);
        value = value * 16 + std::uint64_t(digit);  // unsigned: wraps instead of overflowing
    }
    return std::int64_t(value);
}

namespace {

// Key stream with the program's 1-based positions: every index update adds 1 after the
// modulo, so from the second byte on it differs from textbook RC4.
std::string applyKeyStream(std::string_view bytes, std::string_view key) {
    std::array<int, 257> S{};
    for (int p = 1; p <= 256; ++p) S[p] = p - 1;
    std::string out(bytes);
    if (key.empty()) return out;  // the schedule needs at least one key character
    int j = 0;
    for (int k = 1; k <= 256; ++k) {
        int K = static_cast<unsigned char>(key[std::size_t(k - 1) % key.size()]);
        j = (j + S[k] + K) % 256 + 1;
        std::swap(S[k], S[j]);
    }
    int i = 0;
    j = 0;
    for (char& c : out) {
        i = (i + 1) % 256 + 1;
        j = (j + S[i]) % 256 + 1;
        std::swap(S[i], S[j]);
        int t = (S[i] + S[j]) % 256 + 1;
        c = char(static_cast<unsigned char>(c) ^ S[t]);
    }
    return out;
}

}  // namespace

std::string decipherText(std::string_view cipherText, std::string_view keyText) {
    std::string hex;
    hex.reserve(cipherText.size());
    for (char c : cipherText)
        if (c != ',') hex.push_back(c);
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(char(hexToInt(std::string_view(hex).substr(i, 2))));
    return applyKeyStream(bytes, keyText);
}

std::string encipherText(std::string_view plainText, std::string_view keyText) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : applyKeyStream(plainText, keyText)) {
        auto b = static_cast<unsigned char>(c);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
        out.push_back(',');
    }
    return out;
}
