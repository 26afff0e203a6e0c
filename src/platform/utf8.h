// UTF-8 encoding and decoding shared by every platform and subsystem; no OS calls. Which text
// a file holds (UTF-8, a code page) is the platform's business, not this file's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace spylerom::platform::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

void append(std::string& out, char32_t c);
// Decodes the character at text[i] and advances i; false, with i unchanged, when the bytes
// there are not well-formed UTF-8 (overlong forms, surrogates, values past U+10FFFF).
bool decode(std::string_view text, std::size_t& i, char32_t& out);
// Like decode, but a malformed sequence gives U+FFFD and consumes one byte, so the rest of
// the text still decodes.
char32_t next(std::string_view text, std::size_t& i);
bool isValid(std::string_view text);

} // namespace spylerom::platform::utf8
