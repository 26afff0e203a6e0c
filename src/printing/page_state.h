// PageState: the one record of the page model (geometry of the current surface, scale, origin,
// text metrics, the drawing routine), with the small interfaces through which the layout
// reaches the preview window and the printer. The windows implement them; this file draws nothing.
#pragma once

#include "printing/drawing_surface.h"

#include <cstdint>
#include <functional>

namespace spylerom::printing {

// The preview window's page area, as the layout places it.
class PageView {
public:
    virtual ~PageView() = default;
    virtual std::int32_t clientWidth() const = 0;
    // The page area's place and size in the window's client area, pixels.
    virtual void placePageArea(std::int32_t left, std::int32_t top, std::int32_t width,
                               std::int32_t height) = 0;
    // The system's default beep (MessageBeep(0)).
    virtual void beep() = 0;
};

// The printer of a print run, as the layout sees it.
class PrinterDevice {
public:
    virtual ~PrinterDevice() = default;
    virtual void setLandscape(bool landscape) = 0;
    virtual bool landscape() const = 0;
    // Printable width and height in printer pixels (HORZRES, VERTRES), in the current orientation.
    virtual std::int32_t horzRes() const = 0;
    virtual std::int32_t vertRes() const = 0;
};

enum class MouseButton { Left, Right, Middle };

struct ShiftState {
    bool shift = false;
    bool alt = false;
    bool ctrl = false;
};

using PageRoutine = std::function<void()>;
using ClickRoutine =
    std::function<void(MouseButton button, ShiftState shift, std::int32_t x, std::int32_t y)>;

struct PageState {
    std::int32_t PageWidthMm = 210;
    std::int32_t PageHeightMm = 297;
    std::int32_t Zoom = 5; // preview pixels per millimetre, at least 1
    bool Rotated = false;
    bool Printing = false;
    double Scale = 0;
    std::int32_t LeftEdge = 0;
    std::int32_t TopEdge = 0;
    std::int32_t RightEdge = 0; // inclusive
    std::int32_t BottomEdge = 0;
    std::int32_t HalfWidthMm = 0;
    std::int32_t RightEdgeMm = 0;
    std::int32_t BottomEdgeMm = 0;
    std::int32_t OriginX = 0;
    std::int32_t OriginY = 0;
    std::int32_t LineHeight = 0;
    std::int32_t MaxTextWidth = 0;
    bool AutoAdvance = false;
    DrawingSurface* Surface = nullptr;
    PageRoutine PageDrawRoutine;   // starts as TestPage
    ClickRoutine PageClickRoutine; // starts as a beep through View

    // The page area as the last layout left it, and where the layout finds the window and the
    // printer (either may be absent: no window, no print run).
    std::int32_t PageAreaLeft = 0;
    std::int32_t PageAreaWidth = 0;
    std::int32_t PageAreaHeight = 0;
    PageView* View = nullptr;
    PrinterDevice* Printer = nullptr;
};

// The one instance of the process.
PageState& pageState();
// Back to the start values (tests).
void ResetPageState();

// The surface in use; throws PageError when no surface has been set.
DrawingSurface& currentSurface();

} // namespace spylerom::printing
