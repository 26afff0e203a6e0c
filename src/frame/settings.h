// The settings files: the main "solvarek.ini" shared by the maker's programs and one per-user
// file beside it, held one at a time as an in-memory INI document. All reads and writes go
// through the typed accessors on the current section; files are written only at the fixed
// write-back points. Which keys mean what is the business of the Parts that use them.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace spylerom::frame {

// The in-memory form of one INI text file. Each line keeps the bytes it was read as, and a
// line nobody changes is written back in those bytes (a line in Windows-1252 among UTF-8 ones
// stays as it was); changed and new lines are written as the system's file text.
class IniDocument {
public:
    // A larger file is read no further and never written: nothing beyond the limit is lost.
    static constexpr std::int64_t kMaxFileBytes = 4 * 1024 * 1024;
    // A larger value is neither read (reads give the default) nor stored.
    static constexpr std::size_t kMaxValueBytes = 64 * 1024;

    // Loads path; a missing or unreadable file gives an empty document. A UTF-8 or UTF-16
    // byte-order mark selects that encoding; otherwise each line is read as the system's file
    // text on its own. A file that exists but cannot be read, or is larger than kMaxFileBytes,
    // is never overwritten by the document's flush.
    explicit IniDocument(std::string path);
    // A document of the given UTF-8 text, not read from disk (path is where flush writes).
    IniDocument(std::string path, std::string_view text);

    const std::string& path() const { return path_; }
    // The value of key in section; nullptr when either is missing or the value was refused for
    // its size. Names compare without case.
    const std::string* find(std::string_view section, std::string_view key) const;
    // Adds the section at the end and the key at the end of its section when missing; an
    // existing key's line is replaced where it stands (left as it was when key and value are
    // the same). Line breaks in the texts become blanks, so a value can never add lines or
    // sections to the file. A value larger than kMaxValueBytes is refused: false, no change.
    bool set(std::string_view section, std::string_view key, std::string_view value);
    // The whole document as UTF-8 text (CR LF line ends, one empty line after each section).
    std::string text() const;
    // The whole document as flush writes it: unchanged lines in their bytes as read.
    std::string fileBytes() const;
    // Writes the document to its file, replacing it atomically. A file with the read-only
    // attribute is refused with access denied (5), a file too large to be read whole with 223.
    bool flush(platform::Error& err) const;
    // The file was larger than kMaxFileBytes: only its first lines were read.
    bool tooLarge() const { return tooLarge_; }
    // What loading refused ("ADVARSEL: " lines for the log), in the order found.
    const std::vector<std::string>& warnings() const { return warnings_; }

    struct Line {
        std::string key;                  // the text before the first "=", or the whole line without one
        std::string value;                // the text after the first "="
        bool hasValue = false;            // the line had an "="
        bool refused = false;             // the value is larger than kMaxValueBytes: kept, never read
        std::optional<std::string> bytes; // as read, while nobody changed the line
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
        std::optional<std::string> bytes; // the heading as read
    };
    const std::vector<Section>& sections() const { return sections_; }

private:
    void load();
    void parseBytes(std::string_view bytes, bool utf8Mark);
    void parseText(std::string_view text);
    void addLine(std::string_view text, std::optional<std::string_view> bytes);
    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;

    std::string path_;
    std::vector<Section> sections_;
    std::size_t current_ = 0;   // the section that loading adds lines to (none yet: its size)
    platform::Error loadError_; // why an existing file could not be read (code 0 when it could)
    bool tooLarge_ = false;
    std::vector<std::string> warnings_;
};

struct SettingsState {
    std::string SettingsFileName = "solvarek.ini";
    std::string SettingsFolder;
    std::unique_ptr<IniDocument> ActiveSettings;
    std::string CurrentSection = "STANDARD";
    std::string UserOverride;
    std::string userNameCache;
    bool activeIsUserFile = false;
    // Warnings of the main file's loading at start-up, logged once the log is switched on.
    std::vector<std::string> pendingWarnings;
    std::vector<std::string> warned; // each warning is logged once a run
};

// The one settings state of the process.
SettingsState& settingsState();
// Back to the state before OpenSettingsFile (tests).
void ResetSettingsState();

// The accessors work on CurrentSection of ActiveSettings. Without an open document reads give
// their defaults (empty text, 0, false) and writes are dropped.
void SelectSection(std::string_view section);
void ResetSection();
std::string ReadSettingString(std::string_view key);
// A value larger than IniDocument::kMaxValueBytes is not stored; an "ADVARSEL:" line says so.
void WriteSettingString(std::string_view key, std::string_view value);
std::int32_t ReadSettingInteger(std::string_view key);
void WriteSettingInteger(std::string_view key, std::int32_t value);
bool ReadSettingBool(std::string_view key);
// A switch of a given section that is on unless set otherwise: whenMissing where the key is
// missing or its value is no number, else whether the number is not 0. The current section stays.
bool ReadSettingFlag(std::string_view section, std::string_view key, bool whenMissing);
void WriteSettingBool(std::string_view key, bool value);
// Writes ActiveSettings whole to its file. Skipped for a read-only main settings file and for
// a file too large to be read whole; any other failure is logged as a "FEIL:" line and the
// program goes on.
void FlushSettings();
// Switches to the per-user file (after flushing the main one) and back (after flushing it).
void OpenUserSettings();
void CloseUserSettings();
// The frame's user name in upper case: the command line's, else the logon user's, else "BRUKER".
std::string UserName();
// Full path of the per-user file: SettingsFolder, UserName() made safe as a file name, ".INI".
std::string UserSettingsFileName();
// Locates and opens the main settings file and stamps its header; no flush. What its loading
// refused is logged by ReportSettingsWarnings.
void OpenSettingsFile();
// Logs the warnings that OpenSettingsFile kept back (the start-up calls it once logging is set).
void ReportSettingsWarnings();
// Writes back (unless read-only) and releases the main settings file, with its log lines.
void CloseSettingsFile();

// Integer and boolean reading of a stored value; false when it is not a valid one.
bool parseSettingInteger(std::string_view text, std::int32_t& value);

} // namespace spylerom::frame
