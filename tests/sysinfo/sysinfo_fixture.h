// The system information tests run on real files: a temporary APPDATA, working folder, TEMP,
// WINDIR and home, the frame's settings and log opened there, and a platform that records each
// launch request (with the log file's content at that moment) and can report a given memory.
#pragma once

#include "support/env_guard.h"
#include "support/native_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace spylerom::test {

struct LaunchRequest {
    std::string file, parameters, folder;
    std::optional<std::string> logFileText; // the log file's bytes when the launch came
    friend bool operator==(const LaunchRequest& a, const LaunchRequest& b) {
        return a.file == b.file && a.parameters == b.parameters && a.folder == b.folder;
    }
};
void PrintTo(const LaunchRequest& r, std::ostream* os);

// The real platform, but launching only records, and the memory may be set.
class RecordingPlatform : public NativePlatform {
public:
    std::vector<LaunchRequest> launches;
    std::optional<platform::MemoryStatus> memory;

    void launch(const std::string& file, const std::string& parameters, const std::string& folder) override;
    platform::MemoryStatus memoryStatus() const override;
};

class SysInfoTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The temporary folders, without trailing separators.
    std::string appdata() const { return root_.file("appdata"); }
    std::string windir() const { return root_.file("windows"); }
    std::string temp() const { return root_.file("temp"); }
    std::string home() const { return root_.file("home"); }
    // The maker's folder, ending in "/".
    std::string maker() const { return appdata() + "/Solvarek/"; }
    // The running test program's file, as the system reports it.
    static std::string programFile();

    TempDir root_;
    EnvGuard env_;
    RecordingPlatform platform_;

private:
    std::string oldCwd_;
};

} // namespace spylerom::test
