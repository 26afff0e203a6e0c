// The Win32 system information dialog: its panels, tab pages and controls, their filling and
// colours, the link clicks and the modal loop.
#include "sysinfo/win32ui/sysinfo_form.h"

#include "frame/frame_ui.h"
#include "frame/launch.h"
#include "frame/textfil.h"
#include "gui/win32/wic_image.h"
#include "gui/win32/window_proc.h"
#include "platform/win32/win32_platform.h"
#include "printing/page_state.h"
#include "printing/test_page.h"
#include "printing/win32ui/print_form.h"
#include "sysinfo/build_facts.h"
#include "sysinfo/link_actions.h"
#include "sysinfo/shell_toggles.h"
#include "sysinfo/system_facts.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <functional>
#include <utility>

namespace spylerom::sysinfo {

namespace {

constexpr wchar_t kFormClass[] = L"TSysInfoForm";
constexpr wchar_t kPanelClass[] = L"TSysInfoPanel";
const char* const kApplicationName = "Solvarek Spylerom";
constexpr int kClientWidth = 527, kClientHeight = 375;
constexpr int kHeaderHeight = 81, kBottomHeight = 48;
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kTitleGreen = RGB(0, 128, 0);
constexpr int kCaptionX = 8, kValueX = 190, kRow = 18;

std::optional<std::vector<std::string>> g_parameters;

// Runs a handler's work under the application's general error report.
void guarded(const std::function<void()>& work) {
    frame::GuardedHandler(kApplicationName, work);
}

// The test page is the page the preview and the printer draw.
void useTestPage() {
    printing::pageState().PageDrawRoutine = printing::TestPage;
}

bool registerClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HFONT makeFont(const wchar_t* face, int pixels, bool bold) {
    return CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       face);
}

// The width text takes in font, in pixels.
int textWidth(HFONT font, const std::string& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring wide = platform::widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

// The user's thousands separator, for the memory figure.
std::string groupSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) <= 0)
        return " ";
    return platform::narrow(separator);
}

} // namespace

// --- Building -------------------------------------------------------------------------------

TSysInfoForm::TSysInfoForm(HWND owner) : owner_(owner) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (!registerClass(kFormClass, &TSysInfoForm::formProc) ||
        !registerClass(kPanelClass, &TSysInfoForm::panelProc))
        return;
    font_ = makeFont(L"Tahoma", 11, false);
    bold_ = makeFont(L"Tahoma", 11, true);
    title_ = makeFont(L"Tahoma", 19, true);
    small_ = makeFont(L"Tahoma", 10, false);
    white_ = CreateSolidBrush(RGB(255, 255, 255));
    // A fixed dialog border with the system menu (and its close box) only.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    window_ =
        CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kFormClass, L"Solvarek systeminformasjon",
                        style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                        frame.bottom - frame.top, owner_, nullptr, GetModuleHandleW(nullptr), this);
    if (!window_)
        return;
    try {
        build();
    } catch (const std::exception& e) {
        frame::WriteLog(std::string("FEIL: ") + e.what());
    }
}

TSysInfoForm::~TSysInfoForm() {
    Close();
    for (HGDIOBJ object :
         {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(bold_), static_cast<HGDIOBJ>(title_),
          static_cast<HGDIOBJ>(small_), static_cast<HGDIOBJ>(white_), static_cast<HGDIOBJ>(logo_)})
        if (object)
            DeleteObject(object);
}

void TSysInfoForm::build() {
    buildHeader();
    buildTabs();
    buildBottom();
    showPage(Program);
}

HWND TSysInfoForm::panel(HWND parent, int x, int y, int width, int height, DWORD exStyle) {
    return CreateWindowExW(WS_EX_CONTROLPARENT | exStyle, kPanelClass, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), this);
}

HWND TSysInfoForm::addControl(HWND parent, const wchar_t* kind, int id, const std::string& text, DWORD style,
                              int x, int y, int width, int height) {
    HWND hwnd = CreateWindowExW(0, kind, platform::widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y,
                                width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (id != 0)
        controls_[id] = hwnd;
    return hwnd;
}

HWND TSysInfoForm::addLabel(HWND parent, int id, int x, int y, int width, bool bold) {
    HWND hwnd = addControl(parent, L"STATIC", id, "", SS_LEFT | SS_NOPREFIX, x, y, width, kRow - 2);
    if (bold)
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(bold_), FALSE);
    return hwnd;
}

HWND TSysInfoForm::addLink(HWND parent, int id, int x, int y, int width, bool bold) {
    HWND hwnd = addLabel(parent, id, x, y, width, bold);
    // SS_NOTIFY: the label takes the mouse and tells its parent of clicks.
    SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | SS_NOTIFY);
    links_.push_back(id);
    return hwnd;
}

void TSysInfoForm::addCaption(HWND parent, int id, const std::string& caption, int x, int y, int width) {
    addControl(parent, L"STATIC", 0, caption, SS_LEFT | SS_NOPREFIX, x, y, width, kRow - 2);
    captions_.emplace_back(id, caption);
}

void TSysInfoForm::buildHeader() {
    header_ = panel(window_, 0, 0, kClientWidth, kHeaderHeight);
    HWND image =
        addControl(header_, L"STATIC", Image1, "", SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY, 4, 4, 73, 73);
    std::string why;
    gui::win32::Bitmap logo = gui::win32::loadJpegResource(L"SOLVAREK_LOGO", why);
    if (!logo) {
        frame::WriteLog("FEIL: Kan ikke vise logoen: " + why);
    } else {
        logo_ = logo.release();
        SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_));
        SetWindowPos(image, nullptr, 4, 4, 73, 73, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND title =
        addControl(header_, L"STATIC", Label13, "", SS_CENTER | SS_NOPREFIX | SS_NOTIFY, 85, 16, 434, 26);
    SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(title_), FALSE);
    HWND notice =
        addControl(header_, L"STATIC", Label16, "© Solvarek – programvare for små og mellomstore bedrifter",
                   SS_CENTER | SS_NOPREFIX, 85, 48, 434, 14);
    SendMessageW(notice, WM_SETFONT, reinterpret_cast<WPARAM>(small_), FALSE);
}

void TSysInfoForm::buildBottom() {
    HWND bottom = panel(window_, 0, kClientHeight - kBottomHeight, kClientWidth, kBottomHeight);
    addControl(bottom, L"BUTTON", BitBtn1, "Lukk", WS_TABSTOP | BS_DEFPUSHBUTTON, kClientWidth - 12 - 90, 10,
               90, 28);
}

void TSysInfoForm::buildTabs() {
    const int top = kHeaderHeight, height = kClientHeight - kHeaderHeight - kBottomHeight;
    tabs_ = addControl(window_, WC_TABCONTROLW, PageControl1, "",
                       WS_TABSTOP | WS_CLIPSIBLINGS | TCS_BUTTONS | TCS_FLATBUTTONS | TCS_MULTILINE, 0, top,
                       kClientWidth, height);
    const std::pair<Page, const char*> tabs[] = {
        {Program, "Program"},   {FilerOgMapper, "Filer og mapper"}, {Windows, "Windows"},
        {Tabulant, "Tabulant"}, {Bedriftsnav, "Bedriftsnav"},       {Rapport, "Rapport"},
    };
    // "Spesial" gets no tab button: nothing in the program makes its page reachable.
    int index = 0;
    for (const auto& [which, caption] : tabs) {
        std::wstring text = platform::widen(caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = text.data();
        item.lParam = which;
        SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(&item));
    }
    RECT area{0, 0, kClientWidth, height};
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (int i = 0; i < kPageCount; ++i) {
        pages_[i] = panel(window_, area.left, top + area.top, area.right - area.left, area.bottom - area.top);
        ShowWindow(pages_[i], SW_HIDE);
        SetWindowPos(pages_[i], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    buildProgramPage(pages_[Program]);
    buildFilesPage(pages_[FilerOgMapper]);
    buildWindowsPage(pages_[Windows]);
    buildTabulantPage(pages_[Tabulant]);
    buildSuitePage(pages_[Bedriftsnav]);
    buildSpecialPage(pages_[Spesial]);
    buildReportPage(pages_[Rapport]);

    // The hints of four links.
    HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    const std::pair<int, std::string> hints[] = {
        {v_Kompilator, CompilerHint()},
        {TabulantLabel, "Start Tabulant Database Desktop"},
        {v_firma, SuiteHint()},
        {Label2, "Gå til Devarts hjemmeside"},
    };
    for (const auto& [id, hint] : hints) {
        std::wstring text = platform::widen(hint);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = GetParent(control(id));
        tool.uId = reinterpret_cast<UINT_PTR>(control(id));
        tool.lpszText = text.data();
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void TSysInfoForm::buildProgramPage(HWND page) {
    addLabel(page, cProgramnavn, kCaptionX, 8, 500, true);
    const std::pair<int, const char*> rows[] = {
        {v_init, "Init versjon"}, {v_build, "Build nr."},          {n_build, "Build dato"},
        {v_id, "Build ID"},       {v_Kompilator, "Kompilert med"},
    };
    int y = 32;
    for (const auto& [id, caption] : rows) {
        addCaption(page, id, caption, kCaptionX, y, kValueX - kCaptionX - 4);
        if (id == v_Kompilator)
            addLink(page, id, kValueX, y, 310);
        else
            addLabel(page, id, kValueX, y, 310);
        y += kRow;
    }
    addLabel(page, xmlv, kCaptionX, y + 8, 500);
    // The parameters: the caption, and to its right the list without a border in the face colour.
    y += 32;
    addLabel(page, lParameter, kCaptionX, y, 170);
    HWND memo =
        addControl(page, L"EDIT", ParamMemo, "", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL,
                   kCaptionX + 90, y, 400, 60);
    ShowWindow(memo, SW_HIDE);
}

void TSysInfoForm::buildFilesPage(HWND page) {
    // Each group's frame first, its links over it.
    const struct {
        const char* title;
        int top;
        std::vector<int> links;
    } groups[] = {
        {"Inifil", 2, {n_fil, nb_fil}},
        {"Loggfil:", 64, {eLogfil}},
        {"Datamappe:", 108, {cData}},
        {"Andre:", 152, {NotesLabel}},
    };
    for (const auto& group : groups) {
        const int height = 22 + kRow * static_cast<int>(group.links.size());
        addControl(page, L"BUTTON", 0, group.title, BS_GROUPBOX, 6, group.top, 505, height);
        int y = group.top + 17;
        for (int id : group.links) {
            addLink(page, id, 16, y, 485);
            y += kRow;
        }
    }
}

void TSysInfoForm::buildWindowsPage(HWND page) {
    int y = 8;
    const auto row = [&](int id, const char* caption, bool link) {
        addCaption(page, id, caption, kCaptionX, y, kValueX - kCaptionX - 4);
        if (link)
            addLink(page, id, kValueX, y, 315);
        else
            addLabel(page, id, kValueX, y, 315);
        y += kRow;
    };
    row(PhysMem, "Minne tilgjengelig for Windows", false);
    row(FreeRes, "Minne i bruk", false);
    addLabel(page, v_platform, kCaptionX, y, 500);
    y += kRow + 6;
    row(n_system, "Systemområde", true);
    row(ProgramdataLabel, "Programdata", true);
    row(Innstillinger, "Midlertidige filer:", true);
    row(lHosts, "Hosts:", true);
    row(lLMHosts, "Lmhosts:", true);
}

void TSysInfoForm::buildTabulantPage(HWND page) {
    addLink(page, TabulantLabel, kCaptionX, 8, 300, true);
    int y = 8 + kRow + 4;
    for (int id : {Versjon, Dato, Bruker, Peker, TabulantCache}) {
        addLabel(page, id, kCaptionX, y, 400);
        y += kRow;
    }
}

void TSysInfoForm::buildSuitePage(HWND page) {
    addLink(page, v_firma, kCaptionX, 8, 400);
    const std::string database = "Databaseversjon ";
    const int width = textWidth(font_, database) + 4;
    addLink(page, Label2, kCaptionX, 8 + kRow + 4, width);
    setText(Label2, database);
    addLabel(page, v_Flash, kCaptionX + width, 8 + kRow + 4, 400);
}

void TSysInfoForm::buildSpecialPage(HWND page) {
    HWND box = panel(page, kCaptionX, 8, 260, 20 * 6 + 12, WS_EX_CLIENTEDGE);
    controls_[Panel2] = box;
    SetWindowLongPtrW(box, GWLP_ID, Panel2);
    const std::pair<int, const char*> switches[] = {
        {cWinTast, "Ikke tillat systemtaster"}, {cWinDisTask, "Sperr oppgavelinje"},
        {cWinStartKnapp, "Sperr startknappen"}, {cWinTray, "Skjul systemstatusfelt"},
        {cWinShowTask, "Skjul oppgavelinje"},   {cWinDesktop, "Skjul skrivebord"},
    };
    int y = 6;
    for (const auto& [id, caption] : switches) {
        addControl(box, L"BUTTON", id, caption, WS_TABSTOP | BS_AUTOCHECKBOX, 8, y, 240, 18);
        y += 20;
    }
    // Disabled until the title is double-clicked.
    EnableWindow(box, FALSE);
}

void TSysInfoForm::buildReportPage(HWND page) {
    // "Utskrift og forhåndsvisning" reads as one phrase; its first and last words are links.
    int x = kCaptionX;
    const std::pair<int, const char*> words[] = {
        {Label14, "Utskrift"}, {Label15, "og"}, {Label19, "forhåndsvisning"}};
    for (const auto& [id, word] : words) {
        const int width = textWidth(bold_, word);
        if (id == Label15)
            addLabel(page, id, x, 8, width, true);
        else
            addLink(page, id, x, 8, width, true);
        setText(id, word);
        x += width + textWidth(bold_, " ");
    }
    addCaption(page, RapportLabel, "Rapportgenerator", kCaptionX, 8 + kRow + 8, kValueX - kCaptionX - 4);
    addLink(page, RapportLabel, kValueX, 8 + kRow + 8, 315);
}

// --- Showing and closing --------------------------------------------------------------------

void TSysInfoForm::showPage(Page which) {
    current_ = which;
    for (int i = 0; i < kPageCount; ++i)
        ShowWindow(pages_[i], i == which ? SW_SHOW : SW_HIDE);
    const int tabCount = static_cast<int>(SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < tabCount; ++i) {
        TCITEMW item{};
        item.mask = TCIF_PARAM;
        SendMessageW(tabs_, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        if (item.lParam == which && SendMessageW(tabs_, TCM_GETCURSEL, 0, 0) != i)
            SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(i), 0);
    }
}

void TSysInfoForm::Show() {
    if (!window_)
        return;
    guarded([this] { FormShow(); });
    RECT frame{};
    GetWindowRect(window_, &frame);
    RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner_)
        GetWindowRect(owner_, &around);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, (around.left + around.right - width) / 2,
                 (around.top + around.bottom - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    SetFocus(control(BitBtn1));
}

void TSysInfoForm::ShowModal() {
    if (!window_)
        return;
    modal_ = true;
    ownerWasEnabled_ = owner_ && IsWindowEnabled(owner_);
    if (ownerWasEnabled_)
        EnableWindow(owner_, FALSE);
    Show();
    MSG msg{};
    // IsDialogMessage moves the focus with Tab, and turns Enter into "Lukk" and Escape into IDCANCEL.
    while (window_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (window_ && msg.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(msg.wParam)); // the program ends: the main loop sees it too
    Close();
}

void TSysInfoForm::Close() {
    if (!window_)
        return;
    // The owner comes back before the dialog goes, so the activation returns to it.
    if (modal_ && ownerWasEnabled_)
        EnableWindow(owner_, TRUE);
    modal_ = false;
    ownerWasEnabled_ = false;
    HWND hwnd = window_;
    DestroyWindow(hwnd);
    window_ = nullptr;
    controls_.clear();
}

// --- Filling --------------------------------------------------------------------------------

void TSysInfoForm::FormShow() {
    const SystemFacts f = CollectSystemFacts(programParameters(), groupSeparator());
    const std::pair<int, const std::string*> texts[] = {
        {Label13, &f.Label13},
        {cProgramnavn, &f.cProgramnavn},
        {PhysMem, &f.PhysMem},
        {FreeRes, &f.FreeRes},
        {v_init, &f.v_init},
        {v_build, &f.v_build},
        {v_firma, &f.v_firma},
        {n_build, &f.n_build},
        {v_Flash, &f.v_Flash},
        {v_Kompilator, &f.v_Kompilator},
        {v_id, &f.v_id},
        {n_fil, &f.n_fil},
        {nb_fil, &f.nb_fil},
        {v_platform, &f.v_platform},
        {n_system, &f.n_system},
        {xmlv, &f.xmlv},
        {eLogfil, &f.eLogfil},
        {lHosts, &f.lHosts},
        {lLMHosts, &f.lLMHosts},
        {cData, &f.cData},
        {lParameter, &f.lParameter},
        {TabulantLabel, &f.TabulantLabel},
        {TabulantCache, &f.TabulantCache},
        {Versjon, &f.Versjon},
        {Dato, &f.Dato},
        {Bruker, &f.Bruker},
        {Peker, &f.Peker},
        {NotesLabel, &f.NotesLabel},
        {ProgramdataLabel, &f.ProgramdataLabel},
        {Innstillinger, &f.Innstillinger},
        {RapportLabel, &f.RapportLabel},
    };
    for (const auto& [id, value] : texts)
        setText(id, *value);
    std::string lines;
    for (const auto& parameter : f.ParamMemo)
        lines += (lines.empty() ? "" : "\r\n") + parameter;
    setText(ParamMemo, lines);
    ShowWindow(control(ParamMemo), f.ParamMemoVisible ? SW_SHOW : SW_HIDE);
}

void TSysInfoForm::setText(int id, const std::string& value) {
    if (HWND hwnd = control(id))
        SetWindowTextW(hwnd, platform::widen(value).c_str());
}

std::string TSysInfoForm::text(int id) const {
    HWND hwnd = control(id);
    if (!hwnd)
        return {};
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring value(static_cast<std::size_t>(length) + 1, L'\0');
    value.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, value.data(), length + 1)));
    return platform::narrow(value);
}

HWND TSysInfoForm::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

std::vector<std::string> TSysInfoForm::tabCaptions() const {
    std::vector<std::string> captions;
    const int count = static_cast<int>(SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t caption[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = 63;
        SendMessageW(tabs_, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        captions.push_back(platform::narrow(caption));
    }
    return captions;
}

std::string TSysInfoForm::captionOf(int id) const {
    for (const auto& [owner, caption] : captions_)
        if (owner == id)
            return caption;
    return {};
}

bool TSysInfoForm::isLink(int id) const {
    for (int link : links_)
        if (link == id)
            return true;
    return false;
}

// --- Handlers -------------------------------------------------------------------------------

void TSysInfoForm::Image1DblClick() {
    // A shortcut that cannot be written reaches the user with the reason.
    guarded([] { frame::CreateDesktopShortcut(); });
}

void TSysInfoForm::Label13DblClick() {
    EnableWindow(control(Panel2), TRUE);
}

void TSysInfoForm::linkClick(int id) {
    guarded([this, id] {
        switch (id) {
        case v_Kompilator:
            return OpenWithRegisteredProgram(CompilerHomePage());
        case n_fil:
            return OpenSettingsFile();
        case nb_fil:
            return OpenUserSettingsFile();
        case eLogfil:
            return OpenLogFile();
        case cData:
        case n_system:
            return StartExplorerOn(text(id));
        case NotesLabel:
        case ProgramdataLabel:
        case Innstillinger:
            return OpenWithRegisteredProgram(text(id));
        case lHosts:
        case lLMHosts:
            return OpenInNotepad(text(id));
        case TabulantLabel:
            return StartTabulant();
        case v_firma:
            return OpenWithRegisteredProgram(kSuiteHomePage);
        case Label2:
            return OpenWithRegisteredProgram(kDatabaseMakerHomePage);
        case Label14:
            useTestPage();
            return printing::PrintPage();
        case Label19:
        case RapportLabel:
            useTestPage();
            return printing::ShowPreview();
        default:
            return;
        }
    });
}

void TSysInfoForm::switchClick(int id) {
    // Each switch acts on its new state.
    const bool ticked = SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    guarded([id, ticked] {
        switch (id) {
        case cWinTast:
            return cWinTastClick(ticked);
        case cWinDisTask:
            return cWinDisTaskClick(ticked);
        case cWinStartKnapp:
            return cWinStartKnappClick(ticked);
        case cWinTray:
            return cWinTrayClick(ticked);
        case cWinShowTask:
            return cWinShowTaskClick(ticked);
        case cWinDesktop:
            return cWinDesktopClick(ticked);
        default:
            return;
        }
    });
}

// --- Messages -------------------------------------------------------------------------------

void TSysInfoForm::command(int id, int code) {
    if (id == IDOK || id == IDCANCEL) {
        Close();
        return;
    }
    if (id == Image1 && code == STN_DBLCLK)
        Image1DblClick();
    else if (id == Label13 && code == STN_DBLCLK)
        Label13DblClick();
    else if (isLink(id) && code == STN_CLICKED)
        linkClick(id);
    else if (id >= cWinTast && id <= cWinDesktop && code == BN_CLICKED)
        switchClick(id);
}

HBRUSH TSysInfoForm::colourStatic(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    const bool onHeader = GetParent(control) == header_;
    SetBkMode(dc, TRANSPARENT);
    if (id == Label13 || id == Label16)
        SetTextColor(dc, kTitleGreen);
    else if (isLink(id))
        SetTextColor(dc, kNavy);
    else
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, onHeader ? RGB(255, 255, 255) : GetSysColor(COLOR_BTNFACE));
    return onHeader ? white_ : GetSysColorBrush(COLOR_BTNFACE);
}

bool TSysInfoForm::setCursor(HWND over) {
    if (!over || !isLink(GetDlgCtrlID(over)) || control(GetDlgCtrlID(over)) != over)
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

LRESULT TSysInfoForm::message(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (lParam != 0 || hwnd == window_)
            command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
            TCITEMW item{};
            item.mask = TCIF_PARAM;
            const auto index = SendMessageW(tabs_, TCM_GETCURSEL, 0, 0);
            if (SendMessageW(tabs_, TCM_GETITEMW, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(&item)))
                showPage(static_cast<Page>(item.lParam));
        }
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(
            colourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_SETCURSOR:
        if (setCursor(reinterpret_cast<HWND>(wParam)))
            return TRUE;
        break;
    case WM_ERASEBKGND:
        if (hwnd == header_) {
            RECT client{};
            GetClientRect(hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, white_);
            return 1;
        }
        break;
    case WM_CLOSE:
        if (hwnd == window_) {
            Close();
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK TSysInfoForm::formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = gui::win32::ownerOf<TSysInfoForm>(hwnd, msg, lParam);
    if (msg == WM_NCDESTROY && self) {
        gui::win32::forgetOwner(hwnd);
        if (self->window_ == hwnd)
            self->window_ = nullptr;
        self = nullptr;
    }
    if (self && self->window_ == hwnd)
        return gui::win32::guardedMessage("systeminformasjonen",
                                          [&] { return self->message(hwnd, msg, wParam, lParam); });
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK TSysInfoForm::panelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = gui::win32::ownerOf<TSysInfoForm>(hwnd, msg, lParam);
    if (msg == WM_NCDESTROY)
        gui::win32::forgetOwner(hwnd);
    if (self && self->window_ && msg != WM_NCDESTROY)
        return gui::win32::guardedMessage("systeminformasjonen",
                                          [&] { return self->message(hwnd, msg, wParam, lParam); });
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// --- Entry ----------------------------------------------------------------------------------

void VisSystemInfo() {
    // Modal to the window whose menu opened it.
    TSysInfoForm dialog(GetActiveWindow());
    dialog.ShowModal();
}

std::vector<std::string> programParameters() {
    if (g_parameters)
        return *g_parameters;
    std::vector<std::string> parameters;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return parameters;
    for (int i = 1; i < count; ++i)
        parameters.push_back(platform::narrow(arguments[i]));
    LocalFree(arguments);
    return parameters;
}

void setProgramParameters(std::optional<std::vector<std::string>> parameters) {
    g_parameters = std::move(parameters);
}

} // namespace spylerom::sysinfo
