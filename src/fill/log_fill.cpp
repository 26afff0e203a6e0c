// Writes a volume's internal log around with attribute transactions of the pass's own, in small
// files made, made durable and deleted one at a time relative to their pinned folder.
#include "fill/log_fill.h"

#include "fill/pinned_folder.h"
#include "fill/record_fill.h"

#include <string>
#include <vector>

namespace spylerom::fill {

using platform::sys;

namespace {

// The attribute names of a file, made once: short, so the values take the most of a leaf.
const std::vector<std::string>& valueNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> made;
        for (int k = 0; k < kLogValuesPerFile; ++k)
            made.push_back("spylerom." + std::to_string(k));
        return made;
    }();
    return names;
}

// One file of the step: made, given its values and made durable. False with err when that
// could not be done whole; made tells whether the name exists (and so must go again).
bool makeLogFile(const PinnedFolder& folder, const std::string& name, const std::uint8_t* value, bool& made,
                 platform::Error& err) {
    platform::FileIdentity id;
    const platform::FileHandle file = sys().createFillFile(folder.get(), name, id, err);
    made = file != platform::kInvalidFile;
    if (!made)
        return false;
    bool ok = true;
    for (const std::string& attribute : valueNames()) {
        if (!sys().setFileAttribute(file, attribute, value, kLogValueBytes, err)) {
            ok = false;
            break;
        }
    }
    // The values reach the log only when it is forced; the file's flush forces it.
    if (ok && !sys().flushFile(file, err))
        ok = false;
    return CloseStepFile(file, ok, err);
}

} // namespace

std::int64_t LogFillTarget(std::int64_t logBytes) {
    return logBytes * kLogMarginPercent / 100; // an xfs log is 2 GiB at most
}

LogFillResult WriteLogAround(platform::FolderHandle fill, const std::string& mark, std::int64_t logBytes,
                             const std::uint8_t* value, const std::function<bool()>& stopRequested) {
    LogFillResult result;
    const std::int64_t target = LogFillTarget(logBytes);
    std::int64_t left = 0; // the number of a file that could not be deleted at once (0: none)
    if (MakeStepFolder(fill, mark, result.folderMade, result.error)) {
        const PinnedFolder pinned(fill, StepFolderBelow(), result.error);
        const std::int64_t perFile = static_cast<std::int64_t>(kLogValueBytes) * kLogValuesPerFile;
        while (pinned.ok() && result.writtenBytes < target && !(stopRequested && stopRequested())) {
            const std::string name = StepFileName(result.files + 1);
            bool made = false;
            const bool durable = makeLogFile(pinned, name, value, made, result.error);
            if (made)
                ++result.files;
            if (durable)
                result.writtenBytes += perFile;
            // Deleted at once: the step takes one file's room at a time, however large the log.
            platform::Error err;
            if (made && !sys().deleteFillFile(pinned.get(), name, err)) {
                if (result.error.code == platform::kErrorSuccess)
                    result.error = err;
                left = result.files;
                break;
            }
            if (!durable)
                break;
        }
    }
    result.complete = result.writtenBytes >= target;
    if (result.folderMade) {
        // The file that would not go is tried once more, then the folder goes.
        platform::Error err;
        result.removed = RemoveStepFiles(fill, left == 0 ? 1 : left, left, err) == 0 &&
                         err.code == platform::kErrorSuccess;
        if (!result.removed)
            result.removeError = err;
    }
    return result;
}

} // namespace spylerom::fill
