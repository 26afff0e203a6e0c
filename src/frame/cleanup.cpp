// Emptying temporary folders, entry by entry, logging what cannot be deleted and going on.
#include "frame/cleanup.h"

#include "frame/folders.h"
#include "frame/frame_ui.h"
#include "frame/sysqueries.h"
#include "frame/textfil.h"

namespace spylerom::frame {

using platform::kPathSeparator;
using platform::sys;

namespace {

// Characters, not bytes: "/tmp/ø/" is as long as "/tmp/o/".
std::size_t characterCount(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

bool mentions(const std::string& path, const std::string& word) {
    return sys().toUpper(path).find(word) != std::string::npos;
}

// A file, or a link of any kind: a link goes as itself, its target is never entered.
void deleteEntry(const std::string& folder, const platform::FolderEntry& entry) {
    const std::string path = folder + entry.name;
    platform::Error err;
    if (entry.readOnly)
        sys().setNormalAttributes(path, err);
    if (logState().Verbose)
        WriteLog("Sletter " + path);
    const bool deleted = entry.isLink ? sys().removeFolder(path, err) : sys().deleteFile(path, err);
    if (!deleted)
        WriteLog("FEIL: kan ikke slette filen " + path);
}

} // namespace

void DeleteTree(const std::string& folder, const std::string& root) {
    frameUi().setWaitCursor(true);
    if (logState().Verbose)
        WriteLog("Sletter mappen " + folder);
    std::vector<platform::FolderEntry> entries;
    platform::Error err;
    if (sys().listFolder(folder, entries, err)) {
        for (const auto& entry : entries) {
            if (entry.isFolder && !entry.isLink)
                DeleteTree(folder + entry.name + kPathSeparator, root);
            else
                deleteEntry(folder, entry);
        }
    }
    if (folder != root && !sys().removeFolder(folder, err))
        WriteLog("FEIL: kan ikke slette mappen " + folder);
    frameUi().setWaitCursor(false);
}

void EmptyFolder(std::string path) {
    path = platform::withTrailingSeparator(std::move(path));
    if (characterCount(path) >= 7 && sys().folderExists(path))
        DeleteTree(path, path);
}

void CleanTemporaryFiles(bool includeSystem) {
    WriteLog("Sletter midlertidige filer opprettet av Solvarek programmer");
    const std::string tmp = solvarekpath("tmp");
    if (characterCount(tmp) > 3 && mentions(tmp, "TMP"))
        EmptyFolder(tmp);
    if (!includeSystem)
        return;
    const std::string temp = TempFolder() + kPathSeparator;
    if (characterCount(temp) > 3 && mentions(temp, "TEMP")) {
        WriteLog("Sletter midlertidige filer i Windows");
        EmptyFolder(temp);
        EmptyFolder(sys().environment("WINDIR") + kPathSeparator + "temp" + kPathSeparator);
    }
    const std::string spool = SpoolFolder();
    if (mentions(spool, "SPOOL")) {
        WriteLog("Sletter skriverkøer");
        EmptyFolder(spool);
    }
}

} // namespace spylerom::frame
