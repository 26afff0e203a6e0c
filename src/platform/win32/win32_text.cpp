// Text at the Win32 boundary: UTF-8 <-> UTF-16, the ANSI code page of the log and settings
// files, and the system's upper-case mapping.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <climits>

namespace spylerom::platform {

namespace {

// Converts from a multi-byte code page to UTF-16; bytes the page lacks become U+FFFD.
std::wstring toWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty() || bytes.size() > INT_MAX)
        return {};
    const int inLength = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), inLength, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), inLength, out.data(), length);
    return out;
}

// Converts UTF-16 to a multi-byte code page; characters the page lacks become its default
// character ("?"), never a look-alike ("∞" is no "8").
std::string fromWide(UINT codePage, std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int inLength = static_cast<int>(text.size());
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int length =
        WideCharToMultiByte(codePage, flags, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), inLength, out.data(), length, nullptr, nullptr);
    return out;
}

} // namespace

std::wstring widen(std::string_view utf8) {
    return toWide(CP_UTF8, utf8);
}

std::string narrow(std::wstring_view utf16) {
    return fromWide(CP_UTF8, utf16);
}

std::string Win32Platform::toFileText(std::string_view utf8) const {
    return fromWide(CP_ACP, widen(utf8));
}

std::string Win32Platform::fromFileText(std::string_view bytes) const {
    return narrow(toWide(CP_ACP, bytes));
}

std::string Win32Platform::toUpper(std::string_view utf8) const {
    std::wstring text = widen(utf8);
    if (!text.empty() && text.size() <= MAXDWORD)
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return narrow(text);
}

} // namespace spylerom::platform
