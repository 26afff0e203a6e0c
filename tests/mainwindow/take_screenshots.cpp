// Takes the README's screenshots of the real window (run under Xvfb by scripts/screenshots.sh):
// the idle window, and the window during a fill of a loop-mounted image of its own.
#include "mainwindow/ui/program.h"
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <cstdio>

namespace {

using namespace spylerom;

bool grab(QWidget* window, const QString& path) {
    const QPixmap shot = window->screen()->grabWindow(window->winId());
    const bool saved = !shot.isNull() && shot.save(path, "PNG");
    std::fprintf(stderr, "%s %s (%dx%d)\n", saved ? "saved" : "could not save", qPrintable(path),
                 shot.width(), shot.height());
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: take_screenshots DOCS-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    std::string why;
    if (!test::LoopImage::available(&why)) {
        std::fprintf(stderr, "take_screenshots: %s\n", why.c_str());
        return 1;
    }
    test::LoopImage image({.sizeMiB = 1024});
    if (!image.ok()) {
        std::fprintf(stderr, "take_screenshots: %s\n", image.error().c_str());
        return 1;
    }
    test::TempDir appData;
    test::EnvGuard env;
    env.set("APPDATA", appData.path());
    // The mounted image is a drive of the machine like any other; it is the one filled.
    const QString imageItem = QStringLiteral("[%1]").arg(QString::fromStdString(image.mountPoint()));

    bool ok = true;
    int appArgc = 1;
    char* appArgv[] = {argv[0], nullptr};
    mainwindow::ProgramHooks hooks;
    hooks.shown = [&](mainwindow::ProgramWindows& windows) {
        QWidget* form = windows.SpyleRomForm.get();
        // Both pictures show the image's drive, whatever other drives the machine has.
        auto* stasjon = form->findChild<QComboBox*>("Stasjon");
        const int imageIndex = stasjon->findText(imageItem, Qt::MatchEndsWith);
        if (imageIndex < 0) {
            std::fprintf(stderr, "take_screenshots: the image is not in the drive list\n");
            ok = false;
            form->close();
            return;
        }
        stasjon->setCurrentIndex(imageIndex);
        QTimer::singleShot(700, form, [&, form] {
            ok = grab(form, folder + "/spylerom-idle.png") && ok;
            form->findChild<QComboBox*>("FyllCombo")->setCurrentIndex(2);
            form->findChild<QComboBox*>("BlockCombo")->setCurrentIndex(7);
            form->findChild<QSlider*>("TrackBar1")->setValue(3);
            // Taken from the fill's own message processing, then the window is closed, which
            // stops the fill and ends the program once it has cleaned up.
            QTimer::singleShot(1500, form, [&, form] {
                ok = grab(form, folder + "/spylerom-fill.png") && ok;
                form->close();
            });
            form->findChild<QPushButton*>("Startknapp")->click();
        });
    };
    const int code = mainwindow::runProgram(appArgc, appArgv, hooks);
    return ok ? code : 1;
}
