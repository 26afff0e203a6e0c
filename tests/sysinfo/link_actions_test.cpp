// Writing the log out for the log link: the lines not yet in the file are added to it and stay
// in memory; a log that cannot be written says why and leaves what was there.
#include "sysinfo/link_actions.h"

#include "frame/textfil.h"
#include "sysinfo/sysinfo_fixture.h"

#include <filesystem>

namespace spylerom::sysinfo {
namespace {

class WriteLogLinesTest : public test::SysInfoTest {};

TEST_F(WriteLogLinesTest, AddsTheNewLinesToTheFileAndKeepsThem) {
    frame::LogState& log = frame::logState();
    std::filesystem::create_directories(maker() + "log");
    // What the file holds beyond the lines loaded at the start (and other runs' lines) stays.
    test::writeText(log.LogFileName, "eldre innhold som blir\r\n");
    log.LogLines = {"én", "to"};
    platform::Error err;
    ASSERT_TRUE(WriteLogLines(err)) << err.message;
    EXPECT_EQ(test::readText(log.LogFileName), "eldre innhold som blir\r\nén\r\nto\r\n");
    EXPECT_EQ(log.LogLines, (std::vector<std::string>{"én", "to"}));

    // A second click adds only what came since.
    log.LogLines.push_back("tre");
    ASSERT_TRUE(WriteLogLines(err)) << err.message;
    EXPECT_EQ(test::readText(log.LogFileName), "eldre innhold som blir\r\nén\r\nto\r\ntre\r\n");
}

TEST_F(WriteLogLinesTest, AFolderThatCannotBeMadeIsReportedAndNothingIsTouched) {
    test::writeText(root_.file("blocker"), "keep");
    frame::logState().LogFileName = root_.file("blocker") + "/sub/spylerom.log";
    frame::logState().LogLines = {"linje"};
    platform::Error err;
    EXPECT_FALSE(WriteLogLines(err));
    EXPECT_NE(err.code, platform::kErrorSuccess);
    EXPECT_EQ(test::readText(root_.file("blocker")), "keep");
    EXPECT_EQ(frame::logState().LogLines, (std::vector<std::string>{"linje"}));
}

} // namespace
} // namespace spylerom::sysinfo
