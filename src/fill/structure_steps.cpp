// The steps after a pass's deletes that reach past the free space: what the volume's own
// structures keep of deleted files, and the freed space handed back to the device. Each step
// asks the platform what the volume offers, logs what it did, and says in a "HINT:" line what it
// could not reach and why.
#include "fill/fill_engine.h"

#include "frame/textfil.h"
#include "platform/platform.h"

namespace spylerom::fill {

using platform::sys;

namespace {

constexpr std::int64_t kMB = 1024 * 1024;

bool noRight(const platform::Error& err) {
    return err.code == platform::kErrorAccessDenied;
}

} // namespace

void FillEngine::timedStep(const char* name, const std::function<void()>& step) {
    const std::int64_t startMs = sys().monotonicMilliseconds();
    step();
    if (frame::logState().Verbose)
        log(std::string("Steget ") + name + " tok " +
            std::to_string(sys().monotonicMilliseconds() - startMs) + " ms");
}

void FillEngine::clearStructures(PassFiles& files, bool randomFill) {
    // Stop ends the pass where it is: what is deleted stays deleted, nothing more is begun.
    if (!state_.StopRequested)
        timedStep("metadata", [&] { fillMetadataSpace(files, randomFill); });
    if (!state_.StopRequested)
        timedStep("logg", [&] { overwriteInternalLog(files, randomFill); });
    if (!state_.StopRequested)
        timedStep("journal", [&] { wipeJournal(files); });
    if (!state_.StopRequested && choices_.trim)
        timedStep("trim", [&] { trimFreedSpace(files); });
}

void FillEngine::wipeJournal(PassFiles& files) {
    const std::string& drive = choices_.drive.text;
    platform::Error err;
    switch (sys().wipeJournal(files.folder(), err)) {
    case platform::JournalWipe::Zeroed:
        log("Journalen på " + drive + " er nullstilt");
        return;
    case platform::JournalWipe::Discarded:
        log("Journalen på " + drive + " er gitt tilbake til lagringsenheten (discard)");
        return;
    case platform::JournalWipe::WrittenHome:
        log("HINT: Journalen på " + drive +
            " er skrevet hjem, men kan fortsatt ha kopier av gamle katalogblokker: kjernen nullstiller den "
            "ikke");
        return;
    case platform::JournalWipe::None:
        if (err.code == platform::kErrorSuccess)
            return; // no journal of that kind
        log("HINT: Journalen på " + drive + " kan fortsatt ha kopier av gamle katalogblokker" +
            (noRight(err) ? ": bare en administrator kan nullstille den"
                          : " (feil " + ErrorCodeText(err) + ")"));
        return;
    }
}

void FillEngine::trimFreedSpace(PassFiles& files) {
    const std::string& drive = choices_.drive.text;
    std::int64_t bytes = 0;
    platform::Error err;
    if (!sys().trimFreeSpace(files.folder(), bytes, err)) {
        if (files.trimmedBytes() == 0 && err.code == platform::kErrorNotSupported &&
            files.trimError().code != platform::kErrorSuccess)
            err = files.trimError(); // a volume trimmed file by file: its own answer
        if (files.trimmedBytes() == 0) {
            if (noRight(err))
                log("HINT: Bare en administrator kan gi den frigjorte plassen på " + drive +
                    " tilbake til lagringsenheten");
            else if (err.code == platform::kErrorNotSupported)
                log("HINT: Frigjort plass på " + drive +
                    " kan ikke gis tilbake til lagringsenheten (filsystemet eller enheten tar ikke imot "
                    "det)");
            else
                log("HINT: Den frigjorte plassen på " + drive +
                    " ble ikke gitt tilbake til lagringsenheten (feil " + ErrorCodeText(err) + ")");
            return;
        }
    }
    bytes += files.trimmedBytes();
    log("Ga " + std::to_string(bytes / kMB) + " MB tilbake til lagringsenheten");
}

} // namespace spylerom::fill
