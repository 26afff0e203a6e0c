// A label that reports single and double clicks of the left mouse button, and that can be shown
// as a link (navy text, hand cursor). What a click does is the dialog's business.
#pragma once

#include <QLabel>

namespace spylerom::sysinfo {

class ClickLabel : public QLabel {
    Q_OBJECT

public:
    explicit ClickLabel(const QString& text = {}, QWidget* parent = nullptr);

    // Navy text and the hand cursor.
    void setLink(bool link);
    bool isLink() const { return link_; }

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool link_ = false;
    bool inDoubleClick_ = false;
};

} // namespace spylerom::sysinfo
