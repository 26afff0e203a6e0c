// The test page's device coordinates on a 600 dpi A4 printer, recorded operation by operation,
// against the recording the Linux build made (data/test_page_a4_600dpi.txt): the Windows build
// must lay the page out to the same pixel. SPYLEROM_WRITE_PAGE_RECORD=1 writes the file anew
// (after a deliberate change of the page, on Linux).
#include "page_fixture.h"

#include "printing/page_layout.h"
#include "printing/test_page.h"

#include <cstdlib>
#include <sstream>

namespace spylerom::printing::test {
namespace {

const char* kindName(RecordedOp::Kind kind) {
    switch (kind) {
    case RecordedOp::Kind::Text:
        return "text";
    case RecordedOp::Kind::Line:
        return "line";
    case RecordedOp::Kind::Polyline:
        return "polyline";
    case RecordedOp::Kind::Rectangle:
        return "rectangle";
    case RecordedOp::Kind::RoundRect:
        return "roundrect";
    case RecordedOp::Kind::Ellipse:
        return "ellipse";
    case RecordedOp::Kind::Arc:
        return "arc";
    }
    return "?";
}

std::string colorText(Color c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

// One line an operation: kind, points, pen, brush, then for text the font and the text.
std::string recordText(const RecordingSurface& surface) {
    std::ostringstream out;
    for (const auto& op : surface.ops()) {
        out << kindName(op.kind);
        for (const auto& p : op.points)
            out << ' ' << p.x << ',' << p.y;
        out << " | pen " << colorText(op.penColor) << ' ' << op.penWidth << " | brush "
            << colorText(op.brushColor) << ' ' << static_cast<int>(op.brushStyle);
        if (op.kind == RecordedOp::Kind::Text) {
            const FontSpec& f = op.font;
            out << " | font " << f.face << ' ' << f.points << ' ' << colorText(f.color) << ' ' << f.style.bold
                << f.style.italic << f.style.underline << f.style.strikeOut << ' ' << f.escapement << " | "
                << op.text;
        }
        out << '\n';
    }
    return out.str();
}

class PageRecordTest : public PageTest {};

TEST_F(PageRecordTest, TheTestPageOnA600DpiPrinterMatchesTheLinuxRecording) {
    useSettings(dir_, {{"Firma_Navn", "Solbakken Data AS"},
                       {"Firma_PostNr", "1234"},
                       {"Firma_PostSted", "Småby"},
                       {"Firma_Epost", "post@example.no"},
                       {"Skriver_VenstreMarg", "6"},
                       {"Skriver_ToppMarg", "7"},
                       {"Skriver_HoyreMarg", "5"},
                       {"Skriver_BunnMarg", "8"}});
    RecordingSurface printerPage(600);
    FixedPrinter printer(4960, 7016); // A4 at 600 dpi
    page().Printing = true;
    page().Printer = &printer;
    page().Surface = &printerPage;
    ResetView();
    printerPage.startPage();
    TestPage();
    const std::string recorded = recordText(printerPage);
    ASSERT_GT(printerPage.ops().size(), 100u);

    const std::string file = std::string(SPYLEROM_PRINTING_DATA) + "/test_page_a4_600dpi.txt";
    if (const char* write = std::getenv("SPYLEROM_WRITE_PAGE_RECORD"); write && std::string(write) == "1")
        spylerom::test::writeText(file, recorded);
    const std::string expected = spylerom::test::readText(file);
    ASSERT_FALSE(expected.empty()) << "no recording at " << file;
    // Line by line, so that a difference names its operation.
    std::istringstream got(recorded), want(expected);
    std::string gotLine, wantLine;
    for (int line = 1; std::getline(want, wantLine); ++line) {
        ASSERT_TRUE(std::getline(got, gotLine)) << "the page ends before line " << line;
        ASSERT_EQ(gotLine, wantLine) << "line " << line;
    }
    EXPECT_FALSE(std::getline(got, gotLine)) << "more operations than recorded: " << gotLine;
}

} // namespace
} // namespace spylerom::printing::test
