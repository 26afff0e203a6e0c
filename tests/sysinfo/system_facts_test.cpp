// The dialog's texts after filling, from a real frame on temporary folders: paths, versions,
// parameters with and without program arguments, the memory figure and load.
#include "sysinfo/system_facts.h"

#include "frame/settings.h"
#include "frame/textfil.h"
#include "sysinfo/sysinfo_fixture.h"

#include <sys/utsname.h>

#include <filesystem>

namespace spylerom::sysinfo {
namespace {

using test::SysInfoTest;

constexpr std::uint64_t kGiB = 1024ULL * 1024 * 1024;

class SystemFactsTest : public SysInfoTest {};

TEST_F(SystemFactsTest, PathsFromTheFrameAndTheEnvironment) {
    const SystemFacts f = CollectSystemFacts({}, ",");
    EXPECT_EQ(f.cProgramnavn, programFile());
    EXPECT_EQ(f.n_fil, maker() + "etc/solvarek.ini");
    EXPECT_EQ(f.nb_fil, maker() + "etc/OLA.INI");
    EXPECT_EQ(f.eLogfil, maker() + "log/" + std::filesystem::path(programFile()).stem().string() + ".log");
    EXPECT_EQ(f.cData, maker() + "data/");
    EXPECT_TRUE(std::filesystem::is_directory(maker() + "data")) << "the data folder is made when missing";
    EXPECT_EQ(f.n_system, windir());
    EXPECT_EQ(f.ProgramdataLabel, appdata());
    EXPECT_EQ(f.Innstillinger, temp());
    EXPECT_EQ(f.NotesLabel, "") << "no mail client here";
}

TEST_F(SystemFactsTest, HostsFilesInTheSystemsEtcFolder) {
    // WINDIR without system32\drivers\etc: the hosts files are looked for in WINDIR itself.
    SystemFacts f = CollectSystemFacts({}, ",");
    EXPECT_EQ(f.lHosts, windir() + "/hosts");
    EXPECT_EQ(f.lLMHosts, windir() + "/lmhosts");

    std::filesystem::create_directories(windir() + "/system32/drivers/etc");
    f = CollectSystemFacts({}, ",");
    EXPECT_EQ(f.lHosts, windir() + "/system32/drivers/etc/hosts");
    EXPECT_EQ(f.lLMHosts, windir() + "/system32/drivers/etc/lmhosts");

    env_.unset("WINDIR");
    f = CollectSystemFacts({}, ",");
    EXPECT_EQ(f.lHosts, "/etc/hosts");
    EXPECT_EQ(f.n_system, "") << "a variable that is not set leaves its label empty";
}

TEST_F(SystemFactsTest, PerUserFileFollowsTheUserName) {
    // The user name is cached from its first use; a new one is taken once the cache is empty.
    frame::settingsState().UserOverride = "kari";
    frame::settingsState().userNameCache.clear();
    EXPECT_EQ(CollectSystemFacts({}, ",").nb_fil, maker() + "etc/KARI.INI");
    EXPECT_EQ(PerUserSettingsPath(), maker() + "etc/KARI.INI");
}

TEST_F(SystemFactsTest, TitleIsInfoProgramnavn) {
    EXPECT_EQ(CollectSystemFacts({}, ",").Label13, "") << "never set: an empty title";
    InfoProgramnavn = "Spylerom";
    EXPECT_EQ(CollectSystemFacts({}, ",").Label13, "Spylerom");
}

TEST_F(SystemFactsTest, WithoutParametersANoticeAndNoList) {
    const SystemFacts f = CollectSystemFacts({}, ",");
    EXPECT_EQ(f.lParameter, "Ingen parametere til programmet");
    EXPECT_FALSE(f.ParamMemoVisible);
    EXPECT_TRUE(f.ParamMemo.empty());
}

TEST_F(SystemFactsTest, WithParametersOneLineEachInOrder) {
    const SystemFacts f = CollectSystemFacts({"--user", "kari nordmann", "--debug"}, ",");
    EXPECT_EQ(f.lParameter, "Parameter:");
    EXPECT_TRUE(f.ParamMemoVisible);
    EXPECT_EQ(f.ParamMemo, (std::vector<std::string>{"--user", "kari nordmann", "--debug"}));
}

TEST_F(SystemFactsTest, MemoryFromTheSystem) {
    platform_.memory = platform::MemoryStatus{4294967295ULL, 0, 0};
    SystemFacts f = CollectSystemFacts({}, "\u00a0");
    EXPECT_EQ(f.PhysMem, "4\u00a0194\u00a0304 KB");
    EXPECT_EQ(f.FreeRes, "0 %");

    platform_.memory = platform::MemoryStatus{64 * kGiB, 16 * kGiB, 75};
    f = CollectSystemFacts({}, ",");
    EXPECT_EQ(f.PhysMem, "67,108,864 KB");
    EXPECT_EQ(f.FreeRes, "75 %");
}

TEST_F(SystemFactsTest, TheMachinesOwnMemoryIsShownInFull) {
    platform_.memory.reset();
    const platform::MemoryStatus real = platform_.memoryStatus();
    ASSERT_GT(real.totalBytes, 0u);
    const SystemFacts f = CollectSystemFacts({}, "");
    EXPECT_EQ(f.PhysMem, std::to_string((real.totalBytes + 512) / 1024) + " KB");
}

TEST_F(SystemFactsTest, VersionOfTheRunningSystem) {
    utsname name{};
    ASSERT_EQ(uname(&name), 0);
    const std::string platform = CollectSystemFacts({}, ",").v_platform;
    EXPECT_EQ(platform.rfind(std::string(name.sysname) + " Version: ", 0), 0u) << platform;
    EXPECT_NE(platform.find(" Build: "), std::string::npos) << platform;
}

TEST_F(SystemFactsTest, FixedFactsOfTheBuildAndTheProducts) {
    const SystemFacts f = CollectSystemFacts({}, ",");
    EXPECT_EQ(f.v_build, "519");
    EXPECT_EQ(f.n_build, "30.10.2011");
    EXPECT_EQ(f.v_id.size(), 3u);
    EXPECT_EQ(f.v_firma, "Bedriftsnav SQL 6.00");
    EXPECT_EQ(f.v_Flash, "MySQL 5, Devart DAC 6.10.0.7");
    EXPECT_EQ(f.xmlv, "Solvarek XMLAPI 1.30");
    EXPECT_EQ(f.TabulantLabel, "Solvarek Tabulant");
    EXPECT_EQ(f.Versjon, "Versjon 1.8.1");
    EXPECT_EQ(f.Dato, "Oppdatert 04.07.2011");
    EXPECT_EQ(f.Bruker, "Enbruker");
    EXPECT_EQ(f.Peker, "Pekerstørrelse (datapointer) 256 bytes");
    EXPECT_EQ(f.TabulantCache, "Skrivebuffer AV");
    // The printing layer's version behind its tag, a colon and a blank; two blanks; its date.
    const std::string printing = ": 1.13  11.10.2011";
    ASSERT_GT(f.RapportLabel.size(), printing.size());
    EXPECT_EQ(f.RapportLabel.substr(f.RapportLabel.size() - printing.size()), printing);
#if defined(__GNUC__) && !defined(__clang__)
    EXPECT_EQ(f.v_Kompilator, std::string("GCC ") + __VERSION__);
#endif
}

TEST_F(SystemFactsTest, InitVersionIsTheOneTheFrameStampsIntoTheSettings) {
    const std::string* stamped =
        frame::settingsState().ActiveSettings->find("INI_SELF", "MODIFIED_INIVERSION");
    ASSERT_NE(stamped, nullptr);
    EXPECT_EQ(CollectSystemFacts({}, ",").v_init, *stamped);
}

} // namespace
} // namespace spylerom::sysinfo
