// What the Win32 window tests share: a platform that lists only the drives a test allows (so no
// test can pick a real disk of the machine) and records what would be launched instead of
// starting it, and a fixture that builds the main window over it with a fresh log and fill
// state and settings files of its own. The window is driven in-process through its messages.
#pragma once

#include "mainwindow/win32ui/spylerom_form.h"
#include "mainwindow/win32ui/win32_frame_ui.h"
#include "platform/win32/win32_platform.h"
#include "support/env_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace spylerom::test {

class AllowedDrivesPlatform : public platform::Win32Platform {
public:
    // Only letters allowed this way are drives (a mapped folder or a drive of the test script).
    void allow(char letter) { letters_ += letter; }
    std::vector<platform::Drive> drives() const override;

    struct Launch {
        std::string file, parameters, folder;
        bool operator==(const Launch&) const = default;
    };
    // Every launch request, in order; nothing is started.
    std::vector<Launch> launches;
    void launch(const std::string& file, const std::string& parameters, const std::string& folder) override;

private:
    std::string letters_;
};

class Win32FormTest : public ::testing::Test {
protected:
    using Form = mainwindow::TSpyleRomForm;

    void SetUp() override;
    void TearDown() override;

    // Builds the window (FormCreate runs) and shows it.
    Form& openForm();
    // The window gone, as at the program's end; a new openForm is a new start.
    void destroyForm();

    HWND control(int id) const { return form_->control(id); }
    std::string text(int id) const;
    bool visible(int id) const { return IsWindowVisible(control(id)) != FALSE; }
    bool enabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }
    int selection(int id) const;
    // A control's rectangle in the window's client area.
    RECT rectOf(int id) const;
    // The text of the item of a drop-down list.
    std::string itemOf(int id, int index) const;
    // A click on a button or a menu item, as the window receives it.
    void command(int id) const;
    // Handles every pending message as the program's loop does.
    void pump() const;
    // Runs action from the message loop: from the first message processing of a fill pass.
    static void whenMessagesAreHandled(std::function<void()> action);

    std::string userSettingsText() const;
    void writeUserSettings(const std::string& text) const;
    std::vector<std::string> logLinesWith(const std::string& text) const;
    int firstLogLine(const std::string& text) const;

    AllowedDrivesPlatform platform_;
    TempDir appData_;
    TempDir driveFolder_; // drive R:, where no test fills
    EnvGuard env_;
    mainwindow::Win32FrameUi frameUi_;
    std::unique_ptr<Form> form_;
    int closes_ = 0; // the window's close accepted
};

} // namespace spylerom::test
