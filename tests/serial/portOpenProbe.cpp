// A second program on the same machine: opens the serial port named on its command line with the
// driver and prints whether it opened.

#include "serialDriver.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    TSerialPortDriver driver;
    driver.SetPortName(QString::fromLocal8Bit(argv[1]));
    driver.SetBaudRate(br19200);
    driver.SetHwFlow(hfNONE);
    std::printf("%s\n", driver.OpenPort() ? "opened" : "refused");
    return 0;
}
