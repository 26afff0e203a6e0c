// The environment, the program's own path, the system's version and memory, and the shell.
#include "platform/win32/win32_platform.h"
#include "support/env_guard.h"
#include "support/temp_dir.h"
#include "win32_test_env.h"

#include <gtest/gtest.h>

namespace spylerom::test {
namespace {

using platform::sys;

TEST(Win32Environment, VariablesAsSetAndEmptyWhenMissing) {
    EnvGuard env;
    env.set("SPYLEROM_TEST_NAVN", "Bjørn Ås");
    env.unset("SPYLEROM_TEST_BORTE");
    EXPECT_EQ(sys().environment("SPYLEROM_TEST_NAVN"), "Bjørn Ås");
    EXPECT_EQ(sys().environment("spylerom_test_navn"), "Bjørn Ås") << "names are not case sensitive";
    EXPECT_EQ(sys().environment("SPYLEROM_TEST_BORTE"), "");
    const std::string longValue(5000, 'x');
    env.set("SPYLEROM_TEST_LANG", longValue);
    EXPECT_EQ(sys().environment("SPYLEROM_TEST_LANG"), longValue);
    EXPECT_FALSE(sys().environment("APPDATA").empty());
    EXPECT_FALSE(sys().environment("USERPROFILE").empty());
}

TEST(Win32Environment, WithoutTheVariablesTheProfilesFoldersServe) {
    EnvGuard env;
    // As a service or a program started without an environment has it.
    env.unset("APPDATA");
    env.unset("USERPROFILE");
    const std::string appData = sys().environment("APPDATA");
    const std::string profile = sys().environment("USERPROFILE");
    ASSERT_GE(appData.size(), 4u) << "never the root of the current drive";
    EXPECT_EQ(appData.substr(1, 2), ":\\") << appData;
    EXPECT_TRUE(sys().folderExists(appData)) << appData;
    ASSERT_GE(profile.size(), 4u);
    EXPECT_EQ(appData.rfind(profile, 0), 0u) << "the application data lie in the profile: " << appData;
}

TEST(Win32Environment, ProgramPathCurrentFolderAndFullPaths) {
    const std::string program = sys().programPath();
    EXPECT_EQ(program.substr(program.size() - 4), ".exe");
    EXPECT_TRUE(sys().fileExists(program));
    EXPECT_EQ(program[1], ':');

    const std::string folder = sys().currentFolder();
    ASSERT_GE(folder.size(), 3u);
    EXPECT_EQ(folder[1], ':');
    EXPECT_EQ(sys().fullPath("C:\\Solvarek\\bin\\..\\doc\\"), "C:\\Solvarek\\doc\\");
    EXPECT_EQ(sys().fullPath("C:/Solvarek/./etc"), "C:\\Solvarek\\etc");
    EXPECT_EQ(sys().fullPath("x.ini"), platform::withTrailingSeparator(folder) + "x.ini");
}

TEST(Win32Machine, VersionAndMemoryAreTheSystems) {
    const auto version = sys().osVersion();
    EXPECT_EQ(version.platformId, VER_PLATFORM_WIN32_NT);
    EXPECT_GE(version.major, 5);
    EXPECT_FALSE(version.build.empty());
    EXPECT_EQ(version.build.find_first_not_of("0123456789"), std::string::npos) << version.build;

    const auto memory = sys().memoryStatus();
    EXPECT_GT(memory.totalBytes, 64ull << 20);
    EXPECT_LE(memory.availableBytes, memory.totalBytes);
    EXPECT_GE(memory.loadPercent, 0);
    EXPECT_LE(memory.loadPercent, 100);
}

TEST(Win32Shell, LaunchStartsAProgramInTheGivenFolder) {
    TempDir dir;
    const std::string made = dir.file("startet.txt");
    // cmd writes into its working folder: the file shows that the program ran, and where.
    sys().launch("cmd.exe", "/c echo startet> startet.txt", dir.path());
    // cmd runs on its own: wait (up to 10 s) until its line is there.
    for (int i = 0; i < 100 && readText(made).size() < 7; ++i)
        Sleep(100);
    EXPECT_EQ(readText(made).substr(0, 7), "startet");
    Sleep(200); // let cmd close the file before the folder goes

    // A target that cannot be started is not reported and does not stop the caller.
    sys().launch(dir.file("finnes-ikke.exe"), "", "");
}

} // namespace
} // namespace spylerom::test
