// The settings files: the main "solvarek.ini" shared by the maker's programs and one per-user
// file beside it, held one at a time as an in-memory INI document. All reads and writes go
// through the typed accessors on the current section; files are written only at the fixed
// write-back points. Which keys mean what is the business of the Parts that use them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace spylerom::frame {

// The in-memory form of one INI text file.
class IniDocument {
public:
    // Loads path; a missing file gives an empty document.
    explicit IniDocument(std::string path);

    const std::string& path() const { return path_; }
    // The value of key in section; nullptr when either is missing. Names compare without case.
    const std::string* find(std::string_view section, std::string_view key) const;
    void set(std::string_view section, std::string_view key, std::string_view value);
    // The whole document as file text (UTF-8; the platform converts it for the file).
    std::string text() const;
    // Writes the document to its file, replacing it atomically.
    bool flush(std::string& error) const;

    struct Section {
        std::string name;
        std::vector<std::string> lines; // "key=value", or a line without "=" as it stood
    };
    const std::vector<Section>& sections() const { return sections_; }

private:
    std::string path_;
    std::vector<Section> sections_;
};

struct SettingsState {
    std::string SettingsFileName = "solvarek.ini";
    std::string SettingsFolder;
    std::unique_ptr<IniDocument> ActiveSettings;
    std::string CurrentSection = "STANDARD";
    std::string UserOverride;
    std::string userNameCache;
    bool activeIsUserFile = false;
};

// The one settings state of the process.
SettingsState& settingsState();
// Back to the state before OpenSettingsFile (tests).
void ResetSettingsState();

void SelectSection(std::string_view section);
void ResetSection();
std::string ReadSettingString(std::string_view key);
void WriteSettingString(std::string_view key, std::string_view value);
std::int32_t ReadSettingInteger(std::string_view key);
void WriteSettingInteger(std::string_view key, std::int32_t value);
bool ReadSettingBool(std::string_view key);
void WriteSettingBool(std::string_view key, bool value);
void FlushSettings();
void OpenUserSettings();
void CloseUserSettings();
std::string UserName();
void OpenSettingsFile();
void CloseSettingsFile();

} // namespace spylerom::frame
