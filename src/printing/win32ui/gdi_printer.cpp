// The Windows printer: PrintDlgW's device, DEVMODE orientation, the job's calls.
#include "printing/win32ui/gdi_printer.h"

#include "platform/win32/win32_platform.h"
#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/win32ui/gdi_surface.h"

#include <commdlg.h>

#include <exception>

namespace spylerom::printing {

namespace {

// A DEVMODE held in a movable global block, locked for the scope.
class LockedDevMode {
public:
    explicit LockedDevMode(HGLOBAL block) : block_(block) {
        mode_ = block ? static_cast<DEVMODEW*>(GlobalLock(block)) : nullptr;
    }
    ~LockedDevMode() {
        if (mode_)
            GlobalUnlock(block_);
    }
    LockedDevMode(const LockedDevMode&) = delete;
    LockedDevMode& operator=(const LockedDevMode&) = delete;
    DEVMODEW* get() const { return mode_; }

private:
    HGLOBAL block_;
    DEVMODEW* mode_;
};

} // namespace

GdiPrinter::~GdiPrinter() {
    if (inJob_)
        abortJob();
    release();
}

void GdiPrinter::release() {
    if (dc_)
        DeleteDC(dc_);
    if (devMode_)
        GlobalFree(devMode_);
    if (devNames_)
        GlobalFree(devNames_);
    dc_ = nullptr;
    devMode_ = devNames_ = nullptr;
}

bool GdiPrinter::take(PRINTDLGW& dialog) {
    if (!dialog.hDC) {
        if (dialog.hDevMode && dialog.hDevMode != devMode_)
            GlobalFree(dialog.hDevMode);
        if (dialog.hDevNames && dialog.hDevNames != devNames_)
            GlobalFree(dialog.hDevNames);
        return false;
    }
    if (dc_)
        DeleteDC(dc_);
    dc_ = dialog.hDC;
    devMode_ = dialog.hDevMode;
    devNames_ = dialog.hDevNames;
    return true;
}

bool GdiPrinter::setupDialog(HWND owner) {
    PRINTDLGW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.hDevMode = devMode_;
    dialog.hDevNames = devNames_;
    dialog.Flags =
        PD_PRINTSETUP | PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE;
    if (!PrintDlgW(&dialog)) {
        devMode_ = dialog.hDevMode; // the dialog may have replaced the blocks it was given
        devNames_ = dialog.hDevNames;
        return false;
    }
    return take(dialog);
}

bool GdiPrinter::useDefault() {
    PRINTDLGW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    if (!PrintDlgW(&dialog))
        return false;
    release();
    return take(dialog);
}

std::string GdiPrinter::printerName() const {
    if (!devNames_)
        return {};
    const auto* names = static_cast<const DEVNAMES*>(GlobalLock(devNames_));
    if (!names)
        return {};
    const std::string name = platform::narrow(reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset);
    GlobalUnlock(devNames_);
    return name;
}

void GdiPrinter::setLandscape(bool landscape) {
    const LockedDevMode mode(devMode_);
    if (!mode.get() || !dc_)
        return;
    mode.get()->dmFields |= DM_ORIENTATION;
    mode.get()->dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    ResetDCW(dc_, mode.get()); // the page size follows before the next page starts
}

bool GdiPrinter::landscape() const {
    if (dc_)
        return GetDeviceCaps(dc_, HORZRES) > GetDeviceCaps(dc_, VERTRES);
    const LockedDevMode mode(devMode_);
    return mode.get() && (mode.get()->dmFields & DM_ORIENTATION) &&
           mode.get()->dmOrientation == DMORIENT_LANDSCAPE;
}

std::int32_t GdiPrinter::horzRes() const {
    return dc_ ? GetDeviceCaps(dc_, HORZRES) : 0;
}

std::int32_t GdiPrinter::vertRes() const {
    return dc_ ? GetDeviceCaps(dc_, VERTRES) : 0;
}

bool GdiPrinter::startJob(const std::string& title) {
    if (!dc_ || inJob_)
        return false;
    const std::wstring name = platform::widen(title.empty() ? std::string("Spylerom") : title);
    DOCINFOW job{};
    job.cbSize = sizeof job;
    job.lpszDocName = name.c_str();
    if (StartDocW(dc_, &job) <= 0)
        return false;
    inJob_ = true;
    if (StartPage(dc_) <= 0) {
        abortJob();
        return false;
    }
    return true;
}

bool GdiPrinter::endJob() {
    if (!inJob_)
        return false;
    if (EndPage(dc_) <= 0) {
        abortJob();
        return false;
    }
    inJob_ = false;
    return EndDoc(dc_) > 0;
}

void GdiPrinter::abortJob() {
    if (inJob_)
        AbortDoc(dc_);
    inJob_ = false;
}

void PrintOnePage(GdiPrinter& printer, const std::string& title) {
    PageState& s = pageState();
    DrawingSurface* const previous = s.Surface;
    const bool wasPrinting = s.Printing;
    PrinterDevice* const previousPrinter = s.Printer;
    const auto giveBack = [&] {
        s.Surface = previous;
        s.Printing = wasPrinting;
        s.Printer = previousPrinter;
    };
    std::exception_ptr failure;
    try {
        if (!printer.ready())
            throw PageError("Ingen skriver er valgt, eller utskriften kan ikke startes");
        s.Printing = true;
        s.Printer = &printer;
        ResetView(); // before the job: the orientation changes the device's page
        if (!printer.startJob(title))
            throw PageError("Ingen skriver er valgt, eller utskriften kan ikke startes");
        GdiSurface surface(printer.dc());
        surface.startPage();
        s.Surface = &surface;
        std::exception_ptr drawFailure;
        try {
            if (s.PageDrawRoutine)
                s.PageDrawRoutine();
        } catch (...) {
            drawFailure = std::current_exception(); // what was drawn so far is still printed
        }
        s.Surface = previous;
        const bool ended = printer.endJob();
        if (drawFailure)
            std::rethrow_exception(drawFailure);
        if (!ended)
            throw PageError("Utskriften kunne ikke fullføres");
    } catch (...) {
        failure = std::current_exception();
    }
    giveBack();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace spylerom::printing
