#pragma once
// The enciphered constants of the window caption and the About lines, and their cipher.
#include <cstdint>
#include <string>
#include <string_view>

// Upper-cases the text and reads it as hexadecimal digits. Characters that are no hex
// digit count as digit -1, as the original formula gives; inputs are hex digits only.
std::int64_t hexToInt(std::string_view text);

// The program's RC4-family stream cipher over comma-terminated hex byte pairs.
std::string decipherText(std::string_view cipherText, std::string_view keyText);

// The inverse, for producing constants: the same key stream over plain bytes, each result
// byte written as two upper-case hex digits and a comma.
std::string encipherText(std::string_view plainText, std::string_view keyText);

namespace constants {
extern const char* const kKey;
extern const char* const kCaption;  // constant 1: the main window's caption
extern const char* const kAuthor;   // constant 2: 标签14
extern const char* const kNotice;   // constant 3: 标签12
extern const char* const kContact;  // constant 4: 标签15
}  // namespace constants
