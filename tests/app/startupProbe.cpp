// The program as started from a command line, with one addition: once the main window is up it
// prints whether the debug window is shown, then ends the program.

#include "debug.h"
#include "main.h"
#include "startup.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

// Runs when the program creates its application object, before its windows exist.
void ReportOnceTheMainWindowIsUp()
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll] {
        const TfrmMain *main = nullptr;
        const TfrmDebug *debug = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *m = qobject_cast<TfrmMain *>(w))
                main = m;
            if (auto *d = qobject_cast<TfrmDebug *>(w))
                debug = d;
        }
        if (main == nullptr || !main->isVisible() || debug == nullptr)
            return;
        poll->stop();
        std::printf("debug window %s\n", debug->isVisible() ? "shown" : "hidden");
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    poll->start(20);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(ReportOnceTheMainWindowIsUp)

int main(int argc, char **argv)
{
    return RunProgram(argc, argv);
}
