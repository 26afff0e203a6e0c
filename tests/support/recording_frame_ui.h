// The frame's message boxes recorded instead of shown, for as long as the recorder lives.
#pragma once

#include "frame/frame_ui.h"

#include <string>
#include <utility>
#include <vector>

namespace spylerom::test {

class RecordingFrameUi : public frame::FrameUi {
public:
    RecordingFrameUi() { frame::setFrameUi(this); }
    ~RecordingFrameUi() override { frame::setFrameUi(nullptr); }
    RecordingFrameUi(const RecordingFrameUi&) = delete;
    RecordingFrameUi& operator=(const RecordingFrameUi&) = delete;

    void messageBox(const std::string& caption, const std::string& text) override {
        boxes.emplace_back(caption, text);
    }
    std::vector<std::pair<std::string, std::string>> boxes; // caption, text
};

} // namespace spylerom::test
