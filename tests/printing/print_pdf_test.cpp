// Print runs through QPrinter into a PDF: one page with the test page's text and drawing where
// it belongs, the job title, the orientation, the setup dialog, and every way a run can fail.
#include "gui_support.h"
#include "page_fixture.h"

#include "frame/settings.h"
#include "printing/page_arithmetic.h"
#include "printing/ui/print_form.h"

#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QPrinter>
#include <QTimer>

namespace spylerom::printing::test {
namespace {

// The preview window with the two printer surface steps able to fail.
class FaultyForm : public TPrintForm {
public:
    bool failSurface = false;
    bool failAttach = false;

protected:
    std::unique_ptr<PainterSurface> createPrinterSurface() override {
        return failSurface ? nullptr : TPrintForm::createPrinterSurface();
    }
    bool attachPrinter(QPainter& painter) override {
        return failAttach ? false : TPrintForm::attachPrinter(painter);
    }
};

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame::ResetSettingsState();
        ResetPageState();
    }
    void TearDown() override {
        form_.reset();
        ResetPageState();
        frame::ResetSettingsState();
    }
    FaultyForm& create(std::map<std::string, std::string> settings) {
        useSettings(dir_, settings);
        form_ = std::make_unique<FaultyForm>();
        return *form_;
    }
    // Sends the next run to a PDF of the whole A4 sheet.
    void toPdf(const std::string& path) {
        QPrinter& printer = form_->printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(path));
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    }
    void expectPreviewState() {
        EXPECT_FALSE(pageState().Printing);
        EXPECT_EQ(pageState().Surface, &form_->previewSurface());
        EXPECT_EQ(pageState().Printer, nullptr);
        EXPECT_TRUE(form_->DocumentTitle.isEmpty());
    }

    spylerom::test::TempDir dir_;
    std::unique_ptr<FaultyForm> form_;
};

bool near(int value, int wanted, int tolerance = 40) {
    return std::abs(value - wanted) <= tolerance;
}

TEST_F(PrintTest, TestPagePrintsOnePageWithItsTexts) {
    create({{"Skriver_VisDialog", "1"}});
    const std::string pdf = dir_.file("side.pdf");
    toPdf(pdf);
    form_->PrintPage();
    expectPreviewState();
    ASSERT_TRUE(spylerom::test::exists(pdf));
    EXPECT_EQ(pdfPageCount(pdf), 1);
    EXPECT_EQ(pdfInfoField(pdf, "Title"), "utskrift");
    EXPECT_NE(pdfInfoField(pdf, "Page size").find("595"), std::string::npos); // A4 portrait: 595 x 842 pt
    EXPECT_EQ(pdfInfoField(pdf, "Page size").find("842 x"), std::string::npos);
    const std::string text = pdfText(pdf);
    for (const char* wanted : {"Test utskrift", "TESTING", "Rotert tekst, 360 grader", "ÆØÅ", "Skal være på",
                               "tegningskilde: TEST", "e-post:", "org.nr.:"})
        EXPECT_NE(text.find(wanted), std::string::npos) << wanted;
}

TEST_F(PrintTest, PrintedPageHasTheTitleBarAndTheCylinderWhereTheyBelong) {
    create({{"Skriver_VisDialog", "1"}});
    const std::string pdf = dir_.file("side.pdf");
    toPdf(pdf);
    form_->PrintPage();
    const int dpi = 100;
    const Raster raster = renderPdf(pdf, dpi);
    ASSERT_TRUE(raster.valid());
    int r, g, b;
    // The green bar: from 1 mm right of the middle to 1 mm before the right edge, 1 to 19 mm down.
    for (const auto& [x, y] : {std::pair{110.0, 17.0}, std::pair{200.0, 17.0}, std::pair{150.0, 3.0}}) {
        raster.at(x, y, dpi, r, g, b);
        EXPECT_TRUE(near(r, 0) && near(g, 128) && near(b, 0))
            << x << "," << y << ": " << r << " " << g << " " << b;
    }
    raster.at(100, 17, dpi, r, g, b);
    EXPECT_FALSE(near(g, 128) && near(r, 0)) << "no bar left of the middle";
    // The cylinder: long sides at 40 and 140 mm down from 30 to 150 mm across; white inside its
    // right end (no grid there), dark outline where the outer ellipse meets its middle line.
    auto darkNear = [&](double x, double y) {
        for (double dx = -0.5; dx <= 0.5; dx += 0.25)
            for (double dy = -0.5; dy <= 0.5; dy += 0.25) {
                raster.at(x + dx, y + dy, dpi, r, g, b);
                if (r >= 0 && r < 110 && g < 110 && b < 110)
                    return true;
            }
        return false;
    };
    EXPECT_TRUE(darkNear(90, 40));
    EXPECT_TRUE(darkNear(90, 140));
    EXPECT_TRUE(darkNear(150, 90));     // outer ellipse, left point
    EXPECT_TRUE(darkNear(153, 90));     // inner ellipse, left point
    EXPECT_TRUE(darkNear(170, 45));     // inner ellipse, top
    EXPECT_TRUE(darkNear(10, 90));      // the arc's leftmost point
    EXPECT_FALSE(darkNear(90, 60));     // between the long sides: only the pale grid
    raster.at(172, 88.7, dpi, r, g, b); // inside the right end the white fill covers the grid
    EXPECT_TRUE(r > 240 && g > 240 && b > 240) << r << " " << g << " " << b;
    raster.at(89, 89, dpi, r, g, b); // the grid shows between the long sides (89 mm is a grid line)
    EXPECT_TRUE(near(r, 176, 50) && g > 200 && b > 200) << r << " " << g << " " << b;
}

TEST_F(PrintTest, StoredRotationChoosesLandscapeAndTheTitleIsKeptForLaterJobs) {
    create({{"Skriver_VisDialog", "1"}, {"RotatedView", "1"}});
    const std::string first = dir_.file("first.pdf");
    toPdf(first);
    form_->PrintPage();
    EXPECT_TRUE(pageState().Rotated);
    EXPECT_NE(pdfInfoField(first, "Page size").find("842 x 595"), std::string::npos)
        << pdfInfoField(first, "Page size");
    EXPECT_EQ(pdfPageCount(first), 1);

    // A rotation toggled in the preview is not what the next run uses: the stored one is.
    frame::WriteSettingBool("RotatedView", false);
    const std::string second = dir_.file("second.pdf");
    toPdf(second);
    form_->PrintPage();
    EXPECT_FALSE(pageState().Rotated);
    EXPECT_NE(pdfInfoField(second, "Page size").find("595 x 842"), std::string::npos);
    EXPECT_EQ(pdfInfoField(second, "Title"), "utskrift");
    EXPECT_FALSE(frame::ReadSettingBool("RotatedView"));
}

TEST_F(PrintTest, WithoutTheDialogKeyTheSetupDialogComesFirstAndCancelPrintsNothing) {
    create({});
    const std::string pdf = dir_.file("side.pdf");
    toPdf(pdf);
    QString shown;
    QTimer::singleShot(0, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            shown = dialog->objectName();
            static_cast<QDialog*>(dialog)->reject();
        }
    });
    pageState().Rotated = true;
    form_->PrintPage();
    EXPECT_EQ(shown, "PrinterSetupDialog1");
    EXPECT_FALSE(spylerom::test::exists(pdf));
    EXPECT_TRUE(pageState().Rotated); // nothing changed
    EXPECT_EQ(form_->DocumentTitle, "utskrift");
    EXPECT_FALSE(pageState().Printing);
}

TEST_F(PrintTest, AcceptedSetupDialogPrints) {
    create({{"Skriver_VisDialog", "2"}});
    const std::string pdf = dir_.file("side.pdf");
    toPdf(pdf);
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    form_->PrintPage();
    EXPECT_EQ(pdfPageCount(pdf), 1);
    expectPreviewState();
}

struct Failure {
    bool surface;
    bool attach;
    const char* text;
};

class PrintFailures : public PrintTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(PrintFailures, ShownAndTheRunStillEndsInThePreviewState) {
    MessageRecorder messages;
    FaultyForm& form = create({{"Skriver_VisDialog", "1"}});
    form.failSurface = GetParam().surface;
    form.failAttach = GetParam().attach;
    toPdf(dir_.file("side.pdf"));
    form.PrintPage();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].first, "FEIL");
    EXPECT_EQ(messages.boxes[0].second, GetParam().text);
    expectPreviewState();
    // The preview still paints, and the next run prints.
    form.ShowPreview();
    EXPECT_FALSE(form.PaintBox->grab().isNull());
    form.failSurface = form.failAttach = false;
    const std::string pdf = dir_.file("again.pdf");
    toPdf(pdf);
    form.PrintPage();
    EXPECT_EQ(pdfPageCount(pdf), 1);
}

INSTANTIATE_TEST_SUITE_P(Steps, PrintFailures,
                         ::testing::Values(Failure{true, false, "Kan ikke opprette nytt printcanvas"},
                                           Failure{false, true, "Kan ikke tilordne printpeker"}));

TEST_F(PrintTest, NoPrinterIsReportedAndThePreviewStaysUsable) {
    MessageRecorder messages;
    create({{"Skriver_VisDialog", "1"}});
    form_->printer().setOutputFormat(QPrinter::PdfFormat);
    form_->printer().setOutputFileName(QString());
    form_->PrintPage();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].first, "Solvarek Spylerom");
    expectPreviewState();
    form_->ShowPreview();
    QApplication::processEvents();
    EXPECT_EQ(form_->PaintBox->size(), QSize(1050, 1485));
}

TEST_F(PrintTest, ADrawingErrorEndsTheJobWithWhatWasDrawn) {
    MessageRecorder messages;
    create({{"Skriver_VisDialog", "1"}});
    const std::string pdf = dir_.file("side.pdf");
    toPdf(pdf);
    pageState().PageDrawRoutine = [] {
        currentSurface().textOut(100, 100, "Før feilen");
        throw PageError("Heltallsoverløp i utskriften");
    };
    form_->PrintPage();
    EXPECT_EQ(pdfPageCount(pdf), 1);
    EXPECT_NE(pdfText(pdf).find("Før feilen"), std::string::npos);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].second, "Heltallsoverløp i utskriften");
    expectPreviewState();
}

TEST_F(PrintTest, APreviewPaintDuringTheJobWaitsUntilItEnds) {
    create({{"Skriver_VisDialog", "1"}});
    form_->ShowPreview();
    QApplication::processEvents();
    const std::string pdf = dir_.file("side.pdf");
    toPdf(pdf);
    int drawings = 0;
    bool landscapeDuringJob = false;
    pageState().PageDrawRoutine = [&] {
        ++drawings;
        if (!pageState().Printing)
            return;
        // Window messages that arrive while the job spools: a paint of the preview.
        form_->PaintBox->repaint();
        form_->update();
        QApplication::processEvents();
        landscapeDuringJob = form_->printer().pageLayout().orientation() == QPageLayout::Landscape;
        currentSurface().textOut(10, 10, "Under jobben");
    };
    form_->PrintPage();
    EXPECT_EQ(drawings, 1);
    EXPECT_FALSE(landscapeDuringJob);
    EXPECT_EQ(pdfPageCount(pdf), 1);
    EXPECT_NE(pdfText(pdf).find("Under jobben"), std::string::npos);
    expectPreviewState();
    QApplication::processEvents(); // the deferred paint
    form_->PaintBox->repaint();
    EXPECT_GE(drawings, 2);
    EXPECT_EQ(form_->PaintBox->size(), QSize(1050, 1485));
}

TEST_F(PrintTest, FreeFunctionsReachTheWindow) {
    create({{"Skriver_VisDialog", "1"}});
    const std::string pdf = dir_.file("side.pdf");
    toPdf(pdf);
    PrintPage();
    EXPECT_EQ(pdfPageCount(pdf), 1);
    ShowPreview();
    EXPECT_TRUE(form_->isVisible());
}

} // namespace
} // namespace spylerom::printing::test
