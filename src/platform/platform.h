// The operating-system services the program uses, behind one interface.
// posix/ implements it now and win32/ later; nothing outside platform/ includes an OS header.
// Every failure is reported as a Windows system error code with the system's message, so log
// lines read alike on both systems. Policy (what to log, what to retry) is left to the callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace spylerom::platform {

// Windows system error codes (GetLastError). 0 means success.
using ErrorCode = std::uint32_t;
inline constexpr ErrorCode kErrorSuccess = 0;
inline constexpr ErrorCode kErrorFileNotFound = 2;
inline constexpr ErrorCode kErrorPathNotFound = 3;
inline constexpr ErrorCode kErrorTooManyOpenFiles = 4;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorNotEnoughMemory = 8;
inline constexpr ErrorCode kErrorWriteProtect = 19;
inline constexpr ErrorCode kErrorNotSameDevice = 17;
inline constexpr ErrorCode kErrorNotReady = 21;
inline constexpr ErrorCode kErrorSharingViolation = 32;
inline constexpr ErrorCode kErrorLockViolation = 33;
inline constexpr ErrorCode kErrorNotSupported = 50;
inline constexpr ErrorCode kErrorFileExists = 80;
inline constexpr ErrorCode kErrorInvalidParameter = 87;
inline constexpr ErrorCode kErrorDiskFull = 112;
inline constexpr ErrorCode kErrorDirNotEmpty = 145;
inline constexpr ErrorCode kErrorAlreadyExists = 183;
inline constexpr ErrorCode kErrorFilenameTooLong = 206;
inline constexpr ErrorCode kErrorFileTooLarge = 223;
inline constexpr ErrorCode kErrorCancelled = 1223;
inline constexpr ErrorCode kErrorCantResolveFilename = 1921;

struct Error {
    ErrorCode code = kErrorSuccess;
    std::string message; // the system's own text for the code; may be empty
};

// The separator of this build's paths ("\" on Windows). Folder paths end in one separator.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

enum class DriveType { Unknown, Removable, Fixed, Remote, CdRom, RamDisk };

struct Drive {
    char letter = 0;  // 'A'..'Z'
    std::string root; // the drive's root folder, ending in the separator ("X:\", or a mount point)
    DriveType type = DriveType::Unknown;
    std::string label;      // volume label, as the system has it
    std::string fileSystem; // file-system type in lower case ("ext4", "ntfs", ...), when known
    std::string remotePath; // network path of a share, when known
    std::string itemText;   // the text the drive list shows for it
};

// The file system a path lies on.
struct MountedVolume {
    std::string mountPoint; // where it is mounted (the volume's root), ending in the separator
    std::string type;       // the file system's type: "ext4", "tmpfs", "NTFS", ...
};

struct DiskSpace {
    std::int64_t freeToCaller = -1; // bytes the calling user may still write
    std::int64_t total = -1;        // size of the volume in bytes
};

// An open file of the fill. Opaque: a descriptor here, a HANDLE on Windows.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// A folder pinned for a pass, or a drive lock. Opaque like FileHandle.
using FolderHandle = std::intptr_t;
inline constexpr FolderHandle kInvalidFolder = -1;

// What proves later that a name still holds the file a pass made: the volume, the file's number
// on it and its birth time (0 where the file system keeps none).
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::int64_t birthNs = 0;
    std::int64_t size = 0;    // not part of the identity: what the file holds now
    bool privateFile = false; // not part of the identity: the owner's alone (mode 0600)
    bool sameFile(const FileIdentity& o) const {
        return volume == o.volume && file == o.file && birthNs == o.birthNs;
    }
};

struct FolderEntry {
    std::string name;
    bool isFolder = false; // a real folder (a link to a folder is not one)
    bool isLink = false;   // a symbolic link or reparse point, never to be followed
    bool readOnly = false;
};

// What wipeJournal did to the volume's journal.
enum class JournalWipe {
    None,        // the volume keeps no journal of copied blocks (or it could not be reached)
    Zeroed,      // written home, then zeroed
    Discarded,   // written home, then discarded (the device may or may not return zeroes)
    WrittenHome, // written home only: the journal keeps its old copies
};

// How far a relocation of metadata block groups has come (in block groups).
struct RelocationProgress {
    bool running = false;
    bool paused = false; // interrupted (by an unmount), waiting to be resumed or cancelled
    std::uint64_t expected = 0;
    std::uint64_t completed = 0;
};

struct LocalTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

enum class RegistryRoot { LocalMachine, CurrentUser };

struct RegistryValue {
    enum class Kind { Missing, Text, OtherType };
    Kind kind = Kind::Missing;
    std::string text; // for Text: the value as stored (not expanded)
};

struct OsVersion {
    int platformId = -1;    // GetVersionExW's dwPlatformId; -1 where the system has none
    std::string systemName; // the kernel's name where there is no platform id
    int major = 0, minor = 0;
    std::string build; // build number, or the rest of the kernel release
};

struct MemoryStatus {
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0;
    int loadPercent = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // --- Environment and process -------------------------------------------------------
    // An environment variable with the POSIX fallbacks of the Windows names ("APPDATA",
    // "TEMP", "USERNAME", ...). A missing variable gives the empty text.
    virtual std::string environment(std::string_view name) const = 0;
    // Full path of the running program file.
    virtual std::string programPath() const = 0;
    virtual std::string currentFolder() const = 0;
    // The absolute, normalised form of a path (GetFullPathNameW).
    virtual std::string fullPath(const std::string& path) const = 0;

    // --- Drives --------------------------------------------------------------------------
    virtual std::vector<Drive> drives() const = 0;
    // The same list with letters, roots, types and item texts only: no labels or file-system
    // types, which may need every device read.
    virtual std::vector<Drive> driveRoots() const { return drives(); }
    // Root folder of a drive letter, ending in the separator; empty when there is no such drive.
    virtual std::string driveRoot(char letter) const = 0;
    // Whether root (Drive::root) is still the root of a drive: false once that drive is gone and
    // its folder belongs to another disk. Where letters follow mounts (POSIX) the root decides,
    // since a letter may have moved to another volume meanwhile.
    [[nodiscard]] virtual bool isDriveRoot(const std::string& root) const = 0;
    // The drive a path lies on (0 when none).
    virtual char driveOfPath(const std::string& path) const = 0;
    // The mounted file system an existing path lies on, drive or not (a tmpfs, a volume
    // mounted in a folder of a drive).
    [[nodiscard]] virtual bool volumeOfPath(const std::string& path, MountedVolume& out,
                                            Error& err) const = 0;
    // Free and total bytes of the volume that holds root (GetDiskFreeSpaceExW).
    [[nodiscard]] virtual bool diskSpace(const std::string& root, DiskSpace& out, Error& err) const = 0;
    // Whether two existing paths lie on one file system (volume).
    [[nodiscard]] virtual bool sameVolume(const std::string& a, const std::string& b) const = 0;

    // --- Files of the fill ---------------------------------------------------------------
    // A pass pins its folder once and makes, finds and deletes its files relative to it, so a
    // volume mounted, unmounted or swapped meanwhile can never redirect them.
    //
    // Opens folder for a pass. With a drive root, the folder must lie on the volume that is
    // mounted at that root now (code 17, ERROR_NOT_SAME_DEVICE, when it does not); an empty root
    // skips the check (the clean-up of an earlier run).
    virtual FolderHandle openFillFolder(const std::string& folder, const std::string& driveRoot,
                                        Error& err) = 0;
    // Whether the pinned folder's volume is still the one mounted at its drive root.
    [[nodiscard]] virtual bool fillFolderStillMounted(FolderHandle folder) const = 0;
    virtual void closeFolder(FolderHandle folder) = 0;
    // Creates a new regular file `name` in the folder for writing, readable by its owner alone;
    // an existing entry of that name is never opened (code 80). id receives what identifies it.
    virtual FileHandle createFillFile(FolderHandle folder, const std::string& name, FileIdentity& id,
                                      Error& err) = 0;
    // The identity of the regular file at name, without following a link; false when there is none.
    [[nodiscard]] virtual bool identifyFile(FolderHandle folder, const std::string& name,
                                            FileIdentity& id) const = 0;
    [[nodiscard]] virtual bool deleteFillFile(FolderHandle folder, const std::string& name, Error& err) = 0;
    // One fill per drive: a lock on the volume at driveRoot that the system drops when its holder
    // dies. Code 33 (lock violation) when another process holds it. Released by closeFolder.
    virtual FolderHandle lockDrive(const std::string& driveRoot, Error& err) = 0;
    // This process, in a form that tells it apart from a later one of the same number (for the
    // crash record's reader; liveness is the drive lock's).
    virtual std::string processIdentity() const = 0;
    // Opens the folder at `relative` (names joined by the separator, ending in one; empty: the
    // base itself) below a pinned folder, one name at a time, never through a link and never
    // onto another volume. Pinned like openFillFolder's, against the base's drive.
    virtual FolderHandle openSubfolder(FolderHandle base, const std::string& relative, Error& err) = 0;
    // The volume and number of a pinned folder (size, birth and privacy are not filled in).
    [[nodiscard]] virtual bool folderIdentity(FolderHandle folder, FileIdentity& id) const = 0;
    // Makes the new folder `name` in a pinned folder, its owner's alone; an existing entry of
    // that name is never used (code 183).
    [[nodiscard]] virtual bool createFillFolder(FolderHandle folder, const std::string& name, Error& err) = 0;
    // Removes the empty folder `name` in a pinned folder, never through a link.
    [[nodiscard]] virtual bool removeFillFolder(FolderHandle folder, const std::string& name, Error& err) = 0;
    // The folders where the volume `volume` (a FileIdentity::volume) is mounted at its root now,
    // `hint` first when it is one of them. Empty when it is mounted nowhere this process sees.
    virtual std::vector<std::string> rootsOfVolume(std::uint64_t volume, const std::string& hint) const = 0;

    // --- The pass's mark and its record --------------------------------------------------------
    // A mark the pass sets on what it makes (an extended attribute; an alternate data stream on
    // Windows), so that a later reader can prove a file its own whatever reused its number.
    // handle is an open fill file or a pinned folder. False where the file system keeps none.
    [[nodiscard]] virtual bool setMark(std::intptr_t handle, const std::string& mark, Error& err) = 0;
    // The mark on the entry `name` of a pinned folder, not followed through a link; empty when none.
    virtual std::string markOf(FolderHandle folder, const std::string& name) const = 0;
    // A fresh random token of 32 hex digits.
    virtual std::string randomToken() const = 0;
    // The folder of this account's crash records, ending in the separator, made (owner only)
    // where missing: the system's own for root or an administrator (systemWide), the account's
    // own state folder otherwise; never one that the environment or settings choose. False with
    // err when it cannot be made or could be written by another account anywhere along its path.
    [[nodiscard]] virtual bool recordFolder(std::string& folder, bool& systemWide, Error& err) = 0;
    // Reads a file that only this account (or the system) can have written: a regular file,
    // opened without following a link and without waiting, writable by nobody else, of at most
    // maxBytes. False with the reason in err otherwise.
    [[nodiscard]] virtual bool readOwnFile(const std::string& path, std::int64_t maxBytes, std::string& bytes,
                                           Error& err) const = 0;

    // Turns direct (unbuffered) writes on for an open fill file where its file system takes
    // them, and returns the alignment that buffer addresses, file offsets and lengths must then
    // keep for a write to go direct; 0 when the file stays buffered. May replace the handle
    // (Windows opens the file anew); the caller keeps and closes what it gets back.
    virtual std::size_t enableDirectWrites(FileHandle& file) = 0;
    // Append data; written receives the bytes the system took. Like WriteFile: all of it unless
    // the disk is full, and then as much as fits, in smaller and smaller pieces down to the
    // file system's block and then the buffered tail, so the last free blocks are taken too.
    // A short count means the disk took no more; an error means it took nothing. For a file
    // in direct mode, what is not aligned (or what the file system refuses to take direct)
    // goes through the buffered path instead.
    [[nodiscard]] virtual bool writeFile(FileHandle file, const void* data, std::size_t size,
                                         std::size_t& written, Error& err) = 0;
    // Make the written data durable on the device.
    [[nodiscard]] virtual bool flushFile(FileHandle file, Error& err) = 0;
    [[nodiscard]] virtual bool closeFile(FileHandle file, Error& err) = 0;

    // --- The volume around a fill ----------------------------------------------------------
    // Blocks a file system holds back from ordinary writes (ext4's reserved clusters, about 2 %;
    // the xfs reserve pool) may hold deleted data that no fill reaches. writeReserveToken reads
    // what a lift of the pinned folder's volume would change and returns the self-describing
    // token that puts it back ("ext4:<major>:<minor>:<instance>=<clusters>", likewise "xfs:");
    // empty when nothing is held back or the caller has no right to change it. The token is
    // meant to be recorded before liftWriteReserve gives the blocks to ordinary writes (false when
    // refused). restoreWriteReserve puts the reserve back on that volume wherever it is mounted
    // (through `through` where given, a pinned folder on it), never above what the kernel itself
    // sets for the volume, and does nothing (false) when the volume is gone or was mounted anew
    // (the kernel then set it itself).
    virtual std::string writeReserveToken(FolderHandle folder) = 0;
    [[nodiscard]] virtual bool liftWriteReserve(const std::string& token, FolderHandle through) = 0;
    [[nodiscard]] virtual bool restoreWriteReserve(const std::string& token, FolderHandle through) = 0;
    // Makes everything written to the pinned folder's volume reach its home on the device, the
    // file system's journal included (on ext4 a block freed before the journal wrote it home
    // keeps its old content). False only when the volume refused the flush.
    [[nodiscard]] virtual bool settleVolume(FolderHandle folder, Error& err) = 0;
    // The file-system type of the volume that holds folder, in lower case ("ext4", "xfs",
    // "btrfs", "ntfs", "exfat", "vfat", ...); a FUSE volume on a block device gives the type on
    // the device. Empty when unknown.
    virtual std::string fileSystemType(const std::string& folder) const = 0;
    // --- What a deleted file leaves in the file system's own structures, and the freed space --
    // ext4 keeps copies of the blocks it changed (directory blocks with the names of deleted
    // files among them) in its journal. wipeJournal writes the journal home and zeroes it; where
    // the kernel refuses zeroing it discards it, where it refuses that too it writes it home
    // only. None on a volume without such a journal.
    virtual JournalWipe wipeJournal(FolderHandle folder, Error& err) = 0;
    // The size in bytes of a log that the volume keeps inside itself and writes around (xfs's
    // internal log); 0 where it keeps none (or an external one).
    virtual std::int64_t internalLogBytes(FolderHandle folder) const = 0;
    // Sets the extended attribute `name` (a user attribute) of an open fill file to `size` bytes
    // of data; code 50 where the volume keeps none.
    [[nodiscard]] virtual bool setFileAttribute(FileHandle file, const std::string& name, const void* data,
                                                std::size_t size, Error& err) = 0;
    // btrfs keeps small files and every name in tree blocks; a block it no longer uses stays free
    // space inside a metadata block group, where no data write reaches. relocateMetadata moves
    // every metadata and system block group of the volume to new ones (a balance), so the old
    // ones fall back to unallocated space. It blocks until done; code 50 where the volume has no
    // such groups, 5 without the right, 112 when there was no room for all of them, 1223
    // (cancelled) after cancelRelocation. relocationProgress may be asked from another thread.
    [[nodiscard]] virtual bool relocateMetadata(FolderHandle folder, Error& err) = 0;
    [[nodiscard]] virtual bool relocationProgress(FolderHandle folder, RelocationProgress& out) const = 0;
    virtual void cancelRelocation(FolderHandle folder) = 0;
    // Free and total bytes of the volume's metadata block groups (btrfs); false (code 50) where
    // it has none.
    [[nodiscard]] virtual bool metadataSpace(FolderHandle folder, DiskSpace& out, Error& err) const = 0;
    // Hands the volume's free space to the device (a discard: an SSD erases it in its own time,
    // a virtual disk shrinks); bytes receives how much the file system passed on. Code 50 where
    // the device takes no discards or the volume trims file by file (Windows).
    [[nodiscard]] virtual bool trimFreeSpace(FolderHandle folder, std::int64_t& bytes, Error& err) = 0;
    // Hands the space of an open fill file to the device before it is deleted (Windows, whose
    // volumes trim file by file); code 50 where the volume is trimmed as a whole instead.
    [[nodiscard]] virtual bool trimFile(FileHandle file, std::int64_t& bytes, Error& err) = 0;

    // A gauge of the volume's table of file records (NTFS keeps a small file's data and its name
    // inside its record): a figure that rises when the table takes new records and falls or
    // stays while new files reuse free ones. False (code 50, not supported) where the volume
    // keeps no such table or does not tell.
    [[nodiscard]] virtual bool fileRecordGauge(const std::string& folder, std::int64_t& gauge,
                                               Error& err) const = 0;

    // --- Files and folders -----------------------------------------------------------------
    [[nodiscard]] virtual bool deleteFile(const std::string& path, Error& err) = 0;
    [[nodiscard]] virtual bool moveFile(const std::string& from, const std::string& to, Error& err) = 0;
    [[nodiscard]] virtual bool fileExists(const std::string& path) const = 0;   // any entry but a folder
    [[nodiscard]] virtual bool folderExists(const std::string& path) const = 0; // a folder, or a link to one
    [[nodiscard]] virtual bool isReadOnly(const std::string& path) const = 0;   // the read-only attribute
    [[nodiscard]] virtual bool setNormalAttributes(const std::string& path, Error& err) = 0;
    [[nodiscard]] virtual bool createFolder(const std::string& path, Error& err) = 0; // one level
    [[nodiscard]] virtual bool createFolderTree(const std::string& path,
                                                Error& err) = 0; // with missing parents
    [[nodiscard]] virtual bool removeFolder(const std::string& path,
                                            Error& err) = 0; // an empty folder or a link
    [[nodiscard]] virtual bool listFolder(const std::string& path, std::vector<FolderEntry>& entries,
                                          Error& err) const = 0;
    [[nodiscard]] virtual bool readFile(const std::string& path, std::string& bytes, Error& err) const = 0;
    // Replace a file's content as a whole: a temporary file beside it, flushed, then renamed
    // over it, keeping the old file's permissions. A crash never leaves it truncated.
    [[nodiscard]] virtual bool replaceFile(const std::string& path, std::string_view bytes, Error& err) = 0;
    // Size of an existing file in bytes, -1 when it cannot be opened for reading and writing.
    virtual std::int64_t fileSizeForWrite(const std::string& path) const = 0;
    // At most maxBytes of a file: its first ones, or with fromEnd its last ones; fileSize
    // receives the size of the whole file. Memory stays bounded whatever the file's size.
    [[nodiscard]] virtual bool readFilePart(const std::string& path, bool fromEnd, std::int64_t maxBytes,
                                            std::string& bytes, std::int64_t& fileSize, Error& err) const = 0;
    // Appends bytes to a file that other processes append to as well (a log), under an
    // exclusive lock that each of them waits for; creates the file when missing (no bytes: it is
    // only created). When the file is not empty and the bytes would take it past rotateAt
    // (0: no limit), it is first renamed to rotatedPath, replacing an older one, and the bytes
    // begin a new file. A write that fails leaves the file as it was.
    [[nodiscard]] virtual bool appendToSharedFile(const std::string& path, std::string_view bytes,
                                                  std::int64_t rotateAt, const std::string& rotatedPath,
                                                  Error& err) = 0;

    // --- Text --------------------------------------------------------------------------------
    // Bytes of the log and settings files <-> UTF-8 text (the ANSI code page on Windows;
    // here UTF-8, with Windows-1252 for files that are not valid UTF-8).
    virtual std::string toFileText(std::string_view utf8) const = 0;
    virtual std::string fromFileText(std::string_view bytes) const = 0;
    // Locale-aware upper case ("ø" becomes "Ø").
    virtual std::string toUpper(std::string_view utf8) const = 0;

    // --- Time ----------------------------------------------------------------------------------
    virtual LocalTime localTime() const = 0;
    // The user's short date, a blank and long time; the time is left out at exactly midnight.
    virtual std::string dateTimeText(const LocalTime& t) const = 0;
    // A high-resolution counter (QueryPerformanceCounter); seeds the random pattern.
    virtual std::uint64_t performanceCounter() const = 0;
    // Monotonic milliseconds, for elapsed times that must not jump with the wall clock.
    virtual std::int64_t monotonicMilliseconds() const = 0;

    // --- Machine facts (registry-shaped, so the same queries run on both systems) ----------
    // Open-or-create a key; false when it cannot be opened.
    [[nodiscard]] virtual bool registryOpenKey(RegistryRoot root, const std::string& key) = 0;
    virtual RegistryValue registryRead(RegistryRoot root, const std::string& key,
                                       const std::string& value) = 0;
    virtual std::vector<std::string> registrySubkeys(RegistryRoot root, const std::string& key) = 0;
    virtual OsVersion osVersion() const = 0;
    virtual MemoryStatus memoryStatus() const = 0;

    // --- Shell ---------------------------------------------------------------------------------
    // Start a program or open a document, folder or URL; never waits, reports nothing.
    virtual void launch(const std::string& file, const std::string& parameters,
                        const std::string& folder) = 0;
};

// The platform in use. Tests may put their own (a subclass of the real one that injects a
// fault or maps a drive letter) in place; nullptr puts the default back.
Platform& sys();
void setPlatform(Platform* platform);

// Helpers over any platform.
std::string withTrailingSeparator(std::string path);
std::string folderOf(const std::string& path); // up to and including the last separator
std::string fileNameOf(const std::string& path);
// Bytes as lower-case hex digits, two a byte.
std::string hexText(const unsigned char* bytes, std::size_t size);

} // namespace spylerom::platform
