#include "printing/win32ui/print_form.h"

#include "frame/frame_ui.h"
#include "frame/placement.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "gui/win32/window_proc.h"
#include "platform/win32/win32_platform.h"
#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/preview_settings.h"

#include <algorithm>
#include <cstdint>
#include <exception>

namespace spylerom::printing {

namespace {

TPrintForm* g_instance = nullptr;

constexpr wchar_t kFormClass[] = L"TPrintForm";
constexpr wchar_t kPageAreaClass[] = L"TPrintPageArea";
constexpr UINT kReportMessage = WM_APP + 16; // a paint's failure, reported outside the paint
const char* const kPlacementName = "UTSKRIFTFORM";
const char* const kApplicationName = "Solvarek Spylerom";

void reportGeneralError(const std::string& text) {
    frame::ReportGeneralError(kApplicationName, text);
}

bool registerClass(const wchar_t* name, WNDPROC procedure, UINT style, LPCWSTR cursor) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, cursor);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

ShiftState shiftOf(WPARAM keys) {
    return {(keys & MK_SHIFT) != 0, GetKeyState(VK_MENU) < 0, (keys & MK_CONTROL) != 0};
}

} // namespace

// The window as the page layout sees it.
class TPrintForm::View : public PageView {
public:
    explicit View(TPrintForm& form) : form_(form) {}
    std::int32_t clientWidth() const override {
        RECT client{};
        GetClientRect(form_.window_, &client);
        return client.right;
    }
    void placePageArea(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) override {
        RECT now{};
        GetWindowRect(form_.PaintBox, &now);
        MapWindowPoints(nullptr, form_.window_, reinterpret_cast<POINT*>(&now), 2);
        if (now.left != left || now.top != top || now.right - now.left != width ||
            now.bottom - now.top != height)
            SetWindowPos(form_.PaintBox, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void beep() override { MessageBeep(0); }

private:
    TPrintForm& form_;
};

// --- Creation and destruction -------------------------------------------------------------

TPrintForm::TPrintForm() : view_(std::make_unique<View>(*this)) {
    buildWindow();
    if (!window_)
        return;
    buildMenu();
    g_instance = this;
    FormCreate();
}

TPrintForm::~TPrintForm() {
    if (!window_)
        return;
    FormDestroy();
    PageState& s = pageState();
    if (s.View == view_.get())
        s.View = nullptr;
    if (s.Surface == preview_.get())
        s.Surface = nullptr;
    if (g_instance == this)
        g_instance = nullptr;
    // No message of the destruction reaches this half-gone object.
    SetWindowLongPtrW(PaintBox, GWLP_USERDATA, 0);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    if (PopupMenu1)
        DestroyMenu(PopupMenu1); // and its submenu Zoom1
}

TPrintForm* TPrintForm::instance() {
    return g_instance;
}

void TPrintForm::buildWindow() {
    // The page area keeps its own device context, so that the layout can measure on it while
    // the window is hidden and between paints.
    if (!registerClass(kFormClass, &TPrintForm::formProc, 0, IDC_ARROW) ||
        !registerClass(kPageAreaClass, &TPrintForm::pageAreaProc, CS_OWNDC | CS_HREDRAW | CS_VREDRAW,
                       IDC_CROSS))
        return;
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, 554, 392};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    window_ = CreateWindowExW(0, kFormClass, platform::widen("Forhåndsvisning").c_str(), style, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                              nullptr, GetModuleHandleW(nullptr), this);
    if (!window_)
        return;
    PaintBox = CreateWindowExW(0, kPageAreaClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 554, 392, window_,
                               nullptr, GetModuleHandleW(nullptr), this);
    HDC own = PaintBox ? GetDC(PaintBox) : nullptr;
    if (!own) {
        DestroyWindow(window_);
        window_ = PaintBox = nullptr;
        return;
    }
    preview_ = std::make_unique<GdiSurface>(own);
    placement_ = std::make_unique<gui::win32::WindowPlacement>(window_);
}

void TPrintForm::buildMenu() {
    PopupMenu1 = CreatePopupMenu();
    Zoom1 = CreatePopupMenu();
    if (!PopupMenu1 || !Zoom1)
        return;
    const auto item = [](HMENU menu, int id, const char* text) {
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), platform::widen(text).c_str());
    };
    item(PopupMenu1, Oppdater1, "Oppdater");
    item(PopupMenu1, Utskrift1, "Utskrift");
    AppendMenuW(PopupMenu1, MF_SEPARATOR, 0, nullptr); // N1
    item(Zoom1, Zoomin1, "Zoom in");
    item(Zoom1, Zoomut1, "Zoom ut");
    item(Zoom1, Helsiden1, "Hele siden");
    item(Zoom1, Sidebredde1, "Sidebredde");
    AppendMenuW(PopupMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(Zoom1), L"Zoom");
    item(PopupMenu1, Roter1, "Roter");
}

void TPrintForm::FormCreate() {
    PageState& s = pageState();
    s.View = view_.get();
    ReadPreviewSettings();
    std::string extra;
    frame::RestorePlacement(*placement_, kPlacementName, extra);
}

void TPrintForm::FormShow() {
    layOut();
}

void TPrintForm::FormDestroy() {
    StorePreviewZoom();
    frame::SavePlacement(*placement_, kPlacementName, "");
}

// --- Messages -----------------------------------------------------------------------------

LRESULT CALLBACK TPrintForm::formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = gui::win32::ownerOf<TPrintForm>(hwnd, message, lParam);
    if (self && self->window_ == hwnd)
        return gui::win32::guardedMessage("forhåndsvisningen",
                                          [&] { return self->formMessage(message, wParam, lParam); });
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK TPrintForm::pageAreaProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = gui::win32::ownerOf<TPrintForm>(hwnd, message, lParam);
    if (self && self->PaintBox == hwnd) {
        bool handled = false;
        const LRESULT result = gui::win32::guardedMessage("forhåndsvisningen", [&] {
            const LRESULT r = self->pageAreaMessage(message, wParam, lParam);
            handled = true;
            return r;
        });
        if (!handled && message == WM_PAINT)
            ValidateRect(hwnd, nullptr); // else the paint comes back at once, for ever
        return result;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT TPrintForm::formMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && lParam == 0) {
            command(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_CLOSE:
        ShowWindow(window_, SW_HIDE); // closing only hides; the next ShowPreview shows it again
        return 0;
    case WM_SHOWWINDOW:
        if (wParam)
            FormShow();
        break;
    case WM_SIZE:
        placeAfterResize();
        break;
    case kReportMessage: {
        const std::string text = std::move(pendingReport_);
        pendingReport_.clear();
        if (!text.empty())
            reportGeneralError(text);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT TPrintForm::pageAreaMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(PaintBox, &paint);
        if (dc)
            PaintBoxPaint(dc);
        EndPaint(PaintBox, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
        PaintBoxMouseDown(message == WM_LBUTTONDOWN ? MouseButton::Left : MouseButton::Middle,
                          shiftOf(wParam), static_cast<short>(LOWORD(lParam)),
                          static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_CONTEXTMENU: {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (lParam == -1) { // from the keyboard: at the page area's corner
            at = POINT{0, 0};
            ClientToScreen(PaintBox, &at);
        }
        TrackPopupMenuEx(PopupMenu1, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, window_, nullptr);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(PaintBox, message, wParam, lParam);
}

void TPrintForm::command(int id) {
    switch (id) {
    case Oppdater1:
        Oppdater1Click();
        break;
    case Utskrift1:
        Utskrift1Click();
        break;
    case Zoomin1:
        Zoomin1Click();
        break;
    case Zoomut1:
        Zoomut1Click();
        break;
    case Helsiden1:
        Helsiden1Click();
        break;
    case Sidebredde1:
        Sidebredde1Click();
        break;
    case Roter1:
        Roter1Click();
        break;
    default:
        break;
    }
}

// --- Operations for other windows ---------------------------------------------------------

void TPrintForm::ShowPreview() {
    PageState& s = pageState();
    s.Surface = preview_.get();
    s.Printing = false;
    if (IsIconic(window_))
        ShowWindow(window_, SW_RESTORE);
    else
        ShowWindow(window_, placement_->showCommand());
    BringWindowToTop(window_);
    SetForegroundWindow(window_);
}

void ShowPreview() {
    if (TPrintForm* form = TPrintForm::instance())
        form->ShowPreview();
}

void PrintPage() {
    if (TPrintForm* form = TPrintForm::instance())
        form->PrintPage();
}

// --- Painting -----------------------------------------------------------------------------

void TPrintForm::PaintBoxPaint(HDC dc) {
    PageState& s = pageState();
    // A paint while a job is open would lay the page out for the printer mid-job; the page
    // area is painted again when the run ends.
    if (s.Printing || printRunActive_)
        return;
    GdiSurface surface(dc);
    s.Surface = &surface;
    surface.startPage();
    try {
        ResetView();
        if (s.PageDrawRoutine)
            s.PageDrawRoutine();
        paintFailed_ = false;
    } catch (const std::exception& e) {
        reportPaintFailure(e.what());
    }
    s.Surface = preview_.get();
}

void TPrintForm::reportPaintFailure(const std::string& text) {
    if (paintFailed_)
        return;
    paintFailed_ = true;
    // Not from inside the paint: a message box there would paint the window again.
    pendingReport_ = text;
    PostMessageW(window_, kReportMessage, 0, 0);
}

void TPrintForm::PaintBoxMouseDown(MouseButton button, ShiftState shift, int x, int y) {
    if (button != MouseButton::Left)
        return;
    PageState& s = pageState();
    if (s.PageClickRoutine)
        s.PageClickRoutine(button, shift, x - s.LeftEdge, y - s.TopEdge);
    RedrawWindow(PaintBox, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// --- Menu commands ------------------------------------------------------------------------

void TPrintForm::layOut() {
    if (pageState().Printing)
        return;
    try {
        ResetView();
    } catch (const std::exception& e) {
        reportGeneralError(e.what());
    }
    InvalidateRect(PaintBox, nullptr, TRUE);
}

// The page area is centred anew at once: left to the next paint, a page area that a narrower
// window leaves wholly outside its client area would never be painted, so never moved back.
// A layout failure is the paint's to report, not every step of a resize.
void TPrintForm::placeAfterResize() {
    if (!PaintBox)
        return; // still being created
    const PageState& s = pageState();
    if (s.View == view_.get() && !s.Printing && !printRunActive_) {
        try {
            ResetView();
        } catch (const std::exception&) {
        }
    }
    InvalidateRect(PaintBox, nullptr, TRUE);
}

// The page area is all the window shows, so repainting it repaints the window.
void TPrintForm::Oppdater1Click() {
    RedrawWindow(PaintBox, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void TPrintForm::Utskrift1Click() {
    PrintPage();
    ShowPreview();
}

void TPrintForm::Zoomin1Click() {
    ZoomIn();
    layOut();
}

void TPrintForm::Zoomut1Click() {
    ZoomOut();
    layOut();
}

void TPrintForm::Helsiden1Click() {
    FitWholePage(screenSize().cy);
    layOut();
}

void TPrintForm::Sidebredde1Click() {
    FitPageWidth(screenSize().cx);
    layOut();
}

void TPrintForm::Roter1Click() {
    ToggleRotation();
    layOut();
}

SIZE TPrintForm::screenSize() const {
    return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// --- The print run ------------------------------------------------------------------------

GdiPrinter& TPrintForm::printer() {
    if (!printer_)
        printer_ = std::make_unique<GdiPrinter>();
    if (!printer_->ready())
        printer_->useDefault(); // none installed: the run reports it
    return *printer_;
}

bool TPrintForm::execPrinterSetupDialog() {
    return printer().setupDialog(window_);
}

void TPrintForm::PrintPage() {
    if (printRunActive_)
        return; // a second run from a handler that ran inside this one's job
    GdiPrinter& p = printer();
    const bool storedLandscape = StoredLandscape();
    p.setLandscape(storedLandscape);
    if (PrinterDialogWanted() && !execPrinterSetupDialog())
        return;
    PageState& s = pageState();
    s.Rotated = p.ready() ? p.landscape() : storedLandscape;

    printRunActive_ = true;
    s.Surface = preview_.get(); // where the run gives the page state back to
    s.Printing = false;
    if (!DocumentTitle.empty())
        jobTitle_ = DocumentTitle;
    std::string failure;
    try {
        PrintOnePage(p, jobTitle_);
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "Utskriften kunne ikke fullføres";
    }
    endPrintRun();
    if (!failure.empty())
        reportGeneralError(failure);
}

void TPrintForm::endPrintRun() {
    DocumentTitle.clear();
    PageState& s = pageState();
    s.Surface = preview_.get();
    s.Printing = false;
    s.Printer = nullptr;
    printRunActive_ = false;
    // The page area keeps the printer page's size until the paint lays it out again.
    InvalidateRect(PaintBox, nullptr, TRUE);
}

} // namespace spylerom::printing
