// The system queries over the platform's registry calls, in the same steps on every system.
#include "frame/sysqueries.h"

#include "platform/platform.h"

namespace spylerom::frame {

using platform::RegistryRoot;
using platform::RegistryValue;
using platform::sys;

namespace {

SystemQueryState g_state;

const std::string kTcpipParameters = "System\\CurrentControlSet\\Services\\TCPIP\\Parameters";
const std::string kInterfaces = kTcpipParameters + "\\Interfaces";

// Open-or-create the key, then read the value as text; anything else is the empty text.
std::string readText(RegistryRoot root, const std::string& key, const std::string& value) {
    if (!sys().registryOpenKey(root, key))
        return {};
    const RegistryValue v = sys().registryRead(root, key, value);
    return v.kind == RegistryValue::Kind::Text ? v.text : std::string();
}

// An interface address: a value that cannot be read as text (a list of fixed addresses, a
// missing value) counts as no address.
std::string addressValue(const std::string& key, const std::string& value) {
    const RegistryValue v = sys().registryRead(RegistryRoot::LocalMachine, key, value);
    return v.kind == RegistryValue::Kind::Text ? v.text : std::string("0.0.0.0");
}

bool usable(const std::string& address) {
    return !address.empty() && address != "0.0.0.0";
}

std::string platformName(const platform::OsVersion& version) {
    static const char* const kNames[] = {"Windows Win32", "Windows 95/98/ME", "Windows NT/2000/XP",
                                         "Ukjent",        "Ukjent 2",         "Ukjent 3"};
    if (version.platformId < 0)
        return version.systemName;
    if (version.platformId <= 5)
        return kNames[version.platformId];
    return "Ukjent " + std::to_string(version.platformId);
}

} // namespace

SystemQueryState& systemQueryState() {
    return g_state;
}

void ResetSystemQueryState() {
    g_state = SystemQueryState{};
}

std::string WindowsVersionText() {
    const platform::OsVersion version = sys().osVersion();
    return platformName(version) + " Version: " + std::to_string(version.major) + "." +
           std::to_string(version.minor) + " Build: " + version.build;
}

std::string ComputerName() {
    return readText(RegistryRoot::LocalMachine,
                    "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName");
}

std::string DomainName() {
    std::string domain = readText(RegistryRoot::LocalMachine, kTcpipParameters, "Domain");
    if (domain.empty())
        domain = readText(RegistryRoot::LocalMachine, kTcpipParameters, "DhcpDomain");
    return domain;
}

std::string IpAddress() {
    if (!g_state.IpOverride.empty())
        return g_state.IpOverride;
    if (DomainName().empty())
        return {};
    if (!sys().registryOpenKey(RegistryRoot::LocalMachine, kInterfaces))
        return "0.0.0.0";
    for (const auto& name : sys().registrySubkeys(RegistryRoot::LocalMachine, kInterfaces)) {
        const std::string key = kInterfaces + "\\" + name;
        if (!sys().registryOpenKey(RegistryRoot::LocalMachine, key))
            continue;
        std::string address = addressValue(key, "DhcpIPAddress");
        if (!usable(address))
            address = addressValue(key, "IPAddress");
        if (usable(address))
            return address;
    }
    return "0.0.0.0";
}

std::string SpoolFolder() {
    return readText(RegistryRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Print\\Printers",
                    "DefaultSpoolDirectory");
}

std::string LogonUserName() {
    const std::string key = "Network\\Logon";
    if (!sys().registryOpenKey(RegistryRoot::LocalMachine, key))
        return sys().environment("USERNAME");
    const RegistryValue v = sys().registryRead(RegistryRoot::LocalMachine, key, "Username");
    return v.kind == RegistryValue::Kind::Text ? v.text : std::string();
}

std::string HostsFolder() {
    const std::string windir = sys().environment("WINDIR");
    // A system without WINDIR keeps its hosts files in /etc.
    if (windir.empty() && platform::kPathSeparator == '/')
        return "/etc";
    const char sep = platform::kPathSeparator;
    const std::string etc = windir + sep + "system32" + sep + "drivers" + sep + "etc";
    return sys().folderExists(etc) ? etc : windir;
}

std::string TempFolder() {
    return sys().environment("TEMP");
}

std::string NotesDataFolder() {
    return readText(RegistryRoot::CurrentUser, "Software\\Lotus\\Notes\\Installer", "DATADIR");
}

} // namespace spylerom::frame
