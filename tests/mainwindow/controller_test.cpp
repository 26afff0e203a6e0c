// The main window's decisions without a toolkit: a view that records what it is told, over a
// real loop-mounted image, and the ways the window or the program can be asked to end, idle and
// in the middle of a pass.
#include "mainwindow/main_controller.h"

#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/textfil.h"
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/mapped_drives.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace spylerom::test {
namespace {

using mainwindow::DriveItem;
using mainwindow::MainController;

class RecordingPlacement : public frame::PlacementWindow {
public:
    int left() const override { return 10; }
    int top() const override { return 20; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    bool maximized() const override { return false; }
    void setLeft(int) override {}
    void setTop(int) override {}
    void setWidth(int value) override { width_ = value; }
    void setHeight(int value) override { height_ = value; }
    void maximize() override {}
    int screenWidth() const override { return 1920; }
    int screenHeight() const override { return 1080; }

private:
    int width_ = 0;
    int height_ = 0;
};

// Holds the choices as its lists would and records every call that ends something or switches
// the buttons, in order.
class RecordingView : public mainwindow::MainView {
public:
    int fill = 0;
    int block = 7;
    int bar = 1;
    int drive = -1;
    std::vector<DriveItem> items;
    std::vector<std::string> calls;
    std::string repetitionText;
    // Runs at every message processing; while set, a pass is writing or cleaning up.
    std::function<void()> onMessages;

    int count(const std::string& call) const { return static_cast<int>(std::ranges::count(calls, call)); }

    int fillIndex() const override { return fill; }
    int blockIndex() const override { return block; }
    int trackBarPosition() const override { return bar; }
    int driveIndex() const override { return drive; }
    void setDriveItems(const std::vector<DriveItem>& list) override { items = list; }
    void selectDrive(int index) override { drive = index < static_cast<int>(items.size()) ? index : -1; }
    void selectFill(int index) override { fill = index < 3 ? index : -1; }
    void selectBlock(int index) override { block = index < 8 ? index : -1; }
    void setTrackBarPosition(int position) override { bar = std::clamp(position, 1, 10); }
    void showPassBar(int) override {}
    void showTotalBar(int) override {}
    void showProgressText(const std::string&) override {}
    void showUsageBar(int, int) override {}
    void showStatusText(const std::string&) override {}
    void setRepetitionText(const std::string& text) override { repetitionText = text; }
    void setStartNoticeVisible(bool) override {}
    void setStartNoticeLines(const std::vector<std::string>&) override {}
    void setWaitNoticeVisible(bool) override {}
    void setPointer(fill::Pointer) override {}
    void showIdleButtons() override { calls.push_back("idle"); }
    void showRunningButtons() override { calls.push_back("running"); }
    void repaintNow() override {}
    void processMessages() override {
        if (onMessages)
            onMessages();
    }
    void closeNow() override { calls.push_back("closeNow"); }
    void closeLater() override { calls.push_back("closeLater"); }
    void endMessageLoop() override { calls.push_back("endMessageLoop"); }
    void showSystemInformation() override { calls.push_back("systemInformation"); }
    frame::PlacementWindow& placement() override { return placement_; }

private:
    RecordingPlacement placement_;
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!LoopImage::available(&why))
            GTEST_SKIP() << why;
        image_ = std::make_unique<LoopImage>(LoopImage::Options{.sizeMiB = 64});
        ASSERT_TRUE(image_->ok()) << image_->error();
        env_.set("APPDATA", appData_.path());
        env_.unset("SYSTEMDRIVE");
        platform_.map('Z', image_->mountPoint());
        platform_.setRecordFolder(records_.path());
        platform::setPlatform(&platform_);
        frame::ResetFrameState();
        frame::logState().LogEnabled = true;
        frame::OpenSettingsFile();
        controller_ = std::make_unique<MainController>(view_);
        controller_->FormCreate();
    }
    void TearDown() override {
        controller_.reset();
        platform::setPlatform(nullptr);
        frame::ResetFrameState();
    }

    int logCount(const std::string& needle) const {
        return static_cast<int>(
            std::ranges::count_if(frame::logState().LogLines, [&](const std::string& line) {
                return line.find(needle) != std::string::npos;
            }));
    }
    std::vector<std::string> fillFiles() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(image_->mountPoint()))
            if (entry.path().filename().string().rfind("spylerom-", 0) == 0)
                found.push_back(entry.path().filename().string());
        return found;
    }

    EnvGuard env_;
    TempDir appData_;
    TempDir records_;
    std::unique_ptr<LoopImage> image_;
    MappedDrives platform_;
    RecordingView view_;
    std::unique_ptr<MainController> controller_;
};

TEST_F(ControllerTest, TheChoicesOfTheViewReachTheRun) {
    ASSERT_EQ(view_.items.size(), 1u);
    EXPECT_EQ(view_.drive, 0) << "nothing stored: the last drive";
    view_.fill = 1;  // "En"
    view_.block = 3; // 4096
    view_.bar = 2;
    controller_->TrackBar1Change();
    controller_->Spyleromen();

    EXPECT_EQ(logCount("Valgt stasjon: Z: [" + image_->mountPoint() + "]"), 2) << "two passes";
    EXPECT_EQ(logCount("4096 bytes blokkstørrelse"), 2) << "the block size of the list's item";
    EXPECT_EQ(controller_->engine().state().Repetitions, 2);
    EXPECT_TRUE(fillFiles().empty());
    ASSERT_FALSE(view_.calls.empty());
    EXPECT_EQ(view_.calls.front(), "running");
    EXPECT_EQ(view_.count("idle"), 1) << "idle only once the run has ended";
    EXPECT_EQ(view_.calls.back(), "idle");
}

enum class EndAsk { Close, CloseTwice, Quit, CloseThenQuit };

struct EndCase {
    const char* name;
    EndAsk ask;
    bool duringRun;
    // What the view is told after the run (or at once when idle), and whether the close ran.
    std::vector<std::string> endCalls;
    bool formClosed;
};

class EndTest : public ControllerTest, public ::testing::WithParamInterface<EndCase> {
protected:
    // Asks as the case says; true when a close was allowed at once.
    bool ask() {
        bool allowed = false;
        switch (GetParam().ask) {
        case EndAsk::Close:
            allowed = controller_->closeRequested();
            break;
        case EndAsk::CloseTwice:
            allowed = controller_->closeRequested();
            allowed = controller_->closeRequested() || allowed;
            break;
        case EndAsk::Quit:
            controller_->quitWhenIdle();
            break;
        case EndAsk::CloseThenQuit:
            allowed = controller_->closeRequested();
            controller_->quitWhenIdle();
            break;
        }
        return allowed;
    }
};

TEST_P(EndTest, EndsOnlyOnceThePassHasCleanedUp) {
    const EndCase& c = GetParam();
    bool allowed = false;
    std::vector<std::string> filesWhenAsked;
    if (c.duringRun) {
        bool asked = false;
        view_.onMessages = [&] {
            if (asked || !controller_->engine().passActive())
                return;
            asked = true;
            filesWhenAsked = fillFiles();
            allowed = ask();
            EXPECT_TRUE(std::ranges::find(view_.calls, "closeLater") == view_.calls.end() &&
                        std::ranges::find(view_.calls, "endMessageLoop") == view_.calls.end())
                << "nothing ends while the pass still has its files";
        };
        controller_->Spyleromen();
        EXPECT_FALSE(filesWhenAsked.empty()) << "the pass was writing when the end was asked for";
        EXPECT_EQ(logCount("STOPP: Z:"), 1) << "the run stopped after one pass";
    } else {
        allowed = ask();
    }

    EXPECT_TRUE(fillFiles().empty()) << "the pass cleaned up before anything ended";
    std::vector<std::string> ends;
    std::ranges::copy_if(view_.calls, std::back_inserter(ends), [](const std::string& call) {
        return call == "closeLater" || call == "endMessageLoop";
    });
    EXPECT_EQ(ends, c.endCalls);
    EXPECT_EQ(allowed, c.formClosed) << "a close is allowed at once only when idle";
    EXPECT_EQ(logCount("- PROGRAMMET AVSLUTTES -"), c.formClosed ? 1 : 0);
    EXPECT_EQ(view_.count("closeNow"), 0);

    if (c.duringRun && !c.endCalls.empty() && c.endCalls.back() == "closeLater") {
        // The window's delayed close arrives: now idle, it is allowed, and the close runs once.
        EXPECT_TRUE(controller_->closeRequested());
        EXPECT_TRUE(controller_->closeRequested());
        EXPECT_EQ(logCount("- PROGRAMMET AVSLUTTES -"), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Asks, EndTest,
    ::testing::Values(EndCase{"CloseIdle", EndAsk::Close, false, {}, true},
                      EndCase{"CloseIdleTwice", EndAsk::CloseTwice, false, {}, true},
                      EndCase{"QuitIdle", EndAsk::Quit, false, {"endMessageLoop"}, false},
                      EndCase{"CloseDuringRun", EndAsk::Close, true, {"closeLater"}, false},
                      EndCase{"CloseTwiceDuringRun", EndAsk::CloseTwice, true, {"closeLater"}, false},
                      EndCase{"QuitDuringRun", EndAsk::Quit, true, {"endMessageLoop"}, false},
                      EndCase{
                          "CloseThenQuitDuringRun", EndAsk::CloseThenQuit, true, {"endMessageLoop"}, false}),
    [](const ::testing::TestParamInfo<EndCase>& param) { return std::string(param.param.name); });

TEST_F(ControllerTest, TheCloseStoresTheChoicesTheNextStartReads) {
    view_.fill = 2;
    view_.block = 4;
    view_.bar = 7;
    ASSERT_TRUE(controller_->closeRequested());
    controller_.reset();

    RecordingView next;
    MainController again(next);
    again.FormCreate();
    EXPECT_EQ(next.fill, 2);
    EXPECT_EQ(next.block, 4);
    EXPECT_EQ(next.bar, 7);
    EXPECT_EQ(next.drive, 0);
    EXPECT_EQ(again.engine().state().Repetitions, 7) << "the bar's change ran";
}

} // namespace
} // namespace spylerom::test
