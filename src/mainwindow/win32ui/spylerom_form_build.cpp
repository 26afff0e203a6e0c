// The Win32 main window's controls: the choices and the status on the left, the information
// panel with its notices on the right, the buttons below, and the menu bar. Positions are
// pixels of the 659 x 375 client area under the menu bar at 96 DPI, scaled to the window's DPI.
#include "mainwindow/win32ui/spylerom_form.h"

#include "fill/fill_choices.h"
#include "frame/textfil.h"
#include "gui/win32/wic_image.h"
#include "mainwindow/notice_texts.h"
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

#include <algorithm>

namespace spylerom::mainwindow {

namespace {

constexpr RECT kPanelFrame{305, 8, 651, 367}; // Shape1; the panel and the notices lie 2 pixels inside
constexpr RECT kPanel{307, 10, 649, 365};
constexpr RECT kEmblem{578, 16, 643, 81};
constexpr int kPanelTextLeft = 315;
constexpr int kPanelTextRight = 643;
constexpr int kPanelSpacing = 8;
constexpr int kDropDownHeight = 200; // a drop-down list's height with its list open

HFONT makeFont(const wchar_t* face, int points, int dpi, int weight = FW_NORMAL, bool italic = false,
               bool underline = false) {
    return CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, weight, italic, underline, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       face);
}

bool isDropDown(int id) {
    return id == TSpyleRomForm::Stasjon || id == TSpyleRomForm::FyllCombo || id == TSpyleRomForm::BlockCombo;
}

// The notice's lines as one text of the edit control.
std::wstring noticeText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty())
            text += "\r\n";
        text += line;
    }
    return platform::widen(text);
}

using DpiForWindow = UINT(WINAPI*)(HWND);
// A function of user32 that older systems lack, null there.
template <typename Function> Function user32Function(const char* name) {
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}
using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// The window's DPI where the system tells it per window (Windows 10), else the screen's.
int dpiOf(HWND window) {
    static const auto forWindow = user32Function<DpiForWindow>("GetDpiForWindow");
    if (forWindow)
        if (const UINT dpi = forWindow(window); dpi > 0)
            return static_cast<int>(dpi);
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void adjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
    static const auto forDpi = user32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
    if (forDpi)
        forDpi(&rect, style, TRUE, exStyle, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&rect, style, TRUE, exStyle);
}

} // namespace

HWND TSpyleRomForm::add(const wchar_t* kind, const std::string& text, DWORD style, int id, RECT designed,
                        DWORD exStyle) {
    const HWND control = CreateWindowExW(
        exStyle, kind, platform::widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control)
        placed_.push_back({control, designed});
    return control;
}

void TSpyleRomForm::build() {
    buildMenu();
    // Created in the order of the tab stops: the choices, Stop, START.
    buildChoices();
    buildStatus();
    buildButtons();
    buildPanel();
    buildNotices();
    buildTips();
    makeFonts();
    layOut();
}

void TSpyleRomForm::buildChoices() {
    // A group box paints only its frame and title; transparent, it is left out of the window's
    // clipping of its children, so the window's own background fills the inside.
    add(L"BUTTON", "Valg", BS_GROUPBOX, ValgGruppe, {8, 4, 297, 200}, WS_EX_TRANSPARENT);
    add(L"STATIC", "Velg stasjon: ", SS_LEFT | SS_NOPREFIX, Label1, {20, 24, 285, 38});
    add(WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, Stasjon, {20, 39, 285, 61});
    add(L"STATIC", "fyll med:", SS_LEFT | SS_NOPREFIX, Label2, {20, 67, 150, 81});
    const HWND fill =
        add(WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, FyllCombo, {20, 82, 150, 104});
    for (const std::string_view name : fill::kPatternNames)
        SendMessageW(fill, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(platform::widen(std::string(name)).c_str()));
    add(L"STATIC", "1 gjentagelser", SS_LEFT | SS_NOPREFIX, antLabel, {20, 110, 150, 124});
    const HWND bar = add(TRACKBAR_CLASSW, "", TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | WS_TABSTOP, TrackBar1,
                         {16, 124, 289, 152});
    SendMessageW(bar, TBM_SETRANGE, FALSE, MAKELPARAM(1, 10));
    SendMessageW(bar, TBM_SETPAGESIZE, 0, 1);
    SendMessageW(bar, TBM_SETTICFREQ, 1, 0);
    SendMessageW(bar, TBM_SETPOS, TRUE, 1);
    add(L"STATIC", "Blokkstørrelse:", SS_LEFT | SS_NOPREFIX, Label9, {20, 155, 150, 169});
    const HWND block =
        add(WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, BlockCombo, {20, 170, 150, 192});
    for (const fill::BlockChoice& choice : fill::kBlockChoices)
        SendMessageW(block, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(platform::widen(std::string(choice.text)).c_str()));
    // None selected in the design; FormCreate picks the start choice.

    for (int id : {Stasjon, FyllCombo, TrackBar1, BlockCombo})
        SetWindowSubclass(control(id), &TSpyleRomForm::choiceProc, static_cast<UINT_PTR>(id),
                          reinterpret_cast<DWORD_PTR>(this));
}

void TSpyleRomForm::buildStatus() {
    add(L"BUTTON", "Status", BS_GROUPBOX, GroupBox2, {8, 206, 297, 330}, WS_EX_TRANSPARENT);
    add(L"STATIC", "0 % ferdig", SS_CENTER | SS_NOPREFIX, plabel, {12, 226, 293, 240});
    for (const auto& [id, designed] :
         {std::pair{int(pbar), RECT{20, 244, 285, 260}}, std::pair{int(pbar2), RECT{20, 266, 285, 282}}}) {
        const HWND progress = add(PROGRESS_CLASSW, "", PBS_SMOOTH, id, designed);
        SendMessageW(progress, PBM_SETRANGE32, 0, 100);
    }
    add(L"STATIC", "status", SS_LEFT | SS_NOPREFIX, status, {20, 287, 285, 301});
    const HWND usage = add(PROGRESS_CLASSW, "", PBS_SMOOTH, Bar, {20, 305, 285, 321});
    SendMessageW(usage, PBM_SETRANGE32, 0, 100);
}

void TSpyleRomForm::buildButtons() {
    // Drawn by the window: START in navy, Stop with its glyph.
    add(L"BUTTON", "&Stopp", BS_OWNERDRAW | WS_TABSTOP | WS_DISABLED, StoppKnapp, {8, 338, 145, 367});
    add(L"BUTTON", "&START", BS_OWNERDRAW | WS_TABSTOP, Startknapp, {160, 338, 297, 367});
}

void TSpyleRomForm::buildPanel() {
    // Shape1 and Panel1 are painted by the window itself (paintPanel); the texts lie on them.
    // Their heights follow their wrapped texts (layOutPanelTexts), the rectangles give the width.
    add(L"STATIC", "Spylerom programinformasjon.", SS_LEFT | SS_NOPREFIX | WS_CLIPSIBLINGS, Label8,
        {kPanelTextLeft, 16, kEmblem.left - kPanelSpacing, 32});
    const HWND image = add(L"STATIC", "", SS_BITMAP | SS_CENTERIMAGE | WS_CLIPSIBLINGS, Image1, kEmblem);
    std::string why;
    gui::win32::Bitmap emblem = gui::win32::loadJpegResource(L"SPYLEROM_EMBLEM", why);
    if (!emblem) {
        frame::WriteLog("FEIL: Kan ikke vise programmets bilde: " + why);
    } else {
        emblem_ = emblem.release();
        SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(emblem_));
    }
    const std::pair<int, const char*> texts[] = {
        {Label3, "Dette programmet fyller ledig plass på den disken du velger med det valgte fyllmønster. "
                 "Spylerom sletter alle spor av slettede data på disken, uten å skrive over eksisterende "
                 "filer og data som du har lagret på disken. "},
        {Label5, "Spylerom kan kjøres samtidig med at andre programmer kjører."},
        {Label4, "Spylerom vil slette all ledig på plass på de stasjoner der du har skriverettigheter til, "
                 "dvs. harddisker, minnepenner, disketter og nettverksdisker."},
        {Label6, "Hvis systemdisken velges kan det forekomme feilmeldinger om for lite diskplass. Desse "
                 "meldingene kan ignoreres."},
        {Label7, "Spylerom er laget på en slik måte at disken ikke kan skades eller gjøres ustabil."},
    };
    for (const auto& [id, text] : texts)
        add(L"STATIC", text, SS_LEFT | SS_NOPREFIX | WS_CLIPSIBLINGS, id,
            {kPanelTextLeft, 0, kPanelTextRight, 0});
}

void TSpyleRomForm::buildNotices() {
    const std::pair<int, const std::vector<std::string>&> notices[] = {
        {FyllMemo, fyllMemoLines()},   {RepeatMemo, repeatMemoLines()}, {StasjonMemo, stasjonMemoLines()},
        {BlockMemo, blockMemoLines()}, {StartMemo, startMemoLines()},   {VentMemo, ventMemoLines()},
    };
    for (const auto& [id, lines] : notices) {
        const HWND memo = add(L"EDIT", "", ES_MULTILINE | ES_READONLY | WS_CLIPSIBLINGS, id, kPanel);
        SetWindowTextW(memo, noticeText(lines).c_str());
        ShowWindow(memo, SW_HIDE);
        // Each on top of the panel's texts and of the notices made before it.
        SetWindowPos(memo, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TSpyleRomForm::buildMenu() {
    const HMENU bar = CreateMenu();
    const HMENU fil = CreatePopupMenu();
    AppendMenuW(fil, MF_STRING, Vislogg1, L"Vis loggfil");
    AppendMenuW(fil, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(fil, MF_STRING, Avslytt1, L"&Avslutt\tCtrl+Q");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(fil), L"&Fil");
    const HMENU hjelp = CreatePopupMenu();
    AppendMenuW(hjelp, MF_STRING, Systeminformasjon1, L"Systeminformasjon");
    AppendMenuW(hjelp, MF_STRING, Direkteoppdateringfrainternett1, L"Direkte oppdatering fra internett");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(hjelp), L"&Hjelp");
    SetMenu(window_, bar); // destroyed with the window

    ACCEL quit{FCONTROL | FVIRTKEY, 'Q', Avslytt1};
    accelerators_ = CreateAcceleratorTableW(&quit, 1);
}

void TSpyleRomForm::buildTips() {
    // The bars' hints, shown while the mouse rests on a bar.
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!tips_)
        return;
    for (const auto& [id, text] : {std::pair{int(pbar), L"Status for gjeldende skriveoperasjon"},
                                   std::pair{int(pbar2), L"Total status"}}) {
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE; // understood by every version of the common controls
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(control(id));
        tool.lpszText = const_cast<wchar_t*>(text);
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void TSpyleRomForm::makeFonts() {
    freeFonts();
    font_ = makeFont(L"Tahoma", 8, dpi_);
    startFont_ = makeFont(L"MS Sans Serif", 10, dpi_, FW_BOLD);
    titleFont_ = makeFont(L"Tahoma", 9, dpi_, FW_BOLD, false, true);
    italicFont_ = makeFont(L"Tahoma", 8, dpi_, FW_NORMAL, true);
    for (const Placed& p : placed_) {
        const int id = GetDlgCtrlID(p.hwnd);
        const HFONT font = id == Startknapp ? startFont_
                           : id == Label8   ? titleFont_
                           : id == Label6   ? italicFont_
                                            : font_;
        SendMessageW(p.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (tips_)
        SendMessageW(tips_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

void TSpyleRomForm::freeFonts() {
    for (HFONT* font : {&font_, &startFont_, &titleFont_, &italicFont_}) {
        if (*font)
            DeleteObject(*font);
        *font = nullptr;
    }
}

void TSpyleRomForm::layOut() {
    for (const Placed& p : placed_) {
        const int id = GetDlgCtrlID(p.hwnd);
        const int height = isDropDown(id) ? kDropDownHeight : p.designed.bottom - p.designed.top;
        MoveWindow(p.hwnd, scale(p.designed.left), scale(p.designed.top),
                   scale(p.designed.right) - scale(p.designed.left),
                   scale(p.designed.top + height) - scale(p.designed.top), FALSE);
    }
    for (int id : {Stasjon, FyllCombo, BlockCombo}) // the closed list as high as designed
        SendMessageW(control(id), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), scale(22) - 6);
    layOutPanelTexts();

    // The client area keeps its designed size whatever the frame and the menu bar take.
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
    RECT outer{0, 0, scale(kClientWidth), scale(kClientHeight)};
    adjustWindowRect(outer, style, exStyle, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window_, &client);
    const int missing = scale(kClientHeight) - client.bottom; // a menu bar of two lines
    if (missing != 0)
        SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + missing,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
}

void TSpyleRomForm::layOutPanelTexts() {
    // Top to bottom under the title and the emblem, each as high as its wrapped text.
    const HDC dc = GetDC(window_);
    const auto heightOf = [&](int id, int width) {
        const HWND label = control(id);
        const int length = GetWindowTextLengthW(label);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(label, text.data(), length + 1);
        const HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        RECT r{0, 0, width, 0};
        DrawTextW(dc, text.c_str(), length, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        return r.bottom;
    };
    const int titleLeft = scale(kPanelTextLeft), titleWidth = scale(kEmblem.left - kPanelSpacing) - titleLeft;
    const int titleHeight = heightOf(Label8, titleWidth);
    MoveWindow(control(Label8), titleLeft, scale(16), titleWidth, titleHeight, FALSE);
    int top = std::max(scale(16) + titleHeight, scale(kEmblem.bottom)) + scale(kPanelSpacing);
    const int width = scale(kPanelTextRight) - titleLeft;
    for (int id : {Label3, Label5, Label4, Label6, Label7}) {
        const int height = heightOf(id, width);
        MoveWindow(control(id), titleLeft, top, width, height, FALSE);
        top += height + scale(kPanelSpacing);
    }
    ReleaseDC(window_, dc);
}

void TSpyleRomForm::dpiChanged(int dpi, const RECT* suggested) {
    dpi_ = dpi;
    if (suggested)
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    makeFonts();
    layOut();
}

int TSpyleRomForm::windowDpi(HWND window) {
    return dpiOf(window);
}

} // namespace spylerom::mainwindow
