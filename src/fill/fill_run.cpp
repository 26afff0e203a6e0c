// The fill run: the repetitions of the pass, Stop, and the window's idle and running states.
#include "fill/fill_engine.h"
#include "fill/fill_writer.h"

#include "frame/textfil.h"

#include <algorithm>

namespace spylerom::fill {

using frame::WriteLog;

RunReport FillEngine::Spyleromen(const FillChoices& choices) {
    // Stop re-enables START while the stopped pass still cleans up; a click handled in that
    // clean-up's message processing must not start a second run over files still open.
    if (runActive_)
        return RunReport{};
    runActive_ = true;
    report_ = RunReport{};
    report_.started = true;
    choices_ = choices;
    state_ = FillState{};
    state_.Repetitions = static_cast<std::int16_t>(std::clamp(choices.repetitions, 1, 10));
    selectDrive(choices.drive);
    FillState& s = state_;
    window_.setStartNoticeVisible(true);
    const int repetitions = s.Repetitions;
    for (int r = 1; r <= repetitions; ++r) {
        settstopp();
        if (s.StopRequested)
            break;
        s.CurrentRepetition = static_cast<std::int16_t>(r);
        ++report_.passes;
        StartknappClick();
    }
    report_.stopped = s.StopRequested;
    window_.setStartNoticeVisible(false);
    settstart();
    runActive_ = false;
    return report_;
}

void FillEngine::settstart() {
    state_.WritingStopped = true;
    window_.showIdle();
    StasjonChange(false);
}

void FillEngine::settstopp() {
    window_.showRunning();
    state_.WritingStopped = false;
}

void FillEngine::StoppKnappClick() {
    window_.setWaitNoticeVisible(true);
    WriteLog("Stopper fylling av disk");
    state_.StopRequested = true;
    if (liveWriter_ != nullptr)
        liveWriter_->stop = true; // the writer ends after the write it is in, not a refresh later
    settstart();
}

void FillEngine::TrackBar1Change(int position) {
    position = std::clamp(position, 1, 10);
    state_.Repetitions = static_cast<std::int16_t>(position);
    window_.setRepetitionText(std::to_string(position) + " gjentagelser");
}

} // namespace spylerom::fill
