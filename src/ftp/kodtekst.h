// The scrambled form the settings file keeps the FTP password in (KodTekst/DekodTekst), on 16-bit
// code units, with the UTF-8 conversions the rest of the program needs around it. Where the text
// comes from and where it is stored is left to the callers.
#pragma once

#include <string>
#include <string_view>

namespace spylerom::ftp {

// "z", each code unit raised by its 1-based position (modulo 65536), then "2". Example: abc -> zbdf2.
std::u16string KodTekst(std::u16string_view text);
// Drops the first and the last unit, then lowers each unit by its 1-based position (modulo 65536).
// Fewer than two units give the empty text.
std::u16string DekodTekst(std::u16string_view stored);

// The same on UTF-8 text. Units that form no character after the change (a surrogate left without
// its partner) become U+FFFD; scrambledFormStorable tells beforehand whether that can happen.
std::string KodTekst(std::string_view utf8);
std::string DekodTekst(std::string_view utf8);

// True when KodTekst(utf8) is a text a settings file line can hold and give back unchanged: no
// control character (a line break would split the entry) and no surrogate without its partner.
bool scrambledFormStorable(std::string_view utf8);

// UTF-8 <-> UTF-16. Malformed input becomes U+FFFD; nothing is dropped silently.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

} // namespace spylerom::ftp
