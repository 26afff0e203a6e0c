#include "win32_form_fixture.h"

#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/textfil.h"

#include <commctrl.h>

namespace spylerom::test {

std::vector<platform::Drive> AllowedDrivesPlatform::drives() const {
    std::vector<platform::Drive> allowed;
    for (const platform::Drive& drive : Win32Platform::drives())
        if (letters_.find(drive.letter) != std::string::npos)
            allowed.push_back(drive);
    return allowed;
}

void AllowedDrivesPlatform::launch(const std::string& file, const std::string& parameters,
                                   const std::string& folder) {
    launches.push_back({file, parameters, folder});
}

void Win32FormTest::SetUp() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    frame::ResetFrameState();
    frame::logState().LogEnabled = true;
    env_.set("APPDATA", appData_.path());
    env_.set("USERNAME", "tester");
    platform_.mapDrive('R', driveFolder_.path());
    platform_.allow('R');
    platform::setPlatform(&platform_);
    frame::setFrameUi(&frameUi_);
    // The main settings file under this test's APPDATA, so the per-user file that the window
    // reads and writes lies beside it.
    frame::OpenSettingsFile();
}

void Win32FormTest::TearDown() {
    destroyForm();
    frame::setFrameUi(nullptr);
    platform::setPlatform(nullptr);
    frame::ResetFrameState();
    MSG msg; // a quit asked for by a test is not the next test's
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ;
}

Win32FormTest::Form& Win32FormTest::openForm() {
    form_ = std::make_unique<Form>();
    EXPECT_NE(form_->hwnd(), nullptr);
    form_->onClosed = [this] { ++closes_; };
    frameUi_.setMainWindow(form_.get());
    form_->show();
    pump();
    return *form_;
}

void Win32FormTest::destroyForm() {
    frameUi_.setMainWindow(nullptr);
    form_.reset();
}

std::string Win32FormTest::text(int id) const {
    const HWND hwnd = control(id);
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return platform::narrow(text);
}

int Win32FormTest::selection(int id) const {
    return static_cast<int>(SendMessageW(control(id), CB_GETCURSEL, 0, 0));
}

RECT Win32FormTest::rectOf(int id) const {
    RECT r{};
    GetWindowRect(control(id), &r);
    MapWindowPoints(nullptr, form_->hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Win32FormTest::itemOf(int id, int index) const {
    const auto length = SendMessageW(control(id), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return "<none>";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(control(id), CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return platform::narrow(text);
}

void Win32FormTest::command(int id) const {
    SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void Win32FormTest::pump() const {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // left for the test to see
            break;
        }
        if (!form_ || !form_->translate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

namespace {
std::function<void()> g_action;
void CALLBACK runAction(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto action = std::move(g_action);
    g_action = nullptr;
    if (action)
        action();
}
} // namespace

void Win32FormTest::whenMessagesAreHandled(std::function<void()> action) {
    g_action = std::move(action);
    SetTimer(nullptr, 0, 0, runAction);
}

std::string Win32FormTest::userSettingsText() const {
    const std::string path = frame::UserSettingsFileName();
    return platform::sys().fileExists(path) ? readText(path) : std::string();
}

void Win32FormTest::writeUserSettings(const std::string& text) const {
    writeText(frame::UserSettingsFileName(), text);
}

std::vector<std::string> Win32FormTest::logLinesWith(const std::string& text) const {
    std::vector<std::string> found;
    for (const std::string& line : frame::logState().LogLines)
        if (line.find(text) != std::string::npos)
            found.push_back(line);
    return found;
}

int Win32FormTest::firstLogLine(const std::string& text) const {
    const auto& lines = frame::logState().LogLines;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

} // namespace spylerom::test
