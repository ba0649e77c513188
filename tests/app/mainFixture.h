#pragma once

#include "about.h"
#include "comms.h"
#include "debug.h"
#include "main.h"
#include "progress.h"
#include "scriptedPrompts.h"
#include "testPty.h"

#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

// A main window with its auxiliary windows, scripted prompts, a private stored-port value and a
// program folder of its own. The link timers are stopped so tests tick them by hand; tests that
// run the real event loop start them again.
class MainWindowTest : public ::testing::Test
{
protected:
    // `answers` replaces the scripted prompts, e.g. by real message boxes answered from a timer.
    void Create(const QStringList &arguments = {}, bool debugger = false,
                TPrompts *answers = nullptr)
    {
        TMainEnvironment env;
        env.Prompts = answers ? answers : &prompts;
        env.ProgramPath
            = programPath.isEmpty() ? folder.path() + QStringLiteral("/orbanel") : programPath;
        env.UserDataFolder = userDataFolder;
        env.Arguments = arguments;
        // As the settings store: "COM1" when it holds no value.
        env.ReadStoredPort
            = [this] { return storedPort.isNull() ? QStringLiteral("COM1") : storedPort; };
        env.WriteStoredPort = [this](const QString &name) {
            if (portStoreFails)
                return false;
            writtenPorts << name;
            storedPort = name;
            return true;
        };
        env.DebuggerAttached = [debugger] { return debugger; };
        env.OpenDocument = [this](const QString &path) {
            openedDocuments << path;
            return documentsOpen;
        };
        env.Terminate = [this] { terminated = true; };
        env.ReadRecentProfiles = [this] { return recentProfiles; };
        env.WriteRecentProfiles = [this](const QStringList &list) {
            recentProfiles = list;
            return true;
        };
        about = std::make_unique<TfrmAbout>(TProductVersion {1, 0, 0, 0});
        comms = std::make_unique<TfrmComms>();
        debug = std::make_unique<TfrmDebug>();
        progress = std::make_unique<TfrmProgress>();
        window = std::make_unique<TfrmMain>(env);
        window->SetAuxWindows({about.get(), comms.get(), debug.get(), progress.get()});
        window->tmrStatus->stop();
        window->tmrLink->stop();
    }

    // Shows the window on the pseudo-terminal, as the program does at start-up.
    void CreateOnPty(const QStringList &arguments = {})
    {
        storedPort = QString::fromStdString(pty.SlavePath());
        Create(arguments);
        window->show();
        pty.Drain();
    }

    void Feed(const std::string &line)
    {
        window->ReceiveData(nullptr, line.data(), static_cast<quint32>(line.size()));
    }

    // Brings the link up with a version reply matching the program's own version.
    void Connect()
    {
        prompts.Answers.push_back(TPrompts::No);
        Feed("@V010000\r");
    }

    std::string Sent() { return pty.Read(4096, std::chrono::milliseconds(50)); }

    QTemporaryDir folder;
    QString programPath; // the program file; empty: "orbanel" in folder
    QString userDataFolder; // the per-user data folder; empty: none known
    TScriptedPrompts prompts;
    QString storedPort; // null: the store holds no port
    QStringList writtenPorts;
    bool portStoreFails = false; // the settings store takes no port
    QStringList recentProfiles; // the settings store's list
    QStringList openedDocuments;
    bool documentsOpen = true; // the desktop has a program for every document
    bool terminated = false;
    TestPty pty;
    std::unique_ptr<TfrmAbout> about;
    std::unique_ptr<TfrmComms> comms;
    std::unique_ptr<TfrmDebug> debug;
    std::unique_ptr<TfrmProgress> progress;
    std::unique_ptr<TfrmMain> window; // destroyed first: it uses the others
};
