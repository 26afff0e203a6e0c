// TPrintForm, the print preview window "Forhåndsvisning": shows the page PageDrawRoutine draws
// at a zoom and rotation, and prints it once (ShowPreview, PrintPage). The layout and the
// drawing are the page model's; this window supplies the page area, the printer and the menu.
//
// Lifetime: the program entry creates the one window hidden at start-up (the constructor runs
// FormCreate: zoom, rotation and placement are read) and deletes it at the end, before the
// frame shuts down (the destructor runs FormDestroy: zoom and placement are stored). The free
// functions ShowPreview() and PrintPage() reach it from other windows.
#pragma once

#include "printing/page_state.h"
#include "printing/ui/painter_surface.h"
#include "printing/ui/qt_printer_device.h"
#include "printing/ui/widget_placement.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <string>

class QAction;
class QMenu;
class QPainter;
class QPrinter;

namespace spylerom::printing {

class TPrintForm;

// The page area: a plain paint area whose paints and mouse presses the form handles.
class PageAreaWidget : public QWidget {
public:
    PageAreaWidget(TPrintForm& form, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TPrintForm& form_;
};

class TPrintForm : public QWidget {
    Q_OBJECT

public:
    explicit TPrintForm(QWidget* parent = nullptr);
    ~TPrintForm() override;
    TPrintForm(const TPrintForm&) = delete;
    TPrintForm& operator=(const TPrintForm&) = delete;

    // The window while it exists, nullptr otherwise.
    static TPrintForm* instance();

    // Surface := the page area, Printing off, the window shown and brought up.
    void ShowPreview();
    // One print run of PageDrawRoutine: printer setup dialog unless "Skriver_VisDialog" is 1,
    // orientation, one page with the job title DocumentTitle. Ends with Surface on the page
    // area and Printing off, whatever failed.
    void PrintPage();

    // Title of the next print job; emptied by every run, so the printer keeps the first one.
    QString DocumentTitle = QStringLiteral("utskrift");
    // The selected printer, kept between runs (created on first use).
    QPrinter& printer();
    PainterSurface& previewSurface() { return preview_; }

    PageAreaWidget* PaintBox = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Oppdater1 = nullptr;
    QAction* Utskrift1 = nullptr;
    QAction* N1 = nullptr;
    QMenu* Zoom1 = nullptr;
    QAction* Zoomin1 = nullptr;
    QAction* Zoomut1 = nullptr;
    QAction* Helsiden1 = nullptr;
    QAction* Sidebredde1 = nullptr;
    QAction* Roter1 = nullptr;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void PaintBoxPaint();
    void PaintBoxMouseDown(MouseButton button, ShiftState shift, int x, int y);
    void Oppdater1Click();
    void Utskrift1Click();
    void Zoomin1Click();
    void Zoomut1Click();
    void Helsiden1Click();
    void Sidebredde1Click();
    void Roter1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // The screen the fit commands fit the page to (the primary screen).
    virtual QSize screenSize() const;
    // PrinterSetupDialog1 on printer(); false when the user cancels.
    virtual bool execPrinterSetupDialog();
    // The printer page's surface; nullptr when it cannot be created.
    virtual std::unique_ptr<PainterSurface> createPrinterSurface();
    // Starts the job and attaches painter to the printer's page; false when that fails.
    virtual bool attachPrinter(QPainter& painter);

private:
    class View;
    void buildWindow();
    void buildMenu();
    // ResetView for a command; a failure goes to the general error report.
    void layOut();
    void runPrintJob();
    void endPrintRun();
    bool printerReady();
    void reportPaintFailure(const std::string& text);

    std::unique_ptr<View> view_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QtPrinterDevice> printerDevice_;
    WidgetPlacement placement_;
    PainterSurface preview_;
    bool printRunActive_ = false;
    bool paintFailed_ = false; // a failing paint is reported once, until a paint succeeds
};

// The preview window's operations for other windows; nothing happens while no TPrintForm exists.
void ShowPreview();
void PrintPage();

// The application's general error report (frame::ReportGeneralError), with the Qt
// application's name as its caption.
void reportGeneralError(const std::string& text);

} // namespace spylerom::printing
