// The GDI surface on a memory bitmap of a page at printer resolution: the test page puts its
// green title bar where the layout says, fonts turn counter-clockwise about the text's corner
// and measure alike whatever their turn, and hatches leave the ground between their lines.
#include "memory_page.h"
#include "page_fixture.h"

#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/primitives.h"
#include "printing/test_page.h"
#include "printing/win32ui/gdi_printer.h"
#include "printing/win32ui/gdi_surface.h"
#include "support/printer_required.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace spylerom::printing::test {
namespace {

constexpr std::uint32_t kGreenPixel = 0x008000;
constexpr std::uint32_t kWhitePixel = 0xFFFFFF;

class GdiSurfaceTest : public PageTest {};

TEST_F(GdiSurfaceTest, TheTestPageHasItsGreenTitleBarWhereTheLayoutPutsIt) {
    // A4 at 5 pixels a millimetre, printed as the print command does.
    MemoryPage bitmap(1050, 1485);
    ASSERT_TRUE(bitmap.ok());
    FixedPrinter printer(bitmap.width(), bitmap.height());
    page().Printing = true;
    page().Printer = &printer;

    // Where the layout puts the bar: the recording of the same page on the same printer.
    RecordingSurface recording(GetDeviceCaps(bitmap.dc(), LOGPIXELSY));
    page().Surface = &recording;
    ResetView();
    recording.startPage();
    TestPage();
    const auto rounds = recording.opsOf(RecordedOp::Kind::RoundRect);
    const auto bar = std::find_if(rounds.begin(), rounds.end(), [](const RecordedOp& op) {
        return op.brushColor == kGreen && op.brushStyle == BrushStyle::Solid;
    });
    ASSERT_NE(bar, rounds.end());
    const Point topLeft = bar->points[0], bottomRight = bar->points[1];

    GdiSurface gdi(bitmap.dc());
    page().Surface = &gdi;
    ResetView();
    gdi.startPage();
    TestPage();

    long inside = 0, outside = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            if (bitmap.pixel(x, y) == kGreenPixel) {
                const bool in = x >= topLeft.x && x < bottomRight.x && y >= topLeft.y && y < bottomRight.y;
                ++(in ? inside : outside);
            }
    const long area = static_cast<long>(bottomRight.x - topLeft.x) * (bottomRight.y - topLeft.y);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, area / 2) << "of " << area; // the title's white text and the round corners aside
    // Its lower right part, clear of the title and the corner, is green; the page above it white.
    EXPECT_EQ(bitmap.pixel(bottomRight.x - 20, bottomRight.y - 20), kGreenPixel);
    EXPECT_EQ(bitmap.pixel(bottomRight.x - 20, topLeft.y - 3), kWhitePixel);
    // The frame's black line runs along the printable area's left edge.
    EXPECT_EQ(bitmap.pixel(page().LeftEdge, (topLeft.y + bottomRight.y) / 2) & 0xFFFFFF, 0x000000u);
}

TEST_F(GdiSurfaceTest, TextTurnsCounterClockwiseAboutItsCornerAndMeasuresTheSameTurned) {
    MemoryPage bitmap(400, 400);
    ASSERT_TRUE(bitmap.ok());
    GdiSurface gdi(bitmap.dc());
    gdi.startPage();
    gdi.setBrushStyle(BrushStyle::Hollow);
    gdi.font().face = "Arial";
    gdi.font().points = 20;
    const Extent upright = gdi.textExtent("IIIIIIIIII");
    gdi.font().points = 40;
    const Extent larger = gdi.textExtent("IIIIIIIIII");
    EXPECT_GT(upright.width, 0);
    EXPECT_GT(larger.width, upright.width * 3 / 2);
    EXPECT_GT(larger.height, upright.height * 3 / 2);

    gdi.font().points = 20;
    gdi.font().escapement = 900; // a quarter turn: the text runs upward from its corner
    const Extent turned = gdi.textExtent("IIIIIIIIII");
    EXPECT_EQ(turned.width, upright.width);
    EXPECT_EQ(turned.height, upright.height);
    gdi.textOut(200, 300, "IIIIIIIIII");
    int minX = 400, maxX = -1, minY = 400, maxY = -1;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            if (bitmap.pixel(x, y) != kWhitePixel) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    ASSERT_GE(maxX, 0) << "nothing drawn";
    EXPECT_LE(maxY, 300 + 1);                  // above the corner ...
    EXPECT_GE(minY, 300 - upright.width - 2);  // ... as far up as the text is long
    EXPECT_GE(minX, 200 - 1);                  // the cell lies right of the corner
    EXPECT_LE(maxX, 200 + upright.height + 1); // its height across
    EXPECT_GT(maxY - minY, (maxX - minX) * 2); // a column, not a row
}

TEST_F(GdiSurfaceTest, HatchedBoxesLeaveTheGroundBetweenTheirLinesAndHollowBoxesFillNothing) {
    MemoryPage bitmap(200, 100);
    ASSERT_TRUE(bitmap.ok());
    GdiSurface gdi(bitmap.dc());
    gdi.startPage();
    gdi.setBrushColor(Color{255, 0, 0});
    gdi.setBrushStyle(BrushStyle::Horizontal);
    gdi.rectangle(10, 10, 90, 90);
    gdi.setBrushStyle(BrushStyle::Hollow);
    gdi.rectangle(110, 10, 190, 90);
    int red = 0, white = 0;
    for (int y = 12; y < 88; ++y) {
        const std::uint32_t p = bitmap.pixel(50, y);
        red += p == 0xFF0000;
        white += p == kWhitePixel;
    }
    EXPECT_GT(red, 3);
    EXPECT_GT(white, red); // lines, not a fill
    EXPECT_EQ(bitmap.pixel(150, 50), kWhitePixel);
    EXPECT_EQ(bitmap.pixel(110, 50), 0x000000u); // the outline in the pen's colour
}

TEST_F(GdiSurfaceTest, ANamedFaceIsTheFontGdiMakes) {
    MemoryPage bitmap(10, 10);
    ASSERT_TRUE(bitmap.ok());
    FontSpec spec;
    spec.face = "Times New Roman";
    spec.points = 12;
    spec.escapement = 450;
    spec.style.bold = true;
    const LOGFONTW logFont = logFontFor(spec, 600);
    EXPECT_EQ(logFont.lfHeight, -100);
    EXPECT_EQ(logFont.lfEscapement, 450);
    EXPECT_EQ(logFont.lfWeight, FW_BOLD);
    EXPECT_EQ(std::wstring(logFont.lfFaceName), L"Times New Roman");
}

TEST_F(GdiSurfaceTest, APrinterWithoutADeviceRefusesThePrintRunAndGivesTheStateBack) {
    GdiPrinter printer; // none chosen
    DrawingSurface* before = page().Surface;
    int drawn = 0;
    page().PageDrawRoutine = [&] { ++drawn; };
    EXPECT_THROW(PrintOnePage(printer, "Test utskrift"), PageError);
    EXPECT_EQ(drawn, 0);
    EXPECT_EQ(page().Surface, before);
    EXPECT_FALSE(page().Printing);
    EXPECT_EQ(page().Printer, nullptr);
}

// The PDFs the test's own printer queue wrote, by name (SPYLEROM_WIN32_PRINT_OUT: their folder).
std::vector<std::string> printedFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), ec))
        if (entry.path().extension() == ".pdf")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(GdiSurfaceTest, TheTestPagePrintsAsOneJobWithItsTitleOnTheSystemsPrinter) {
    const char* out = std::getenv("SPYLEROM_WIN32_PRINT_OUT");
    if (!out || !*out) {
        // Run through tests/printing/win32_print_check.sh, which hands the queue over; where the
        // printer is required (CI), a run without it is a failure rather than a skip.
        if (spylerom::test::printerRequired())
            FAIL() << "SPYLEROM_REQUIRE_PRINTER is set, but no printer queue was handed over";
        GTEST_SKIP() << "no printer queue of the test's own (scripts/test-win32.sh makes one as root)";
    }
    const std::vector<std::string> before = printedFiles(out);
    GdiPrinter printer;
    ASSERT_TRUE(printer.useDefault()) << "Wine sees no printer";
    useSettings(dir_, {{"Firma_Navn", "Solbakken Data AS"}});
    page().PageDrawRoutine = TestPage;
    PrintOnePage(printer, "Spylerom testside");
    EXPECT_FALSE(page().Printing);
    EXPECT_EQ(page().Printer, nullptr);

    std::vector<std::string> added;
    for (int waited = 0; waited < 600 && added.empty(); ++waited) {
        Sleep(100);
        for (const auto& name : printedFiles(out))
            if (std::find(before.begin(), before.end(), name) == before.end())
                added.push_back(name);
    }
    ASSERT_EQ(added.size(), 1u) << "one job, one file";
    EXPECT_NE(added[0].find("testside"), std::string::npos) << added[0]; // the job's title
    Sleep(500);                                                          // the backend may still be writing
    const std::string pdf = spylerom::test::readText(std::string(out) + "\\" + added[0]);
    ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
    std::size_t pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1))
        pages += pdf.compare(at, 12, "/Type /Pages") != 0;
    for (std::size_t at = pdf.find("/Type/Page"); at != std::string::npos;
         at = pdf.find("/Type/Page", at + 1))
        pages += pdf.compare(at, 11, "/Type/Pages") != 0;
    EXPECT_EQ(pages, 1u);
}

} // namespace
} // namespace spylerom::printing::test
