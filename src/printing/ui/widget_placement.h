// The placement facility's view of a top-level QWidget: outer position and size, maximized
// state and the primary screen. Storing and correcting the values is the frame's business.
#pragma once

#include "frame/placement.h"

class QWidget;

namespace spylerom::printing {

class WidgetPlacement : public frame::PlacementWindow {
public:
    explicit WidgetPlacement(QWidget& window) : window_(window) {}

    int left() const override;
    int top() const override;
    int width() const override;
    int height() const override;
    bool maximized() const override;
    void setLeft(int value) override;
    void setTop(int value) override;
    void setWidth(int value) override;
    void setHeight(int value) override;
    void maximize() override;
    int screenWidth() const override;
    int screenHeight() const override;

private:
    QWidget& window_;
};

} // namespace spylerom::printing
