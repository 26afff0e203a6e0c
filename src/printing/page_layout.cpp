#include "printing/page_layout.h"

#include "frame/settings.h"
#include "printing/page_arithmetic.h"
#include "printing/page_state.h"

namespace spylerom::printing {

namespace {

struct AreaSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Steps 1 and 2 of the layout: the page area's size and the scale.
AreaSize sizeForSurface(PageState& s) {
    if (s.Printing && s.Printer) {
        s.Printer->setLandscape(s.Rotated);
        const AreaSize printer{s.Printer->horzRes(), s.Printer->vertRes()};
        // The short side of the printable area counts as the page's width.
        const std::int32_t shortSide = s.Printer->landscape() ? printer.height : printer.width;
        s.Scale = static_cast<double>(shortSide) / s.PageWidthMm;
        return printer;
    }
    if (s.Zoom < 1)
        s.Zoom = 1;
    s.Scale = s.Zoom;
    const std::int32_t across = s.Rotated ? s.PageHeightMm : s.PageWidthMm;
    const std::int32_t down = s.Rotated ? s.PageWidthMm : s.PageHeightMm;
    return {mul32(s.Zoom, across), mul32(s.Zoom, down)};
}

} // namespace

std::int32_t MmToDev(std::int32_t v) {
    return trunc32(v * pageState().Scale);
}

void SetOriginX(std::int32_t a) {
    PageState& s = pageState();
    s.OriginX = add32(a, trunc32(s.LeftEdge / s.Scale));
}

void SetOriginY(std::int32_t a) {
    PageState& s = pageState();
    s.OriginY = add32(a, trunc32(s.TopEdge / s.Scale));
}

void NewLines(double n) {
    PageState& s = pageState();
    s.OriginY = round32(s.LineHeight * n + s.OriginY);
}

void ResetView() {
    PageState& s = pageState();
    const AreaSize area = sizeForSurface(s);
    s.PageAreaWidth = area.width;
    s.PageAreaHeight = area.height;

    s.OriginX = frame::ReadSettingInteger("Skriver_VenstreMarg");
    s.OriginY = frame::ReadSettingInteger("Skriver_ToppMarg");
    s.LeftEdge = MmToDev(s.OriginX);
    s.TopEdge = MmToDev(s.OriginY);
    s.RightEdge = sub32(sub32(area.width, MmToDev(frame::ReadSettingInteger("Skriver_HoyreMarg"))), 1);
    s.BottomEdge = sub32(sub32(area.height, MmToDev(frame::ReadSettingInteger("Skriver_BunnMarg"))), 1);

    const std::int32_t client = s.View ? s.View->clientWidth() : 0;
    s.PageAreaLeft = client > area.width ? (client - area.width) / 2 : 0;
    if (s.View)
        s.View->placePageArea(s.PageAreaLeft, 0, area.width, area.height);

    s.HalfWidthMm = trunc32(sub32(s.RightEdge, s.LeftEdge) / 2 / s.Scale);
    s.RightEdgeMm = trunc32(s.RightEdge / s.Scale);
    s.BottomEdgeMm = trunc32(s.BottomEdge / s.Scale);
}

} // namespace spylerom::printing
