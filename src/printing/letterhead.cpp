#include "printing/letterhead.h"

#include "frame/settings.h"
#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/page_state.h"
#include "printing/primitives.h"

namespace spylerom::printing {

namespace {

using frame::ReadSettingString;

// The grid over the body: 5 mm in from the left, 25 mm down, stopping 5 mm short of the right
// and bottom edges.
void bodyGrid(PageState& s) {
    SetOriginX(5);
    SetOriginY(25);
    s.RightEdgeMm = sub32(s.RightEdgeMm, 5);
    s.BottomEdgeMm = sub32(s.BottomEdgeMm, 5);
    try {
        DrawGrid(4, kPaleCyan);
    } catch (...) {
        s.RightEdgeMm += 5;
        s.BottomEdgeMm += 5;
        throw;
    }
    s.RightEdgeMm += 5;
    s.BottomEdgeMm += 5;
}

// The rule 20 mm below the top margin and the green title bar over the right half.
void ruleAndTitleBar(DrawingSurface& surface, const PageState& s) {
    SetLineWidth(2);
    surface.setPenColor(kBlack);
    const std::int32_t ruleY = add32(s.TopEdge, MmToDev(20));
    surface.line(s.LeftEdge, ruleY, s.RightEdge, ruleY);
    surface.setBrushColor(kGreen);
    surface.roundRect(MmToDev(add32(add32(s.OriginX, s.HalfWidthMm), 1)), add32(s.TopEdge, MmToDev(1)),
                      sub32(s.RightEdge, MmToDev(1)), add32(s.TopEdge, MmToDev(19)), MmToDev(5), MmToDev(5));
}

void companyBlock(DrawingSurface& surface) {
    SetFont("Arial", 20);
    const std::string headerFont = ReadSettingString("Skriver_HeaderFont");
    if (!headerFont.empty())
        surface.font().face = headerFont;
    TextAt(4, 2, ReadSettingString("Firma_Navn"));
    SetFont("Arial", 12);
    TextAt(4, 14, ReadSettingString("Firma_PostNr") + " " + ReadSettingString("Firma_PostSted"));
}

void contactBlock(PageState& s) {
    SetFont("Arial", 6);
    SetOriginX(60);
    SetOriginY(3);
    s.AutoAdvance = true;
    s.MaxTextWidth = 0;
    for (const char* label : {"e-post:", "telefon:", "telefax:", "mobiltlf.:", "org.nr.:"})
        TextLine(label);
    SetOriginX(add32(s.MaxTextWidth, 62));
    SetOriginY(3);
    for (const char* key : {"Firma_Epost", "Firma_Telefon", "Firma_Telefax", "Firma_Mobil", "Firma_OrgNr"})
        TextLine(ReadSettingString(key));
}

} // namespace

void Letterhead(const std::string& title) {
    PageState& s = pageState();
    DrawingSurface& surface = currentSurface();
    DrawFrame();
    bodyGrid(s);
    SetOriginX(0);
    SetOriginY(0);
    ruleAndTitleBar(surface, s);

    SetFont("Arial", 20);
    surface.font().color = kWhite;
    TextAt(add32(s.HalfWidthMm, 4), 2, title);
    surface.setBrushColor(kWhite);
    surface.font().color = kBlack;
    surface.font().style = FontStyle{};

    companyBlock(surface);
    contactBlock(s);
    SetOriginX(0);
    SetOriginY(0);
    SetLineWidth(1);
}

} // namespace spylerom::printing
