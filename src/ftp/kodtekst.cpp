// The password scrambling and the UTF-8/UTF-16 conversions around it.
#include "ftp/kodtekst.h"

#include <cstdint>

namespace spylerom::ftp {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Decodes one character at text[i], advancing i; malformed or overlong sequences give U+FFFD
// and consume one byte, so the rest still decodes.
char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= text.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += extra + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char16_t shifted(char16_t unit, std::size_t position, bool up) {
    const auto step = static_cast<std::uint16_t>(position); // modulo 65536
    return static_cast<char16_t>(up ? unit + step : unit - step);
}

} // namespace

std::u16string KodTekst(std::u16string_view text) {
    std::u16string stored;
    stored.reserve(text.size() + 2);
    stored += u'z';
    for (std::size_t i = 0; i < text.size(); ++i)
        stored += shifted(text[i], i + 1, true);
    stored += u'2';
    return stored;
}

std::u16string DekodTekst(std::u16string_view stored) {
    if (stored.size() < 2)
        return {};
    const std::u16string_view inner = stored.substr(1, stored.size() - 2);
    std::u16string text;
    text.reserve(inner.size());
    for (std::size_t i = 0; i < inner.size(); ++i)
        text += shifted(inner[i], i + 1, false);
    return text;
}

std::string KodTekst(std::string_view utf8) {
    return utf16ToUtf8(KodTekst(utf8ToUtf16(utf8)));
}

std::string DekodTekst(std::string_view utf8) {
    return utf16ToUtf8(DekodTekst(utf8ToUtf16(utf8)));
}

bool scrambledFormStorable(std::string_view utf8) {
    const std::u16string stored = KodTekst(utf8ToUtf16(utf8));
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char16_t unit = stored[i];
        if (unit < 0x20)
            return false;
        if (isHighSurrogate(unit)) {
            if (i + 1 >= stored.size() || !isLowSurrogate(stored[i + 1]))
                return false;
            ++i;
        } else if (isLowSurrogate(unit)) {
            return false;
        }
    }
    return true;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (isHighSurrogate(unit) && i + 1 < utf16.size() && isLowSurrogate(utf16[i + 1])) {
            appendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(utf16[i + 1]) - 0xDC00));
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

} // namespace spylerom::ftp
