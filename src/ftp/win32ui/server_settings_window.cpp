// The Win32 server settings dialog: its controls, its modal loop, filling and storing.
#include "ftp/win32ui/server_settings_window.h"

#include "frame/frame_ui.h"
#include "frame/settings.h"
#include "ftp/ftp_settings.h"
#include "ftp/kodtekst.h"
#include "gui/win32/window_proc.h"
#include "platform/win32/win32_platform.h"

#include <cstdlib>

namespace spylerom::ftp {

namespace {

constexpr wchar_t kClassName[] = L"TServerOppsettForm";
constexpr wchar_t kPasswordMask = L'*';
constexpr wchar_t kProperty[] = L"SpyleromServerSettings";

struct Box {
    int id;
    const wchar_t* label;
    int x, y, width;
};
constexpr Box kBoxes[] = {
    {ServerSettingsWindow::Navn, L"Navn:", 16, 12, 329},
    {ServerSettingsWindow::Server, L"Server:", 16, 60, 329},
    {ServerSettingsWindow::Mappe, L"Mappe:", 16, 108, 329},
    {ServerSettingsWindow::Brukernavn, L"Brukernavn:", 16, 156, 97},
    {ServerSettingsWindow::Passord, L"Passord:", 128, 156, 97},
    {ServerSettingsWindow::Port, L"Port:", 240, 156, 57},
};

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

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

void ServerSettingsWindow::create(const std::string& caption) {
    registerClass();
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    RECT frame{0, 0, 449, 283};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT ownerRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner_)
        GetWindowRect(owner_, &ownerRect);
    const int x = (ownerRect.left + ownerRect.right - width) / 2,
              y = (ownerRect.top + ownerRect.bottom - height) / 2;
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, platform::widen(caption).c_str(), style, x, y,
                              width, height, owner_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_)
        return;
    SetPropW(window_, kProperty, this);
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ServerSettingsWindow::windowProc));
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const Box& box : kBoxes) {
        CreateWindowExW(0, L"STATIC", box.label, WS_CHILD | WS_VISIBLE, box.x, box.y, box.width, 16, window_,
                        nullptr, instance, nullptr);
        DWORD editStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
        if (box.id == Passord)
            editStyle |= ES_PASSWORD;
        if (box.id == Port)
            editStyle |= ES_NUMBER;
        CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", editStyle, box.x, box.y + 16, box.width, 21, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(box.id)), instance, nullptr);
    }
    CreateWindowExW(0, L"BUTTON", L"SSL", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 308, 174, 60,
                    21, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(SSLL)), instance, nullptr);
    SendDlgItemMessageW(window_, Port, EM_SETLIMITTEXT, 5, 0);
    // The password box: a double-click switches between masked and plain display.
    HWND password = GetDlgItem(window_, Passord);
    SetPropW(password, kProperty, this);
    editProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        password, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ServerSettingsWindow::passwordProc)));
}

void ServerSettingsWindow::VisServerOppsett(const std::string& caption, const std::string& kind) {
    kind_ = kind;
    create(caption);
    if (!window_)
        return;
    load();
    const bool ownerWasEnabled = owner_ && IsWindowEnabled(owner_);
    if (ownerWasEnabled)
        EnableWindow(owner_, FALSE);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetFocus(GetDlgItem(window_, Navn));
    done_ = false;
    MSG message;
    while (!done_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (!done_ && message.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(message.wParam)); // the program ends: the main loop sees it too
    if (ownerWasEnabled)
        EnableWindow(owner_, TRUE);
    RemovePropW(GetDlgItem(window_, Passord), kProperty);
    RemovePropW(window_, kProperty);
    DestroyWindow(window_);
    window_ = nullptr;
}

LRESULT CALLBACK ServerSettingsWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<ServerSettingsWindow*>(GetPropW(hwnd, kProperty));
    if (self && (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL))) {
        // Every way out (close box, Escape) stores first; a password a settings line could not
        // give back unchanged keeps the dialog open instead of being lost.
        return gui::win32::guardedMessage("serveroppsettet", [&] {
            if (self->store())
                self->done_ = true;
            return LRESULT{0};
        });
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ServerSettingsWindow::passwordProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<ServerSettingsWindow*>(GetPropW(hwnd, kProperty));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_LBUTTONDBLCLK) {
        const bool masked = SendMessageW(hwnd, EM_GETPASSWORDCHAR, 0, 0) != 0;
        SendMessageW(hwnd, EM_SETPASSWORDCHAR, masked ? 0 : kPasswordMask, 0);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    return CallWindowProcW(self->editProc_, hwnd, message, wParam, lParam);
}

std::string ServerSettingsWindow::text(int control) const {
    HWND box = GetDlgItem(window_, control);
    const int length = GetWindowTextLengthW(box);
    std::wstring value(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(box, value.data(), length + 1);
    value.resize(static_cast<std::size_t>(length));
    return platform::narrow(value);
}

void ServerSettingsWindow::setText(int control, const std::string& value) {
    SetDlgItemTextW(window_, control, platform::widen(value).c_str());
}

void ServerSettingsWindow::load() {
    frame::SelectSection(serverSettingsSection(kind_));
    setText(Navn, frame::ReadSettingString("name"));
    setText(Server, frame::ReadSettingString("server"));
    setText(Mappe, frame::ReadSettingString("folder"));
    setText(Brukernavn, frame::ReadSettingString("username"));
    setText(Passord, DekodTekst(frame::ReadSettingString("password")));
    setText(Port, std::to_string(frame::ReadSettingInteger("port")));
    CheckDlgButton(window_, SSLL, frame::ReadSettingBool("ssl") ? BST_CHECKED : BST_UNCHECKED);
    frame::ResetSection();
    SendDlgItemMessageW(window_, Passord, EM_SETPASSWORDCHAR, kPasswordMask, 0);
}

bool ServerSettingsWindow::store() {
    const std::string password = text(Passord);
    if (!scrambledFormStorable(password)) {
        frame::frameUi().messageBox("FEIL", "Passordet inneholder tegn som ikke kan lagres i innstillingene. "
                                            "Endre passordet før du lukker vinduet.");
        SetFocus(GetDlgItem(window_, Passord));
        return false;
    }
    frame::SelectSection(serverSettingsSection(kind_));
    frame::WriteSettingString("name", trimmed(text(Navn)));
    frame::WriteSettingString("server", trimmed(text(Server)));
    frame::WriteSettingString("folder", trimmed(text(Mappe)));
    frame::WriteSettingString("username", trimmed(text(Brukernavn)));
    frame::WriteSettingString("password", KodTekst(std::string_view(password)));
    frame::WriteSettingInteger("port", std::atoi(text(Port).c_str()));
    frame::WriteSettingBool("ssl", IsDlgButtonChecked(window_, SSLL) == BST_CHECKED);
    frame::ResetSection();
    return true;
}

} // namespace spylerom::ftp
