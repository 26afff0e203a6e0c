// The hidden shell switches: each box's new state reaches the right shell window, and where no
// such window exists the call goes to no window.
#include "sysinfo/shell_toggles.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace spylerom::sysinfo {
namespace {

// A shell with a task bar (its start button and notification area) and a desktop, or none.
class RecordingShell : public ShellWindows {
public:
    explicit RecordingShell(bool withWindows) {
        if (!withWindows)
            return;
        topLevel_ = {{"Shell_TrayWnd", 10}, {"ProgMan", 20}};
        children_ = {{{10, "Button"}, 11}, {{10, "ReBarWindow32"}, 12}, {{12, "ToolBarwindow32"}, 13}};
        firstChildren_ = {{20, 21}};
    }
    std::vector<std::string> calls;

    WindowHandle findWindow(const std::string& className) override {
        const auto it = topLevel_.find(className);
        return it == topLevel_.end() ? kNoWindow : it->second;
    }
    WindowHandle findChild(WindowHandle parent, const std::string& className) override {
        const auto it = children_.find({parent, className});
        return it == children_.end() ? kNoWindow : it->second;
    }
    WindowHandle firstChild(WindowHandle window) override {
        const auto it = firstChildren_.find(window);
        return it == firstChildren_.end() ? kNoWindow : it->second;
    }
    void enableWindow(WindowHandle window, bool enable) override {
        calls.push_back("enable " + std::to_string(window) + (enable ? " on" : " off"));
    }
    void showWindow(WindowHandle window, ShowCommand command) override {
        const char* names[] = {"hide", "show", "shownoactivate"};
        calls.push_back(std::string(names[static_cast<int>(command)]) + " " + std::to_string(window));
    }
    void setScreenSaverRunning(bool running) override {
        calls.push_back(std::string("screensaver ") + (running ? "1" : "0"));
    }

private:
    std::map<std::string, WindowHandle> topLevel_;
    std::map<std::pair<WindowHandle, std::string>, WindowHandle> children_;
    std::map<WindowHandle, WindowHandle> firstChildren_;
};

struct SwitchCase {
    const char* name;
    void (*click)(bool);
    const char* whenTicked;
    const char* whenCleared;
    const char* withoutShell; // the call when the shell has no such window
};
void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << c.name;
}

class ShellSwitchTest : public ::testing::TestWithParam<SwitchCase> {
protected:
    void TearDown() override { setShellWindows(nullptr); }
};

TEST_P(ShellSwitchTest, TickedAndClearedReachTheirWindow) {
    RecordingShell shell(true);
    setShellWindows(&shell);
    GetParam().click(true);
    GetParam().click(false);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{GetParam().whenTicked, GetParam().whenCleared}));
}

TEST_P(ShellSwitchTest, WithoutTheShellsWindowsTheCallGoesToNoWindow) {
    RecordingShell shell(false);
    setShellWindows(&shell);
    GetParam().click(true);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{GetParam().withoutShell}));
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ShellSwitchTest,
    ::testing::Values(
        SwitchCase{"cWinTast", &cWinTastClick, "screensaver 1", "screensaver 0", "screensaver 1"},
        SwitchCase{"cWinDisTask", &cWinDisTaskClick, "enable 10 off", "enable 10 on", "enable 0 off"},
        SwitchCase{"cWinStartKnapp", &cWinStartKnappClick, "enable 11 off", "enable 11 on", "enable 0 off"},
        SwitchCase{"cWinTray", &cWinTrayClick, "hide 13", "show 13", "hide 0"},
        SwitchCase{"cWinShowTask", &cWinShowTaskClick, "hide 10", "shownoactivate 10", "hide 0"},
        SwitchCase{"cWinDesktop", &cWinDesktopClick, "hide 21", "show 21", "hide 0"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ShellWindowsTest, ThisSystemHasNoShellWindows) {
    setShellWindows(nullptr);
    ShellWindows& shell = shellWindows();
    EXPECT_EQ(shell.findWindow("Shell_TrayWnd"), kNoWindow);
    EXPECT_EQ(shell.findWindow("ProgMan"), kNoWindow);
    EXPECT_EQ(shell.findChild(kNoWindow, "Button"), kNoWindow);
    EXPECT_EQ(shell.firstChild(kNoWindow), kNoWindow);
    // Every switch runs on it without effect or failure.
    for (auto click : {&cWinTastClick, &cWinDisTaskClick, &cWinStartKnappClick, &cWinTrayClick,
                       &cWinShowTaskClick, &cWinDesktopClick}) {
        click(true);
        click(false);
    }
}

} // namespace
} // namespace spylerom::sysinfo
