// Machine facts: the kernel's version, memory, and the registry-shaped queries.
#include "platform/posix/posix_platform.h"

#include <cstdio>
#include <sys/sysinfo.h>
#include <sys/utsname.h>

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

// The registry keys the frame reads are answered from their POSIX sources by the frame's
// system-query work; until then no key opens.
bool PosixPlatform::registryOpenKey(RegistryRoot, const std::string&) {
    return false;
}

RegistryValue PosixPlatform::registryRead(RegistryRoot, const std::string&, const std::string&) {
    return {};
}

std::vector<std::string> PosixPlatform::registrySubkeys(RegistryRoot, const std::string&) {
    return {};
}

} // namespace spylerom::platform
