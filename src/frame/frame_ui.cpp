// Console fallback of the frame's window services, and the general error report.
#include "frame/frame_ui.h"

#include "frame/textfil.h"

#include <cstdio>
#include <exception>

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

void ReportGeneralError(const std::string& caption, const std::string& text) {
    WriteLog("FEIL: " + text);
    frameUi().messageBox(caption, text);
}

void GuardedHandler(const std::string& caption, const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& e) {
        ReportGeneralError(caption, e.what());
    } catch (...) {
        ReportGeneralError(caption, "Ukjent feil");
    }
}

} // namespace spylerom::frame
