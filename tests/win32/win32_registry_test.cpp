// The registry-shaped queries against keys the tests write themselves (and remove again).
#include "platform/win32/win32_platform.h"
#include "win32_test_env.h"

#include <gtest/gtest.h>

namespace spylerom::test {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;
using platform::sys;

// A key of the test's own under Software, removed with everything in it afterwards.
class ScratchKey {
public:
    ScratchKey(RegistryRoot root, const std::string& name)
        : root_(root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER),
          path_("Software\\Spylerom-test-" + std::to_string(GetCurrentProcessId()) + "\\" + name) {
        RegDeleteTreeW(root_, platform::widen(path_).c_str());
    }
    ~ScratchKey() {
        RegDeleteTreeW(root_, platform::widen(parent()).c_str());
        RegDeleteKeyW(root_, platform::widen(parent()).c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::string& path() const { return path_; }
    bool exists(const std::string& sub = "") const {
        HKEY key = nullptr;
        const std::string name = sub.empty() ? path_ : path_ + "\\" + sub;
        if (RegOpenKeyExW(root_, platform::widen(name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    // Writes a value of any type into the key or one of its sub-keys.
    void set(const std::string& sub, const std::string& value, DWORD type, const void* data,
             DWORD size) const {
        HKEY key = nullptr;
        const std::string name = sub.empty() ? path_ : path_ + "\\" + sub;
        ASSERT_EQ(RegCreateKeyExW(root_, platform::widen(name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, platform::widen(value).c_str(), 0, type, static_cast<const BYTE*>(data),
                                 size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void setText(const std::string& sub, const std::string& value, const std::string& text,
                 DWORD type = REG_SZ) const {
        const std::wstring wide = platform::widen(text);
        set(sub, value, type, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }

private:
    std::string parent() const { return "Software\\Spylerom-test-" + std::to_string(GetCurrentProcessId()); }
    HKEY root_;
    std::string path_;
};

class Win32Registry : public ::testing::TestWithParam<RegistryRoot> {};

TEST_P(Win32Registry, ReadsTextsAsStoredAndTellsOtherTypesFromMissingValues) {
    const ScratchKey key(GetParam(), "Parameters");
    key.setText("", "Domain", "");
    key.setText("", "DhcpDomain", "lan.solvarek.no");
    key.setText("", "DefaultSpoolDirectory", "%SystemRoot%\\System32\\spool\\PRINTERS", REG_EXPAND_SZ);
    key.setText("", "Navn", "Bjørn Ærø Ås");
    const DWORD number = 42;
    key.set("", "Tall", REG_DWORD, &number, sizeof number);
    const wchar_t list[] = L"10.1.2.3\0"
                           L"10.1.2.4\0";
    key.set("", "IPAddress", REG_MULTI_SZ, list, sizeof list);
    // A text stored without its terminator, as some programs write them.
    const std::wstring bare = L"uten-slutt";
    key.set("", "Bar", REG_SZ, bare.data(), static_cast<DWORD>(bare.size() * sizeof(wchar_t)));

    const auto read = [&](const std::string& value) {
        return sys().registryRead(GetParam(), key.path(), value);
    };
    EXPECT_EQ(read("DhcpDomain").kind, RegistryValue::Kind::Text);
    EXPECT_EQ(read("DhcpDomain").text, "lan.solvarek.no");
    EXPECT_EQ(read("Domain").kind, RegistryValue::Kind::Text);
    EXPECT_EQ(read("Domain").text, "");
    EXPECT_EQ(read("DefaultSpoolDirectory").text, "%SystemRoot%\\System32\\spool\\PRINTERS")
        << "not expanded";
    EXPECT_EQ(read("Navn").text, "Bjørn Ærø Ås");
    EXPECT_EQ(read("Bar").text, "uten-slutt");
    EXPECT_EQ(read("Tall").kind, RegistryValue::Kind::OtherType);
    EXPECT_EQ(read("IPAddress").kind, RegistryValue::Kind::OtherType);
    EXPECT_EQ(read("Borte").kind, RegistryValue::Kind::Missing);
    EXPECT_EQ(read("Borte").text, "");
}

TEST_P(Win32Registry, OpeningAMissingKeyCreatesItEmpty) {
    const ScratchKey key(GetParam(), "Lotus\\Notes\\Installer");
    ASSERT_FALSE(key.exists());
    EXPECT_TRUE(sys().registryOpenKey(GetParam(), key.path()));
    EXPECT_TRUE(key.exists());
    EXPECT_EQ(sys().registryRead(GetParam(), key.path(), "DATADIR").kind, RegistryValue::Kind::Missing);
    EXPECT_TRUE(sys().registrySubkeys(GetParam(), key.path()).empty());
}

TEST_P(Win32Registry, SubkeysComeInTheRegistrysOrder) {
    const ScratchKey key(GetParam(), "Interfaces");
    const std::vector<std::string> names = {"{B2}", "{A1}", "{C3-æ}"};
    for (const auto& name : names)
        key.setText(name, "DhcpIPAddress", "0.0.0.0");
    auto listed = sys().registrySubkeys(GetParam(), key.path());
    // The registry enumerates sub-keys sorted by name, whatever the order of their creation.
    EXPECT_EQ(listed, (std::vector<std::string>{"{A1}", "{B2}", "{C3-æ}"}));
    EXPECT_EQ(sys().registryRead(GetParam(), key.path() + "\\{C3-æ}", "DhcpIPAddress").text, "0.0.0.0");
}

INSTANTIATE_TEST_SUITE_P(Roots, Win32Registry,
                         ::testing::Values(RegistryRoot::CurrentUser, RegistryRoot::LocalMachine),
                         [](const auto& p) {
                             return p.param == RegistryRoot::CurrentUser ? "CurrentUser" : "LocalMachine";
                         });

} // namespace
} // namespace spylerom::test
