// Shared set-up of the printing tests: a settings file of the test's own as the open settings
// document, a fresh PageState, a recording surface and page area, and a printer of chosen size.
#pragma once

#include "printing/page_state.h"
#include "printing/recording_surface.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace spylerom::printing::test {

// Opens an INI file holding [STANDARD] with the given keys as the main settings document,
// in the test's folder.
void useSettings(const spylerom::test::TempDir& dir, const std::map<std::string, std::string>& standard);

// A page area that records where the layout put it and counts beeps.
class RecordingView : public PageView {
public:
    std::int32_t client = 0;
    std::int32_t left = -1, top = -1, width = -1, height = -1;
    int beeps = 0;
    std::int32_t clientWidth() const override { return client; }
    void placePageArea(std::int32_t l, std::int32_t t, std::int32_t w, std::int32_t h) override {
        left = l;
        top = t;
        width = w;
        height = h;
    }
    void beep() override { ++beeps; }
};

// A printer that reports a fixed printable area and turns it with the orientation.
class FixedPrinter : public PrinterDevice {
public:
    FixedPrinter(std::int32_t portraitWidth, std::int32_t portraitHeight)
        : width_(portraitWidth), height_(portraitHeight) {}
    bool isLandscape = false;
    int orientationCalls = 0;
    void setLandscape(bool landscape) override {
        isLandscape = landscape;
        ++orientationCalls;
    }
    bool landscape() const override { return isLandscape; }
    std::int32_t horzRes() const override { return isLandscape ? height_ : width_; }
    std::int32_t vertRes() const override { return isLandscape ? width_ : height_; }

private:
    std::int32_t width_, height_;
};

class PageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Settings, then ResetView at zoom (preview).
    void layOut(const std::map<std::string, std::string>& settings = {}, std::int32_t zoom = 5);
    PageState& page() { return pageState(); }

    spylerom::test::TempDir dir_;
    RecordingSurface surface_;
    RecordingView view_;
};

} // namespace spylerom::printing::test
