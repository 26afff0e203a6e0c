// The Win32 input dialog, driven through its messages from inside its modal loop: its design,
// Enter answers O&k, Escape and &Avbryt answer cancel, and the close request changes nothing.
#include "ftp/win32ui/input_window.h"

#include "ftp/kodtekst.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace spylerom::ftp {
namespace {

// The window of a class that this thread made (other test programs may show theirs meanwhile).
HWND threadWindowOfClass(const wchar_t* className) {
    struct Search {
        const wchar_t* name;
        HWND found;
    } search{className, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 63);
            if (wcscmp(name, s->name) != 0)
                return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Seen {
    bool found = false;
    std::string caption, prompt;
    RECT client{};
    bool systemMenu = true;
    bool focusInEdit = false;
    bool foreground = false; // another test program's window may have taken the activation
};
Seen g_seen;
int g_action = 0; // 0: Enter, 1: Escape, 2: the &Avbryt button

std::string textOf(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 255);
    return utf16ToUtf8(std::u16string(text, text + wcslen(text)));
}

void CALLBACK actLikeTheUser(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND dialog = threadWindowOfClass(L"TInputForm");
    if (!dialog)
        return;
    g_seen.found = true;
    g_seen.caption = textOf(dialog);
    g_seen.prompt = textOf(GetDlgItem(dialog, InputWindow::Label1));
    GetClientRect(dialog, &g_seen.client);
    g_seen.systemMenu = (GetWindowLongPtrW(dialog, GWL_STYLE) & WS_SYSMENU) != 0;
    HWND edit = GetDlgItem(dialog, InputWindow::Edit1);
    g_seen.focusInEdit = GetFocus() == edit;
    g_seen.foreground = GetForegroundWindow() == dialog;
    SetWindowTextW(edit, L"svar æ");
    PostMessageW(dialog, WM_CLOSE, 0, 0); // no close box: ignored
    if (g_action == 2)
        PostMessageW(GetDlgItem(dialog, InputWindow::BitBtn2), BM_CLICK, 0, 0);
    else
        PostMessageW(edit, WM_KEYDOWN, g_action == 0 ? VK_RETURN : VK_ESCAPE, 0);
}

struct InputCase {
    const char* name;
    int action;
    bool ok;
};

void PrintTo(const InputCase& c, std::ostream* os) {
    *os << c.name;
}

class InputWindowTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(InputWindowTest, TheKeysAndButtonsEndTheDialogWithTheirResults) {
    const InputCase& c = GetParam();
    g_seen = Seen{};
    g_action = c.action;
    InputWindow dialog;
    SetTimer(nullptr, 0, 200, actLikeTheUser);
    std::string answer = "forslag";
    const bool ok = dialog.ask("Input:", "Skriv noe:", answer);
    ASSERT_TRUE(g_seen.found) << "the dialog did not show";
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(answer, c.ok ? "svar æ" : "forslag");
    EXPECT_EQ(g_seen.caption, "Input:");
    EXPECT_EQ(g_seen.prompt, "Skriv noe:");
    EXPECT_EQ(g_seen.client.right, 396);
    EXPECT_EQ(g_seen.client.bottom, 113);
    EXPECT_FALSE(g_seen.systemMenu);
    if (g_seen.foreground) {
        EXPECT_TRUE(g_seen.focusInEdit);
    }
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_EQ(threadWindowOfClass(L"TInputForm"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, InputWindowTest,
                         ::testing::Values(InputCase{"Enter", 0, true}, InputCase{"Escape", 1, false},
                                           InputCase{"CancelButton", 2, false}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace spylerom::ftp
