// Local time in the user's formats, and the counters.
#include "platform/posix/posix_platform.h"

#include <clocale>
#include <ctime>

namespace spylerom::platform {

LocalTime PosixPlatform::localTime() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    localtime_r(&now.tv_sec, &parts);
    LocalTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return t;
}

std::string PosixPlatform::dateTimeText(const LocalTime& t) const {
    // The user's formats come from LC_TIME (or LANG/LC_ALL), whatever the process locale is.
    static const locale_t userTime = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    tm parts{};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    parts.tm_isdst = -1;
    const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0;
    char buffer[128] = {};
    const char* format = midnight ? "%x" : "%x %X";
    const std::size_t length = userTime ? strftime_l(buffer, sizeof buffer, format, &parts, userTime)
                                        : strftime(buffer, sizeof buffer, format, &parts);
    return std::string(buffer, length);
}

std::uint64_t PosixPlatform::performanceCounter() const {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<std::uint64_t>(now.tv_nsec);
}

std::int64_t PosixPlatform::monotonicMilliseconds() const {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace spylerom::platform
