// Local time in the user's date and time formats, and the counters.
#include "platform/win32/win32_platform.h"

#include <windows.h>

namespace spylerom::platform {

namespace {

// GetDateFormatW and GetTimeFormatW ask for their length first; the result is without its terminator.
template <typename Format> std::wstring formatted(Format format) {
    const int length = format(nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    if (format(text.data(), length) <= 0)
        return {};
    text.resize(static_cast<std::size_t>(length - 1));
    return text;
}

} // namespace

LocalTime Win32Platform::localTime() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    LocalTime t;
    t.year = now.wYear;
    t.month = now.wMonth;
    t.day = now.wDay;
    t.hour = now.wHour;
    t.minute = now.wMinute;
    t.second = now.wSecond;
    t.millisecond = now.wMilliseconds;
    return t;
}

std::string Win32Platform::dateTimeText(const LocalTime& t) const {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    st.wMilliseconds = static_cast<WORD>(t.millisecond);
    const std::wstring date = formatted([&](wchar_t* buffer, int size) {
        return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, size);
    });
    const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0;
    if (midnight)
        return narrow(date);
    // No format flags: the user's long time format.
    const std::wstring time = formatted([&](wchar_t* buffer, int size) {
        return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, size);
    });
    return narrow(date + L" " + time);
}

std::uint64_t Win32Platform::performanceCounter() const {
    LARGE_INTEGER counter{};
    if (QueryPerformanceCounter(&counter))
        return static_cast<std::uint64_t>(counter.QuadPart);
    return GetTickCount(); // no high-resolution counter on this machine
}

std::int64_t Win32Platform::monotonicMilliseconds() const {
    return static_cast<std::int64_t>(GetTickCount64());
}

} // namespace spylerom::platform
