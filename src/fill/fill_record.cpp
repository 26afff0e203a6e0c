#include "fill/fill_record.h"

#include "fill/pinned_folder.h"
#include "fill/record_fill.h"

#include "frame/textfil.h"

#include <sstream>

namespace spylerom::fill {

using platform::sys;

namespace {

constexpr const char* kRelocationStep = "relocation";
constexpr std::string_view kHeader = "spylerom-fill 2";
constexpr std::string_view kPrefix = "spylerom-fill-";
constexpr std::string_view kSuffix = ".rec";

// A value on one line of its own: "%" and the line breaks are written as %25, %0A and %0D.
std::string escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else
            out += c;
    }
    return out;
}

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool isMark(const std::string& text) {
    return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool isRecordName(const std::string& name) {
    return name.size() > kPrefix.size() + kSuffix.size() && name.compare(0, kPrefix.size(), kPrefix) == 0 &&
           name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// A folder below a drive's root as a record may name it: plain names, each ending in the
// separator; nothing that climbs out of the drive or starts at another root.
bool isFolderBelowRoot(const std::string& folder) {
    if (folder.empty())
        return true;
    if (folder.back() != platform::kPathSeparator || folder.front() == platform::kPathSeparator ||
        folder.find(':') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start < folder.size()) {
        const std::size_t end = folder.find(platform::kPathSeparator, start);
        const std::string name = folder.substr(start, end - start);
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            return false;
        start = end + 1;
    }
    return true;
}

// The step's small files: "<n>.tmp".
bool isStepFileName(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0 &&
           allDigits(std::string_view(name).substr(0, name.size() - 4));
}

// The drive a record names, locked as a pass locks it and pinned at its root; or why not.
class RecordedDrive {
public:
    enum class State { Pinned, Alive, Absent };

    explicit RecordedDrive(const FillRecord& record) {
        for (const auto& root : sys().rootsOfVolume(record.volume(), record.driveRoot())) {
            platform::Error err;
            const platform::FolderHandle lock = sys().lockDrive(root, err);
            if (lock == platform::kInvalidFolder) {
                if (err.code == platform::kErrorLockViolation) {
                    state_ = State::Alive; // the run, or a new one, still works on it
                    return;
                }
                continue;
            }
            const platform::FolderHandle pinned = sys().openFillFolder(root, root, err);
            platform::FileIdentity id;
            if (pinned != platform::kInvalidFolder && sys().folderIdentity(pinned, id) &&
                id.volume == record.volume()) {
                lock_ = lock;
                root_ = pinned;
                rootPath_ = root;
                state_ = State::Pinned;
                return;
            }
            sys().closeFolder(pinned);
            sys().closeFolder(lock);
        }
    }
    ~RecordedDrive() {
        sys().closeFolder(root_);
        sys().closeFolder(lock_);
    }
    RecordedDrive(const RecordedDrive&) = delete;
    RecordedDrive& operator=(const RecordedDrive&) = delete;

    State state() const { return state_; }
    platform::FolderHandle root() const { return root_; }
    const std::string& rootPath() const { return rootPath_; }

private:
    State state_ = State::Absent;
    platform::FolderHandle lock_ = platform::kInvalidFolder;
    platform::FolderHandle root_ = platform::kInvalidFolder;
    std::string rootPath_;
};

// Deletes one file of an abandoned run if it is proven the one that run made: a file the run
// identified by the same volume, number and mark (or birth, where the file system keeps no
// marks); one it had only planned by its mark. Anything else at the name stays.
enum class Undo { Deleted, Gone, Kept };

Undo undoFile(platform::FolderHandle folder, const FillRecord::File& file, const std::string& mark) {
    platform::FileIdentity found;
    if (!sys().identifyFile(folder, file.name, found))
        return Undo::Gone; // nothing there, or no file at all: nothing of the run's
    const bool marked = sys().markOf(folder, file.name) == mark;
    const bool proven =
        file.identified ? found.sameFile(file.id) && (file.marked ? marked : file.id.birthNs != 0) : marked;
    platform::Error err;
    return proven && sys().deleteFillFile(folder, file.name, err) ? Undo::Deleted : Undo::Kept;
}

// Deletes the small files of an abandoned step and then their folder: only in the steps' folder
// that carries the run's mark, only files of the steps' names and sizes.
int undoStepFolder(platform::FolderHandle fill, const std::string& shownFill, const std::string& mark,
                   std::vector<std::string>& kept) {
    const std::string name = kRecordFolderName;
    const std::string shown = shownFill + name + platform::kPathSeparator;
    platform::Error err;
    const PinnedFolder step(fill, name + platform::kPathSeparator, err);
    if (!step.ok()) {
        if (err.code != platform::kErrorPathNotFound && err.code != platform::kErrorFileNotFound)
            kept.push_back(shown);
        return 0;
    }
    if (sys().markOf(fill, name) != mark) {
        kept.push_back(shown);
        return 0;
    }
    std::vector<platform::FolderEntry> entries;
    (void)sys().listFolder(shown, entries, err); // what the listing missed keeps the folder
    int deleted = 0;
    for (const auto& entry : entries) {
        platform::FileIdentity id;
        const bool stepFile = isStepFileName(entry.name) && sys().identifyFile(step.get(), entry.name, id) &&
                              id.size <= kMaxStepFileBytes;
        if (stepFile && sys().deleteFillFile(step.get(), entry.name, err))
            ++deleted;
    }
    if (!sys().removeFillFolder(fill, name, err))
        kept.push_back(shown);
    return deleted;
}

Recovery recover(const std::string& recordPath, const FillRecord& record, bool systemWide,
                 const RecordedDrive& drive) {
    Recovery done;
    done.recordPath = recordPath;
    const std::string shownFill = drive.rootPath() + record.folderBelowRoot();
    platform::Error err;
    const PinnedFolder fill(drive.root(), record.folderBelowRoot(), err);
    const bool fillGone =
        err.code == platform::kErrorPathNotFound || err.code == platform::kErrorFileNotFound;
    if (fill.ok()) {
        for (const auto& file : record.files()) {
            switch (undoFile(fill.get(), file, record.mark())) {
            case Undo::Deleted:
                ++done.filesDeleted;
                break;
            case Undo::Gone:
                break;
            case Undo::Kept:
                done.filesKept.push_back(shownFill + file.name);
                break;
            }
        }
        if (record.stepFolder())
            done.filesDeleted += undoStepFolder(fill.get(), shownFill, record.mark(), done.filesKept);
    } else if (!fillGone) {
        done.filesKept.push_back(shownFill); // a link, or no longer on the drive: not ours to touch
    }
    // A relocation ends with its process, but one the volume's unmount interrupted waits, paused,
    // for whoever mounts it next. Whether that is still the run's nobody can prove: it is named.
    if (record.relocation()) {
        platform::RelocationProgress progress;
        done.relocationPaused = sys().relocationProgress(drive.root(), progress) && progress.paused;
    }
    // Only root could have lifted a reserve, and only a record that root alone can write may
    // put one back.
    if (systemWide)
        for (const auto& token : record.reserves())
            if (sys().restoreWriteReserve(token, drive.root()))
                ++done.reservesRestored;
    // A kept file is the user's, or could not be proven otherwise: the record has done its work,
    // and keeping it would repeat the same lines at every start.
    done.complete = sys().deleteFile(recordPath, err) || err.code == platform::kErrorFileNotFound;
    return done;
}

// Why a record file is not read, in the words of the log.
std::string refusalReason(const platform::Error& err) {
    switch (err.code) {
    case platform::kErrorAccessDenied:
        return "den eies av en annen konto eller kan endres av andre";
    case platform::kErrorNotSupported:
        return "den er en lenke eller ikke en mappe";
    case platform::kErrorCantResolveFilename:
        return "den er en lenke";
    case platform::kErrorFileTooLarge:
        return "den er for stor til å være en fyllingslogg";
    case platform::kErrorInvalidParameter:
        return "den er ikke en vanlig fil";
    default:
        return err.message.empty() ? "FEILNR " + std::to_string(err.code) : err.message;
    }
}

Recovery leftAlone(const std::string& path, const std::string& why) {
    Recovery r;
    r.recordPath = path;
    r.hint = "Fyllingsloggen " + path + " er ikke brukt: " + why;
    return r;
}

} // namespace

bool IsFillFileName(const std::string& name) {
    constexpr std::string_view head = "spylerom-";
    constexpr std::string_view tail = ".tmp";
    return name.size() > head.size() + tail.size() && name.compare(0, head.size(), head) == 0 &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0 &&
           allDigits(std::string_view(name).substr(head.size(), name.size() - head.size() - tail.size()));
}

FillRecord::FillRecord() : mark_(sys().randomToken()), process_(sys().processIdentity()) {}

void FillRecord::setPlace(const std::string& driveRoot, std::uint64_t volume,
                          const std::string& folderBelowRoot) {
    driveRoot_ = driveRoot;
    volume_ = volume;
    folder_ = folderBelowRoot;
}

void FillRecord::planFile(const std::string& name) {
    files_.push_back(File{name, false, false, {}});
}

void FillRecord::identify(const std::string& name, const platform::FileIdentity& id, bool marked) {
    for (auto& file : files_)
        if (file.name == name) {
            file.identified = true;
            file.marked = marked;
            file.id = id;
        }
}

std::string FillRecord::text() const {
    std::ostringstream out;
    out << kHeader << "\n";
    out << "process=" << escape(process_) << "\n";
    out << "mark=" << mark_ << "\n";
    out << "drive=" << escape(driveRoot_) << "\n";
    out << "volume=" << volume_ << "\n";
    out << "folder=" << escape(folder_) << "\n";
    for (const auto& token : reserves_)
        out << "reserve=" << escape(token) << "\n";
    if (stepFolder_)
        out << "step=" << kRecordFolderName << "\n";
    if (relocation_)
        out << "step=" << kRelocationStep << "\n";
    for (const auto& file : files_) {
        if (file.identified)
            out << "file=" << file.id.volume << ":" << file.id.file << ":" << file.id.birthNs << ":"
                << (file.marked ? 1 : 0) << ":" << file.name << "\n";
        else
            out << "plan=" << file.name << "\n";
    }
    return out.str();
}

bool FillRecord::parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return false;
    FillRecord read;
    read.mark_.clear();
    bool haveDrive = false, haveVolume = false, haveFolder = false;
    try {
        while (std::getline(in, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos)
                return false;
            const std::string key = line.substr(0, eq);
            const std::string value = line.substr(eq + 1);
            if (key == "process") {
                read.process_ = unescape(value);
            } else if (key == "mark" && isMark(value)) {
                read.mark_ = value;
            } else if (key == "drive" && !value.empty()) {
                read.driveRoot_ = unescape(value);
                haveDrive = true;
            } else if (key == "volume" && allDigits(value)) {
                read.volume_ = std::stoull(value);
                haveVolume = true;
            } else if (key == "folder" && isFolderBelowRoot(unescape(value))) {
                read.folder_ = unescape(value);
                haveFolder = true;
            } else if (key == "reserve") {
                read.reserves_.push_back(unescape(value));
            } else if (key == "step" && value == kRecordFolderName) {
                read.stepFolder_ = true;
            } else if (key == "step" && value == kRelocationStep) {
                read.relocation_ = true;
            } else if (key == "plan" && IsFillFileName(value)) {
                read.files_.push_back(File{value, false, false, {}});
            } else if (key == "file") {
                File file;
                std::size_t at = 0;
                file.id.volume = std::stoull(value, &at);
                std::size_t next = at + 1;
                file.id.file = std::stoull(value.substr(next), &at);
                next += at + 1;
                file.id.birthNs = std::stoll(value.substr(next), &at);
                next += at + 1;
                const std::string marked = value.substr(next, 2);
                if (marked != "0:" && marked != "1:")
                    return false;
                file.marked = marked == "1:";
                file.name = value.substr(next + 2);
                file.identified = true;
                if (!IsFillFileName(file.name))
                    return false;
                read.files_.push_back(std::move(file));
            } else {
                return false; // anything a pass does not write makes the whole record suspect
            }
        }
    } catch (const std::exception&) {
        return false; // a damaged record proves nothing
    }
    if (read.mark_.empty() || !haveDrive || !haveVolume || !haveFolder)
        return false;
    read.path_ = path_;
    *this = std::move(read);
    return true;
}

bool FillRecord::save(platform::Error& err) {
    if (path_.empty()) {
        std::string folder;
        bool systemWide = false;
        if (!sys().recordFolder(folder, systemWide, err)) {
            path_ = folder;
            return false;
        }
        path_ = folder + std::string(kPrefix) + mark_ + std::string(kSuffix);
    }
    return sys().replaceFile(path_, text(), err);
}

void FillRecord::remove() {
    platform::Error err;
    if (!path_.empty())
        (void)sys().deleteFile(path_, err);
}

std::vector<Recovery> RecoverAbandonedFills() {
    std::vector<Recovery> done;
    std::string folder;
    bool systemWide = false;
    platform::Error err;
    if (!sys().recordFolder(folder, systemWide, err)) {
        if (err.code != platform::kErrorPathNotFound) {
            Recovery r;
            r.recordPath = folder;
            r.hint = "Mappen for fyllingslogger " + folder + " er ikke brukt: " + refusalReason(err) +
                     "; en avbrutt fylling blir ikke ryddet opp";
            frame::WriteLog("HINT: " + r.hint);
            done.push_back(std::move(r));
        }
        return done;
    }
    std::vector<platform::FolderEntry> entries;
    if (!sys().listFolder(folder, entries, err))
        return done;
    for (const auto& entry : entries) {
        if (entry.isFolder || !isRecordName(entry.name))
            continue;
        const std::string path = folder + entry.name;
        std::string bytes;
        FillRecord record;
        if (!sys().readOwnFile(path, kMaxRecordBytes, bytes, err)) {
            if (err.code == platform::kErrorFileNotFound || err.code == platform::kErrorPathNotFound)
                continue; // its run finished meanwhile
            done.push_back(leftAlone(path, refusalReason(err)));
        } else if (!record.parse(bytes)) {
            done.push_back(leftAlone(path, "den er ikke en hel fyllingslogg"));
        } else {
            const RecordedDrive drive(record);
            if (drive.state() == RecordedDrive::State::Alive)
                continue; // a run that still lives cleans up after itself
            if (drive.state() == RecordedDrive::State::Absent) {
                // Its volume is not mounted: what it names is out of reach until it is again.
                if (frame::logState().Verbose)
                    frame::WriteLog("Fyllingsloggen " + path + " venter på stasjonen " + record.driveRoot());
                continue;
            }
            Recovery recovery = recover(path, record, systemWide, drive);
            frame::WriteLog(RecoveryText(recovery));
            for (const auto& kept : recovery.filesKept)
                frame::WriteLog("ADVARSEL: " + kept +
                                " er ikke slettet: den kan ikke bevises å være en fil fra fyllingen");
            if (recovery.relocationPaused)
                frame::WriteLog("HINT: En flytting av metadata (btrfs balance) står på pause på " +
                                drive.rootPath() + "; «btrfs balance cancel " + drive.rootPath() +
                                "» avslutter den");
            done.push_back(std::move(recovery));
            continue;
        }
        frame::WriteLog("HINT: " + done.back().hint);
    }
    return done;
}

std::string RecoveryText(const Recovery& recovery) {
    if (!recovery.hint.empty())
        return "HINT: " + recovery.hint;
    return "Rydder opp etter en avbrutt fylling: " + std::to_string(recovery.filesDeleted) +
           " filer slettet, " + std::to_string(recovery.reservesRestored) + " reserver satt tilbake";
}

} // namespace spylerom::fill
