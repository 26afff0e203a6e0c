// Machine facts: the kernel's version, memory, and the registry keys the frame reads,
// answered from their POSIX homes (host name, resolv.conf, getifaddrs, the CUPS spool).
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace spylerom::platform {

OsVersion PosixPlatform::osVersion() const {
    OsVersion version;
    utsname names{};
    if (uname(&names) != 0)
        return version;
    version.systemName = names.sysname;
    int consumed = 0;
    if (std::sscanf(names.release, "%d.%d%n", &version.major, &version.minor, &consumed) >= 2) {
        std::string rest = names.release + consumed;
        if (!rest.empty() && (rest.front() == '.' || rest.front() == '-'))
            rest.erase(0, 1);
        version.build = rest;
    } else {
        version.build = names.release;
    }
    return version;
}

MemoryStatus PosixPlatform::memoryStatus() const {
    MemoryStatus status;
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return status;
    const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    status.totalBytes = static_cast<std::uint64_t>(info.totalram) * unit;
    status.availableBytes = static_cast<std::uint64_t>(info.freeram + info.bufferram) * unit;
    if (status.totalBytes > 0)
        status.loadPercent =
            static_cast<int>(100 - (status.availableBytes * 100 + status.totalBytes / 2) / status.totalBytes);
    return status;
}

namespace {

using Kind = RegistryValue::Kind;

const std::string kComputerNameKey = "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\COMPUTERNAME\\COMPUTERNAME";
const std::string kTcpipKey = "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\TCPIP\\PARAMETERS";
const std::string kInterfacesKey = kTcpipKey + "\\INTERFACES";
const std::string kPrintersKey = "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\PRINT\\PRINTERS";
const std::string kLogonKey = "NETWORK\\LOGON";

// Registry names compare without regard to case.
std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

RegistryValue text(std::string value) {
    return RegistryValue{Kind::Text, std::move(value)};
}

template <typename T> T ask(const std::function<T()>& source) {
    return source ? source() : T{};
}

std::string shortHostName(const std::string& host) {
    return host.substr(0, host.find('.'));
}

std::string hostDomain(const std::string& host) {
    const auto dot = host.find('.');
    return dot == std::string::npos ? std::string() : host.substr(dot + 1);
}

// The "domain" entry of resolv.conf, else the first name of its "search" entry.
std::string resolverDomain(const std::string& config) {
    std::istringstream lines(config);
    std::string line, domain, search;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword, value;
        words >> keyword >> value;
        if (keyword == "domain" && domain.empty())
            domain = value;
        else if (keyword == "search" && search.empty())
            search = value;
    }
    return domain.empty() ? search : domain;
}

std::string readWholeFile(const char* path) {
    std::ifstream in(path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<NetworkInterface> systemInterfaces() {
    std::vector<NetworkInterface> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return found;
    for (const ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || (a->ifa_flags & IFF_LOOPBACK) ||
            !a->ifa_name)
            continue;
        const std::string name = a->ifa_name;
        if (std::any_of(found.begin(), found.end(), [&](const auto& i) { return i.name == name; }))
            continue; // the interface's first address stands for it
        char address[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if (!inet_ntop(AF_INET, &in->sin_addr, address, sizeof address))
            continue;
        found.push_back(NetworkInterface{name, {}, text(address)});
    }
    freeifaddrs(list);
    return found;
}

} // namespace

MachineSources systemMachineSources() {
    MachineSources sources;
    sources.hostName = [] {
        char name[256] = {};
        return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
    };
    sources.resolverConfig = [] { return readWholeFile("/etc/resolv.conf"); };
    sources.interfaces = systemInterfaces;
    sources.spoolFolder = [] {
        struct stat st {};
        return stat("/var/spool/cups", &st) == 0 && S_ISDIR(st.st_mode) ? std::string("/var/spool/cups")
                                                                        : std::string();
    };
    return sources;
}

// Every key opens (open-or-create) except the network logon key, which this system does not
// have, so the logon user comes from the "USERNAME" rule.
bool PosixPlatform::registryOpenKey(RegistryRoot root, const std::string& key) {
    return !(root == RegistryRoot::LocalMachine && upper(key) == kLogonKey);
}

RegistryValue PosixPlatform::registryRead(RegistryRoot root, const std::string& key,
                                          const std::string& value) {
    if (root != RegistryRoot::LocalMachine)
        return {}; // no Lotus Notes here: its DATADIR is missing
    const std::string k = upper(key), v = upper(value);
    if (k == kComputerNameKey && v == "COMPUTERNAME")
        return text(shortHostName(ask(machine_.hostName)));
    if (k == kTcpipKey && v == "HOSTNAME")
        return text(shortHostName(ask(machine_.hostName)));
    if (k == kTcpipKey && v == "DOMAIN")
        return text(hostDomain(ask(machine_.hostName)));
    if (k == kTcpipKey && v == "DHCPDOMAIN")
        return text(resolverDomain(ask(machine_.resolverConfig)));
    if (k == kPrintersKey && v == "DEFAULTSPOOLDIRECTORY")
        return text(ask(machine_.spoolFolder));
    if (k.size() > kInterfacesKey.size() + 1 &&
        k.compare(0, kInterfacesKey.size() + 1, kInterfacesKey + "\\") == 0) {
        const std::string name = k.substr(kInterfacesKey.size() + 1);
        for (const auto& i : ask(machine_.interfaces)) {
            if (upper(i.name) != name)
                continue;
            if (v == "DHCPIPADDRESS")
                return i.dhcpAddress;
            if (v == "IPADDRESS")
                return i.fixedAddress;
        }
    }
    return {};
}

std::vector<std::string> PosixPlatform::registrySubkeys(RegistryRoot root, const std::string& key) {
    std::vector<std::string> names;
    if (root == RegistryRoot::LocalMachine && upper(key) == kInterfacesKey)
        for (const auto& i : ask(machine_.interfaces))
            names.push_back(i.name);
    return names;
}

} // namespace spylerom::platform
