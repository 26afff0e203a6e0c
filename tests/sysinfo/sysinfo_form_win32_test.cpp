// The Win32 system information dialog, driven in-process through its controls' messages (Wine's
// null graphics driver): its design, the labels after filling, each link's launch request, the
// test page's preview and print, the hidden shell switches, the desktop shortcut and its error,
// closing, and VisSystemInfo's modal, fresh dialog.
#include "sysinfo/win32ui/sysinfo_form.h"

#include "frame/folders.h"
#include "frame/frame_ui.h"
#include "frame/launch.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "platform/win32/win32_platform.h"
#include "printing/page_state.h"
#include "printing/test_page.h"
#include "printing/win32ui/print_form.h"
#include "support/recording_frame_ui.h"
#include "support/win32_window_test.h"
#include "sysinfo/build_facts.h"
#include "sysinfo/shell_toggles.h"
#include "sysinfo/sysinfo_fixture.h"
#include "sysinfo/system_facts.h"

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace spylerom::sysinfo {
namespace {

using test::LaunchRequest;
using Form = TSysInfoForm;

// The message boxes the program would have shown.
using RecordingUi = spylerom::test::RecordingFrameUi;

// A shell whose every window exists, recording what the switches do to it.
class RecordingShell : public ShellWindows {
public:
    std::vector<std::string> calls;
    WindowHandle findWindow(const std::string& className) override {
        return className == "ProgMan" ? 20 : 10;
    }
    WindowHandle findChild(WindowHandle, const std::string& className) override {
        return className == "Button" ? 11 : 12;
    }
    WindowHandle firstChild(WindowHandle) override { return 21; }
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
};

// The preview window, with a printer setup dialog that is cancelled and counted.
class CountingPrintForm : public printing::TPrintForm {
public:
    int dialogs = 0;

protected:
    bool execPrinterSetupDialog() override {
        ++dialogs;
        return false;
    }
};

using spylerom::test::windowText;

void pump() {
    spylerom::test::pumpMessages();
}

// A click of the left button on a control, as the mouse gives it.
void click(HWND control) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

void doubleClick(HWND control) {
    click(control);
    SendMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

std::string userThousandsSeparator() {
    wchar_t separator[8] = {};
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    return platform::narrow(separator);
}

class SysInfoWin32Test : public test::SysInfoTest {
protected:
    void SetUp() override {
        SysInfoTest::SetUp();
        env_.set("SystemRoot", windir());
        env_.set("USERPROFILE", home());
        setProgramParameters(std::vector<std::string>{});
        printing::ResetPageState();
    }
    void TearDown() override {
        form_.reset();
        pump();
        setProgramParameters(std::nullopt);
        printing::ResetPageState();
        SysInfoTest::TearDown();
    }
    Form& open() {
        form_ = std::make_unique<Form>();
        EXPECT_TRUE(form_->created());
        form_->Show();
        pump();
        return *form_;
    }
    std::string shown(int id) const { return windowText(form_->control(id)); }

    std::unique_ptr<Form> form_;
};

TEST_F(SysInfoWin32Test, DesignCaptionsAndTabs) {
    Form& form = open();
    EXPECT_EQ(windowText(form.handle()), "Solvarek systeminformasjon");
    RECT client{};
    GetClientRect(form.handle(), &client);
    EXPECT_EQ(client.right, 527);
    EXPECT_EQ(client.bottom, 375);
    const LONG_PTR style = GetWindowLongPtrW(form.handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(form.tabCaptions(), (std::vector<std::string>{"Program", "Filer og mapper", "Windows",
                                                            "Tabulant", "Bedriftsnav", "Rapport"}));
    EXPECT_EQ(form.currentPage(), Form::Program);
    EXPECT_TRUE(IsWindowVisible(form.page(Form::Program)));
    EXPECT_FALSE(IsWindowVisible(form.page(Form::Spesial)));
    EXPECT_EQ(GetFocus(), form.control(Form::BitBtn1));
    EXPECT_EQ(shown(Form::BitBtn1), "Lukk");
    EXPECT_EQ(shown(Form::Label14) + " " + shown(Form::Label15) + " " + shown(Form::Label19),
              "Utskrift og forhåndsvisning");
    EXPECT_EQ(shown(Form::Label2), "Databaseversjon ");
    const std::pair<int, const char*> captions[] = {
        {Form::v_init, "Init versjon"},
        {Form::v_build, "Build nr."},
        {Form::n_build, "Build dato"},
        {Form::v_id, "Build ID"},
        {Form::v_Kompilator, "Kompilert med"},
        {Form::PhysMem, "Minne tilgjengelig for Windows"},
        {Form::FreeRes, "Minne i bruk"},
        {Form::n_system, "Systemområde"},
        {Form::ProgramdataLabel, "Programdata"},
        {Form::Innstillinger, "Midlertidige filer:"},
        {Form::lHosts, "Hosts:"},
        {Form::lLMHosts, "Lmhosts:"},
        {Form::RapportLabel, "Rapportgenerator"},
    };
    for (const auto& [id, caption] : captions)
        EXPECT_EQ(form.captionOf(id), caption) << id;
    const std::pair<int, const char*> switches[] = {
        {Form::cWinTast, "Ikke tillat systemtaster"}, {Form::cWinDisTask, "Sperr oppgavelinje"},
        {Form::cWinStartKnapp, "Sperr startknappen"}, {Form::cWinTray, "Skjul systemstatusfelt"},
        {Form::cWinShowTask, "Skjul oppgavelinje"},   {Form::cWinDesktop, "Skjul skrivebord"},
    };
    for (const auto& [id, caption] : switches) {
        EXPECT_EQ(shown(id), caption);
        EXPECT_EQ(SendMessageW(form.control(id), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    }
    EXPECT_FALSE(IsWindowEnabled(form.control(Form::Panel2)));
    // The maker's logo from the program's resources.
    EXPECT_NE(SendMessageW(form.control(Form::Image1), STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
}

TEST_F(SysInfoWin32Test, TabsShowTheirPages) {
    Form& form = open();
    HWND tabs = form.control(Form::PageControl1);
    SendMessageW(tabs, TCM_SETCURSEL, 5, 0);
    NMHDR change{tabs, static_cast<UINT_PTR>(Form::PageControl1), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(form.handle(), WM_NOTIFY, Form::PageControl1, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(form.currentPage(), Form::Rapport);
    EXPECT_TRUE(IsWindowVisible(form.page(Form::Rapport)));
    EXPECT_FALSE(IsWindowVisible(form.page(Form::Program)));
}

TEST_F(SysInfoWin32Test, LabelsShowTheCoresFacts) {
    InfoProgramnavn = "Spylerom";
    platform_.memory = platform::MemoryStatus{4294967295ULL, 0, 0};
    Form& form = open();
    const SystemFacts f = CollectSystemFacts({}, userThousandsSeparator());
    const std::pair<int, const std::string*> texts[] = {
        {Form::Label13, &f.Label13},
        {Form::cProgramnavn, &f.cProgramnavn},
        {Form::v_init, &f.v_init},
        {Form::v_build, &f.v_build},
        {Form::n_build, &f.n_build},
        {Form::v_id, &f.v_id},
        {Form::v_Kompilator, &f.v_Kompilator},
        {Form::xmlv, &f.xmlv},
        {Form::n_fil, &f.n_fil},
        {Form::nb_fil, &f.nb_fil},
        {Form::eLogfil, &f.eLogfil},
        {Form::cData, &f.cData},
        {Form::NotesLabel, &f.NotesLabel},
        {Form::v_platform, &f.v_platform},
        {Form::n_system, &f.n_system},
        {Form::ProgramdataLabel, &f.ProgramdataLabel},
        {Form::Innstillinger, &f.Innstillinger},
        {Form::lHosts, &f.lHosts},
        {Form::lLMHosts, &f.lLMHosts},
        {Form::TabulantLabel, &f.TabulantLabel},
        {Form::Versjon, &f.Versjon},
        {Form::Dato, &f.Dato},
        {Form::Bruker, &f.Bruker},
        {Form::Peker, &f.Peker},
        {Form::TabulantCache, &f.TabulantCache},
        {Form::v_firma, &f.v_firma},
        {Form::v_Flash, &f.v_Flash},
        {Form::RapportLabel, &f.RapportLabel},
    };
    for (const auto& [id, value] : texts)
        EXPECT_EQ(shown(id), *value) << id;
    // The facts as the user reads them.
    EXPECT_EQ(shown(Form::Label13), "Spylerom");
    EXPECT_EQ(shown(Form::cProgramnavn), programFile());
    const std::string sep = userThousandsSeparator();
    EXPECT_EQ(shown(Form::PhysMem), "4" + sep + "194" + sep + "304 KB");
    EXPECT_EQ(shown(Form::FreeRes), "0 %");
    EXPECT_EQ(shown(Form::v_init), "5.36");
    EXPECT_EQ(shown(Form::n_system), windir());
    EXPECT_EQ(shown(Form::Innstillinger), temp());
    EXPECT_EQ(shown(Form::xmlv), "Solvarek XMLAPI 1.30");
    EXPECT_EQ(shown(Form::Peker), "Pekerstørrelse (datapointer) 256 bytes");
    EXPECT_EQ(shown(Form::lParameter), "Ingen parametere til programmet");
    EXPECT_FALSE(IsWindowVisible(form.control(Form::ParamMemo)));
}

TEST_F(SysInfoWin32Test, ParametersAreListedOneALineInOrder) {
    setProgramParameters(std::vector<std::string>{"/auto", "C:\\Mine filer\\æøå"});
    Form& form = open();
    EXPECT_EQ(shown(Form::lParameter), "Parameter:");
    EXPECT_TRUE(IsWindowVisible(form.control(Form::ParamMemo)));
    EXPECT_EQ(shown(Form::ParamMemo), "/auto\r\nC:\\Mine filer\\æøå");
}

TEST_F(SysInfoWin32Test, EachOpeningIsFilledAfresh) {
    InfoProgramnavn = "Spylerom";
    open();
    EXPECT_EQ(shown(Form::Label13), "Spylerom");
    form_.reset();
    InfoProgramnavn.clear();
    env_.set("TEMP", home());
    open();
    EXPECT_EQ(shown(Form::Label13), "");
    EXPECT_EQ(shown(Form::Innstillinger), home());
}

// A link, and what its click must ask the launcher for (from the texts it shows).
struct LinkCase {
    const char* name;
    int id;
    std::function<LaunchRequest(const std::string& shown, const test::SysInfoTest& t)> expected;
};
void PrintTo(const LinkCase& c, std::ostream* os) {
    *os << c.name;
}

class SysInfoLinkTest : public SysInfoWin32Test, public ::testing::WithParamInterface<LinkCase> {
public:
    std::string root(const std::string& name) const { return root_.file(name); }
};

LaunchRequest notepad(const std::string& file) {
    return {"notepad.exe", file, "", std::nullopt};
}
LaunchRequest registered(const std::string& target) {
    return {target, "", "", std::nullopt};
}

TEST_P(SysInfoLinkTest, AClickAsksTheLauncherForItsTarget) {
    Form& form = open();
    HWND link = form.control(GetParam().id);
    ASSERT_TRUE(form.isLink(GetParam().id));
    const std::string text = windowText(link);
    // Links look like links: navy text and the hand cursor.
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(GetParent(link), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(link));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 128));
    DeleteDC(dc);
    EXPECT_EQ(SendMessageW(GetParent(link), WM_SETCURSOR, reinterpret_cast<WPARAM>(link),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

    click(link);
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0], GetParam().expected(text, *this));
}

const std::string kSep = "\\";

INSTANTIATE_TEST_SUITE_P(
    Links, SysInfoLinkTest,
    ::testing::Values(
        LinkCase{"Kompilator", TSysInfoForm::v_Kompilator,
                 [](const std::string&, const test::SysInfoTest&) { return registered(CompilerHomePage()); }},
        LinkCase{"SettingsFile", TSysInfoForm::n_fil,
                 [](const std::string&, const test::SysInfoTest&) {
                     return notepad(frame::settingsState().SettingsFileName);
                 }},
        LinkCase{"UserSettingsFile", TSysInfoForm::nb_fil,
                 [](const std::string& shown, const test::SysInfoTest&) { return notepad(shown); }},
        LinkCase{"LogFile", TSysInfoForm::eLogfil,
                 [](const std::string&, const test::SysInfoTest&) {
                     return registered(frame::logState().LogFileName);
                 }},
        LinkCase{"DataFolder", TSysInfoForm::cData,
                 [](const std::string& shown, const test::SysInfoTest&) {
                     return LaunchRequest{platform::sys().environment("SystemRoot") + kSep + "explorer.exe",
                                          shown, shown, std::nullopt};
                 }},
        LinkCase{"Notes", TSysInfoForm::NotesLabel,
                 [](const std::string& shown, const test::SysInfoTest&) { return registered(shown); }},
        LinkCase{"SystemFolder", TSysInfoForm::n_system,
                 [](const std::string& shown, const test::SysInfoTest&) {
                     return LaunchRequest{shown + kSep + "explorer.exe", shown, shown, std::nullopt};
                 }},
        LinkCase{"Programdata", TSysInfoForm::ProgramdataLabel,
                 [](const std::string& shown, const test::SysInfoTest&) { return registered(shown); }},
        LinkCase{"Temp", TSysInfoForm::Innstillinger,
                 [](const std::string& shown, const test::SysInfoTest&) { return registered(shown); }},
        LinkCase{"Hosts", TSysInfoForm::lHosts,
                 [](const std::string& shown, const test::SysInfoTest&) { return notepad(shown); }},
        LinkCase{"LmHosts", TSysInfoForm::lLMHosts,
                 [](const std::string& shown, const test::SysInfoTest&) { return notepad(shown); }},
        LinkCase{"Tabulant", TSysInfoForm::TabulantLabel,
                 [](const std::string&, const test::SysInfoTest&) {
                     return LaunchRequest{frame::solvarekpath("bin") + "tabulant.exe", "", "", std::nullopt};
                 }},
        LinkCase{"Suite", TSysInfoForm::v_firma,
                 [](const std::string&, const test::SysInfoTest&) { return registered(kSuiteHomePage); }},
        LinkCase{
            "DatabaseMaker", TSysInfoForm::Label2,
            [](const std::string&, const test::SysInfoTest&) { return registered(kDatabaseMakerHomePage); }}),
    [](const ::testing::TestParamInfo<LinkCase>& c) { return std::string(c.param.name); });

TEST_F(SysInfoWin32Test, TheLogIsWrittenBeforeItIsOpened) {
    frame::logState().LogEnabled = true;
    frame::WriteLog("Systeminformasjon vist");
    Form& form = open();
    click(form.control(Form::eLogfil));
    ASSERT_EQ(platform_.launches.size(), 1u);
    ASSERT_TRUE(platform_.launches[0].logFileText.has_value());
    EXPECT_NE(platform_.launches[0].logFileText->find("Systeminformasjon vist"), std::string::npos);
}

TEST_F(SysInfoWin32Test, TheUserSettingsPathIsBuiltAtClickTime) {
    Form& form = open();
    const std::string filled = shown(Form::nb_fil);
    frame::settingsState().UserOverride = "kari";
    frame::settingsState().userNameCache.clear();
    click(form.control(Form::nb_fil));
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0], notepad(PerUserSettingsPath()));
    EXPECT_NE(platform_.launches[0].parameters.find("KARI.INI"), std::string::npos);
    EXPECT_EQ(shown(Form::nb_fil), filled); // the label keeps what was filled
}

TEST_F(SysInfoWin32Test, TheReportLinksPreviewAndPrintTheTestPage) {
    CountingPrintForm preview;
    ASSERT_TRUE(preview.created());
    Form& form = open();
    for (int id : {Form::Label19, Form::RapportLabel}) {
        ShowWindow(preview.handle(), SW_HIDE);
        printing::pageState().PageDrawRoutine = [] {};
        click(form.control(id));
        pump();
        auto* routine = printing::pageState().PageDrawRoutine.target<void (*)()>();
        ASSERT_NE(routine, nullptr) << id;
        EXPECT_EQ(*routine, &printing::TestPage) << id;
        EXPECT_TRUE(IsWindowVisible(preview.handle())) << id;
    }
    printing::pageState().PageDrawRoutine = [] {};
    click(form.control(Form::Label14));
    pump();
    auto* routine = printing::pageState().PageDrawRoutine.target<void (*)()>();
    ASSERT_NE(routine, nullptr);
    EXPECT_EQ(*routine, &printing::TestPage);
    EXPECT_EQ(preview.dialogs, 1); // a print run began: its printer dialog was asked
    EXPECT_FALSE(form.isLink(Form::Label15));
}

TEST_F(SysInfoWin32Test, TheTitlesDoubleClickEnablesTheShellSwitches) {
    RecordingShell shell;
    setShellWindows(&shell);
    Form& form = open();
    doubleClick(form.control(Form::Label13));
    EXPECT_TRUE(IsWindowEnabled(form.control(Form::Panel2)));
    const std::pair<int, const char*> switches[] = {
        {Form::cWinTast, "screensaver 1|screensaver 0"},
        {Form::cWinDisTask, "enable 10 off|enable 10 on"},
        {Form::cWinStartKnapp, "enable 11 off|enable 11 on"},
        {Form::cWinTray, "hide 12|show 12"},
        {Form::cWinShowTask, "hide 10|shownoactivate 10"},
        {Form::cWinDesktop, "hide 21|show 21"},
    };
    for (const auto& [id, expected] : switches) {
        shell.calls.clear();
        SendMessageW(form.control(id), BM_CLICK, 0, 0); // ticked
        SendMessageW(form.control(id), BM_CLICK, 0, 0); // cleared
        std::string calls;
        for (const auto& call : shell.calls)
            calls += (calls.empty() ? "" : "|") + call;
        EXPECT_EQ(calls, expected) << id;
    }
    // The tab stays out of reach.
    for (const auto& caption : form.tabCaptions())
        EXPECT_NE(caption, "Spesial");
}

TEST_F(SysInfoWin32Test, TheLogosDoubleClickWritesTheDesktopShortcut) {
    RecordingUi ui;
    std::filesystem::create_directories(home() + "/Skrivebord");
    Form& form = open();
    doubleClick(form.control(Form::Image1));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(std::filesystem::exists(frame::desktopShortcutPath())) << frame::desktopShortcutPath();
}

TEST_F(SysInfoWin32Test, AShortcutThatCannotBeWrittenReachesTheUser) {
    RecordingUi ui;
    // "Skrivebord" is a file: no shortcut can go into it.
    std::ofstream(home() + "/Skrivebord") << "x";
    Form& form = open();
    doubleClick(form.control(Form::Image1));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, "Solvarek Spylerom");
    EXPECT_EQ(ui.boxes[0].second, "Unable to write to " + frame::desktopShortcutPath());
    EXPECT_TRUE(IsWindow(form.handle())); // the dialog stays
}

TEST_F(SysInfoWin32Test, LukkAndTheCloseBoxDestroyTheDialog) {
    for (const bool closeBox : {false, true}) {
        Form& form = open();
        HWND hwnd = form.handle();
        if (closeBox)
            SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            SendMessageW(form.control(Form::BitBtn1), BM_CLICK, 0, 0);
        pump();
        EXPECT_FALSE(IsWindow(hwnd)) << closeBox;
        EXPECT_EQ(form.handle(), nullptr) << closeBox;
        form_.reset();
    }
}

// What the dialog looked like while VisSystemInfo waited for it.
struct Seen {
    HWND dialog = nullptr;
    bool ownerEnabled = true;
    std::string title;
};
Seen g_seen;

// The dialog of this thread (tests of other processes under the same Wine have their own).
HWND ownDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM result) -> BOOL {
            wchar_t name[32] = {};
            GetClassNameW(hwnd, name, 31);
            if (std::wstring(name) != L"TSysInfoForm")
                return TRUE;
            *reinterpret_cast<HWND*>(result) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK closeDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = ownDialog();
    if (!dialog || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    g_seen.dialog = dialog;
    g_seen.ownerEnabled = IsWindowEnabled(GetWindow(dialog, GW_OWNER)) != FALSE;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM) -> BOOL {
            if (GetDlgCtrlID(child) == Form::Label13)
                g_seen.title = windowText(child);
            return TRUE;
        },
        0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

TEST_F(SysInfoWin32Test, VisSystemInfoOpensANewModalDialogEachTime) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"eier", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    for (const char* title : {"Spylerom", "Annen"}) {
        SetActiveWindow(owner);
        InfoProgramnavn = title;
        g_seen = {};
        SetTimer(nullptr, 0, 10, &closeDialog);
        VisSystemInfo();
        ASSERT_NE(g_seen.dialog, nullptr);
        EXPECT_FALSE(g_seen.ownerEnabled) << title;
        EXPECT_EQ(g_seen.title, title);
        EXPECT_FALSE(IsWindow(g_seen.dialog)) << title;
        EXPECT_TRUE(IsWindowEnabled(owner)) << title;
    }
    DestroyWindow(owner);
}

// Escape, as the keyboard gives it to the focused control, ends the modal dialog.
void CALLBACK pressEscape(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = ownDialog();
    if (!dialog || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    g_seen.dialog = dialog;
    // The focused control, as the keyboard would; while another test program's window holds
    // the activation this thread has no focus, and the dialog takes the key itself.
    HWND focus = GetFocus();
    PostMessageW(focus && IsChild(dialog, focus) ? focus : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST_F(SysInfoWin32Test, EscapeEndsTheModalDialog) {
    g_seen = {};
    SetTimer(nullptr, 0, 10, &pressEscape);
    VisSystemInfo();
    ASSERT_NE(g_seen.dialog, nullptr);
    EXPECT_FALSE(IsWindow(g_seen.dialog));
}

} // namespace
} // namespace spylerom::sysinfo
