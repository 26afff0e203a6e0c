// The Win32 main window as designed, its notices, its remembered choices and placement, and its
// menu commands, driven in-process through its messages.
#include "win32_form_fixture.h"

#include "frame/settings.h"
#include "frame/textfil.h"
#include "mainwindow/notice_texts.h"
#include "sysinfo/system_facts.h"

#include <commctrl.h>

namespace spylerom::test {
namespace {

using Form = mainwindow::TSpyleRomForm;

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\r\n") + line;
    return text;
}

std::string menuText(HMENU menu, UINT position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, position, text, 127, MF_BYPOSITION);
    return platform::narrow(text);
}

std::string tipOf(HWND window, HWND tool) {
    const HWND tips = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr);
    wchar_t text[128] = {};
    for (HWND candidate = tips; candidate;
         candidate = FindWindowExW(nullptr, candidate, TOOLTIPS_CLASSW, nullptr)) {
        if (GetWindow(candidate, GW_OWNER) != window)
            continue;
        TTTOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.hwnd = window;
        info.uId = reinterpret_cast<UINT_PTR>(tool);
        info.lpszText = text;
        SendMessageW(candidate, TTM_GETTEXTW, 127, reinterpret_cast<LPARAM>(&info));
        return platform::narrow(text);
    }
    return "<no tool tips>";
}

// Presses key with Ctrl held, as the message loop hands it to the window.
void ctrlKey(Form& form, WPARAM key) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE before = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG msg{GetFocus() ? GetFocus() : form.hwnd(), WM_KEYDOWN, key, 0, 0, {}};
    if (!form.translate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    keys[VK_CONTROL] = before;
    SetKeyboardState(keys);
}

// Presses Tab in the focused control, as the message loop hands it to the window.
void tab(Form& form) {
    MSG msg{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(form.translate(msg)) << "the dialog keyboard moves the focus";
}

TEST_F(Win32FormTest, TheWindowOpensAsDesigned) {
    Form& form = openForm();
    const HWND w = form.hwnd();
    wchar_t title[64] = {};
    GetWindowTextW(w, title, 63);
    EXPECT_EQ(platform::narrow(title), "SpyleRom 2.07");
    const auto style = GetWindowLongPtrW(w, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX) << "no maximize button";
    EXPECT_FALSE(style & WS_THICKFRAME) << "a fixed single border";
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, form.scale(Form::kClientWidth));
    EXPECT_EQ(client.bottom, form.scale(Form::kClientHeight));
    RECT outer{};
    GetWindowRect(w, &outer);
    EXPECT_EQ(outer.left, 0) << "first start: the top left corner of the screen";
    EXPECT_EQ(outer.top, 0);

    const std::pair<int, const char*> texts[] = {
        {Form::ValgGruppe, "Valg"},
        {Form::Label1, "Velg stasjon: "},
        {Form::Label2, "fyll med:"},
        {Form::antLabel, "1 gjentagelser"},
        {Form::Label9, "Blokkstørrelse:"},
        {Form::GroupBox2, "Status"},

        {Form::StoppKnapp, "&Stopp"},
        {Form::Startknapp, "&START"},
        {Form::Label8, "Spylerom programinformasjon."},
        {Form::Label5, "Spylerom kan kjøres samtidig med at andre programmer kjører."},
        {Form::Label7, "Spylerom er laget på en slik måte at disken ikke kan skades eller gjøres ustabil."},
    };
    for (const auto& [id, expected] : texts)
        EXPECT_EQ(text(id), expected) << id;
    EXPECT_EQ(text(Form::Label6), "Hvis systemdisken velges kan det forekomme feilmeldinger om for lite "
                                  "diskplass. Desse meldingene kan ignoreres.");

    EXPECT_EQ(SendMessageW(control(Form::FyllCombo), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(itemOf(Form::FyllCombo, 0), "Null");
    EXPECT_EQ(itemOf(Form::FyllCombo, 2), "Tilfeldig");
    EXPECT_EQ(SendMessageW(control(Form::BlockCombo), CB_GETCOUNT, 0, 0), 8);
    EXPECT_EQ(itemOf(Form::BlockCombo, 0), "512");
    EXPECT_EQ(itemOf(Form::BlockCombo, 7), "65536");
    // The start choices: "Null", 1 repetition, the last drive, 512.
    EXPECT_EQ(selection(Form::FyllCombo), 0);
    EXPECT_EQ(selection(Form::BlockCombo), 0);
    EXPECT_EQ(text(Form::Stasjon), "R: [" + driveFolder_.path() + "]");
    EXPECT_EQ(selection(Form::Stasjon), 0);
    EXPECT_EQ(SendMessageW(control(Form::TrackBar1), TBM_GETRANGEMIN, 0, 0), 1);
    EXPECT_EQ(SendMessageW(control(Form::TrackBar1), TBM_GETRANGEMAX, 0, 0), 10);
    EXPECT_EQ(SendMessageW(control(Form::TrackBar1), TBM_GETPOS, 0, 0), 1);
    EXPECT_NE(text(Form::status).find(" MB ledig av "), std::string::npos) << text(Form::status);
    for (int id : {Form::pbar, Form::pbar2})
        EXPECT_EQ(SendMessageW(control(id), PBM_GETRANGE, FALSE, 0), 100);

    EXPECT_EQ(tipOf(w, control(Form::pbar)), "Status for gjeldende skriveoperasjon");
    EXPECT_EQ(tipOf(w, control(Form::pbar2)), "Total status");

    EXPECT_FALSE(enabled(Form::StoppKnapp));
    EXPECT_TRUE(enabled(Form::Startknapp));
    EXPECT_EQ(GetFocus(), control(Form::Startknapp));
    for (int id : {Form::FyllMemo, Form::RepeatMemo, Form::StasjonMemo, Form::BlockMemo, Form::StartMemo,
                   Form::VentMemo})
        EXPECT_FALSE(visible(id)) << id;
    EXPECT_TRUE(visible(Form::Label3));
    EXPECT_NE(SendMessageW(control(Form::Image1), STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "the emblem shows";
    EXPECT_EQ(firstLogLine("- PROGRAMMET STARTER -"), 0);
}

TEST_F(Win32FormTest, TheMenuBarHoldsTheCommands) {
    Form& form = openForm();
    const HMENU bar = GetMenu(form.hwnd());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(menuText(bar, 0), "&Fil");
    EXPECT_EQ(menuText(bar, 1), "&Hjelp");
    const HMENU fil = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(fil), 3);
    EXPECT_EQ(menuText(fil, 0), "Vis loggfil");
    EXPECT_EQ(GetMenuState(fil, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(menuText(fil, 2), "&Avslutt\tCtrl+Q");
    EXPECT_EQ(GetMenuItemID(fil, 2), static_cast<UINT>(Form::Avslytt1));
    const HMENU hjelp = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(hjelp), 2);
    EXPECT_EQ(menuText(hjelp, 0), "Systeminformasjon");
    EXPECT_EQ(menuText(hjelp, 1), "Direkte oppdatering fra internett");
}

struct Place {
    int id;
    RECT rect; // client pixels at 96 DPI
};

void PrintTo(const Place& p, std::ostream* os) {
    *os << "control " << p.id;
}

class Win32FormPlaces : public Win32FormTest, public ::testing::WithParamInterface<Place> {};

TEST_P(Win32FormPlaces, EveryControlLiesWhereTheDesignPutsIt) {
    Form& form = openForm();
    if (form.scale(96) != 96)
        GTEST_SKIP() << "the screen is not at 96 DPI";
    const Place& p = GetParam();
    const RECT r = rectOf(p.id);
    EXPECT_EQ(r.left, p.rect.left);
    EXPECT_EQ(r.top, p.rect.top);
    EXPECT_EQ(r.right, p.rect.right);
    const bool list = p.id == Form::Stasjon || p.id == Form::FyllCombo || p.id == Form::BlockCombo;
    if (!list) { // a closed list is as high as its font makes it
        EXPECT_EQ(r.bottom, p.rect.bottom);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Design, Win32FormPlaces,
    ::testing::Values(Place{Form::ValgGruppe, {8, 4, 297, 200}}, Place{Form::Stasjon, {20, 39, 285, 61}},
                      Place{Form::FyllCombo, {20, 82, 150, 104}}, Place{Form::TrackBar1, {16, 124, 289, 152}},
                      Place{Form::BlockCombo, {20, 170, 150, 192}},
                      Place{Form::GroupBox2, {8, 206, 297, 330}}, Place{Form::plabel, {12, 226, 293, 240}},
                      Place{Form::pbar, {20, 244, 285, 260}}, Place{Form::pbar2, {20, 266, 285, 282}},
                      Place{Form::status, {20, 287, 285, 301}}, Place{Form::Bar, {20, 305, 285, 321}},
                      Place{Form::StoppKnapp, {8, 338, 145, 367}},
                      Place{Form::Startknapp, {160, 338, 297, 367}}, Place{Form::Image1, {578, 16, 643, 81}},
                      Place{Form::FyllMemo, {307, 10, 649, 365}}, Place{Form::VentMemo, {307, 10, 649, 365}}),
    [](const auto& p) { return "control_" + std::to_string(p.param.id); });

TEST_F(Win32FormTest, ThePanelTextsFollowEachOtherInsideThePanel) {
    openForm();
    int bottom = rectOf(Form::Image1).bottom;
    for (int id : {Form::Label3, Form::Label5, Form::Label4, Form::Label6, Form::Label7}) {
        const RECT r = rectOf(id);
        EXPECT_GT(r.top, bottom) << id << ": below the one before";
        EXPECT_GT(r.bottom - r.top, 8) << id;
        EXPECT_LE(r.right, rectOf(Form::FyllMemo).right) << id;
        bottom = r.bottom;
    }
    EXPECT_LE(bottom, rectOf(Form::FyllMemo).bottom) << "every text fits in the panel";
}

TEST_F(Win32FormTest, EachChoiceShowsItsNoticeWhileItHasTheFocus) {
    Form& form = openForm();
    EXPECT_EQ(text(Form::FyllMemo), joined(mainwindow::fyllMemoLines()));
    EXPECT_EQ(text(Form::RepeatMemo), joined(mainwindow::repeatMemoLines()));
    EXPECT_EQ(text(Form::StasjonMemo), joined(mainwindow::stasjonMemoLines()));
    EXPECT_EQ(text(Form::BlockMemo), joined(mainwindow::blockMemoLines()));
    EXPECT_EQ(text(Form::StartMemo), joined(mainwindow::startMemoLines()));
    EXPECT_EQ(text(Form::VentMemo), joined(mainwindow::ventMemoLines()));

    const int notices[] = {Form::StasjonMemo, Form::FyllMemo, Form::RepeatMemo, Form::BlockMemo};
    const auto shown = [&] {
        std::vector<int> ids;
        for (int id : notices)
            if (visible(id))
                ids.push_back(id);
        return ids;
    };
    // Tab from START wraps to the first choice, then through the choices in their order; the
    // disabled Stop is passed over on the way back to START.
    const std::pair<int, std::vector<int>> steps[] = {{Form::Stasjon, {Form::StasjonMemo}},
                                                      {Form::FyllCombo, {Form::FyllMemo}},
                                                      {Form::TrackBar1, {Form::RepeatMemo}},
                                                      {Form::BlockCombo, {Form::BlockMemo}},
                                                      {Form::Startknapp, {}}};
    for (const auto& [focused, expected] : steps) {
        tab(form);
        EXPECT_EQ(GetFocus(), control(focused)) << focused;
        EXPECT_EQ(shown(), expected) << "focus on " << focused;
    }
    SetFocus(control(Form::BlockCombo));
    EXPECT_EQ(shown(), std::vector<int>{Form::BlockMemo});
    SetFocus(control(Form::Stasjon));
    EXPECT_EQ(shown(), std::vector<int>{Form::StasjonMemo});
}

TEST_F(Win32FormTest, TheLaterNoticesLieOnTopOfTheEarlierOnesAndOfThePanel) {
    openForm();
    // The z-order, top first: every notice above those made before it, all above the texts.
    std::vector<int> order;
    for (HWND child = GetWindow(control(Form::Label3), GW_HWNDFIRST); child;
         child = GetWindow(child, GW_HWNDNEXT))
        order.push_back(GetDlgCtrlID(child));
    const auto at = [&](int id) { return std::find(order.begin(), order.end(), id) - order.begin(); };
    const int stack[] = {Form::VentMemo,   Form::StartMemo, Form::BlockMemo, Form::StasjonMemo,
                         Form::RepeatMemo, Form::FyllMemo,  Form::Label3};
    for (std::size_t i = 1; i < std::size(stack); ++i)
        EXPECT_LT(at(stack[i - 1]), at(stack[i])) << stack[i - 1] << " above " << stack[i];
}

TEST_F(Win32FormTest, TheChoicesAndThePlaceAreKeptAcrossACloseAndANewStart) {
    openForm();
    SendMessageW(control(Form::FyllCombo), CB_SETCURSEL, 2, 0);
    SendMessageW(control(Form::BlockCombo), CB_SETCURSEL, 3, 0);
    SendMessageW(control(Form::TrackBar1), TBM_SETPOS, TRUE, 4);
    SendMessageW(form_->hwnd(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 4),
                 reinterpret_cast<LPARAM>(control(Form::TrackBar1)));
    EXPECT_EQ(text(Form::antLabel), "4 gjentagelser");
    SetWindowPos(form_->hwnd(), nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT before{};
    GetWindowRect(form_->hwnd(), &before);

    SendMessageW(form_->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(closes_, 1);
    EXPECT_FALSE(IsWindowVisible(form_->hwnd()));
    EXPECT_EQ(logLinesWith("- PROGRAMMET AVSLUTTES -").size(), 1u);
    const std::string settings = userSettingsText();
    for (const char* line : {"[Spylerom]", "Fyll=2", "Gjentagelser=4", "Stasjon=0", "Blokk=3",
                             "[VINDU-SpyleRomVindu]", "Left=120", "Top=90", "Maximized=0"})
        EXPECT_NE(settings.find(line), std::string::npos) << line << " in\n" << settings;

    destroyForm();
    openForm();
    EXPECT_EQ(selection(Form::FyllCombo), 2);
    EXPECT_EQ(selection(Form::BlockCombo), 3);
    EXPECT_EQ(SendMessageW(control(Form::TrackBar1), TBM_GETPOS, 0, 0), 4);
    EXPECT_EQ(text(Form::antLabel), "4 gjentagelser");
    EXPECT_EQ(text(Form::Stasjon).substr(0, 3), "R: ");
    RECT after{};
    GetWindowRect(form_->hwnd(), &after);
    EXPECT_EQ(after.left, 120);
    EXPECT_EQ(after.top, 90);
    EXPECT_EQ(after.right - after.left, before.right - before.left) << "the designed size stays";
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(Win32FormTest, AStoredSizeChangesNothingAndAPlaceBeyondTheScreenIsPulledBack) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    writeUserSettings("[VINDU-SpyleRomVindu]\r\nLeft=" + std::to_string(screenWidth + 50) +
                      "\r\nTop=30\r\nWidth=300\r\nHeight=200\r\n[Spylerom]\r\nGjentagelser=25\r\nFyll=7\r\n");
    openForm();
    RECT r{}, client{};
    GetWindowRect(form_->hwnd(), &r);
    GetClientRect(form_->hwnd(), &client);
    EXPECT_EQ(r.right, screenWidth) << "pulled back to the screen's right edge";
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(client.right, form_->scale(Form::kClientWidth));
    EXPECT_EQ(client.bottom, form_->scale(Form::kClientHeight));
    EXPECT_EQ(SendMessageW(control(Form::TrackBar1), TBM_GETPOS, 0, 0), 10) << "kept within 1..10";
    EXPECT_EQ(text(Form::antLabel), "10 gjentagelser");
    EXPECT_EQ(selection(Form::FyllCombo), -1) << "an index the list does not have selects nothing";
}

enum class CloseWay { CloseBox, AvsluttMenu, CtrlQ };

class Win32CloseWays : public Win32FormTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(Win32CloseWays, ClosingWhenIdleClosesAtOnceAndStoresTheChoices) {
    Form& form = openForm();
    switch (GetParam()) {
    case CloseWay::CloseBox:
        SendMessageW(form.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case CloseWay::AvsluttMenu:
        command(Form::Avslytt1);
        break;
    case CloseWay::CtrlQ:
        ctrlKey(form, 'Q');
        break;
    }
    pump();
    EXPECT_EQ(closes_, 1);
    EXPECT_TRUE(form.closed());
    EXPECT_FALSE(IsWindowVisible(form.hwnd()));
    EXPECT_EQ(logLinesWith("- PROGRAMMET AVSLUTTES -").size(), 1u);
    EXPECT_NE(userSettingsText().find("Gjentagelser=1"), std::string::npos);
    EXPECT_TRUE(logLinesWith("Stopper fylling av disk").empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, Win32CloseWays,
                         ::testing::Values(CloseWay::CloseBox, CloseWay::AvsluttMenu, CloseWay::CtrlQ),
                         [](const auto& test) {
                             switch (test.param) {
                             case CloseWay::CloseBox:
                                 return "CloseBox";
                             case CloseWay::AvsluttMenu:
                                 return "AvsluttMenu";
                             default:
                                 return "CtrlQ";
                             }
                         });

TEST_F(Win32FormTest, VisLoggfilOpensTheSavedLogFile) {
    openForm();
    command(Form::Vislogg1);
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0].file, frame::logState().LogFileName);
    EXPECT_EQ(platform_.launches[0].parameters, "");
}

TEST_F(Win32FormTest, SysteminformasjonOpensTheDialogOverTheWindow) {
    openForm();
    HWND owner = nullptr;
    std::string program;
    form_->onSystemInformation = [&](HWND o) {
        owner = o;
        program = sysinfo::InfoProgramnavn;
    };
    sysinfo::InfoProgramnavn.clear();
    command(Form::Systeminformasjon1);
    EXPECT_EQ(owner, form_->hwnd());
    EXPECT_EQ(program, "Spylerom");
}

TEST_F(Win32FormTest, TheUpdateStartsTheUpdaterAndEndsTheLoopWithoutTheClose) {
    openForm();
    command(Form::Direkteoppdateringfrainternett1);
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_NE(platform_.launches[0].file.find("oppdater.exe"), std::string::npos)
        << platform_.launches[0].file;
    EXPECT_EQ(platform_.launches[0].parameters, platform::sys().programPath());
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the message loop ends";
    EXPECT_EQ(closes_, 0);
    EXPECT_FALSE(form_->closed());
    EXPECT_TRUE(logLinesWith("- PROGRAMMET AVSLUTTES -").empty()) << "no close handling";
    EXPECT_EQ(userSettingsText().find("[Spylerom]"), std::string::npos) << "the choices are not stored";
}

} // namespace
} // namespace spylerom::test
