#include "frame_fixture.h"

#include "frame/frame_ui.h"
#include "frame/startup.h"
#include "frame/textfil.h"
#include "platform/platform.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace spylerom::test {

void FrameTest::SetUp() {
    std::filesystem::create_directories(appdata());
    std::filesystem::create_directories(work());
    std::filesystem::create_directories(root_.file("systemp")); // TEMP: an existing folder
    oldCwd_ = std::filesystem::current_path().string();
    std::filesystem::current_path(work());
    env_.set("APPDATA", appdata());
    env_.set("USERNAME", "ola");
    env_.set("HOME", root_.file("home"));
    env_.unset("USERPROFILE");
    env_.unset("WINDIR");
    env_.unset("SystemRoot");
    env_.set("TEMP", root_.file("systemp"));
    frame::ResetFrameState();
}

void FrameTest::TearDown() {
    frame::ResetFrameState();
    platform::setPlatform(nullptr);
    frame::setFrameUi(nullptr);
    std::filesystem::current_path(oldCwd_);
}

const std::vector<std::string>& FrameTest::logLines() const {
    return frame::logState().LogLines;
}

std::vector<std::string> FrameTest::logLinesContaining(const std::string& text) const {
    std::vector<std::string> found;
    for (const auto& line : logLines())
        if (line.find(text) != std::string::npos)
            found.push_back(line);
    return found;
}

int FrameTest::countLogLinesContaining(const std::string& text) const {
    return static_cast<int>(logLinesContaining(text).size());
}

std::vector<std::string> fileLines(const std::string& path) {
    const std::string text = readText(path);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void setMode(const std::string& path, unsigned mode) {
    if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0)
        ADD_FAILURE() << "chmod " << path;
}

} // namespace spylerom::test
