#include "page_fixture.h"

#include "frame/settings.h"
#include "platform/platform.h"
#include "printing/page_layout.h"

namespace spylerom::printing::test {

void useSettings(const spylerom::test::TempDir& dir, const std::map<std::string, std::string>& standard) {
    std::string text = "[STANDARD]\r\n";
    for (const auto& [key, value] : standard)
        text += key + "=" + value + "\r\n";
    const std::string path = dir.file("solvarek.ini");
    // Written in the system's own text, as the program writes it (the ANSI code page on Windows).
    spylerom::test::writeText(path, platform::sys().toFileText(text));
    // The main file and, beside it, the per-user file that window placement switches to.
    frame::SettingsState& settings = frame::settingsState();
    settings.SettingsFolder = dir.path() + platform::kPathSeparator;
    settings.SettingsFileName = path;
    settings.ActiveSettings = std::make_unique<frame::IniDocument>(path);
    settings.CurrentSection = "STANDARD";
}

void PageTest::SetUp() {
    frame::ResetSettingsState();
    ResetPageState();
    useSettings(dir_, {});
    page().Surface = &surface_;
    page().View = &view_;
}

void PageTest::TearDown() {
    ResetPageState();
    frame::ResetSettingsState();
}

void PageTest::layOut(const std::map<std::string, std::string>& settings, std::int32_t zoom) {
    useSettings(dir_, settings);
    page().Zoom = zoom;
    ResetView();
}

} // namespace spylerom::printing::test
