// The Win32 transfer window during real transfers: its controls show what the transfer tells
// them, and its close box (a WM_CLOSE, as the window manager sends it) cancels a waiting download.
#include "ftp/win32ui/ftp_window.h"
#include "ftp/win32ui/server_settings_window.h"

#include "frame/settings.h"

#include "ftp/ftp_fixture.h"
#include "ftp/ftp_settings.h"
#include "ftp/ftp_test_server.h"
#include "ftp/kodtekst.h"
#include "support/win32_window_test.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <cwchar>
#include <memory>

namespace spylerom::ftp {
namespace {

using test::FtpTestServer;
using test::readText;
using test::writeText;

using spylerom::test::windowText;

class FtpWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok()) << server_.error();
        ASSERT_TRUE(window_.created());
        ASSERT_TRUE(test::makeFolder(server_.file("pub")));
        test::writeFtpSection({"name=Test", "server=127.0.0.1",
                               "username=" + std::string(FtpTestServer::kUser),
                               "password=" + KodTekst(std::string_view(FtpTestServer::kPassword)),
                               "port=" + std::to_string(server_.port())});
        ftpState().FTPMappe = "pub/";
    }

    FtpTestServer server_;
    test::TempDir local_;
    test::TempDir settingsDir_;
    test::SettingsAndLog settings_{settingsDir_};
    FtpWindow window_;
};

TEST_F(FtpWindowTest, DesignAtStartUp) {
    EXPECT_FALSE(IsWindowVisible(window_.hwnd()));
    RECT client{};
    GetClientRect(window_.hwnd(), &client);
    EXPECT_EQ(client.right, 209);
    EXPECT_EQ(client.bottom, 64);
    EXPECT_EQ(windowText(window_.ftpfil()), "filnavn.ending");
    EXPECT_EQ(SendMessageW(window_.progressBar(), PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(window_.panelText(0), "0");
    EXPECT_EQ(window_.panelText(1), "Klar");
    EXPECT_TRUE(GetWindowLongPtrW(window_.hwnd(), GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_FALSE(GetWindowLongPtrW(window_.hwnd(), GWL_STYLE) & WS_MAXIMIZEBOX);
}

TEST_F(FtpWindowTest, ADownloadDrivesTheBarAndThePanelsAndClosesTheWindow) {
    std::string content(150000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    writeText(server_.file("pub/prog.exe"), content);
    const std::string target = local_.file("prog.exe");
    window_.HentFil(target);
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(target), content);
    EXPECT_FALSE(IsWindowVisible(window_.hwnd()));
    EXPECT_EQ(windowText(window_.hwnd()), "ftp.solvarek.no"); // the server held before the settings were read
    EXPECT_EQ(windowText(window_.ftpfil()), "prog.exe");
    EXPECT_EQ(SendMessageW(window_.progressBar(), PBM_GETRANGE, FALSE, 0),
              static_cast<LRESULT>(content.size()));
    EXPECT_EQ(SendMessageW(window_.progressBar(), PBM_GETPOS, 0, 0), static_cast<LRESULT>(content.size()));
    EXPECT_EQ(window_.panelText(0), std::to_string(content.size()));
    EXPECT_EQ(window_.panelText(1), "Frakoblet");
}

TEST_F(FtpWindowTest, TheCloseBoxCancelsAWaitingDownloadAndKeepsTheTarget) {
    writeText(server_.file("pub/stall-prog.exe"), std::string(5000, 'n'));
    const std::string target = local_.file("stall-prog.exe");
    writeText(target, "mine");
    // The window manager's close request arrives while the download waits for more data.
    SetTimer(window_.hwnd(), 1, 700, [](HWND hwnd, UINT, UINT_PTR id, DWORD) {
        KillTimer(hwnd, id);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    window_.HentFil(target);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(ftpState().FTPFeil, 500);
    EXPECT_EQ(readText(target), "mine");
    EXPECT_FALSE(IsWindowVisible(window_.hwnd()));
    EXPECT_EQ(window_.panelText(1), "Frakoblet");

    // Closed while no transfer runs, the window only hides.
    ShowWindow(window_.hwnd(), SW_SHOW);
    SendMessageW(window_.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window_.hwnd()));
    EXPECT_FALSE(IsWindowVisible(window_.hwnd()));
}

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

// What the user does in the server settings dialog, from inside its modal loop.
HWND g_dialog = nullptr;
bool g_doubleClickShowed = false;

void setBox(HWND dialog, int id, const std::string& text) {
    const std::u16string wide = utf8ToUtf16(text);
    SetDlgItemTextW(dialog, id, reinterpret_cast<const wchar_t*>(wide.c_str()));
}

TEST_F(FtpWindowTest, TheFirstTransferOpensTheServerSettingsDialogWithTheDefaults) {
    frame::settingsState().ActiveSettings =
        std::make_unique<frame::IniDocument>(settingsDir_.file("fresh.ini")); // no section at all
    writeText(server_.file("pub/prog.exe"), "first");
    static int port = 0;
    port = server_.port();
    g_dialog = nullptr;
    g_doubleClickShowed = false;
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        g_dialog = threadWindowOfClass(L"TServerOppsettForm");
        if (!g_dialog)
            return;
        HWND password = GetDlgItem(g_dialog, ServerSettingsWindow::Passord);
        const bool masked = SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0) != 0;
        SendMessageW(password, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        g_doubleClickShowed = masked && SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0) == 0;
        setBox(g_dialog, ServerSettingsWindow::Server, "127.0.0.1");
        setBox(g_dialog, ServerSettingsWindow::Brukernavn, FtpTestServer::kUser);
        setBox(g_dialog, ServerSettingsWindow::Passord, FtpTestServer::kPassword);
        setBox(g_dialog, ServerSettingsWindow::Port, std::to_string(port));
        PostMessageW(g_dialog, WM_CLOSE, 0, 0);
    });
    window_.HentFil(local_.file("prog.exe"));
    ASSERT_NE(g_dialog, nullptr) << "the dialog did not open";
    EXPECT_TRUE(g_doubleClickShowed);
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local_.file("prog.exe")), "first");
    EXPECT_EQ(test::settingsValue("name"), "Solvarek FTP-server"); // the defaults, kept where not changed
    EXPECT_EQ(test::settingsValue("server"), "127.0.0.1");
    EXPECT_EQ(test::settingsValue("password"), KodTekst(std::string_view(FtpTestServer::kPassword)));
    EXPECT_EQ(test::settingsValue("port"), std::to_string(port));
    EXPECT_FALSE(IsWindow(g_dialog)); // closed and gone
}

} // namespace
} // namespace spylerom::ftp
