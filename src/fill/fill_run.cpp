// The fill run: the repetitions of the pass, Stop, and the window's idle and running states.
#include "fill/fill_engine.h"
#include "fill/fill_writer.h"

#include "frame/textfil.h"

#include <algorithm>

namespace spylerom::fill {

using frame::WriteLog;

void FillEngine::Spyleromen() {
    // Stop re-enables START while the stopped pass still cleans up; a click handled in that
    // clean-up's message processing must not start a second run over files still open.
    if (runActive_)
        return;
    runActive_ = true;
    failedPasses_ = 0;
    troubledPasses_ = 0;
    FillState& s = fillState();
    StasjonChange(true);
    s.StopRequested = false;
    window_.setStartNoticeVisible(true);
    const int repetitions = s.Repetitions;
    for (int r = 1; r <= repetitions; ++r) {
        settstopp();
        if (s.StopRequested)
            break;
        s.CurrentRepetition = static_cast<std::int16_t>(r);
        StartknappClick();
    }
    window_.setStartNoticeVisible(false);
    settstart();
    runActive_ = false;
}

void FillEngine::settstart() {
    fillState().WritingStopped = true;
    window_.showIdle();
    StasjonChange(false);
}

void FillEngine::settstopp() {
    window_.showRunning();
    fillState().WritingStopped = false;
}

void FillEngine::StoppKnappClick() {
    window_.setWaitNoticeVisible(true);
    WriteLog("Stopper fylling av disk");
    fillState().StopRequested = true;
    if (liveWriter_ != nullptr)
        liveWriter_->stop = true; // the writer ends after the write it is in, not a refresh later
    settstart();
}

void FillEngine::TrackBar1Change() {
    const int position = std::clamp(window_.trackBarPosition(), 1, 10);
    fillState().Repetitions = static_cast<std::int16_t>(position);
    window_.setRepetitionText(std::to_string(position) + " gjentagelser");
}

} // namespace spylerom::fill
