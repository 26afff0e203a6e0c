#include "fill/pass_files.h"

#include "fill/io_error_texts.h"

namespace spylerom::fill {

using platform::sys;

std::string ErrorCodeText(const platform::Error& err) {
    const std::string text = err.code >= 1 && err.code <= 216 ? IoErrorTexts(err.code) : err.message;
    return std::to_string(err.code) + " " + text;
}

std::string ErrorNumberLine(const platform::Error& err) {
    return "FEILNR: " + ErrorCodeText(err);
}

PassFiles::~PassFiles() {
    if (!finished_ && (!files_.empty() || !reserveTokens_.empty() || recorded_)) {
        // Only an exception leaves a pass this way: its files must not stay on the drive.
        std::vector<std::string> ignored;
        finish(ignored);
    }
    letGo();
}

bool PassFiles::pin(const std::string& driveRoot, const std::string& folder, const std::string& driveLetter,
                    Refusal& refusal) {
    platform::Error err;
    lock_ = sys().lockDrive(driveRoot, err);
    if (lock_ == platform::kInvalidFolder) {
        if (err.code == platform::kErrorLockViolation)
            refusal.lines.push_back("FEIL: Stasjon " + driveLetter +
                                    ": fylles allerede av et annet program, ingen filer er laget");
        else
            refusal.lines.push_back("FEIL: Stasjon " + driveLetter + ": kan ikke låses for fylling");
        refusal.lines.push_back(ErrorNumberLine(err));
        return false;
    }
    // The folder is reached from the drive's root one name at a time: a link on the way (a
    // user's tmp folder, say) could otherwise lead the files, and a later clean-up, anywhere.
    root_ = sys().openFillFolder(driveRoot, driveRoot, err);
    platform::FileIdentity rootId;
    if (root_ != platform::kInvalidFolder && !sys().folderIdentity(root_, rootId))
        err.code = platform::kErrorPathNotFound;
    const bool below = folder.compare(0, driveRoot.size(), driveRoot) == 0;
    if (root_ != platform::kInvalidFolder && err.code == platform::kErrorSuccess) {
        if (below)
            folder_ = sys().openSubfolder(root_, folder.substr(driveRoot.size()), err);
        else
            err.code = platform::kErrorNotSameDevice;
    }
    if (folder_ == platform::kInvalidFolder) {
        if (err.code == platform::kErrorNotSameDevice)
            // A tmp folder on another disk, or a mount point whose volume is gone: filling it
            // would wipe the wrong disk.
            refusal.lines.push_back("FEIL: Mappen " + folder + " ligger ikke på stasjon " + driveLetter +
                                    ":, ingen filer er laget");
        else
            refusal.lines.push_back("FEIL: UNDER OPPRETTELSE AV FILEN " + folder + "spylerom-1.tmp");
        refusal.lines.push_back(ErrorNumberLine(err));
        return false;
    }
    folderPath_ = folder;
    record_.setPlace(driveRoot, rootId.volume, folder.substr(driveRoot.size()));
    return true;
}

bool PassFiles::plan(const std::vector<std::string>& names, Refusal& refusal) {
    for (const auto& name : names)
        record_.planFile(name);
    platform::Error err;
    if (!record_.save(err)) {
        // Without the record a killed pass could not be undone: change nothing.
        refusal.lines.push_back("FEIL: Kan ikke skrive " + record_.path() + ", ingen filer er laget");
        refusal.lines.push_back(ErrorNumberLine(err));
        return false;
    }
    recorded_ = true;
    return true;
}

bool PassFiles::create(const std::string& name, platform::Error& err) {
    File file;
    file.name = name;
    file.path = folderPath_ + name;
    file.handle = sys().createFillFile(folder_, name, file.id, err);
    if (file.handle == platform::kInvalidFile)
        return false;
    // The mark proves the file ours to a later clean-up, whatever reuses its number; where the
    // file system keeps none, its birth time has to.
    platform::Error markErr;
    file.marked = sys().setMark(file.handle, record_.mark(), markErr);
    // Past the page cache where the file system takes it: the pieces are aligned, the user's
    // cached files stay cached, and no dirty gigabytes wait for the flush at the end.
    file.directAlignment = sys().enableDirectWrites(file.handle);
    files_.push_back(std::move(file));
    return true;
}

bool PassFiles::commit(Refusal& refusal) {
    for (const auto& file : files_)
        record_.identify(file.name, file.id, file.marked);
    platform::Error err;
    if (!record_.save(err)) {
        refusal.lines.push_back("FEIL: Kan ikke skrive " + record_.path());
        refusal.lines.push_back(ErrorNumberLine(err));
        return false;
    }
    // Held-back blocks are given to the fill, and held back again once its files are gone. The
    // token is recorded before the lift, so a killed run's reserve is put back at the next start.
    const std::string token = sys().writeReserveToken(folder_);
    if (!token.empty()) {
        record_.addReserve(token);
        if (record_.save(err) && sys().liftWriteReserve(token, folder_))
            reserveTokens_.push_back(token);
    }
    return true;
}

bool PassFiles::stillMounted() const {
    return folder_ != platform::kInvalidFolder && sys().fillFolderStillMounted(folder_);
}

void PassFiles::finish(std::vector<std::string>& lines) {
    if (finished_)
        return;
    finished_ = true;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        // The data must reach the device before the name goes, or its blocks may never be written.
        platform::Error err;
        bool ok = sys().flushFile(files_[i].handle, err);
        if (!ok && err.code == platform::kErrorDiskFull) {
            // With the xfs pool lifted the very last pages may find no block to go to: the disk
            // is full, which is what the fill is for, and every block it has was written.
            ok = true;
            err = {};
        }
        if (ok && trim_) {
            // Where a volume trims file by file (Windows), the space is handed back to the device
            // while the file still holds it; elsewhere the volume is trimmed after the deletes.
            std::int64_t trimmed = 0;
            platform::Error trimErr;
            if (sys().trimFile(files_[i].handle, trimmed, trimErr))
                trimmedBytes_ += trimmed;
            else if (trimError_.code == platform::kErrorSuccess)
                trimError_ = trimErr;
        }
        platform::Error closeErr;
        ok = sys().closeFile(files_[i].handle, closeErr) && ok;
        if (err.code == platform::kErrorSuccess)
            err = closeErr;
        files_[i].handle = platform::kInvalidFile;
        if (!ok) {
            failed_ = true;
            lines.push_back("FEIL UNDER LUKKING AV FIL");
            lines.push_back(ErrorNumberLine(err));
        } else {
            lines.push_back("Lukker fil nr " + std::to_string(i + 1));
        }
    }
    // The journal writes its blocks home before the files go, or a block freed with them (an
    // ext4 extent-tree block) keeps what it held before the fill.
    platform::Error settleErr;
    if (!files_.empty() && !sys().settleVolume(folder_, settleErr)) {
        failed_ = true;
        lines.push_back("FEIL UNDER SKRIVING AV DISKENS JOURNAL");
        lines.push_back(ErrorNumberLine(settleErr));
    }
    bool allGone = true;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        lines.push_back("Sletter fil nr. " + std::to_string(i + 1));
        platform::FileIdentity now;
        if (!sys().identifyFile(folder_, files_[i].name, now))
            continue; // gone already
        platform::Error err;
        if (!now.sameFile(files_[i].id)) {
            // Someone put another file at the name meanwhile: it is not ours to delete.
            failed_ = true;
            allGone = false;
            lines.push_back("FEIL: " + files_[i].path + " er byttet ut under fyllingen og blir ikke slettet");
        } else if (!sys().deleteFillFile(folder_, files_[i].name, err)) {
            failed_ = true;
            allGone = false;
            lines.push_back("FEIL: Kunne ikke slette filen " + files_[i].path);
            lines.push_back(ErrorNumberLine(err));
        }
    }
    for (const auto& token : reserveTokens_)
        (void)sys().restoreWriteReserve(token, folder_); // through the pinned folder, wherever it is mounted
    reserveTokens_.clear();
    // A file that is still there stays in the record, so the next start can try again.
    allGone_ = allGone;
    // The drive stays locked and the record kept until the pass lets go (the file-record step
    // still runs on the drive).
}

bool PassFiles::planStepFolder() {
    record_.planStepFolder();
    platform::Error err;
    return record_.save(err);
}

bool PassFiles::planRelocation() {
    record_.planRelocation();
    platform::Error err;
    return record_.save(err);
}

void PassFiles::stepFolderGone(bool gone) {
    allGone_ = allGone_ && gone;
}

void PassFiles::letGo() {
    if (recorded_ && allGone_)
        record_.remove();
    recorded_ = false;
    release();
}

void PassFiles::release() {
    for (auto& file : files_) {
        if (file.handle != platform::kInvalidFile) {
            platform::Error err;
            sys().closeFile(file.handle, err);
            file.handle = platform::kInvalidFile;
        }
    }
    sys().closeFolder(folder_);
    folder_ = platform::kInvalidFolder;
    sys().closeFolder(root_);
    root_ = platform::kInvalidFolder;
    if (lock_ != platform::kInvalidFolder)
        sys().closeFolder(lock_);
    lock_ = platform::kInvalidFolder;
}

} // namespace spylerom::fill
