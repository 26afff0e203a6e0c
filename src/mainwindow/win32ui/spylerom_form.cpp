// The Win32 main window's side of MainView: it shows what the controller tells it, hands its
// controls' messages to the controller, and shows the choices' notices on focus.
#include "mainwindow/win32ui/spylerom_form.h"

#include "gui/win32/window_proc.h"
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

#include <algorithm>

namespace spylerom::mainwindow {

namespace {

constexpr wchar_t kClassName[] = L"TSpyleRomForm";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
const COLORREF kNavy = RGB(0, 0, 128);
const COLORREF kLightBlue = RGB(204, 204, 255);
const RECT kPanelFrame{305, 8, 651, 367};

void registerClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW; // replaced once the window knows its object
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

std::string textOf(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return platform::narrow(text);
}

// Selects item index of a list; an index the list does not have leaves it without a selection.
void selectItem(HWND list, int index) {
    const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    SendMessageW(list, CB_SETCURSEL, index >= 0 && index < count ? static_cast<WPARAM>(index) : WPARAM(-1),
                 0);
}

} // namespace

TSpyleRomForm::TSpyleRomForm() : placement_(nullptr, true), controller_(*this) {
    registerClass();
    window_ = CreateWindowExW(0, kClassName, L"SpyleRom 2.07", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              MainController::kOuterWidth, MainController::kOuterHeight, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!window_)
        return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TSpyleRomForm::windowProc));
    placement_.setWindow(window_);
    dpi_ = windowDpi(window_);
    white_ = CreateSolidBrush(RGB(255, 255, 255));
    lightBlue_ = CreateSolidBrush(kLightBlue);
    build();
    focusBeforeDeactivation_ = control(Startknapp);
    controller_.FormCreate();
}

TSpyleRomForm::~TSpyleRomForm() {
    if (window_) {
        for (int id : {Stasjon, FyllCombo, TrackBar1, BlockCombo})
            RemoveWindowSubclass(control(id), &TSpyleRomForm::choiceProc, static_cast<UINT_PTR>(id));
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (accelerators_)
        DestroyAcceleratorTable(accelerators_);
    freeFonts();
    for (HGDIOBJ object :
         {static_cast<HGDIOBJ>(white_), static_cast<HGDIOBJ>(lightBlue_), static_cast<HGDIOBJ>(emblem_)})
        if (object)
            DeleteObject(object);
}

void TSpyleRomForm::show() {
    ShowWindow(window_, placement_.showCommand());
    SetForegroundWindow(window_);
    SetFocus(focusBeforeDeactivation_ ? focusBeforeDeactivation_ : control(Startknapp));
    UpdateWindow(window_);
}

bool TSpyleRomForm::translate(MSG& msg) {
    if (!window_ || (msg.hwnd != window_ && !IsChild(window_, msg.hwnd)))
        return false;
    if (accelerators_ && TranslateAcceleratorW(window_, accelerators_, &msg))
        return true;
    return IsDialogMessageW(window_, &msg) != FALSE;
}

// --- Messages -----------------------------------------------------------------------------

LRESULT CALLBACK TSpyleRomForm::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TSpyleRomForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return gui::win32::guardedMessage("hovedvinduet", [&] { return self->handle(message, wParam, lParam); });
}

LRESULT CALLBACK TSpyleRomForm::choiceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR data) {
    auto* self = reinterpret_cast<TSpyleRomForm*>(data);
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS)
        (void)gui::win32::guardedMessage("hovedvinduet", [&] {
            // Another program taking the focus does not leave the choice; the focus comes back.
            const HWND next = reinterpret_cast<HWND>(wParam);
            if (message == WM_SETFOCUS)
                self->choiceFocus(static_cast<int>(id), true);
            else if (next && (next == self->window_ || IsChild(self->window_, next)))
                self->choiceFocus(static_cast<int>(id), false);
            return LRESULT{0};
        });
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT TSpyleRomForm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) == control(TrackBar1) && LOWORD(wParam) != TB_ENDTRACK)
            controller_.TrackBar1Change();
        return 0;
    case WM_CLOSE:
        closeRequested();
        return 0;
    case WM_QUERYENDSESSION:
        // A running fill is stopped and cleans up first; the window then closes, and the
        // session may end at the next asking.
        return closeRequested() ? TRUE : FALSE;
    case WM_ENDSESSION:
        if (wParam && onSessionEnd)
            onSessionEnd();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(window_, focus))
                focusBeforeDeactivation_ = focus;
        } else if (focusBeforeDeactivation_ && IsWindowEnabled(focusBeforeDeactivation_)) {
            SetFocus(focusBeforeDeactivation_);
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        if (const LRESULT brush = colourOf(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
            return brush;
        break;
    case WM_DRAWITEM:
        drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window_, &paint);
        paintPanel(dc);
        EndPaint(window_, &paint);
        return 0;
    }
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && (frameWait_ || pointer_ != fill::Pointer::Normal)) {
            applyCursor();
            return TRUE;
        }
        break;
    case WM_DPICHANGED:
        dpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void TSpyleRomForm::command(int id, int code) {
    switch (id) {
    case Startknapp:
        if (code == BN_CLICKED)
            controller_.Spyleromen();
        break;
    case StoppKnapp:
        if (code == BN_CLICKED)
            controller_.StoppKnappClick();
        break;
    case Stasjon:
        if (code == CBN_SELCHANGE)
            controller_.StasjonChange();
        break;
    case Avslytt1:
        controller_.Avslytt1Click();
        break;
    case Vislogg1:
        controller_.Vislogg1Click();
        break;
    case Systeminformasjon1:
        controller_.Systeminformasjon1Click();
        break;
    case Direkteoppdateringfrainternett1:
        controller_.Direkteoppdateringfrainternett1Click();
        break;
    default:
        break; // Enter and Escape of the dialog keyboard (IDOK, IDCANCEL) mean nothing here
    }
}

bool TSpyleRomForm::closeRequested() {
    if (closed_)
        return true;
    if (!controller_.closeRequested())
        return false; // a run is being stopped; the window closes after its clean-up
    closed_ = true;
    ShowWindow(window_, SW_HIDE);
    if (onClosed)
        onClosed();
    return true;
}

// --- Choices ------------------------------------------------------------------------------

int TSpyleRomForm::fillIndex() const {
    return static_cast<int>(SendMessageW(control(FyllCombo), CB_GETCURSEL, 0, 0));
}

int TSpyleRomForm::blockIndex() const {
    return static_cast<int>(SendMessageW(control(BlockCombo), CB_GETCURSEL, 0, 0));
}

int TSpyleRomForm::trackBarPosition() const {
    return static_cast<int>(SendMessageW(control(TrackBar1), TBM_GETPOS, 0, 0));
}

int TSpyleRomForm::driveIndex() const {
    return static_cast<int>(SendMessageW(control(Stasjon), CB_GETCURSEL, 0, 0));
}

void TSpyleRomForm::setDriveItems(const std::vector<DriveItem>& items) {
    const HWND list = control(Stasjon);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const DriveItem& item : items)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(platform::widen(item.text).c_str()));
}

void TSpyleRomForm::selectDrive(int index) {
    selectItem(control(Stasjon), index);
}

void TSpyleRomForm::selectFill(int index) {
    selectItem(control(FyllCombo), index);
}

void TSpyleRomForm::selectBlock(int index) {
    selectItem(control(BlockCombo), index);
}

void TSpyleRomForm::setTrackBarPosition(int position) {
    SendMessageW(control(TrackBar1), TBM_SETPOS, TRUE, position); // the bar keeps it within 1..10
}

// --- Progress -----------------------------------------------------------------------------

void TSpyleRomForm::showPassBar(int position) {
    SendMessageW(control(pbar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TSpyleRomForm::showTotalBar(int position) {
    SendMessageW(control(pbar2), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TSpyleRomForm::showProgressText(const std::string& text) {
    SetWindowTextW(control(plabel), platform::widen(text).c_str());
}

void TSpyleRomForm::showUsageBar(int maximum, int position) {
    SendMessageW(control(Bar), PBM_SETRANGE32, 0, maximum);
    SendMessageW(control(Bar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TSpyleRomForm::showStatusText(const std::string& text) {
    SetWindowTextW(control(status), platform::widen(text).c_str());
}

void TSpyleRomForm::setRepetitionText(const std::string& text) {
    SetWindowTextW(control(antLabel), platform::widen(text).c_str());
}

void TSpyleRomForm::setStartNoticeVisible(bool visible) {
    ShowWindow(control(StartMemo), visible ? SW_SHOWNA : SW_HIDE);
}

void TSpyleRomForm::setStartNoticeLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\r\n") + line;
    SetWindowTextW(control(StartMemo), platform::widen(text).c_str());
}

void TSpyleRomForm::setWaitNoticeVisible(bool visible) {
    ShowWindow(control(VentMemo), visible ? SW_SHOWNA : SW_HIDE);
}

void TSpyleRomForm::setPointer(fill::Pointer pointer) {
    pointer_ = pointer;
    applyCursor();
}

void TSpyleRomForm::setFrameWait(bool wait) {
    frameWait_ = wait;
    applyCursor();
}

void TSpyleRomForm::applyCursor() {
    const wchar_t* shape = IDC_ARROW;
    if (frameWait_ || pointer_ == fill::Pointer::Busy)
        shape = IDC_WAIT;
    else if (pointer_ == fill::Pointer::Background)
        shape = IDC_APPSTARTING;
    SetCursor(LoadCursorW(nullptr, shape));
}

void TSpyleRomForm::showIdleButtons() {
    // The button that takes the focus is enabled first, so the focus never wanders through the
    // choices (and their notices) on its way.
    EnableWindow(control(Startknapp), TRUE);
    SetFocus(control(Startknapp));
    focusBeforeDeactivation_ = control(Startknapp);
    EnableWindow(control(StoppKnapp), FALSE);
    for (int id : {ValgGruppe, Label1, Stasjon, Label2, FyllCombo, antLabel, TrackBar1, Label9, BlockCombo})
        EnableWindow(control(id), TRUE);
}

void TSpyleRomForm::showRunningButtons() {
    EnableWindow(control(StoppKnapp), TRUE);
    SetFocus(control(StoppKnapp));
    focusBeforeDeactivation_ = control(StoppKnapp);
    EnableWindow(control(Startknapp), FALSE);
    for (int id : {ValgGruppe, Label1, Stasjon, Label2, FyllCombo, antLabel, TrackBar1, Label9, BlockCombo})
        EnableWindow(control(id), FALSE);
}

void TSpyleRomForm::repaintNow() {
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TSpyleRomForm::processMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // for the message loop, once the run is over
            break;
        }
        if (!translate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void TSpyleRomForm::closeNow() {
    SendMessageW(window_, WM_CLOSE, 0, 0);
}

void TSpyleRomForm::closeLater() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

void TSpyleRomForm::endMessageLoop() {
    PostQuitMessage(0); // closes no window, so the window's close handling does not run
}

void TSpyleRomForm::showSystemInformation() {
    if (onSystemInformation)
        onSystemInformation(window_);
    else
        MessageBeep(0);
}

// --- Notices --------------------------------------------------------------------------------

void TSpyleRomForm::choiceFocus(int id, bool entered) {
    switch (id) {
    case Stasjon:
        entered ? StasjonEnter() : StasjonExit();
        break;
    case FyllCombo:
        entered ? FyllComboEnter() : FyllComboExit();
        break;
    case TrackBar1:
        entered ? TrackBar1Enter() : TrackBar1Exit();
        break;
    case BlockCombo:
        entered ? BlockComboEnter() : BlockComboExit();
        break;
    default:
        break;
    }
}

void TSpyleRomForm::StasjonEnter() {
    ShowWindow(control(StasjonMemo), SW_SHOWNA);
}
void TSpyleRomForm::StasjonExit() {
    ShowWindow(control(StasjonMemo), SW_HIDE);
}
void TSpyleRomForm::FyllComboEnter() {
    ShowWindow(control(FyllMemo), SW_SHOWNA);
}
void TSpyleRomForm::FyllComboExit() {
    ShowWindow(control(FyllMemo), SW_HIDE);
}
void TSpyleRomForm::TrackBar1Enter() {
    ShowWindow(control(RepeatMemo), SW_SHOWNA);
}
void TSpyleRomForm::TrackBar1Exit() {
    ShowWindow(control(RepeatMemo), SW_HIDE);
}
void TSpyleRomForm::BlockComboEnter() {
    ShowWindow(control(BlockMemo), SW_SHOWNA);
}
void TSpyleRomForm::BlockComboExit() {
    ShowWindow(control(BlockMemo), SW_HIDE);
}

// --- Drawing --------------------------------------------------------------------------------

LRESULT TSpyleRomForm::colourOf(HWND child, HDC dc) {
    HBRUSH brush = nullptr;
    COLORREF background = 0;
    switch (GetDlgCtrlID(child)) {
    case Label8:
    case Label3:
    case Label5:
    case Label4:
    case Label6:
    case Label7:
    case Image1:
    case StartMemo:
        brush = white_;
        background = RGB(255, 255, 255);
        break;
    case FyllMemo:
    case RepeatMemo:
    case StasjonMemo:
    case BlockMemo:
        brush = lightBlue_;
        background = kLightBlue;
        break;
    case VentMemo:
        brush = GetSysColorBrush(COLOR_WINDOW);
        background = GetSysColor(COLOR_WINDOW);
        break;
    default:
        return 0;
    }
    SetBkColor(dc, background);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(brush);
}

void TSpyleRomForm::paintPanel(HDC dc) {
    // Shape1: a navy frame two pixels wide; Panel1 inside it, white.
    const RECT frame{scale(kPanelFrame.left), scale(kPanelFrame.top), scale(kPanelFrame.right),
                     scale(kPanelFrame.bottom)};
    const HBRUSH navy = CreateSolidBrush(kNavy);
    FillRect(dc, &frame, navy);
    DeleteObject(navy);
    const int line = std::max(1, scale(2));
    const RECT inside{frame.left + line, frame.top + line, frame.right - line, frame.bottom - line};
    FillRect(dc, &inside, white_);
}

void TSpyleRomForm::drawButton(const DRAWITEMSTRUCT& item) {
    const bool start = item.CtlID == static_cast<UINT>(Startknapp);
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    RECT r = item.rcItem;
    DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    if (pressed)
        OffsetRect(&r, 1, 1);

    const std::wstring text = platform::widen(textOf(item.hwndItem));
    const HGDIOBJ oldFont =
        SelectObject(item.hDC, reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(item.hDC, TRANSPARENT);
    const COLORREF ink = disabled ? GetSysColor(COLOR_GRAYTEXT) : start ? kNavy : GetSysColor(COLOR_BTNTEXT);
    SetTextColor(item.hDC, ink);
    RECT measured{0, 0, 0, 0};
    DrawTextW(item.hDC, text.c_str(), -1, &measured, DT_CALCRECT | DT_SINGLELINE);
    int textLeft = (r.left + r.right - (measured.right - measured.left)) / 2;
    if (!start) {
        // The stock cancel glyph: a red cross before the caption.
        const int size = scale(10), gap = scale(6);
        textLeft = (r.left + r.right - (measured.right - measured.left) - size - gap) / 2 + size + gap;
        const int x = textLeft - gap - size, y = (r.top + r.bottom - size) / 2;
        const HPEN pen = CreatePen(PS_SOLID, std::max(2, scale(2)),
                                   disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(192, 0, 0));
        const HGDIOBJ oldPen = SelectObject(item.hDC, pen);
        MoveToEx(item.hDC, x, y, nullptr);
        LineTo(item.hDC, x + size, y + size);
        MoveToEx(item.hDC, x + size, y, nullptr);
        LineTo(item.hDC, x, y + size);
        SelectObject(item.hDC, oldPen);
        DeleteObject(pen);
    }
    RECT textRect{textLeft, r.top, r.right, r.bottom};
    DrawTextW(item.hDC, text.c_str(), -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    SelectObject(item.hDC, oldFont);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -scale(4), -scale(4));
        DrawFocusRect(item.hDC, &focus);
    }
}

} // namespace spylerom::mainwindow
