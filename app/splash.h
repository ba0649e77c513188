#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QTimer;

// Borderless start-up window with the maker's logo and web address. Its timer sets Done
// after the display time; ShowSplash waits for that while the program keeps processing events.
class TfrmSplash : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 331;
    static constexpr int kClientHeight = 160;
    static constexpr int kDisplayMs = 1000;
    static constexpr int kBevelWidth = 5;
    static constexpr const char *kWebAddress = "www.kestrova.com";

    explicit TfrmSplash(QWidget *parent = nullptr, int displayMs = kDisplayMs);

    // Set by the timer once the display time has passed.
    bool Done = false;

    QFrame *Panel1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QTimer *tmrSplash = nullptr;

private:
    void tmrSplashTimer();
};

// Pause between two rounds of event processing while the splash waits.
inline constexpr int kSplashPollMs = 100;

// Shows a splash window of its own for about displayMs, processing events every
// kSplashPollMs meanwhile, then frees it. Called once at start-up before the event loop.
void ShowSplash(int displayMs = TfrmSplash::kDisplayMs);
