// TPrintForm, the Win32 print preview window "Forhåndsvisning": shows the page PageDrawRoutine
// draws at a zoom and rotation, and prints it once (ShowPreview, PrintPage). The layout and the
// drawing are the page model's; this window supplies the page area, the printer and the menu.
//
// Lifetime: the program entry creates the one window hidden at start-up (the constructor runs
// FormCreate: zoom, rotation and placement are read) and deletes it at the end, before the
// frame shuts down (the destructor runs FormDestroy: zoom and placement are stored). The free
// functions ShowPreview() and PrintPage() reach it from other windows.
#pragma once

#include "gui/win32/window_placement.h"
#include "printing/page_state.h"
#include "printing/win32ui/gdi_printer.h"
#include "printing/win32ui/gdi_surface.h"

#include <windows.h>

#include <memory>
#include <string>

namespace spylerom::printing {

class TPrintForm {
public:
    // The menu commands' identifiers (WM_COMMAND).
    enum Command : int {
        Oppdater1 = 1601,
        Utskrift1,
        Zoomin1,
        Zoomut1,
        Helsiden1,
        Sidebredde1,
        Roter1,
    };

    TPrintForm();
    virtual ~TPrintForm();
    TPrintForm(const TPrintForm&) = delete;
    TPrintForm& operator=(const TPrintForm&) = delete;

    // The window while it exists, nullptr otherwise.
    static TPrintForm* instance();
    // False when the system refused the window.
    bool created() const { return window_ != nullptr; }
    HWND handle() const { return window_; }

    // Surface := the page area, Printing off, the window shown and brought up.
    void ShowPreview();
    // One print run of PageDrawRoutine: printer setup dialog unless "Skriver_VisDialog" is 1,
    // orientation, one page with the job title DocumentTitle. Ends with Surface on the page
    // area and Printing off, whatever failed.
    void PrintPage();

    // Title of the next print job; emptied by every run, so the printer keeps the first one.
    std::string DocumentTitle = "utskrift";
    // The selected printer, kept between runs (the system's default until the user chooses).
    GdiPrinter& printer();
    GdiSurface& previewSurface() { return *preview_; }

    HWND PaintBox = nullptr;
    HMENU PopupMenu1 = nullptr;
    HMENU Zoom1 = nullptr;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormDestroy();
    // The page drawn on dc, the page area's device context (or one standing in for it).
    void PaintBoxPaint(HDC dc);
    void PaintBoxMouseDown(MouseButton button, ShiftState shift, int x, int y);
    void Oppdater1Click();
    void Utskrift1Click();
    void Zoomin1Click();
    void Zoomut1Click();
    void Helsiden1Click();
    void Sidebredde1Click();
    void Roter1Click();

protected:
    // The screen the fit commands fit the page to (SM_CXSCREEN, SM_CYSCREEN).
    virtual SIZE screenSize() const;
    // PrinterSetupDialog1 on printer(); false when the user cancels.
    virtual bool execPrinterSetupDialog();

private:
    class View;
    static LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK pageAreaProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT pageAreaMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void buildWindow();
    void buildMenu();
    void command(int id);
    // ResetView for a command; a failure goes to the general error report.
    void layOut();
    void placeAfterResize();
    void endPrintRun();
    void reportPaintFailure(const std::string& text);

    HWND window_ = nullptr;
    std::unique_ptr<View> view_;
    std::unique_ptr<GdiSurface> preview_;
    std::unique_ptr<gui::win32::WindowPlacement> placement_;
    std::unique_ptr<GdiPrinter> printer_;
    std::string jobTitle_; // the title the printer keeps while DocumentTitle is empty
    std::string pendingReport_;
    bool printRunActive_ = false;
    bool paintFailed_ = false; // a failing paint is reported once, until a paint succeeds
};

// The preview window's operations for other windows; nothing happens while no TPrintForm exists.
void ShowPreview();
void PrintPage();

} // namespace spylerom::printing
