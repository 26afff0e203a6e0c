// The Win32 implementation of the platform interface: the W forms of the file, volume,
// registry, time and shell APIs, with UTF-8 texts converted to UTF-16 at this boundary.
// Error codes come from GetLastError unchanged; what to log about them is the caller's.
#pragma once

#include "platform/platform.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace spylerom::platform {

// UTF-8 <-> UTF-16 at the Win32 boundary. Invalid input becomes U+FFFD, never an exception.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// A Win32 error code with the system's own message (FormatMessageW, without its line end).
Error errorFromWin32(std::uint32_t code);
// The calling thread's last error (GetLastError) as an Error.
Error lastError();

// A fill file in direct mode, by its unbuffered handle: the buffered handle of the same file,
// and what unbuffered writes must keep.
struct DirectFile {
    FileHandle buffered = kInvalidFile;
    std::size_t alignment = 0; // 0: the volume refused unbuffered writes, all go buffered
    std::size_t blockSize = 0; // the cluster: the smallest piece tried at a full disk
};

class Win32Platform : public Platform {
public:
    Win32Platform();

    std::string environment(std::string_view name) const override;
    std::string programPath() const override;
    std::string currentFolder() const override;
    std::string fullPath(const std::string& path) const override;

    std::vector<Drive> drives() const override;
    std::string driveRoot(char letter) const override;
    bool isDriveRoot(const std::string& root) const override;
    char driveOfPath(const std::string& path) const override;
    bool volumeOfPath(const std::string& path, MountedVolume& out, Error& err) const override;
    bool diskSpace(const std::string& root, DiskSpace& out, Error& err) const override;
    bool sameVolume(const std::string& a, const std::string& b) const override;

    FolderHandle openFillFolder(const std::string& folder, const std::string& driveRoot, Error& err) override;
    bool fillFolderStillMounted(FolderHandle folder) const override;
    void closeFolder(FolderHandle folder) override;
    FileHandle createFillFile(FolderHandle folder, const std::string& name, FileIdentity& id,
                              Error& err) override;
    bool identifyFile(FolderHandle folder, const std::string& name, FileIdentity& id) const override;
    bool deleteFillFile(FolderHandle folder, const std::string& name, Error& err) override;
    FolderHandle lockDrive(const std::string& driveRoot, Error& err) override;
    std::string processIdentity() const override;
    FolderHandle openSubfolder(FolderHandle base, const std::string& relative, Error& err) override;
    bool folderIdentity(FolderHandle folder, FileIdentity& id) const override;
    bool createFillFolder(FolderHandle folder, const std::string& name, Error& err) override;
    bool removeFillFolder(FolderHandle folder, const std::string& name, Error& err) override;
    std::vector<std::string> rootsOfVolume(std::uint64_t volume, const std::string& hint) const override;
    bool setMark(std::intptr_t handle, const std::string& mark, Error& err) override;
    std::string markOf(FolderHandle folder, const std::string& name) const override;
    std::string randomToken() const override;
    bool recordFolder(std::string& folder, bool& systemWide, Error& err) override;
    bool readOwnFile(const std::string& path, std::int64_t maxBytes, std::string& bytes,
                     Error& err) const override;
    // Opens the file anew with FILE_FLAG_NO_BUFFERING and hands that handle back; the buffered
    // one is kept for the writes that cannot go direct, and closeFile closes both.
    std::size_t enableDirectWrites(FileHandle& file) override;
    bool writeFile(FileHandle file, const void* data, std::size_t size, std::size_t& written,
                   Error& err) override;
    bool flushFile(FileHandle file, Error& err) override;
    bool closeFile(FileHandle file, Error& err) override;
    // Windows file systems hold nothing back from a file write: nothing to lift.
    std::string writeReserveToken(FolderHandle folder) override;
    bool liftWriteReserve(const std::string& token, FolderHandle through) override;
    bool restoreWriteReserve(const std::string& token, FolderHandle through) override;
    bool settleVolume(FolderHandle folder, Error& err) override;
    std::string fileSystemType(const std::string& folder) const override;
    bool fileRecordGauge(const std::string& folder, std::int64_t& gauge, Error& err) const override;
    JournalWipe wipeJournal(FolderHandle folder, Error& err) override;
    std::int64_t internalLogBytes(FolderHandle folder) const override;
    bool setFileAttribute(FileHandle file, const std::string& name, const void* data, std::size_t size,
                          Error& err) override;
    bool relocateMetadata(FolderHandle folder, Error& err) override;
    bool relocationProgress(FolderHandle folder, RelocationProgress& out) const override;
    void cancelRelocation(FolderHandle folder) override;
    bool metadataSpace(FolderHandle folder, DiskSpace& out, Error& err) const override;
    bool trimFreeSpace(FolderHandle folder, std::int64_t& bytes, Error& err) override;
    bool trimFile(FileHandle file, std::int64_t& bytes, Error& err) override;

    bool deleteFile(const std::string& path, Error& err) override;
    bool moveFile(const std::string& from, const std::string& to, Error& err) override;
    bool fileExists(const std::string& path) const override;
    bool folderExists(const std::string& path) const override;
    bool isReadOnly(const std::string& path) const override;
    bool setNormalAttributes(const std::string& path, Error& err) override;
    bool createFolder(const std::string& path, Error& err) override;
    bool createFolderTree(const std::string& path, Error& err) override;
    bool removeFolder(const std::string& path, Error& err) override;
    bool listFolder(const std::string& path, std::vector<FolderEntry>& entries, Error& err) const override;
    bool readFile(const std::string& path, std::string& bytes, Error& err) const override;
    bool replaceFile(const std::string& path, std::string_view bytes, Error& err) override;
    std::int64_t fileSizeForWrite(const std::string& path) const override;
    bool readFilePart(const std::string& path, bool fromEnd, std::int64_t maxBytes, std::string& bytes,
                      std::int64_t& fileSize, Error& err) const override;
    bool appendToSharedFile(const std::string& path, std::string_view bytes, std::int64_t rotateAt,
                            const std::string& rotatedPath, Error& err) override;

    std::string toFileText(std::string_view utf8) const override;
    std::string fromFileText(std::string_view bytes) const override;
    std::string toUpper(std::string_view utf8) const override;

    LocalTime localTime() const override;
    std::string dateTimeText(const LocalTime& t) const override;
    std::uint64_t performanceCounter() const override;
    std::int64_t monotonicMilliseconds() const override;

    bool registryOpenKey(RegistryRoot root, const std::string& key) override;
    RegistryValue registryRead(RegistryRoot root, const std::string& key, const std::string& value) override;
    std::vector<std::string> registrySubkeys(RegistryRoot root, const std::string& key) override;
    OsVersion osVersion() const override;
    MemoryStatus memoryStatus() const override;

    void launch(const std::string& file, const std::string& parameters, const std::string& folder) override;

    // Tests give a drive letter to a folder of their own; an empty root removes the mapping.
    // A mapped letter replaces any drive of that letter, and paths under the folder lie on it.
    void mapDrive(char letter, const std::string& root);
    // Tests keep their crash records in a folder of their own (which must pass the same checks);
    // empty puts the account's own folder back.
    void setRecordFolder(const std::string& folder) { recordFolder_ = folder; }

    // The text the drive list shows for a drive: the letter and ":", then for fixed, CD and RAM
    // drives a blank and the upper-case volume label in brackets, for network drives a blank
    // and the upper-case network path (the bracketed label when there is none); removable and
    // unknown drives show the letter alone.
    static std::string driveItemText(const Drive& drive);

private:
    std::optional<DirectFile> directFile(FileHandle file) const;
    void setDirectFile(FileHandle file, std::optional<DirectFile> state);

    // The mapped letter whose folder holds path (0 when none).
    char mappedDriveOf(const std::string& path) const;

    mutable std::mutex directMutex_; // the writer thread and the closing thread share the map
    std::map<FileHandle, DirectFile> directFiles_;
    std::map<char, std::string> mappedDrives_;
    std::string recordFolder_;
};

} // namespace spylerom::platform
