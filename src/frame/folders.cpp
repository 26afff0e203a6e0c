// The folder lookups, their entries in "FOLDERS", and the standard folder tree.
#include "frame/folders.h"

#include "frame/settings.h"
#include "frame/textfil.h"

namespace spylerom::frame {

using platform::kPathSeparator;
using platform::sys;

namespace {

constexpr const char* kTree[] = {"archive",
                                 "backup",
                                 "data",
                                 "data\\tabulant",
                                 "data\\vindra",
                                 "data\\mosk",
                                 "data\\docs",
                                 "data\\lirra",
                                 "etc",
                                 "export",
                                 "export\\xml",
                                 "export\\pdf",
                                 "export\\csv",
                                 "export\\html",
                                 "export\\html\\varer",
                                 "import",
                                 "images",
                                 "spool",
                                 "tmp",
                                 "xml",
                                 "log",
                                 "maler",
                                 "maler\\docs",
                                 "maler\\mosk"};

// Saves the caller's section, works in "FOLDERS", and puts the section back.
class FoldersSection {
public:
    FoldersSection() : saved_(settingsState().CurrentSection) { SelectSection("FOLDERS"); }
    ~FoldersSection() { SelectSection(saved_); }
    FoldersSection(const FoldersSection&) = delete;
    FoldersSection& operator=(const FoldersSection&) = delete;

private:
    std::string saved_;
};

std::string folderKey(std::string_view name) {
    return std::string(name) + "_folder";
}

void createWithParents(const std::string& path) {
    platform::Error err;
    sys().createFolderTree(path, err);
}

} // namespace

std::string logicalPath(std::string_view name) {
    std::string path(name);
    for (char& c : path)
        if (c == '\\')
            c = kPathSeparator;
    return path;
}

std::string MakerFolder() {
    return sys().environment("APPDATA") + kPathSeparator + "Solvarek" + kPathSeparator;
}

std::string solvarekpath(std::string_view name) {
    const std::string base = MakerFolder();
    if (name.empty())
        return base;
    FoldersSection section;
    std::string path = ReadSettingString(folderKey(name));
    if (path.empty())
        path = base + logicalPath(name) + kPathSeparator;
    if (!sys().folderExists(path) && name != "bin" && path.find(base) != std::string::npos) {
        WriteLog("hs_reg.solvarekpath(" + std::string(name) + "): Lager mappen " + path);
        createWithParents(path);
    }
    path = platform::withTrailingSeparator(path);
    SetFolderPath(name, path);
    FlushSettings();
    return path;
}

void SetFolderPath(std::string_view name, std::string_view path) {
    FoldersSection section;
    WriteSettingString(folderKey(name), platform::withTrailingSeparator(std::string(path)));
}

void mkdirsafe(const std::string& path) {
    platform::Error err;
    if (sys().createFolder(path, err))
        WriteLog("Oppretter mappen " + path);
    else
        WriteLog("FEIL: [mkdirsafe:" + std::to_string(err.code) + "] kan ikke opprette mappen " + path);
}

void CreateFolderTree(TreeFolders which) {
    const std::string bin = ProgramFolder();
    SetFolderPath("doc", sys().fullPath(bin + ".." + kPathSeparator + "doc"));
    const std::string base = MakerFolder();
    if (!sys().folderExists(base))
        createWithParents(base);
    for (const char* name : kTree) {
        const std::string path = base + logicalPath(name);
        if (which == TreeFolders::Every || !sys().folderExists(path))
            mkdirsafe(path);
        SetFolderPath(name, path);
    }
}

std::string ResolveLogFolder() {
    const std::string log = solvarekpath("log");
    if (!sys().folderExists(log)) {
        SetFolderPath("log", sys().environment("APPDATA") + kPathSeparator + "Solvarek" + kPathSeparator +
                                 "log" + kPathSeparator);
        createWithParents(solvarekpath("log"));
    }
    return solvarekpath("log");
}

std::string ProgramFolder() {
    SetFolderPath("bin", platform::folderOf(sys().programPath()));
    return solvarekpath("bin");
}

} // namespace spylerom::frame
