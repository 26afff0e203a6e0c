#include "form_fixture.h"

#include <QCoreApplication>
#include <QThread>

#include "frame/launch.h"
#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/textfil.h"
#include "gui/screen_cursor.h"

#include <QTest>
#include <filesystem>

namespace spylerom::test {

void MappedDrivesPlatform::reset() {
    unmapAll();
    onCleanup = nullptr;
    launches.clear();
    programFile.clear();
    withoutReserveRight = false;
}

std::string MappedDrivesPlatform::writeReserveToken(platform::FolderHandle folder) {
    return withoutReserveRight ? std::string() : PosixPlatform::writeReserveToken(folder);
}

std::string MappedDrivesPlatform::programPath() const {
    return programFile.empty() ? PosixPlatform::programPath() : programFile;
}

void MappedDrivesPlatform::programWithUpdaterIn(const std::string& folder) {
    programFile = folder + platform::kPathSeparator + "spylerom";
    writeText(folder + platform::kPathSeparator + frame::updaterFileName(), "#!/bin/sh\n");
}

void MappedDrivesPlatform::cleaningUp() {
    if (!onCleanup)
        return;
    // The pass cleans up on its writer thread while the window keeps serving messages: the hook
    // looks at the widgets, so it runs there, in the middle of the clean-up.
    if (QThread::currentThread() == QCoreApplication::instance()->thread())
        onCleanup();
    else
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this] { onCleanup(); }, Qt::BlockingQueuedConnection);
}

bool MappedDrivesPlatform::closeFile(platform::FileHandle file, platform::Error& err) {
    cleaningUp();
    return PosixPlatform::closeFile(file, err);
}

bool MappedDrivesPlatform::deleteFillFile(platform::FolderHandle folder, const std::string& name,
                                          platform::Error& err) {
    cleaningUp();
    return PosixPlatform::deleteFillFile(folder, name, err);
}

void MappedDrivesPlatform::launch(const std::string& file, const std::string& parameters,
                                  const std::string& folder) {
    launches.push_back({file, parameters, folder});
}

void FormTest::SetUp() {
    frame::ResetFrameState();
    frame::logState().LogEnabled = true;
    env_.set("APPDATA", appData_.path());
    env_.set("USERNAME", "tester");
    env_.unset("SYSTEMDRIVE");
    platform::setPlatform(&platform_);
    // The main settings file under this test's APPDATA, so the per-user file that the window
    // reads and writes lies beside it.
    frame::OpenSettingsFile();
}

std::string FormTest::userSettingsPath() const {
    return frame::UserSettingsFileName();
}

std::string FormTest::userSettingsText() const {
    const std::string path = userSettingsPath();
    return std::filesystem::exists(path) ? readText(path) : std::string();
}

void FormTest::writeUserSettings(const std::string& text) const {
    writeText(userSettingsPath(), text);
}

void FormTest::TearDown() {
    form_.reset();
    platform::setPlatform(nullptr);
    gui::setScreenCursor(std::nullopt);
    frame::ResetFrameState();
}

mainwindow::TSpyleRomForm& FormTest::openForm() {
    form_ = std::make_unique<mainwindow::TSpyleRomForm>();
    form_->show();
    QApplication::setActiveWindow(form_.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    return *form_;
}

std::vector<std::string> FormTest::logLinesWith(const std::string& text) const {
    std::vector<std::string> found;
    for (const std::string& line : frame::logState().LogLines)
        if (line.find(text) != std::string::npos)
            found.push_back(line);
    return found;
}

int FormTest::firstLogLine(const std::string& text) const {
    const auto& lines = frame::logState().LogLines;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

std::vector<std::string> fillFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("spylerom-", 0) == 0)
            names.push_back(name);
    }
    return names;
}

} // namespace spylerom::test
