#include "printing/ui/print_form.h"

#include "frame/frame_ui.h"
#include "frame/placement.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/preview_settings.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace spylerom::printing {

namespace {

TPrintForm* g_instance = nullptr;

const char* const kPlacementName = "UTSKRIFTFORM";

ShiftState shiftOf(Qt::KeyboardModifiers modifiers) {
    return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::AltModifier),
            modifiers.testFlag(Qt::ControlModifier)};
}

} // namespace

void reportGeneralError(const std::string& text) {
    frame::ReportGeneralError(QGuiApplication::applicationDisplayName().toStdString(), text);
}

// --- The page area ------------------------------------------------------------------------

PageAreaWidget::PageAreaWidget(TPrintForm& form, QWidget* parent) : QWidget(parent), form_(form) {}

void PageAreaWidget::paintEvent(QPaintEvent*) {
    form_.PaintBoxPaint();
}

void PageAreaWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    MouseButton button = MouseButton::Left;
    if (event->button() == Qt::RightButton)
        button = MouseButton::Right;
    else if (event->button() == Qt::MiddleButton)
        button = MouseButton::Middle;
    else if (event->button() != Qt::LeftButton)
        return;
    form_.PaintBoxMouseDown(button, shiftOf(event->modifiers()), at.x(), at.y());
}

// The window as the page layout sees it.
class TPrintForm::View : public PageView {
public:
    explicit View(TPrintForm& form) : form_(form) {}
    std::int32_t clientWidth() const override { return form_.width(); }
    void placePageArea(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) override {
        const QRect wanted(left, top, std::min(width, QWIDGETSIZE_MAX), std::min(height, QWIDGETSIZE_MAX));
        if (form_.PaintBox->geometry() != wanted)
            form_.PaintBox->setGeometry(wanted);
    }
    void beep() override { QApplication::beep(); }

private:
    TPrintForm& form_;
};

// --- Creation and destruction -------------------------------------------------------------

TPrintForm::TPrintForm(QWidget* parent)
    : QWidget(parent, Qt::Window), view_(std::make_unique<View>(*this)), placement_(*this), preview_(this) {
    buildWindow();
    buildMenu();
    g_instance = this;
    FormCreate();
}

TPrintForm::~TPrintForm() {
    FormDestroy();
    PageState& s = pageState();
    if (s.View == view_.get())
        s.View = nullptr;
    if (s.Surface == &preview_)
        s.Surface = nullptr;
    if (g_instance == this)
        g_instance = nullptr;
}

TPrintForm* TPrintForm::instance() {
    return g_instance;
}

void TPrintForm::buildWindow() {
    setObjectName(QStringLiteral("TPrintForm"));
    setWindowTitle(QStringLiteral("Forhåndsvisning"));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    resize(554, 392);
    preview_.setKeepTurnedText(true);

    PaintBox = new PageAreaWidget(*this, this);
    PaintBox->setObjectName(QStringLiteral("PaintBox"));
    PaintBox->setCursor(Qt::CrossCursor);
    PaintBox->setAutoFillBackground(true);
    PaintBox->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(PaintBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(PaintBox->mapToGlobal(at)); });
}

void TPrintForm::buildMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& text, void (TPrintForm::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    Oppdater1 = item(PopupMenu1, "Oppdater1", QStringLiteral("Oppdater"), &TPrintForm::Oppdater1Click);
    Utskrift1 = item(PopupMenu1, "Utskrift1", QStringLiteral("Utskrift"), &TPrintForm::Utskrift1Click);
    N1 = PopupMenu1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Zoom1 = PopupMenu1->addMenu(QStringLiteral("Zoom"));
    Zoom1->setObjectName(QStringLiteral("Zoom1"));
    Zoomin1 = item(Zoom1, "Zoomin1", QStringLiteral("Zoom in"), &TPrintForm::Zoomin1Click);
    Zoomut1 = item(Zoom1, "Zoomut1", QStringLiteral("Zoom ut"), &TPrintForm::Zoomut1Click);
    Helsiden1 = item(Zoom1, "Helsiden1", QStringLiteral("Hele siden"), &TPrintForm::Helsiden1Click);
    Sidebredde1 = item(Zoom1, "Sidebredde1", QStringLiteral("Sidebredde"), &TPrintForm::Sidebredde1Click);
    Roter1 = item(PopupMenu1, "Roter1", QStringLiteral("Roter"), &TPrintForm::Roter1Click);
}

void TPrintForm::FormCreate() {
    PageState& s = pageState();
    s.View = view_.get();
    ReadPreviewSettings();
    std::string extra;
    frame::RestorePlacement(placement_, kPlacementName, extra);
}

void TPrintForm::FormShow() {
    layOut();
}

void TPrintForm::FormDestroy() {
    StorePreviewZoom();
    frame::SavePlacement(placement_, kPlacementName, "");
}

void TPrintForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TPrintForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The page area is centred anew by the layout that every paint runs.
    PaintBox->update();
}

// --- Operations for other windows ---------------------------------------------------------

void TPrintForm::ShowPreview() {
    PageState& s = pageState();
    s.Surface = &preview_;
    s.Printing = false;
    show();
    raise();
    activateWindow();
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

void TPrintForm::PaintBoxPaint() {
    PageState& s = pageState();
    // A paint while a job is open would lay the page out for the printer mid-job; the page
    // area is painted again when the run ends.
    if (s.Printing || printRunActive_)
        return;
    QPainter painter(PaintBox);
    s.Surface = &preview_;
    preview_.attach(&painter);
    preview_.startPage();
    try {
        ResetView();
        if (s.PageDrawRoutine)
            s.PageDrawRoutine();
        paintFailed_ = false;
    } catch (const std::exception& e) {
        reportPaintFailure(e.what());
    }
    preview_.detach();
}

void TPrintForm::reportPaintFailure(const std::string& text) {
    if (paintFailed_)
        return;
    paintFailed_ = true;
    // Not from inside the paint: a message box there would paint the window again.
    QTimer::singleShot(0, this, [text] { reportGeneralError(text); });
}

void TPrintForm::PaintBoxMouseDown(MouseButton button, ShiftState shift, int x, int y) {
    if (button != MouseButton::Left)
        return;
    PageState& s = pageState();
    if (s.PageClickRoutine)
        s.PageClickRoutine(button, shift, x - s.LeftEdge, y - s.TopEdge);
    PaintBox->repaint();
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
    PaintBox->update();
}

// The page area is all the window shows, so repainting it repaints the window.
void TPrintForm::Oppdater1Click() {
    PaintBox->repaint();
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
    FitWholePage(screenSize().height());
    layOut();
}

void TPrintForm::Sidebredde1Click() {
    FitPageWidth(screenSize().width());
    layOut();
}

void TPrintForm::Roter1Click() {
    ToggleRotation();
    layOut();
}

QSize TPrintForm::screenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize();
}

// --- The print run ------------------------------------------------------------------------

QPrinter& TPrintForm::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printerDevice_ = std::make_unique<QtPrinterDevice>(*printer_);
    }
    return *printer_;
}

bool TPrintForm::execPrinterSetupDialog() {
    QPrintDialog dialog(&printer(), nullptr);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    return dialog.exec() == QDialog::Accepted;
}

std::unique_ptr<PainterSurface> TPrintForm::createPrinterSurface() {
    return std::make_unique<PainterSurface>(&printer());
}

bool TPrintForm::attachPrinter(QPainter& painter) {
    return painter.begin(&printer());
}

bool TPrintForm::printerReady() {
    QPrinter& p = printer();
    if (p.outputFormat() == QPrinter::PdfFormat)
        return !p.outputFileName().isEmpty();
    return p.isValid() && !p.printerName().isEmpty();
}

void TPrintForm::PrintPage() {
    if (printRunActive_)
        return; // a second run from a handler that ran inside this one's job
    QPrinter& p = printer();
    p.setPageOrientation(StoredLandscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (PrinterDialogWanted() && !execPrinterSetupDialog())
        return;
    PageState& s = pageState();
    s.Rotated = p.pageLayout().orientation() == QPageLayout::Landscape;

    printRunActive_ = true;
    s.Printing = true;
    s.Printer = printerDevice_.get();
    std::string failure;
    try {
        ResetView();
        runPrintJob();
    } catch (const std::exception& e) {
        failure = e.what();
    }
    endPrintRun();
    if (!failure.empty())
        reportGeneralError(failure);
}

void TPrintForm::runPrintJob() {
    if (!DocumentTitle.isEmpty())
        printer().setDocName(DocumentTitle);
    if (!printerReady())
        throw PageError("Ingen skriver er valgt, eller utskriften kan ikke startes");
    std::unique_ptr<PainterSurface> surface;
    try {
        surface = createPrinterSurface();
    } catch (const std::bad_alloc&) {
    }
    if (!surface) {
        frame::frameUi().messageBox("FEIL", "Kan ikke opprette nytt printcanvas");
        return;
    }
    QPainter painter;
    if (!attachPrinter(painter)) {
        frame::frameUi().messageBox("FEIL", "Kan ikke tilordne printpeker");
        if (painter.isActive())
            painter.end();
        return;
    }
    surface->attach(&painter);
    surface->startPage();
    PageState& s = pageState();
    s.Surface = surface.get();
    std::exception_ptr drawFailure;
    try {
        if (s.PageDrawRoutine)
            s.PageDrawRoutine();
    } catch (...) {
        drawFailure = std::current_exception(); // what was drawn so far is still printed
    }
    surface->detach();
    s.Surface = &preview_;
    const bool ended = painter.end();
    if (drawFailure)
        std::rethrow_exception(drawFailure);
    if (!ended)
        throw PageError("Utskriften kunne ikke fullføres");
}

void TPrintForm::endPrintRun() {
    DocumentTitle.clear();
    PageState& s = pageState();
    s.Surface = &preview_;
    s.Printing = false;
    s.Printer = nullptr;
    printRunActive_ = false;
    PaintBox->update();
}

} // namespace spylerom::printing
