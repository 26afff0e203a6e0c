// The window procedures' shared guard: the object a window was made for reaches its messages,
// and an exception a handler lets out is logged and ends there, not in the system's frames.
#include "frame/textfil.h"
#include "gui/win32/window_proc.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace spylerom::gui::win32 {
namespace {

constexpr UINT kThrowStd = WM_APP + 1;
constexpr UINT kThrowOther = WM_APP + 2;
constexpr UINT kAnswer = WM_APP + 3;

struct Owner {
    int messages = 0;
};

LRESULT CALLBACK testProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* owner = ownerOf<Owner>(hwnd, message, lParam);
    if (message == WM_NCDESTROY)
        forgetOwner(hwnd);
    if (!owner || message < WM_APP)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return guardedMessage("testvinduet", [&]() -> LRESULT {
        ++owner->messages;
        if (message == kThrowStd)
            throw std::runtime_error("handler broke");
        if (message == kThrowOther)
            throw 42;
        return 7;
    });
}

class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame::ResetLogState();
        frame::logState().LogEnabled = true;
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = testProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SpyleromWindowProcTest";
        RegisterClassExW(&windowClass);
        window_ = CreateWindowExW(0, L"SpyleromWindowProcTest", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), &owner_);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (window_)
            DestroyWindow(window_);
        frame::ResetLogState();
    }

    Owner owner_;
    HWND window_ = nullptr;
};

TEST_F(WindowProcTest, TheOwnerGetsItsMessagesAndTheirAnswers) {
    EXPECT_EQ(SendMessageW(window_, kAnswer, 0, 0), 7);
    EXPECT_EQ(owner_.messages, 1);
    EXPECT_TRUE(frame::logState().LogLines.empty());
}

TEST_F(WindowProcTest, AnExceptionIsLoggedTheMessageHandledAndTheWindowLivesOn) {
    EXPECT_EQ(SendMessageW(window_, kThrowStd, 0, 0), 0);
    EXPECT_EQ(SendMessageW(window_, kThrowOther, 0, 0), 0);
    ASSERT_EQ(frame::logState().LogLines.size(), 2u);
    EXPECT_NE(frame::logState().LogLines[0].find("FEIL: handler broke"), std::string::npos);
    EXPECT_NE(frame::logState().LogLines[1].find("FEIL: ukjent feil i testvinduet"), std::string::npos);
    EXPECT_EQ(SendMessageW(window_, kAnswer, 0, 0), 7); // still served
    EXPECT_EQ(owner_.messages, 3);
}

} // namespace
} // namespace spylerom::gui::win32
