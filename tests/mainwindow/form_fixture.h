// What the window tests share: a platform that lists only the drives a test maps (so no test
// can pick a real disk of the machine), reports the fill's clean-up and records what would be
// launched instead of starting it, and a fixture that builds the main window over it with a
// fresh log and fill state and settings files of its own.
#pragma once

#include "mainwindow/ui/spylerom_form.h"
#include "support/env_guard.h"
#include "support/mapped_drives.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace spylerom::test {

class MappedDrivesPlatform : public MappedDrives {
public:
    // No drive, no hook, no launch: as made.
    void reset();

    // Called before every close and delete of a fill file, on the user-interface thread.
    std::function<void()> onCleanup;

    bool closeFile(platform::FileHandle file, platform::Error& err) override;
    bool deleteFillFile(platform::FolderHandle folder, const std::string& name,
                        platform::Error& err) override;

    struct Launch {
        std::string file, parameters, folder;
        bool operator==(const Launch&) const = default;
    };
    // Every launch request, in order; nothing is started.
    std::vector<Launch> launches;
    void launch(const std::string& file, const std::string& parameters, const std::string& folder) override;

    // When set, the process has no right to change a held-back pool, as a user's program has
    // not: the platform gives no reserve token.
    bool withoutReserveRight = false;
    std::string writeReserveToken(platform::FolderHandle folder) override;

    // When set, the running program's path: the update tests put the program, with an updater
    // beside it, in a folder of their own.
    std::string programFile;
    std::string programPath() const override;
    // Makes programFile a program in folder with an updater beside it.
    void programWithUpdaterIn(const std::string& folder);

private:
    void cleaningUp();
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the window (FormCreate runs), shows it and makes it the active window.
    mainwindow::TSpyleRomForm& openForm();

    template <typename T> T* child(const char* name) {
        T* found = form_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // The per-user settings file's path and its text (empty when there is no file).
    std::string userSettingsPath() const;
    std::string userSettingsText() const;
    // Replaces the per-user settings file with text.
    void writeUserSettings(const std::string& text) const;

    // Log lines that contain text.
    std::vector<std::string> logLinesWith(const std::string& text) const;
    // Index of the first log line containing text, -1 when none does.
    int firstLogLine(const std::string& text) const;

    MappedDrivesPlatform platform_;
    TempDir appData_;
    EnvGuard env_;
    std::unique_ptr<mainwindow::TSpyleRomForm> form_;
};

// The names of the fill's temporary files left in a folder.
std::vector<std::string> fillFilesIn(const std::string& folder);

} // namespace spylerom::test
