#include "startup.h"

#include "about.h"
#include "comms.h"
#include "debug.h"
#include "portSetting.h"
#include "progress.h"
#include "recentProfiles.h"
#include "splash.h"
#include "stopSignals.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <memory>

bool DebuggerAttached()
{
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("TracerPid:"))
            return line.mid(10).trimmed() != "0";
    }
    return false;
#else
    return false;
#endif
}

TMainEnvironment ProgramEnvironment(TPrompts *prompts, const QStringList &arguments)
{
    TMainEnvironment env;
    env.Prompts = prompts;
    env.ProgramPath = QCoreApplication::applicationFilePath();
    env.UserDataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    env.Arguments = arguments;
    env.ReadStoredPort = [] { return ReadStoredPort(); };
    env.WriteStoredPort = [](const QString &name) { return WriteStoredPort(name); };
    env.DebuggerAttached = [] { return DebuggerAttached(); };
    env.OpenDocument
        = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    env.Terminate = [] { QCoreApplication::quit(); };
    env.ReadRecentProfiles = [] { return ReadRecentProfiles(); };
    env.WriteRecentProfiles = [](const QStringList &list) { return WriteRecentProfiles(list); };
    return env;
}

int RunProgram(int argc, char **argv)
{
    // Counted before the application object takes its own options (-style, -reverse ...) out of
    // argv: any argument at all shows the debug window.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QApplication app(argc, argv);
    // The application's title for the task bar. No display name is set: Qt would append it to
    // every window caption.
    QApplication::setApplicationName(QStringLiteral("Kestrova Lumarix"));
    QApplication::setOrganizationName(QStringLiteral("Kestrova"));
    // Lets the desktop match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrova.Orbanel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));

    TWidgetPrompts prompts;

    // Created once, hidden, in this order; each lives for the whole run.
    auto frmMain = std::make_unique<TfrmMain>(ProgramEnvironment(&prompts, arguments));
    auto frmSplash = std::make_unique<TfrmSplash>();
    auto frmAbout = std::make_unique<TfrmAbout>();
    auto frmComms = std::make_unique<TfrmComms>();
    auto frmDebug = std::make_unique<TfrmDebug>();
    auto frmProgress = std::make_unique<TfrmProgress>(frmMain.get());
    frmMain->SetAuxWindows({frmAbout.get(), frmComms.get(), frmDebug.get(), frmProgress.get()});

    ShowSplash();

    // For demonstrations without a screen: write a picture of the window after a while and end.
    const QString screenshot = qEnvironmentVariable("ORBANEL_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        const int delay = qEnvironmentVariableIntValue("ORBANEL_SCREENSHOT_DELAY_MS");
        QTimer::singleShot(delay > 0 ? delay : 4000, frmMain.get(), [&] {
            frmMain->grab().save(screenshot);
            QCoreApplication::quit();
        });
    }

    // A kill, a shutdown or a closed terminal closes the window as its close button does.
    const TStopSignals stops([&] { return frmMain->StopMustWait(); }, [&] { frmMain->close(); });

    frmMain->show();
    const int code = app.exec();
    frmMain->SetAuxWindows({});
    return code;
}
