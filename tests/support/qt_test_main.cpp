#include <QApplication>
#include <gtest/gtest.h>

// One QApplication for the whole suite: widgets, timers and serial ports all need it.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
