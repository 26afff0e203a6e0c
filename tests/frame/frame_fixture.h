// The frame's tests run on real files: a temporary APPDATA, a temporary working folder, and
// the frame's process-wide state put back to its start before and after every test.
#pragma once

#include "support/env_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace spylerom::test {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // APPDATA and the working folder, without trailing separators.
    std::string appdata() const { return root_.file("appdata"); }
    std::string work() const { return root_.file("work"); }
    // The maker's folder under APPDATA, ending in "/".
    std::string maker() const { return appdata() + "/Solvarek/"; }
    std::string mainIni() const { return maker() + "etc/solvarek.ini"; }

    // Log lines taken since the test began (with their time stamps).
    const std::vector<std::string>& logLines() const;
    // The messages of the log lines that contain text.
    std::vector<std::string> logLinesContaining(const std::string& text) const;
    int countLogLinesContaining(const std::string& text) const;

    TempDir root_;
    EnvGuard env_;

private:
    std::string oldCwd_;
};

// The file's lines without their CR LF ends.
std::vector<std::string> fileLines(const std::string& path);
// Sets the mode bits of a file (chmod).
void setMode(const std::string& path, unsigned mode);

} // namespace spylerom::test
