#include "sysinfo/sysinfo_fixture.h"

#include "frame/settings.h"
#include "frame/sysqueries.h"
#include "frame/textfil.h"
#include "sysinfo/shell_toggles.h"
#include "sysinfo/system_facts.h"

#include <filesystem>
#include <ostream>

#ifdef _WIN32
#include <windows.h>
#endif
#include <ostream>

namespace spylerom::test {

void PrintTo(const LaunchRequest& r, std::ostream* os) {
    *os << "{file \"" << r.file << "\", parameters \"" << r.parameters << "\", folder \"" << r.folder
        << "\"}";
}

void RecordingPlatform::launch(const std::string& file, const std::string& parameters,
                               const std::string& folder) {
    LaunchRequest request{file, parameters, folder, std::nullopt};
    const std::string log = frame::logState().LogFileName;
    if (!log.empty() && std::filesystem::exists(log))
        request.logFileText = readText(log);
    launches.push_back(std::move(request));
}

platform::MemoryStatus RecordingPlatform::memoryStatus() const {
    return memory ? *memory : NativePlatform::memoryStatus();
}

namespace {
void resetState() {
    frame::ResetLogState();
    frame::ResetSettingsState();
    frame::ResetSystemQueryState();
    sysinfo::InfoProgramnavn.clear();
    sysinfo::setShellWindows(nullptr);
}
} // namespace

void SysInfoTest::SetUp() {
    for (const auto& folder : {appdata(), windir(), temp(), home(), root_.file("work")})
        std::filesystem::create_directories(folder);
    oldCwd_ = std::filesystem::current_path().string();
    std::filesystem::current_path(root_.file("work"));
    env_.set("APPDATA", appdata());
    env_.set("USERNAME", "ola");
    env_.set("HOME", home());
    env_.set("TEMP", temp());
    env_.set("WINDIR", windir());
    env_.unset("SystemRoot");
    env_.unset("USERPROFILE");
    resetState();
    platform::setPlatform(&platform_);
    frame::InitLog();
    frame::OpenSettingsFile();
}

void SysInfoTest::TearDown() {
    resetState();
    platform::setPlatform(nullptr);
    std::filesystem::current_path(oldCwd_);
}

std::string SysInfoTest::programFile() {
#ifdef _WIN32
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return platform::narrow(path);
#else
    return std::filesystem::read_symlink("/proc/self/exe").string();
#endif
}

} // namespace spylerom::test
