// The frame on Windows: the log and the settings files in the ANSI code page, and the system
// queries over registry keys that the tests write (the old values are put back afterwards).
#include "frame/settings.h"
#include "frame/sysqueries.h"
#include "frame/textfil.h"
#include "platform/win32/win32_platform.h"
#include "support/env_guard.h"
#include "support/temp_dir.h"
#include "win32_test_env.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace spylerom::test {
namespace {

using platform::sys;

class Win32AnsiFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 1252u) << "the tests run Wine as a Norwegian Windows (code page 1252)";
        env_.set("APPDATA", appData_.path());
        frame::ResetLogState();
    }
    void TearDown() override { frame::ResetLogState(); }

    EnvGuard env_;
    TempDir appData_;
};

TEST_F(Win32AnsiFiles, TheLogFileHoldsOneByteALetterAndReadsBackTheSame) {
    frame::InitLog();
    frame::logState().LogEnabled = true;
    frame::WriteLog("BRUKER: ÆØÅ æøå");
    platform::Error err;
    ASSERT_TRUE(frame::SaveLog(err)) << err.message;

    const std::string bytes = readText(frame::logState().LogFileName);
    EXPECT_NE(bytes.find(" BRUKER: \xC6\xD8\xC5 \xE6\xF8\xE5\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("\xC3"), std::string::npos) << "no UTF-8 in the file";

    frame::ResetLogState();
    frame::InitLog();
    frame::LoadLog();
    ASSERT_EQ(frame::logState().LogLines.size(), 1u);
    const std::string line = frame::logState().LogLines.front();
    const std::string expected = " BRUKER: ÆØÅ æøå";
    ASSERT_GT(line.size(), expected.size());
    EXPECT_EQ(line.substr(line.size() - expected.size()), expected);
}

TEST_F(Win32AnsiFiles, TheSettingsFileHoldsOneByteALetterAndReadsBackTheSame) {
    const std::string path = appData_.file("solvarek.ini");
    {
        frame::IniDocument doc(path);
        doc.set("STANDARD", "Firma_Navn", "Blåbær ÆØÅ AS");
        platform::Error err;
        ASSERT_TRUE(doc.flush(err)) << err.message;
    }
    const std::string bytes = readText(path);
    EXPECT_NE(bytes.find("Firma_Navn=Bl\xE5"
                         "b\xE6r \xC6\xD8\xC5 AS\r\n"),
              std::string::npos)
        << bytes;
    EXPECT_EQ(bytes.find("\xC3"), std::string::npos) << "no UTF-8 in the file";

    const frame::IniDocument again(path);
    const std::string* value = again.find("STANDARD", "Firma_Navn");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, "Blåbær ÆØÅ AS");
}

TEST_F(Win32AnsiFiles, AFileWithAByteOrderMarkIsReadInThatEncoding) {
    const std::string path = appData_.file("solvarek.ini");
    writeText(path, "\xEF\xBB\xBF[STANDARD]\r\nFirma_Navn=\xC3\x86\xC3\x98\xC3\x85\r\n");
    const frame::IniDocument utf8(path);
    ASSERT_NE(utf8.find("STANDARD", "Firma_Navn"), nullptr);
    EXPECT_EQ(*utf8.find("STANDARD", "Firma_Navn"), "ÆØÅ");

    writeText(path, "[STANDARD]\r\nFirma_Navn=\xC3\x86\r\n"); // no mark: the ANSI code page
    const frame::IniDocument ansi(path);
    ASSERT_NE(ansi.find("STANDARD", "Firma_Navn"), nullptr);
    EXPECT_EQ(*ansi.find("STANDARD", "Firma_Navn"), "Ã†");
}

TEST_F(Win32AnsiFiles, ALineNobodyChangesKeepsItsBytes) {
    // A line of UTF-8 among ANSI ones reads as the code page has it, and is written back as it
    // was: nothing of it is lost by a flush.
    const std::string path = appData_.file("solvarek.ini");
    writeText(path, "[STANDARD]\r\nNavn=Bj\xC3\xB8rn\r\nFirma=Bl\xE5"
                    "b\xE6r\r\n");
    frame::IniDocument doc(path);
    ASSERT_NE(doc.find("STANDARD", "Firma"), nullptr);
    EXPECT_EQ(*doc.find("STANDARD", "Firma"), "Blåbær");
    ASSERT_TRUE(doc.set("STANDARD", "Ny", "Ærlig"));
    platform::Error err;
    ASSERT_TRUE(doc.flush(err)) << err.message;
    EXPECT_EQ(readText(path), "[STANDARD]\r\nNavn=Bj\xC3\xB8rn\r\nFirma=Bl\xE5"
                              "b\xE6r\r\nNy=\xC6rlig\r\n\r\n");
}

// A registry value of the machine, written by a test and put back (or removed) afterwards.
class RegistryValueGuard {
public:
    RegistryValueGuard(HKEY root, std::string key, std::string value)
        : root_(root), key_(platform::widen(key)), value_(platform::widen(value)) {
        HKEY open = nullptr;
        keyExisted_ = RegOpenKeyExW(root_, key_.c_str(), 0, KEY_READ, &open) == ERROR_SUCCESS;
        if (!keyExisted_)
            return;
        DWORD size = 0;
        if (RegQueryValueExW(open, value_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            old_.emplace(size, '\0');
            RegQueryValueExW(open, value_.c_str(), nullptr, &type_, reinterpret_cast<BYTE*>(old_->data()),
                             &size);
        }
        RegCloseKey(open);
    }
    ~RegistryValueGuard() {
        if (!keyExisted_) {
            RegDeleteTreeW(root_, key_.c_str());
            RegDeleteKeyW(root_, key_.c_str());
            return;
        }
        HKEY open = nullptr;
        if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_ALL_ACCESS, &open) != ERROR_SUCCESS)
            return;
        if (old_)
            RegSetValueExW(open, value_.c_str(), 0, type_, reinterpret_cast<const BYTE*>(old_->data()),
                           static_cast<DWORD>(old_->size()));
        else
            RegDeleteValueW(open, value_.c_str());
        RegCloseKey(open);
    }
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    void set(DWORD type, const void* data, DWORD size) const {
        HKEY open = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &open, nullptr),
            ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(open, value_.c_str(), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(open);
    }
    void setText(const std::string& text) const {
        const std::wstring wide = platform::widen(text);
        set(REG_SZ, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }

private:
    HKEY root_;
    std::wstring key_, value_;
    bool keyExisted_ = false;
    DWORD type_ = REG_NONE;
    std::optional<std::string> old_;
};

const std::string kParameters = "System\\CurrentControlSet\\Services\\TCPIP\\Parameters";
const std::string kInterfaces = kParameters + "\\Interfaces";

class Win32SystemQueries : public ::testing::Test {
protected:
    void SetUp() override {
        frame::ResetSystemQueryState();
        // No interface of the machine's own may come first in the registry's (sorted) order.
        for (const auto& name : sys().registrySubkeys(platform::RegistryRoot::LocalMachine, kInterfaces))
            ASSERT_GT(name, std::string("{00000000-0000-0000-0000-00000000000B}")) << name;
    }
    void TearDown() override { frame::ResetSystemQueryState(); }
};

TEST_F(Win32SystemQueries, ComputerAndDomainComeFromTheirKeys) {
    const RegistryValueGuard computer(
        HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName");
    const RegistryValueGuard domain(HKEY_LOCAL_MACHINE, kParameters, "Domain");
    const RegistryValueGuard dhcpDomain(HKEY_LOCAL_MACHINE, kParameters, "DhcpDomain");
    computer.setText("SPYLEMASKIN");
    domain.setText("");
    dhcpDomain.setText("lan.solvarek.no");
    EXPECT_EQ(frame::ComputerName(), "SPYLEMASKIN");
    EXPECT_EQ(frame::DomainName(), "lan.solvarek.no") << "the DHCP domain stands in for an empty one";
    domain.setText("solvarek.no");
    EXPECT_EQ(frame::DomainName(), "solvarek.no");
    EXPECT_EQ(frame::WindowsVersionText().rfind("Windows NT/2000/XP Version: ", 0), 0u)
        << frame::WindowsVersionText();
}

TEST_F(Win32SystemQueries, TheAddressIsTheFirstUsableOneOfTheInterfaces) {
    const RegistryValueGuard domain(HKEY_LOCAL_MACHINE, kParameters, "Domain");
    const std::string first = kInterfaces + "\\{00000000-0000-0000-0000-00000000000A}";
    const std::string second = kInterfaces + "\\{00000000-0000-0000-0000-00000000000B}";
    const RegistryValueGuard firstDhcp(HKEY_LOCAL_MACHINE, first, "DhcpIPAddress");
    const RegistryValueGuard firstFixed(HKEY_LOCAL_MACHINE, first, "IPAddress");
    const RegistryValueGuard secondDhcp(HKEY_LOCAL_MACHINE, second, "DhcpIPAddress");
    const RegistryValueGuard secondFixed(HKEY_LOCAL_MACHINE, second, "IPAddress");

    domain.setText("solvarek.no");
    firstDhcp.setText("0.0.0.0");
    const wchar_t list[] = L"10.9.9.9\0"; // fixed addresses stored as a list of texts are not read
    firstFixed.set(REG_MULTI_SZ, list, sizeof list);
    secondDhcp.setText("0.0.0.0");
    secondFixed.setText("10.1.2.3");
    EXPECT_EQ(frame::IpAddress(), "10.1.2.3");

    firstDhcp.setText("192.168.1.20");
    EXPECT_EQ(frame::IpAddress(), "192.168.1.20") << "an earlier interface's DHCP address wins";

    frame::systemQueryState().IpOverride = "172.16.0.9";
    EXPECT_EQ(frame::IpAddress(), "172.16.0.9");
    frame::systemQueryState().IpOverride.clear();

    domain.setText("");
    const RegistryValueGuard dhcpDomain(HKEY_LOCAL_MACHINE, kParameters, "DhcpDomain");
    dhcpDomain.setText("");
    EXPECT_EQ(frame::IpAddress(), "") << "no domain, no address";
}

TEST_F(Win32SystemQueries, LogonUserSpoolAndNotesFolders) {
    const RegistryValueGuard logon(HKEY_LOCAL_MACHINE, "Network\\Logon", "Username");
    const RegistryValueGuard spool(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Printers",
                                   "DefaultSpoolDirectory");
    const RegistryValueGuard notes(HKEY_CURRENT_USER, "Software\\Lotus\\Notes\\Installer", "DATADIR");
    EnvGuard env;
    env.set("USERNAME", "fra-miljøet");

    // The key opens (it is created when missing) without the value: the empty text.
    EXPECT_EQ(frame::LogonUserName(), "");
    logon.setText("Bjørn");
    EXPECT_EQ(frame::LogonUserName(), "Bjørn");

    spool.setText("C:\\Windows\\System32\\spool\\PRINTERS");
    EXPECT_EQ(frame::SpoolFolder(), "C:\\Windows\\System32\\spool\\PRINTERS");

    EXPECT_EQ(frame::NotesDataFolder(), "");
    notes.setText("C:\\Lotus\\Notes\\Data");
    EXPECT_EQ(frame::NotesDataFolder(), "C:\\Lotus\\Notes\\Data");
}

TEST_F(Win32SystemQueries, HostsAndTempFoldersFromTheEnvironment) {
    TempDir windir;
    EnvGuard env;
    env.set("WINDIR", windir.path());
    env.set("TEMP", "C:\\Temp\\spylerom");
    EXPECT_EQ(frame::HostsFolder(), windir.path()) << "without system32\\drivers\\etc, WINDIR alone";
    platform::Error err;
    ASSERT_TRUE(sys().createFolderTree(windir.file("system32\\drivers\\etc"), err)) << err.message;
    EXPECT_EQ(frame::HostsFolder(), windir.file("system32\\drivers\\etc"));
    EXPECT_EQ(frame::TempFolder(), "C:\\Temp\\spylerom");
}

} // namespace
} // namespace spylerom::test
