// Console fallback of the frame's window services.
#include "frame/frame_ui.h"

#include <cstdio>

namespace spylerom::frame {

namespace {
FrameUi g_console;
FrameUi* g_ui = nullptr;
} // namespace

void FrameUi::messageBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void FrameUi::setWaitCursor(bool) {}

void FrameUi::requestQuit() {}

FrameUi& frameUi() {
    return g_ui ? *g_ui : g_console;
}

void setFrameUi(FrameUi* ui) {
    g_ui = ui;
}

} // namespace spylerom::frame
