// The main of the window test programs: one QApplication, on Qt's offscreen platform unless
// the environment names another, for all of a program's tests.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#ifdef SPYLEROM_TEST_DISPLAY_NAME
    QApplication::setApplicationDisplayName(QStringLiteral(SPYLEROM_TEST_DISPLAY_NAME));
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
