// The Win32 input dialog: its controls and its modal loop.
#include "ftp/win32ui/input_window.h"

#include "platform/win32/win32_platform.h"

namespace spylerom::ftp {

namespace {

constexpr wchar_t kClassName[] = L"TInputForm";
constexpr wchar_t kProperty[] = L"SpyleromInputForm";

void registerClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

HWND child(HWND parent, const wchar_t* kind, const std::string& text, DWORD style, int id, int x, int y,
           int width, int height) {
    return CreateWindowExW(0, kind, platform::widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                           height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

void InputWindow::create(const std::string& caption, const std::string& prompt, const std::string& answer) {
    registerClass();
    const DWORD style = WS_POPUP | WS_CAPTION | DS_MODALFRAME; // no system menu: no close box
    RECT frame{0, 0, 396, 113};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT ownerRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner_)
        GetWindowRect(owner_, &ownerRect);
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, platform::widen(caption).c_str(), style,
                              (ownerRect.left + ownerRect.right - width) / 2,
                              (ownerRect.top + ownerRect.bottom - height) / 2, width, height, owner_, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!window_)
        return;
    SetPropW(window_, kProperty, this);
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InputWindow::windowProc));
    child(window_, L"STATIC", prompt, 0, Label1, 29, 10, 337, 16);
    child(window_, L"EDIT", answer, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, Edit1, 29, 28, 337, 21);
    child(window_, L"BUTTON", "O&k", WS_TABSTOP | BS_DEFPUSHBUTTON, BitBtn1, 112, 72, 80, 27);
    child(window_, L"BUTTON", "&Avbryt", WS_TABSTOP | BS_PUSHBUTTON, BitBtn2, 204, 72, 80, 27);
}

bool InputWindow::ask(const std::string& caption, const std::string& prompt, std::string& answer) {
    create(caption, prompt, answer);
    if (!window_)
        return false;
    const bool ownerWasEnabled = owner_ && IsWindowEnabled(owner_);
    if (ownerWasEnabled)
        EnableWindow(owner_, FALSE);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    HWND edit = GetDlgItem(window_, Edit1);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    result_ = 0;
    MSG message;
    // IsDialogMessage turns Enter into the default button (O&k) and Escape into IDCANCEL (&Avbryt).
    while (result_ == 0 && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (result_ == 0 && message.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(message.wParam)); // the program ends: the main loop sees it too
    if (result_ == IDOK) {
        const int length = GetWindowTextLengthW(edit);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(edit, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(length));
        answer = platform::narrow(text);
    }
    if (ownerWasEnabled)
        EnableWindow(owner_, TRUE);
    RemovePropW(window_, kProperty);
    DestroyWindow(window_);
    window_ = nullptr;
    return result_ == IDOK;
}

LRESULT CALLBACK InputWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<InputWindow*>(GetPropW(hwnd, kProperty));
    if (self && message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        self->result_ = LOWORD(wParam);
        return 0;
    }
    if (self && message == WM_CLOSE)
        return 0; // no close box: only the two buttons end the dialog
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace spylerom::ftp
