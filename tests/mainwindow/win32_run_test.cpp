// START, Stop and closing the Win32 window against drive Q:, a small image that the test script
// loop-mounts: the run goes to its end, or stops and cleans up, and the window follows it.
#include "win32_form_fixture.h"

#include "../win32/win32_test_env.h"
#include "support/loop_image.h"

#include <commctrl.h>

namespace spylerom::test {
namespace {

using Form = mainwindow::TSpyleRomForm;

struct Choices {
    int fill = 0;  // FyllCombo
    int block = 7; // BlockCombo: 65536
    int repetitions = 1;
};

class Win32RunTest : public Win32FormTest {
protected:
    void SetUp() override {
        letter_ = mappedDrive();
        if (!letter_)
            GTEST_SKIP() << kNoMappedDrive;
        root_ = std::string(1, letter_) + ":\\";
        Win32FormTest::SetUp();
        platform_.allow(letter_);
    }

    void TearDown() override {
        Win32FormTest::TearDown();
        for (const std::string& name : leftovers())
            DeleteFileW(platform::widen(root_ + name).c_str());
    }

    // Opens the window on the drive with the given choices, as a user picks them.
    void openOnDrive(const Choices& choices) {
        openForm();
        ASSERT_EQ(SendMessageW(control(Form::Stasjon), CB_GETCOUNT, 0, 0), 2); // the drive and R:
        SendMessageW(control(Form::Stasjon), CB_SETCURSEL, 0, 0);
        SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(Form::Stasjon, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control(Form::Stasjon)));
        ASSERT_EQ(text(Form::Stasjon).substr(0, 3), root_.substr(0, 2) + " ");
        SendMessageW(control(Form::FyllCombo), CB_SETCURSEL, static_cast<WPARAM>(choices.fill), 0);
        SendMessageW(control(Form::BlockCombo), CB_SETCURSEL, static_cast<WPARAM>(choices.block), 0);
        SendMessageW(control(Form::TrackBar1), TBM_SETPOS, TRUE, choices.repetitions);
        SendMessageW(form_->hwnd(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, choices.repetitions),
                     reinterpret_cast<LPARAM>(control(Form::TrackBar1)));
    }

    // The button pressed as a user does; returns when the run has ended.
    void clickStart() { SendMessageW(control(Form::Startknapp), BM_CLICK, 0, 0); }

    std::vector<std::string> leftovers() const {
        std::vector<platform::FolderEntry> entries;
        std::vector<std::string> names;
        platform::Error err;
        platform::sys().listFolder(root_, entries, err);
        for (const auto& entry : entries)
            if (entry.name.rfind("spylerom-", 0) == 0)
                names.push_back(entry.name);
        return names;
    }

    void expectIdle() {
        EXPECT_TRUE(enabled(Form::Startknapp));
        EXPECT_EQ(GetFocus(), control(Form::Startknapp));
        EXPECT_FALSE(enabled(Form::StoppKnapp));
        for (int id : {Form::ValgGruppe, Form::Stasjon, Form::FyllCombo, Form::TrackBar1, Form::BlockCombo})
            EXPECT_TRUE(enabled(id)) << id;
        EXPECT_FALSE(visible(Form::StartMemo));
        EXPECT_FALSE(visible(Form::VentMemo));
        EXPECT_EQ(form_->pointer(), fill::Pointer::Normal) << "the normal pointer is back";
        EXPECT_TRUE(form_->engine().state().WritingStopped);
    }

    int position(int id) const { return static_cast<int>(SendMessageW(control(id), PBM_GETPOS, 0, 0)); }

    char letter_ = 0;
    std::string root_;
};

TEST_F(Win32RunTest, StartRunsEveryPassToTheEndAndLeavesNoMarkerOfDeletedFiles) {
    const std::string image = mappedImage();
    ASSERT_FALSE(image.empty());
    const std::string marker = "SPYLEROM-WINDOW-MARKER-";
    std::string content;
    while (content.size() < (256u << 10))
        content += marker + std::to_string(content.size()) + "\n";
    for (int i = 1; i <= 2; ++i)
        ASSERT_TRUE(writeDurable(root_ + "slettet-" + std::to_string(i) + ".txt", content));
    ASSERT_GT(LoopImage::countInFile(image, marker), 500u) << "the scan sees what reaches the image";
    for (int i = 1; i <= 2; ++i)
        ASSERT_TRUE(DeleteFileW(platform::widen(root_ + "slettet-" + std::to_string(i) + ".txt").c_str()));

    openOnDrive({.fill = 1, .block = 7, .repetitions = 2});
    struct Seen {
        bool found = false, running = false, stopFocused = false, startNotice = false;
        fill::Pointer pointer = fill::Pointer::Normal;
    } seen;
    whenMessagesAreHandled([&] {
        seen.found = true;
        seen.running = !enabled(Form::Startknapp) && enabled(Form::StoppKnapp) &&
                       !enabled(Form::ValgGruppe) && !enabled(Form::Stasjon) && !enabled(Form::TrackBar1);
        seen.stopFocused = GetFocus() == control(Form::StoppKnapp);
        seen.startNotice = visible(Form::StartMemo);
        seen.pointer = form_->pointer();
    });
    clickStart();

    ASSERT_TRUE(seen.found) << "messages are handled during the run";
    EXPECT_TRUE(seen.running);
    EXPECT_TRUE(seen.stopFocused);
    EXPECT_TRUE(seen.startNotice);
    EXPECT_NE(seen.pointer, fill::Pointer::Normal);
    expectIdle();
    EXPECT_EQ(position(Form::pbar), 100);
    EXPECT_EQ(position(Form::pbar2), 100);
    EXPECT_NE(text(Form::plabel).find("% ferdig, 100 % av total"), std::string::npos) << text(Form::plabel);
    EXPECT_NE(text(Form::status).find(" MB ledig av "), std::string::npos) << text(Form::status);
    EXPECT_EQ(logLinesWith("START: " + root_.substr(0, 2)).size(), 2u);
    EXPECT_EQ(logLinesWith("STOPP: ").size(), 2u);
    EXPECT_TRUE(logLinesWith("Stopper fylling av disk").empty());
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(LoopImage::countInFile(image, marker), 0u) << "the deleted files' remains are overwritten";
}

// How a user stops a running fill.
enum class StopWay { Button, AltS };

class Win32StopTest : public Win32RunTest, public ::testing::WithParamInterface<StopWay> {};

TEST_P(Win32StopTest, StopsTheRunAndCleansUp) {
    // Random 512-byte blocks: the pass is still writing when the first messages are handled.
    openOnDrive({.fill = 2, .block = 0, .repetitions = 3});
    bool stopEnabled = false;
    whenMessagesAreHandled([&] {
        stopEnabled = enabled(Form::StoppKnapp);
        if (GetParam() == StopWay::Button) {
            SendMessageW(control(Form::StoppKnapp), BM_CLICK, 0, 0);
        } else {
            MSG msg{GetFocus(), WM_SYSCHAR, 's', static_cast<LPARAM>(1u << 29), 0, {}}; // Alt held
            EXPECT_TRUE(form_->translate(msg));
        }
    });
    clickStart();

    EXPECT_TRUE(stopEnabled);
    expectIdle();
    EXPECT_EQ(logLinesWith("START: ").size(), 1u) << "no further pass";
    const int stopper = firstLogLine("Stopper fylling av disk");
    ASSERT_NE(stopper, -1);
    EXPECT_LT(stopper, firstLogLine("STOPP: "));
    EXPECT_TRUE(leftovers().empty()) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(Ways, Win32StopTest, ::testing::Values(StopWay::Button, StopWay::AltS),
                         [](const auto& test) { return test.param == StopWay::Button ? "Button" : "AltS"; });

enum class CloseWay { CloseBox, AvsluttMenu, EndOfSessionAsked };

class Win32CloseDuringRun : public Win32RunTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(Win32CloseDuringRun, StopsTheRunCleansUpAndOnlyThenCloses) {
    openOnDrive({.fill = 0, .block = 0, .repetitions = 3});
    LRESULT sessionAnswer = -1;
    int closesDuringRun = -1;
    whenMessagesAreHandled([&] {
        switch (GetParam()) {
        case CloseWay::CloseBox:
            SendMessageW(form_->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case CloseWay::AvsluttMenu:
            SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(Form::Avslytt1, 0), 0);
            break;
        case CloseWay::EndOfSessionAsked:
            sessionAnswer = SendMessageW(form_->hwnd(), WM_QUERYENDSESSION, 0, 0);
            break;
        }
        closesDuringRun = closes_;
    });
    clickStart();

    EXPECT_EQ(closesDuringRun, 0) << "the window stays while the run cleans up";
    if (GetParam() == CloseWay::EndOfSessionAsked) {
        EXPECT_EQ(sessionAnswer, FALSE) << "the session waits for the clean-up";
    }
    EXPECT_EQ(logLinesWith("Stopper fylling av disk").size(), 1u);
    EXPECT_EQ(logLinesWith("START: ").size(), 1u) << "no further pass starts";
    EXPECT_EQ(logLinesWith("STOPP: ").size(), 1u);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(form_->pointer(), fill::Pointer::Normal);

    pump(); // the close that waited for the run
    EXPECT_EQ(closes_, 1);
    EXPECT_FALSE(IsWindowVisible(form_->hwnd()));
    const int closing = firstLogLine("- PROGRAMMET AVSLUTTES -");
    ASSERT_NE(closing, -1);
    EXPECT_GT(closing, firstLogLine("STOPP: ")) << "the close handling runs after the clean-up";
}

INSTANTIATE_TEST_SUITE_P(Ways, Win32CloseDuringRun,
                         ::testing::Values(CloseWay::CloseBox, CloseWay::AvsluttMenu,
                                           CloseWay::EndOfSessionAsked),
                         [](const auto& test) {
                             switch (test.param) {
                             case CloseWay::CloseBox:
                                 return "CloseBox";
                             case CloseWay::AvsluttMenu:
                                 return "AvsluttMenu";
                             default:
                                 return "EndOfSessionAsked";
                             }
                         });

TEST_F(Win32RunTest, TheUpdateDuringARunEndsTheLoopOnlyAfterTheCleanUp) {
    openOnDrive({.fill = 0, .block = 0, .repetitions = 2});
    bool quitDuringRun = true;
    whenMessagesAreHandled([&] {
        SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(Form::Direkteoppdateringfrainternett1, 0), 0);
        MSG quit;
        quitDuringRun = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
    });
    clickStart();
    EXPECT_FALSE(quitDuringRun);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(logLinesWith("START: ").size(), 1u);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the loop ends after the run";
    EXPECT_EQ(closes_, 0);
    EXPECT_TRUE(logLinesWith("- PROGRAMMET AVSLUTTES -").empty());
}

} // namespace
} // namespace spylerom::test
