// Text at the Win32 boundary: the ANSI code page of the log and settings files, the system's
// upper case, and the user's date and time formats.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace spylerom::test {
namespace {

using platform::sys;

TEST(Win32Text, NorwegianLettersTakeOneByteEachInTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "the test script runs Wine with an English locale (code page 1252)";
    EXPECT_EQ(sys().toFileText("ÆØÅ æøå"), "\xC6\xD8\xC5 \xE6\xF8\xE5");
    EXPECT_EQ(sys().fromFileText("\xC6\xD8\xC5 \xE6\xF8\xE5"), "ÆØÅ æøå");
    // Windows-1252's own characters in 0x80..0x9F.
    EXPECT_EQ(sys().fromFileText("\x80 \x96"), "€ –");
    EXPECT_EQ(sys().toFileText("€ –"), "\x80 \x96");
    // A character the code page lacks becomes the system's default character; the rest stays.
    EXPECT_EQ(sys().toFileText("a\xE2\x88\x9E"
                               "b"),
              "a?b");
    EXPECT_EQ(sys().toFileText(""), "");
    EXPECT_EQ(sys().fromFileText(""), "");
}

TEST(Win32Text, UpperCaseKnowsTheNorwegianLetters) {
    EXPECT_EQ(sys().toUpper("blåbærsyltetøy"), "BLÅBÆRSYLTETØY");
    EXPECT_EQ(sys().toUpper("c:\\windows\\temp\\"), "C:\\WINDOWS\\TEMP\\");
    EXPECT_EQ(sys().toUpper("ÆØÅ 123"), "ÆØÅ 123");
    EXPECT_EQ(sys().toUpper(""), "");
}

TEST(Win32Text, Utf16RoundTripAndBrokenUtf8) {
    const std::string text = "Solvarek æøå € \xF0\x9F\x98\x80";
    EXPECT_EQ(platform::narrow(platform::widen(text)), text);
    EXPECT_EQ(platform::widen("æ"), std::wstring(1, L'\u00E6'));
    // A broken sequence does not throw and does not swallow its neighbours.
    const std::string broken = platform::narrow(platform::widen("a\xC3"
                                                                "b"));
    EXPECT_EQ(broken.front(), 'a');
    EXPECT_EQ(broken.back(), 'b');
}

TEST(Win32Time, DateAndTimeInTheUsersFormatsWithoutTheTimeAtMidnight) {
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    ASSERT_EQ(std::wstring(locale), L"nb-NO")
        << "the tests run Wine as a Norwegian Windows (LC_ALL=nb_NO.UTF-8)";
    platform::LocalTime t;
    t.year = 2011;
    t.month = 12;
    t.day = 24;
    t.hour = 14;
    t.minute = 5;
    t.second = 9;
    EXPECT_EQ(sys().dateTimeText(t), "24.12.2011 14:05:09");
    t.hour = 9;
    EXPECT_EQ(sys().dateTimeText(t), "24.12.2011 09:05:09");

    t.hour = t.minute = t.second = 0;
    EXPECT_EQ(sys().dateTimeText(t), "24.12.2011");
    t.millisecond = 1;
    EXPECT_EQ(sys().dateTimeText(t), "24.12.2011 00:00:00") << "a millisecond past midnight shows the time";
}

TEST(Win32Time, LocalTimeAndTheCounters) {
    SYSTEMTIME before{};
    GetLocalTime(&before);
    const auto now = sys().localTime();
    EXPECT_EQ(now.year, before.wYear);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_LE(now.millisecond, 999);

    const auto counter = sys().performanceCounter();
    const auto start = sys().monotonicMilliseconds();
    Sleep(100);
    EXPECT_GT(sys().performanceCounter(), counter);
    EXPECT_GE(sys().monotonicMilliseconds() - start, 50); // the tick is coarse: 10 to 16 ms
    EXPECT_LT(sys().monotonicMilliseconds() - start, 60000);
}

} // namespace
} // namespace spylerom::test
