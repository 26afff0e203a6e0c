// Helpers of the printing window tests: the Qt application, a recorder of the frame's message
// boxes, and reading printed PDFs back with poppler's tools.
#pragma once

#include "support/recording_frame_ui.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace spylerom::printing::test {

using MessageRecorder = spylerom::test::RecordingFrameUi;

// Standard output of a shell command; exit status in status when given.
std::string capture(const std::string& command, int* status = nullptr);
int pdfPageCount(const std::string& pdf);
std::string pdfText(const std::string& pdf);
// "Title:" and "Page size:" lines of pdfinfo.
std::string pdfInfoField(const std::string& pdf, const std::string& field);

// The first page rendered at dpi, as RGB pixels.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    bool valid() const { return width > 0; }
    // Pixel at a position in millimetres from the page's top-left corner.
    void at(double xMm, double yMm, int dpi, int& r, int& g, int& b) const;
};
Raster renderPdf(const std::string& pdf, int dpi);

} // namespace spylerom::printing::test
