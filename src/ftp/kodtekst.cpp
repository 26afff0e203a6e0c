// The password scrambling and the UTF-8/UTF-16 conversions around it.
#include "ftp/kodtekst.h"

#include "platform/utf8.h"

#include <cstdint>

namespace spylerom::ftp {

namespace {

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
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
        const char32_t cp = platform::utf8::next(utf8, i);
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
            platform::utf8::append(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) +
                                            (char32_t(utf16[i + 1]) - 0xDC00));
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            platform::utf8::append(out, platform::utf8::kReplacement);
        } else {
            platform::utf8::append(out, unit);
        }
    }
    return out;
}

} // namespace spylerom::ftp
