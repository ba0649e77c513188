#include <QApplication>
#include <gtest/gtest.h>

// One QApplication for the whole suite: widgets, timers and serial ports all need it.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The headless platform's own screen is 800 x 800, narrower than the main window, which
    // would then scroll: the suites run on a small laptop's screen instead.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" ORBANEL_TEST_SCREEN);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
