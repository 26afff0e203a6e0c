#include "fill/fill_record.h"

#include "fill/record_fill.h"

#include "frame/folders.h"
#include "frame/textfil.h"

#include <chrono>
#include <sstream>

namespace spylerom::fill {

using platform::sys;

namespace {

constexpr std::string_view kHeader = "spylerom-fill 1";
constexpr std::string_view kPrefix = "spylerom-fill-";
constexpr std::string_view kSuffix = ".rec";

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A path on one line of its own: "%" and the line breaks are written as %25, %0A and %0D.
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
            const std::string hex = text.substr(i + 1, 2);
            out += static_cast<char>(std::stoi(hex, nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool isRecordName(const std::string& name) {
    return name.size() > kPrefix.size() + kSuffix.size() && name.compare(0, kPrefix.size(), kPrefix) == 0 &&
           name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// Deletes one file of an abandoned run if it can be proven to be the one that run made:
// the same volume, number and birth as recorded; or, for a file the run planned but had not yet
// identified, an empty private file of ours born after the plan. Anything else stays.
enum class Undo { Deleted, Gone, Kept };

Undo undoFile(const FillRecord::File& file, std::int64_t plannedAtNs) {
    platform::Error err;
    const platform::FolderHandle folder = sys().openFillFolder(platform::folderOf(file.path), "", err);
    if (folder == platform::kInvalidFolder)
        return err.code == platform::kErrorPathNotFound || err.code == platform::kErrorFileNotFound
                   ? Undo::Gone
                   : Undo::Kept;
    const std::string name = platform::fileNameOf(file.path);
    platform::FileIdentity found;
    Undo result = Undo::Gone;
    if (sys().identifyFile(folder, name, found)) {
        const bool proven = file.identified ? found.sameFile(file.id)
                                            : found.privateFile && found.size == 0 &&
                                                  (found.birthNs == 0 || found.birthNs >= plannedAtNs);
        result = proven && sys().deleteFillFile(folder, name, err) ? Undo::Deleted : Undo::Kept;
    } else if (sys().fileExists(file.path)) {
        result = Undo::Kept; // something that is not a regular file holds the name now
    }
    sys().closeFolder(folder);
    return result;
}

// Deletes the small files of an abandoned file-record step, then their folder: the files the
// step makes ("<n>.tmp", private, of the step's size, born after the plan) and nothing else.
int undoStepFolder(const std::string& folder, std::int64_t plannedAtNs, std::vector<std::string>& kept) {
    std::vector<platform::FolderEntry> entries;
    platform::Error err;
    if (!sys().listFolder(folder, entries, err))
        return 0; // gone, or the volume is not there
    const platform::FolderHandle handle = sys().openFillFolder(folder, "", err);
    if (handle == platform::kInvalidFolder)
        return 0;
    int deleted = 0;
    bool foreign = false;
    for (const auto& entry : entries) {
        platform::FileIdentity id;
        const bool stepFile = entry.name.size() > 4 && entry.name.compare(entry.name.size() - 4, 4, ".tmp") == 0 &&
                              entry.name.find_first_not_of("0123456789") == entry.name.size() - 4 &&
                              sys().identifyFile(handle, entry.name, id) && id.privateFile &&
                              id.size == static_cast<std::int64_t>(kRecordFileBytes) &&
                              (id.birthNs == 0 || id.birthNs >= plannedAtNs);
        if (stepFile && sys().deleteFillFile(handle, entry.name, err))
            ++deleted;
        else
            foreign = true;
    }
    sys().closeFolder(handle);
    if (foreign || !sys().removeFolder(folder, err))
        kept.push_back(folder);
    return deleted;
}

Recovery recover(const std::string& recordPath, const FillRecord& record) {
    Recovery done;
    done.recordPath = recordPath;
    for (const auto& file : record.files()) {
        switch (undoFile(file, record.plannedAtNs())) {
        case Undo::Deleted:
            ++done.filesDeleted;
            break;
        case Undo::Gone:
            break;
        case Undo::Kept:
            done.filesKept.push_back(file.path);
            break;
        }
    }
    for (const auto& folder : record.folders())
        done.filesDeleted += undoStepFolder(folder, record.plannedAtNs(), done.filesKept);
    for (const auto& token : record.reserves()) {
        sys().restoreWriteReserve(token);
        ++done.reservesRestored;
    }
    platform::Error err;
    // A kept file that is not ours is the user's: nothing more to undo. One that could not be
    // deleted for another reason would have been counted kept too; either way the record has
    // done its work, and keeping it would repeat the same lines at every start.
    done.complete = sys().deleteFile(recordPath, err) || err.code == platform::kErrorFileNotFound;
    return done;
}

} // namespace

FillRecord::FillRecord() {
    owner_ = sys().processIdentity();
    const std::string pid = owner_.substr(0, owner_.find(':'));
    path_ = frame::solvarekpath("data") + std::string(kPrefix) + pid + std::string(kSuffix);
}

void FillRecord::planFile(const std::string& path) {
    if (plannedAtNs_ == 0)
        plannedAtNs_ = nowNs();
    files_.push_back(File{path, false, {}});
}

void FillRecord::identify(const std::string& path, const platform::FileIdentity& id) {
    for (auto& file : files_)
        if (file.path == path) {
            file.identified = true;
            file.id = id;
        }
}

std::string FillRecord::text() const {
    std::ostringstream out;
    out << kHeader << "\n";
    out << "process=" << owner_ << "\n";
    out << "planned=" << plannedAtNs_ << "\n";
    for (const auto& token : reserves_)
        out << "reserve=" << escape(token) << "\n";
    for (const auto& folder : folders_)
        out << "folder=" << escape(folder) << "\n";
    for (const auto& file : files_) {
        if (file.identified)
            out << "file=" << file.id.volume << ":" << file.id.file << ":" << file.id.birthNs << ":"
                << escape(file.path) << "\n";
        else
            out << "plan=" << escape(file.path) << "\n";
    }
    return out.str();
}

bool FillRecord::parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return false;
    reserves_.clear();
    folders_.clear();
    files_.clear();
    try {
        while (std::getline(in, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string key = line.substr(0, eq);
            const std::string value = line.substr(eq + 1);
            if (key == "process") {
                owner_ = value;
            } else if (key == "planned") {
                plannedAtNs_ = std::stoll(value);
            } else if (key == "reserve") {
                reserves_.push_back(unescape(value));
            } else if (key == "folder") {
                folders_.push_back(unescape(value));
            } else if (key == "plan") {
                files_.push_back(File{unescape(value), false, {}});
            } else if (key == "file") {
                File file;
                std::size_t at = 0;
                file.id.volume = std::stoull(value, &at);
                std::size_t next = at + 1;
                file.id.file = std::stoull(value.substr(next), &at);
                next += at + 1;
                file.id.birthNs = std::stoll(value.substr(next), &at);
                next += at + 1;
                file.path = unescape(value.substr(next));
                file.identified = true;
                files_.push_back(std::move(file));
            }
        }
    } catch (const std::exception&) {
        return false; // a damaged record proves nothing
    }
    return !owner_.empty();
}

bool FillRecord::save(platform::Error& err) {
    return sys().replaceFile(path_, text(), err);
}

void FillRecord::remove() {
    platform::Error err;
    sys().deleteFile(path_, err);
}

std::vector<Recovery> RecoverAbandonedFills() {
    std::vector<Recovery> done;
    const std::string folder = frame::solvarekpath("data");
    std::vector<platform::FolderEntry> entries;
    platform::Error err;
    if (!sys().listFolder(folder, entries, err))
        return done;
    for (const auto& entry : entries) {
        if (entry.isFolder || entry.isLink || !isRecordName(entry.name))
            continue;
        std::string bytes;
        FillRecord record;
        if (!sys().readFile(folder + entry.name, bytes, err) || !record.parse(bytes))
            continue;
        if (record.owner() == sys().processIdentity() || sys().processAlive(record.owner()))
            continue; // a run that still lives cleans up after itself
        Recovery recovery = recover(folder + entry.name, record);
        frame::WriteLog(RecoveryText(recovery));
        for (const auto& kept : recovery.filesKept)
            frame::WriteLog("ADVARSEL: " + kept +
                            " er ikke slettet: den kan ikke bevises å være en fil fra fyllingen");
        done.push_back(std::move(recovery));
    }
    return done;
}

std::string RecoveryText(const Recovery& recovery) {
    return "Rydder opp etter en avbrutt fylling: " + std::to_string(recovery.filesDeleted) +
           " filer slettet, " + std::to_string(recovery.reservesRestored) + " reserver satt tilbake";
}

} // namespace spylerom::fill
