// Window placement in the per-user settings file, with the pull-back of windows stored beyond
// the screen's right or bottom edge.
#include "frame/placement.h"

#include "frame/settings.h"

namespace spylerom::frame {

namespace {

// Switches to the per-user file in the window's own section, and back on leaving.
class WindowSection {
public:
    explicit WindowSection(const std::string& name) {
        OpenUserSettings();
        saved_ = settingsState().CurrentSection;
        SelectSection("VINDU-" + name);
    }
    ~WindowSection() {
        SelectSection(saved_);
        CloseUserSettings();
    }
    WindowSection(const WindowSection&) = delete;
    WindowSection& operator=(const WindowSection&) = delete;

private:
    std::string saved_;
};

} // namespace

void SavePlacement(PlacementWindow& window, const std::string& name, const std::string& extra) {
    WindowSection section(name);
    WriteSettingBool("Maximized", window.maximized());
    WriteSettingInteger("Left", window.left());
    WriteSettingInteger("Top", window.top());
    WriteSettingInteger("Height", window.height());
    WriteSettingInteger("Width", window.width());
    WriteSettingString("Diverse", extra);
}

void RestorePlacement(PlacementWindow& window, const std::string& name, std::string& extra) {
    WindowSection section(name);
    // The pull-back uses the size the window has before the stored size is applied.
    const int width = window.width();
    const int height = window.height();
    int left = ReadSettingInteger("Left");
    if (left > window.screenWidth())
        left = window.screenWidth() - width;
    window.setLeft(left);
    int top = ReadSettingInteger("Top");
    if (top > window.screenHeight())
        top = window.screenHeight() - height;
    window.setTop(top);
    if (extra != "OnlyPos") {
        if (const int h = ReadSettingInteger("Height"); h > 0)
            window.setHeight(h);
        if (const int w = ReadSettingInteger("Width"); w > 0)
            window.setWidth(w);
    }
    if (ReadSettingBool("Maximized"))
        window.maximize();
    extra = ReadSettingString("Diverse");
}

} // namespace spylerom::frame
