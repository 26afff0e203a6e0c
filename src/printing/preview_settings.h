// The preview's rules that do not depend on a toolkit: its zoom and rotation in PageState, the
// settings keys that keep them, and what a print run reads. Laying out and painting the page,
// and the screen's size, are the preview window's.
#pragma once

namespace spylerom::printing {

// Zoom := "PreViewZoom" when above 0 (else it keeps its value); Rotated := "RotatedView".
void ReadPreviewSettings();
// "PreViewZoom" := Zoom.
void StorePreviewZoom();

// Zoom one step up or down, never below 1 nor past the 32-bit range.
void ZoomIn();
void ZoomOut();
// Zoom at which the whole page, or its width, fits a screen of that many pixels (at least 1).
void FitWholePage(int screenHeight);
void FitPageWidth(int screenWidth);
// Rotated flipped, and stored as "RotatedView".
void ToggleRotation();

// A print run's orientation as last stored, and whether it asks for the printer dialog first
// (every run unless "Skriver_VisDialog" is 1).
bool StoredLandscape();
bool PrinterDialogWanted();

} // namespace spylerom::printing
