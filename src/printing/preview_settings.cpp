#include "printing/preview_settings.h"

#include "frame/settings.h"
#include "printing/page_state.h"

#include <algorithm>
#include <cstdint>

namespace spylerom::printing {

namespace {

// A4 in millimetres: a zoom is screen pixels per millimetre.
constexpr int kPageLong = 297;
constexpr int kPageShort = 210;

} // namespace

void ReadPreviewSettings() {
    PageState& s = pageState();
    const std::int32_t zoom = frame::ReadSettingInteger("PreViewZoom");
    if (zoom > 0)
        s.Zoom = zoom;
    s.Rotated = frame::ReadSettingBool("RotatedView");
}

void StorePreviewZoom() {
    frame::WriteSettingInteger("PreViewZoom", pageState().Zoom);
}

void ZoomIn() {
    PageState& s = pageState();
    if (s.Zoom < INT32_MAX)
        ++s.Zoom;
}

void ZoomOut() {
    PageState& s = pageState();
    if (s.Zoom > 1)
        --s.Zoom;
}

void FitWholePage(int screenHeight) {
    PageState& s = pageState();
    s.Zoom = std::max(1, screenHeight / (s.Rotated ? kPageShort : kPageLong));
}

void FitPageWidth(int screenWidth) {
    PageState& s = pageState();
    s.Zoom = std::max(1, screenWidth / (s.Rotated ? kPageLong : kPageShort));
}

void ToggleRotation() {
    PageState& s = pageState();
    s.Rotated = !s.Rotated;
    frame::WriteSettingBool("RotatedView", s.Rotated);
}

bool StoredLandscape() {
    return frame::ReadSettingBool("RotatedView");
}

bool PrinterDialogWanted() {
    return frame::ReadSettingInteger("Skriver_VisDialog") != 1;
}

} // namespace spylerom::printing
