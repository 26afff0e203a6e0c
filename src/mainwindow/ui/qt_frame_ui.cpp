#include "mainwindow/ui/qt_frame_ui.h"

#include "gui/screen_cursor.h"
#include "mainwindow/ui/spylerom_form.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace spylerom::mainwindow {

void QtFrameUi::messageBox(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, mainWindow_.data());
    box.setObjectName("FrameMessageBox");
    box.exec();
}

void QtFrameUi::setWaitCursor(bool wait) {
    gui::setScreenCursor(wait ? std::optional<Qt::CursorShape>(Qt::WaitCursor) : std::nullopt);
}

void QtFrameUi::requestQuit() {
    if (mainWindow_)
        mainWindow_->quitWhenIdle();
    else
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace spylerom::mainwindow
