// The POSIX implementation of the platform interface (Linux): statvfs, mountinfo via libmount,
// open/write/fsync, the environment with the Windows names mapped to their POSIX homes.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace spylerom::platform {

// One network interface as the registry-shaped machine facts show it (a key under
// ...\TCPIP\Parameters\Interfaces named after the interface).
struct NetworkInterface {
    std::string name;
    RegistryValue dhcpAddress;  // answered as "DhcpIPAddress"
    RegistryValue fixedAddress; // answered as "IPAddress"
};

// Where the machine facts come from. systemMachineSources() reads this machine; tests give
// their own to fix the interface order, the addresses and the domain.
struct MachineSources {
    std::function<std::string()> hostName;                     // gethostname
    std::function<std::string()> resolverConfig;               // the text of /etc/resolv.conf
    std::function<std::vector<NetworkInterface>()> interfaces; // non-loopback IPv4, system order
    std::function<std::string()> spoolFolder;                  // /var/spool/cups when it exists
};
MachineSources systemMachineSources();

// errno -> Windows system error code and the system's message.
Error errorFromErrno(int err);

// A fill file in direct mode: what its direct writes must keep, and whether O_DIRECT is set on
// the descriptor right now (buffered writes clear it).
struct DirectFile {
    std::size_t alignment = 0; // 0: the file system refused direct writes, all go buffered
    std::size_t blockSize = 0; // the file system's block: the smallest direct piece at a full disk
    bool directNow = false;
};
// The mount that holds a folder, as /proc/self/mountinfo has it.
struct MountFacts {
    int id = -1;              // the mount's short id (given again once the volume is unmounted)
    std::string target;       // mount point
    std::string source;       // device (or share)
    std::string type;         // as the kernel names it ("ext4", "fuseblk", ...)
    std::string superOptions; // the file system's own options ("rw,blksize=4096", ...)
};
// False when the folder cannot be reached or no mount holds it.
bool mountOfFolder(const std::string& folder, MountFacts& out);
// Names the mount instance that holds path ("u" and the kernel's 64-bit mount id, which is never
// given twice while the system runs; "m" and the short id on kernels before 6.8, whose ids are
// given again). A volume unmounted and mounted anew gets another name. Empty when unknown.
std::string mountInstanceOf(const std::string& path);
// The file-system type a mount stands for: its own type, or for a FUSE mount of a block
// device the type on that device (libblkid), in lower case.
std::string volumeTypeOf(const MountFacts& mount);

class PosixPlatform : public Platform {
public:
    PosixPlatform();

    std::string environment(std::string_view name) const override;
    std::string programPath() const override;
    std::string currentFolder() const override;
    std::string fullPath(const std::string& path) const override;

    std::vector<Drive> drives() const override;
    // Labels and file-system types ask the devices; finding a drive's root needs neither.
    enum class DriveFacts { All, RootsOnly };
    std::vector<Drive> drives(DriveFacts facts) const;
    std::string driveRoot(char letter) const override;
    std::vector<Drive> driveRoots() const override;
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
    std::size_t enableDirectWrites(FileHandle& file) override;
    bool writeFile(FileHandle file, const void* data, std::size_t size, std::size_t& written,
                   Error& err) override;
    bool flushFile(FileHandle file, Error& err) override;
    bool closeFile(FileHandle file, Error& err) override;
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

    // Tests give a drive letter to a folder of their own (a loop-mounted image); an empty root
    // removes the mapping. Mapped letters replace any mounted drive of that letter.
    void mapDrive(char letter, const std::string& root);
    // Tests keep their crash records in a folder of their own (which must pass the same checks);
    // empty puts the account's own folder back.
    void setRecordFolder(const std::string& folder) { recordFolder_ = folder; }
    // The sources of the registry-shaped machine facts (default: systemMachineSources()).
    void setMachineSources(MachineSources sources) { machine_ = std::move(sources); }

    // The mounted file systems that count as drives, lettered: "/" is C:, the others D:, E:, ...
    // in the order of their mount points. mountInfoPath is read with libmount.
    static std::vector<Drive> drivesFromMountInfo(const std::string& mountInfoPath,
                                                  DriveFacts facts = DriveFacts::All);

private:
    std::optional<DirectFile> directFile(int fd) const;
    void setDirectFile(int fd, std::optional<DirectFile> state);

    std::map<char, std::string> mappedDrives_;
    std::string recordFolder_;
    MachineSources machine_;
    mutable std::mutex directMutex_; // the writer thread and the closing thread share the map
    std::map<int, DirectFile> directFiles_;
    // The mount instance fileRecordGauge last looked at, and whether ntfs-3g serves it.
    mutable std::mutex recordGaugeMutex_;
    mutable std::pair<std::string, bool> recordGaugeMount_;
};

} // namespace spylerom::platform
