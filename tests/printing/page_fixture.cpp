#include "page_fixture.h"

#include "frame/settings.h"
#include "printing/page_layout.h"

namespace spylerom::printing::test {

void useSettings(const spylerom::test::TempDir& dir, const std::map<std::string, std::string>& standard) {
    std::string text = "[STANDARD]\r\n";
    for (const auto& [key, value] : standard)
        text += key + "=" + value + "\r\n";
    const std::string path = dir.file("solvarek.ini");
    spylerom::test::writeText(path, text);
    frame::settingsState().ActiveSettings = std::make_unique<frame::IniDocument>(path);
    frame::settingsState().CurrentSection = "STANDARD";
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
