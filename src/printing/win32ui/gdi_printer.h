// The printer of a Windows print run: chosen in the system's printer setup dialog (PrintDlgW) or
// the default printer, its printable area in device pixels, its orientation through its DEVMODE,
// and one job of one page (StartDocW with the job title, StartPage, EndPage, EndDoc).
// PrintOnePage runs the page routine on it as the preview window's print command does; which
// window asks for it is left to the caller.
#pragma once

#include "printing/page_state.h"

#include <windows.h>

#include <string>

namespace spylerom::printing {

class GdiPrinter : public PrinterDevice {
public:
    GdiPrinter() = default;
    ~GdiPrinter() override;
    GdiPrinter(const GdiPrinter&) = delete;
    GdiPrinter& operator=(const GdiPrinter&) = delete;

    // The printer setup dialog over owner, starting from the printer chosen before; false when
    // the user cancels or the system has no printer.
    bool setupDialog(HWND owner);
    // The system's default printer, without a dialog; false when there is none.
    bool useDefault();
    // A device context for the chosen printer exists.
    bool ready() const { return dc_ != nullptr; }
    HDC dc() const { return dc_; }
    std::string printerName() const;

    void setLandscape(bool landscape) override;
    bool landscape() const override;
    std::int32_t horzRes() const override;
    std::int32_t vertRes() const override;

    // StartDocW with the title, then StartPage; false when the spooler refuses.
    bool startJob(const std::string& title);
    // EndPage and EndDoc; false when either fails (the job is then aborted).
    bool endJob();
    void abortJob();

private:
    bool take(PRINTDLGW& dialog);
    void release();

    HGLOBAL devMode_ = nullptr;
    HGLOBAL devNames_ = nullptr;
    HDC dc_ = nullptr;
    bool inJob_ = false;
};

// Prints PageDrawRoutine once on printer as one job titled title: Printing on, the layout for
// the printer (its orientation from Rotated), a GDI surface on its page, the routine, the end of
// the job; the page state's surface, Printing and printer are given back whatever happened.
// Throws PageError when the job cannot start or finish, and what the routine throws (after the
// job ended, so that what was drawn is printed).
void PrintOnePage(GdiPrinter& printer, const std::string& title);

} // namespace spylerom::printing
