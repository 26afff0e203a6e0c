// End to end through CUPS: a scheduler of the test's own with a cups-pdf queue receives the test
// page from a print run, and the PDF it writes holds one A4 page titled "utskrift" with the green
// title bar. Skipped, saying why, only where cupsd cannot run (a failure under
// SPYLEROM_REQUIRE_PRINTER=1, as in CI).
#include "gui_support.h"
#include "page_fixture.h"

#include "frame/settings.h"
#include "printing/ui/print_form.h"
#include "support/printer_required.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace spylerom::printing::test {
namespace {

const char* const kQueue = "SpyleromPdf";

class CupsPrint : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new spylerom::test::TempDir;
        int status = 0;
        const std::string out = capture(std::string(SPYLEROM_CUPS_FIXTURE) + " start '" + folder_->path() +
                                            "' " + kQueue + " 2>'" + folder_->file("fixture.err") + "'",
                                        &status);
        const std::string err = spylerom::test::readText(folder_->file("fixture.err"));
        if (status == 77)
            skip_ = err.empty() ? "cupsd cannot run here" : err;
        else if (status != 0)
            failure_ = "the CUPS fixture failed: " + err;
        else
            socket_ = out.substr(0, out.find('\n'));
    }
    static void TearDownTestSuite() {
        capture(std::string(SPYLEROM_CUPS_FIXTURE) + " stop '" + folder_->path() + "'");
        delete folder_;
        folder_ = nullptr;
    }
    void TearDown() override {
        ResetPageState();
        frame::ResetSettingsState();
    }

    // The first finished PDF in the queue's output folder, waiting for the job to end.
    static std::string waitForPdf() {
        namespace fs = std::filesystem;
        for (int i = 0; i < 180; ++i) {
            const std::string pending =
                capture("lpstat -h '" + socket_ + "' -W not-completed -o " + kQueue + " 2>/dev/null");
            if (pending.empty()) {
                for (const auto& entry : fs::directory_iterator(folder_->file("out")))
                    if (entry.path().extension() == ".pdf" && fs::file_size(entry.path()) > 0)
                        return entry.path().string();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        return {};
    }

    static spylerom::test::TempDir* folder_;
    static std::string socket_;
    static std::string skip_;
    static std::string failure_;
};

spylerom::test::TempDir* CupsPrint::folder_ = nullptr;
std::string CupsPrint::socket_;
std::string CupsPrint::skip_;
std::string CupsPrint::failure_;

TEST_F(CupsPrint, TestPageReachesThePdfQueueAsOnePage) {
    if (!skip_.empty()) {
        if (spylerom::test::printerRequired())
            FAIL() << spylerom::test::kRequirePrinterVariable << " is set, but " << skip_;
        GTEST_SKIP() << skip_;
    }
    ASSERT_TRUE(failure_.empty()) << failure_;
    // Before Qt's print support first talks to CUPS, which reads the server once.
    ::setenv("CUPS_SERVER", socket_.c_str(), 1);
    useSettings(*folder_, {{"Skriver_VisDialog", "1"}});
    TPrintForm form;
    ASSERT_FALSE(QPrinterInfo::printerInfo(kQueue).isNull()) << "Qt does not see the queue";
    form.printer().setPrinterName(kQueue);
    ASSERT_EQ(form.printer().outputFormat(), QPrinter::NativeFormat);
    form.PrintPage();
    EXPECT_FALSE(pageState().Printing);
    EXPECT_EQ(pageState().Surface, &form.previewSurface());

    const std::string pdf = waitForPdf();
    ASSERT_FALSE(pdf.empty()) << "no PDF from the queue; log: "
                              << spylerom::test::readText(folder_->file("log/error_log"));
    EXPECT_EQ(pdfPageCount(pdf), 1);
    EXPECT_NE(pdfInfoField(pdf, "Title").find("utskrift"), std::string::npos) << pdfInfoField(pdf, "Title");
    EXPECT_NE(pdfInfoField(pdf, "Page size").find("595 x 842"), std::string::npos);
    // The title bar: green over the right half of the head, none over the left half.
    const int dpi = 50;
    const Raster raster = renderPdf(pdf, dpi);
    ASSERT_TRUE(raster.valid());
    auto greenIn = [&](double x0, double x1) {
        int count = 0, r, g, b;
        for (double x = x0; x < x1; x += 1)
            for (double y = 2; y < 20; y += 1) {
                raster.at(x, y, dpi, r, g, b);
                count += (r < 40 && g > 100 && g < 160 && b < 40) ? 1 : 0;
            }
        return count;
    };
    EXPECT_GT(greenIn(110, 200), 500);
    EXPECT_EQ(greenIn(5, 100), 0);
}

} // namespace
} // namespace spylerom::printing::test
