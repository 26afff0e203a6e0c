// The open settings document, its accessors, the two files' switching and their write-back.
#include "frame/settings.h"

#include "frame/sysqueries.h"
#include "frame/textfil.h"

#include <algorithm>

namespace spylerom::frame {

using platform::sys;

namespace {

SettingsState g_settings;

constexpr const char* kMainFileName = "solvarek.ini";
constexpr const char* kIniVersion = "5.36";

std::string makerEtcFolder() {
    const char sep = platform::kPathSeparator;
    return sys().environment("APPDATA") + sep + "Solvarek" + sep + "etc" + sep;
}

bool mainFileIsReadOnly() {
    return sys().fileExists(g_settings.SettingsFileName) && sys().isReadOnly(g_settings.SettingsFileName);
}

// Flushes the active document; true when written, or skipped for a read-only main file or a
// file too large to be read whole (its loading said so once).
bool flushActive(platform::Error& err) {
    if (!g_settings.ActiveSettings || g_settings.ActiveSettings->tooLarge())
        return true;
    if (!g_settings.activeIsUserFile && mainFileIsReadOnly())
        return true;
    return g_settings.ActiveSettings->flush(err);
}

// Logs a warning unless this run logged it already (the main file is loaded again and again).
void warnOnce(const std::string& warning) {
    auto& warned = g_settings.warned;
    if (std::find(warned.begin(), warned.end(), warning) != warned.end())
        return;
    warned.push_back(warning);
    WriteLog(warning);
}

// Makes doc the active document; what its loading refused is logged now, or kept for
// ReportSettingsWarnings when the log is not set up yet.
void activate(std::unique_ptr<IniDocument> doc, bool userFile, bool logLater) {
    for (const auto& warning : doc->warnings()) {
        if (logLater)
            g_settings.pendingWarnings.push_back(warning);
        else
            warnOnce(warning);
    }
    g_settings.ActiveSettings = std::move(doc);
    g_settings.activeIsUserFile = userFile;
}

bool parseDigits(std::string_view digits, int base, std::uint64_t limit, std::uint64_t& value) {
    if (digits.empty())
        return false;
    value = 0;
    for (const char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            return false;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        if (value > limit)
            return false;
    }
    return true;
}

// A user name as a file name: separators and control characters would leave the folder or
// break the name, so they become "_".
std::string safeFileName(std::string name) {
    for (char& c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    if (name == "." || name == "..")
        name = "_";
    return name;
}

void writeHeader(const std::string& prefix) {
    WriteSettingString(prefix + "TIME", sys().dateTimeText(sys().localTime()));
    WriteSettingString(prefix + "NAME", g_settings.SettingsFileName);
    WriteSettingString(prefix + "PROGRAM", sys().programPath());
    WriteSettingString(prefix + "USER", UserName());
    WriteSettingString(prefix + "INIVERSION", kIniVersion);
}

} // namespace

SettingsState& settingsState() {
    return g_settings;
}

void ResetSettingsState() {
    g_settings = SettingsState{};
}

bool parseSettingInteger(std::string_view text, std::int32_t& value) {
    std::uint64_t magnitude = 0;
    if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        // Hexadecimal covers the whole 32 bits: 0xFFFFFFFF is -1.
        if (!parseDigits(text.substr(2), 16, 0xFFFFFFFFULL, magnitude))
            return false;
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
        return true;
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
    if (!parseDigits(text, 10, limit, magnitude))
        return false;
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

void SelectSection(std::string_view section) {
    g_settings.CurrentSection = std::string(section);
}

void ResetSection() {
    g_settings.CurrentSection = "STANDARD";
}

std::string ReadSettingString(std::string_view key) {
    if (!g_settings.ActiveSettings)
        return {};
    const std::string* value = g_settings.ActiveSettings->find(g_settings.CurrentSection, key);
    return value ? *value : std::string();
}

void WriteSettingString(std::string_view key, std::string_view value) {
    if (g_settings.ActiveSettings && !g_settings.ActiveSettings->set(g_settings.CurrentSection, key, value))
        WriteLog("ADVARSEL: verdien av " + std::string(key) + " i [" + g_settings.CurrentSection + "] er " +
                 std::to_string(value.size()) + " byte, mer enn " +
                 std::to_string(IniDocument::kMaxValueBytes / 1024) + " KiB, og blir ikke lagret");
}

std::int32_t ReadSettingInteger(std::string_view key) {
    std::int32_t value = 0;
    return parseSettingInteger(ReadSettingString(key), value) ? value : 0;
}

void WriteSettingInteger(std::string_view key, std::int32_t value) {
    WriteSettingString(key, std::to_string(value));
}

bool ReadSettingBool(std::string_view key) {
    std::int32_t value = 0;
    return parseSettingInteger(ReadSettingString(key), value) && value != 0;
}

bool ReadSettingFlag(std::string_view section, std::string_view key, bool whenMissing) {
    const std::string* value =
        g_settings.ActiveSettings ? g_settings.ActiveSettings->find(section, key) : nullptr;
    std::int32_t number = 0;
    return value && parseSettingInteger(*value, number) ? number != 0 : whenMissing;
}

void WriteSettingBool(std::string_view key, bool value) {
    WriteSettingString(key, value ? "1" : "0");
}

void FlushSettings() {
    platform::Error err;
    if (!flushActive(err))
        WriteLog("FEIL: kan ikke lagre innstillingene i " + g_settings.ActiveSettings->path() + " [" +
                 std::to_string(err.code) + "] " + err.message);
}

std::string UserName() {
    if (g_settings.userNameCache.empty())
        g_settings.userNameCache =
            !g_settings.UserOverride.empty() ? g_settings.UserOverride : LogonUserName();
    if (g_settings.userNameCache.empty())
        g_settings.userNameCache = "BRUKER";
    return sys().toUpper(g_settings.userNameCache);
}

std::string UserSettingsFileName() {
    return g_settings.SettingsFolder + safeFileName(UserName()) + ".INI";
}

void OpenUserSettings() {
    const std::string path = UserSettingsFileName();
    FlushSettings();
    activate(std::make_unique<IniDocument>(path), true, false);
}

void CloseUserSettings() {
    FlushSettings();
    activate(std::make_unique<IniDocument>(g_settings.SettingsFileName), false, false);
}

void OpenSettingsFile() {
    const char sep = platform::kPathSeparator;
    if (sys().fileExists(std::string(".") + sep + kMainFileName))
        g_settings.SettingsFolder =
            platform::folderOf(sys().fullPath(std::string(".") + sep + kMainFileName));
    else
        g_settings.SettingsFolder = makerEtcFolder();
    if (!sys().folderExists(g_settings.SettingsFolder)) {
        g_settings.SettingsFolder = makerEtcFolder();
        platform::Error err;
        sys().createFolderTree(g_settings.SettingsFolder, err);
    }
    g_settings.SettingsFileName = sys().fullPath(g_settings.SettingsFolder + kMainFileName);
    g_settings.SettingsFolder = platform::folderOf(g_settings.SettingsFileName);

    const bool existed = sys().fileExists(g_settings.SettingsFileName);
    activate(std::make_unique<IniDocument>(g_settings.SettingsFileName), false, true);
    SelectSection("INI_SELF");
    if (!existed)
        writeHeader("CREATED_");
    writeHeader("MODIFIED_");
    ResetSection();
}

void ReportSettingsWarnings() {
    for (const auto& warning : g_settings.pendingWarnings)
        warnOnce(warning);
    g_settings.pendingWarnings.clear();
}

void CloseSettingsFile() {
    if (g_settings.activeIsUserFile)
        CloseUserSettings();
    const bool readOnly = mainFileIsReadOnly();
    const bool tooLarge = g_settings.ActiveSettings && g_settings.ActiveSettings->tooLarge();
    platform::Error err;
    bool ok = true;
    if (!readOnly && !tooLarge && g_settings.ActiveSettings)
        ok = g_settings.ActiveSettings->flush(err);
    g_settings.ActiveSettings.reset();
    if (!ok)
        WriteLog("INI-CRASH i HS_REG: " + g_settings.SettingsFileName);
    if (logState().Verbose) {
        if (readOnly)
            WriteLog("ADVARSEL: " + g_settings.SettingsFileName +
                     " er skrivebeskyttet og vil ikke bli lagret.");
        else if (tooLarge)
            WriteLog("ADVARSEL: " + g_settings.SettingsFileName + " er for stor og vil ikke bli lagret.");
        else
            WriteLog("Oppdaterer " + g_settings.SettingsFileName);
    }
}

} // namespace spylerom::frame
