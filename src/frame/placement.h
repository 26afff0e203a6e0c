// Window placement memory: a window's position, size and maximized state, stored under its
// name in the per-user settings file. The window itself is reached through PlacementWindow.
#pragma once

#include <string>

namespace spylerom::frame {

// What placement needs of a window and its screen; the Qt windows implement it.
class PlacementWindow {
public:
    virtual ~PlacementWindow() = default;
    virtual int left() const = 0;
    virtual int top() const = 0;
    virtual int width() const = 0; // outer size
    virtual int height() const = 0;
    virtual bool maximized() const = 0;
    virtual void setLeft(int value) = 0;
    virtual void setTop(int value) = 0;
    virtual void setWidth(int value) = 0;
    virtual void setHeight(int value) = 0;
    virtual void maximize() = 0;
    virtual int screenWidth() const = 0; // the primary screen
    virtual int screenHeight() const = 0;
};

void SavePlacement(PlacementWindow& window, const std::string& name, const std::string& extra);
// extra: "OnlyPos" on entry restores only the position; on return the stored "Diverse" text.
void RestorePlacement(PlacementWindow& window, const std::string& name, std::string& extra);

} // namespace spylerom::frame
