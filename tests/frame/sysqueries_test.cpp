// The system queries over the POSIX machine facts, with the facts given by the test where the
// machine's own cannot be chosen (interface order, DHCP and fixed addresses, the domain).
#include "frame/sysqueries.h"

#include "frame_fixture.h"
#include "platform/posix/posix_platform.h"

#include <filesystem>
#include <sys/utsname.h>

namespace spylerom::test {
namespace {

using namespace spylerom::frame;
using platform::NetworkInterface;
using platform::RegistryValue;
using Kind = RegistryValue::Kind;

RegistryValue text(const std::string& value) {
    return {Kind::Text, value};
}
RegistryValue list() {
    return {Kind::OtherType, {}};
} // fixed addresses stored as a list of texts
RegistryValue missing() {
    return {};
}

class SysQueriesTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        platform::setPlatform(&machine_);
        give("kontor", "", {});
    }
    void give(const std::string& host, const std::string& resolver,
              std::vector<NetworkInterface> interfaces) {
        platform::MachineSources sources = platform::systemMachineSources();
        sources.hostName = [host] { return host; };
        sources.resolverConfig = [resolver] { return resolver; };
        sources.interfaces = [interfaces] { return interfaces; };
        sources.spoolFolder = [this] { return spool_; };
        machine_.setMachineSources(sources);
    }
    platform::PosixPlatform machine_;
    std::string spool_;
};

TEST_F(SysQueriesTest, ComputerAndDomainFromAFullyQualifiedHostName) {
    give("kontor.firma.no", "search other.example\n", {});
    EXPECT_EQ(ComputerName(), "kontor");
    EXPECT_EQ(DomainName(), "firma.no");
}

struct DomainCase {
    const char* title;
    const char* resolver;
    const char* expected;
};

class ResolverDomainTest : public SysQueriesTest, public ::testing::WithParamInterface<DomainCase> {};

TEST_P(ResolverDomainTest, TheDhcpDomainStandsInForAMissingDomain) {
    give("kontor", GetParam().resolver, {});
    EXPECT_EQ(ComputerName(), "kontor");
    EXPECT_EQ(DomainName(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolverDomainTest,
    ::testing::Values(
        DomainCase{"DomainEntry", "# made by dhcp\nnameserver 10.0.0.1\ndomain lan.example\n", "lan.example"},
        DomainCase{"FirstSearchEntry", "nameserver 10.0.0.1\nsearch a.example b.example\n", "a.example"},
        DomainCase{"DomainBeforeSearch", "search s.example\ndomain d.example\n", "d.example"},
        DomainCase{"None", "nameserver 10.0.0.1\n", ""}),
    [](const auto& p) { return std::string(p.param.title); });

struct AddressCase {
    const char* title;
    std::vector<NetworkInterface> interfaces;
    const char* expected;
};

class IpAddressTest : public SysQueriesTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(IpAddressTest, FirstUsableInterfaceAddress) {
    give("kontor.firma.no", "", GetParam().interfaces);
    EXPECT_EQ(IpAddress(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpAddressTest,
    ::testing::Values(
        AddressCase{"DhcpAddress", {{"eth0", text("192.168.1.9"), list()}}, "192.168.1.9"},
        AddressCase{
            "TextFixedAddressAfterEmptyDhcp", {{"eth0", text("0.0.0.0"), text("10.1.2.3")}}, "10.1.2.3"},
        AddressCase{"EarlierInterfaceWins",
                    {{"eth0", text("192.168.1.9"), missing()}, {"eth1", text("0.0.0.0"), text("10.1.2.3")}},
                    "192.168.1.9"},
        AddressCase{"EnumerationOrderDecides",
                    {{"wlan0", text("0.0.0.0"), text("10.1.2.3")}, {"eth0", text("192.168.1.9"), missing()}},
                    "10.1.2.3"},
        AddressCase{"FixedAddressListCountsAsNone",
                    {{"eth0", missing(), list()}, {"eth1", text(""), text("172.16.0.4")}},
                    "172.16.0.4"},
        AddressCase{
            "NoUsableAddress", {{"eth0", text("0.0.0.0"), list()}, {"eth1", missing(), text("")}}, "0.0.0.0"},
        AddressCase{"NoInterfaces", {}, "0.0.0.0"}),
    [](const auto& p) { return std::string(p.param.title); });

TEST_F(SysQueriesTest, WithoutADomainTheAddressIsEmpty) {
    give("kontor", "nameserver 10.0.0.1\n", {{"eth0", text("192.168.1.9"), missing()}});
    EXPECT_EQ(IpAddress(), "");
}

TEST_F(SysQueriesTest, IpOverrideIsReturnedWithoutAskingTheMachine) {
    platform::MachineSources sources = platform::systemMachineSources();
    sources.hostName = [] {
        ADD_FAILURE() << "the machine was asked";
        return std::string("kontor.firma.no");
    };
    sources.interfaces = [] {
        ADD_FAILURE() << "the interfaces were asked";
        return std::vector<NetworkInterface>{};
    };
    machine_.setMachineSources(sources);
    systemQueryState().IpOverride = "192.168.1.20";
    EXPECT_EQ(IpAddress(), "192.168.1.20");
}

TEST_F(SysQueriesTest, EveryCallAsksTheMachineAgain) {
    give("en.firma.no", "", {});
    EXPECT_EQ(ComputerName(), "en");
    give("to.firma.no", "", {});
    EXPECT_EQ(ComputerName(), "to");
}

TEST_F(SysQueriesTest, LogonUserNameIsTheUsernameRuleAsStored) {
    env_.set("USERNAME", "Kari Nordmann");
    EXPECT_EQ(LogonUserName(), "Kari Nordmann");
    env_.unset("USERNAME");
    env_.set("USER", "per");
    EXPECT_EQ(LogonUserName(), "per");
}

TEST_F(SysQueriesTest, SpoolFolderComesFromThePrinterSpool) {
    spool_ = "/var/spool/cups";
    EXPECT_EQ(SpoolFolder(), "/var/spool/cups");
    spool_.clear();
    EXPECT_EQ(SpoolFolder(), "");
}

TEST_F(SysQueriesTest, HostsFolder) {
    EXPECT_EQ(HostsFolder(), "/etc");
    const std::string windir = root_.file("Windows");
    std::filesystem::create_directories(windir);
    env_.set("WINDIR", windir);
    EXPECT_EQ(HostsFolder(), windir);
    std::filesystem::create_directories(windir + "/system32/drivers/etc");
    EXPECT_EQ(HostsFolder(), windir + "/system32/drivers/etc");
}

TEST_F(SysQueriesTest, TempAndNotesFolders) {
    env_.set("TEMP", "/var/tmp/mine/");
    EXPECT_EQ(TempFolder(), "/var/tmp/mine/");
    env_.unset("TEMP");
    env_.unset("TMPDIR");
    EXPECT_EQ(TempFolder(), "/tmp");
    EXPECT_EQ(NotesDataFolder(), "");
}

// A system that reports a version of its own.
class VersionPlatform : public platform::PosixPlatform {
public:
    platform::OsVersion osVersion() const override { return version_; }
    platform::OsVersion version_;
};

TEST_F(SysQueriesTest, WindowsVersionText) {
    VersionPlatform system;
    platform::setPlatform(&system);
    system.version_ = {2, "", 6, 1, "7601"};
    EXPECT_EQ(WindowsVersionText(), "Windows NT/2000/XP Version: 6.1 Build: 7601");
    system.version_ = {1, "", 4, 90, "3000"};
    EXPECT_EQ(WindowsVersionText(), "Windows 95/98/ME Version: 4.90 Build: 3000");
    system.version_ = {-1, "Linux", 6, 1, "0-13-amd64"};
    EXPECT_EQ(WindowsVersionText(), "Linux Version: 6.1 Build: 0-13-amd64");
}

TEST_F(SysQueriesTest, TheRunningKernelNamesItself) {
    platform::setPlatform(nullptr);
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const std::string text = WindowsVersionText();
    EXPECT_EQ(text.rfind(std::string(names.sysname) + " Version: ", 0), 0u) << text;
    EXPECT_NE(text.find(" Build: "), std::string::npos);
}

TEST_F(SysQueriesTest, ThisMachinesInterfacesLeaveOutLoopback) {
    const auto interfaces = platform::systemMachineSources().interfaces();
    for (const auto& i : interfaces) {
        EXPECT_NE(i.name, "lo");
        ASSERT_EQ(i.fixedAddress.kind, Kind::Text) << i.name;
        EXPECT_NE(i.fixedAddress.text.rfind("127.", 0), 0u) << i.name;
    }
}

} // namespace
} // namespace spylerom::test
