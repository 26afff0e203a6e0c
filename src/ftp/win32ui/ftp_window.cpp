// The Win32 transfer window's controls, its view of the transfer and its message handling.
#include "ftp/win32ui/ftp_window.h"

#include "ftp/win32ui/server_settings_window.h"
#include "gui/win32/window_proc.h"
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

#include <algorithm>

namespace spylerom::ftp {

namespace {

constexpr wchar_t kClassName[] = L"TFTPform";
constexpr int kClientWidth = 209;
constexpr int kClientHeight = 64;

void registerClass() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW; // replaced per window once it knows its object
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

} // namespace

FtpWindow::FtpWindow(HWND owner) : transfer_(*this) {
    registerClass();
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    window_ = CreateWindowExW(0, kClassName, L"", style, 300, 220, frame.right - frame.left,
                              frame.bottom - frame.top, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_)
        return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FtpWindow::windowProc));
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    label_ = CreateWindowExW(0, L"STATIC", L"filnavn.ending", WS_CHILD | WS_VISIBLE | SS_CENTER, 4, 2, 201,
                             17, window_, nullptr, instance, nullptr);
    progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 4, 22, 201, 16,
                                window_, nullptr, instance, nullptr);
    SendMessageW(progress_, PBM_SETRANGE32, 0, 100);
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_, nullptr,
                              instance, nullptr);
    int edges[2] = {60, 110}; // panel 1 is 60 wide, panel 2 50
    SendMessageW(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
    setBytesPanel("0");
    setStatePanel("Klar");
    setServerSettingsDialog(this);
}

FtpWindow::~FtpWindow() {
    setServerSettingsDialog(nullptr);
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK FtpWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FtpWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return gui::win32::guardedMessage("overføringsvinduet",
                                      [&] { return self->handle(message, wParam, lParam); });
}

LRESULT FtpWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        // During a transfer the close box cancels it (the transfer closes the window at its
        // end); otherwise the window is hidden, never destroyed: it lives as long as the program.
        if (transfer_.busy())
            cancelTransfer();
        else
            ShowWindow(window_, SW_HIDE);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && transfer_.busy()) {
            cancelTransfer();
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void FtpWindow::cancelTransfer() {
    cancelRequested_ = true;
}

std::string FtpWindow::panelText(int index) const {
    const auto length = LOWORD(SendMessageW(status_, SB_GETTEXTLENGTHW, index, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(status_, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    text.erase(0, text.find_first_not_of(L'\t')); // the alignment marks
    return platform::narrow(text);
}

void FtpWindow::showWindow(const std::string& caption) {
    cancelRequested_ = false;
    SetWindowTextW(window_, platform::widen(caption).c_str());
    ShowWindow(window_, SW_SHOWNORMAL);
    SetWindowTextW(label_, L"");
    UpdateWindow(window_);
}

void FtpWindow::closeWindow() {
    ShowWindow(window_, SW_HIDE);
}

void FtpWindow::setFileText(const std::string& text) {
    SetWindowTextW(label_, platform::widen(text).c_str());
    UpdateWindow(label_);
}

void FtpWindow::setProgressMaximum(std::int32_t maximum) {
    maximum_ = std::max(maximum, 0);
    SendMessageW(progress_, PBM_SETRANGE32, 0, maximum_);
}

void FtpWindow::setProgressPosition(std::int32_t position) {
    // A position beyond the maximum (a size the server did not give) fills the bar, no more.
    SendMessageW(progress_, PBM_SETPOS, std::clamp(position, 0, maximum_), 0);
}

void FtpWindow::repaintProgress() {
    UpdateWindow(progress_);
}

void FtpWindow::setBytesPanel(const std::string& text) {
    const std::wstring right = L"\t\t" + platform::widen(text); // right-aligned
    SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(right.c_str()));
}

void FtpWindow::setStatePanel(const std::string& text) {
    SendMessageW(status_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(platform::widen(text).c_str()));
}

void FtpWindow::repaintStatusBar() {
    UpdateWindow(status_);
}

void FtpWindow::repaintWindow() {
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void FtpWindow::showModal(const std::string& caption, const std::string& kind) {
    ServerSettingsWindow dialog(IsWindowVisible(window_) ? window_ : GetWindow(window_, GW_OWNER));
    dialog.VisServerOppsett(caption, kind);
}

bool FtpWindow::processMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // for the main loop, after the transfer
            cancelRequested_ = true;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return !cancelRequested_;
}

} // namespace spylerom::ftp
