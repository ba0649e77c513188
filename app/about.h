#pragma once

#include <QDialog>
#include <QString>
#include <QtGlobal>

#include <optional>

class QHideEvent;
class QLabel;
class QPushButton;
class QShowEvent;
class QTimer;
class TDisplay;

// The program's product version: four 16-bit parts, as a version resource holds them.
struct TProductVersion
{
    quint16 Major = 0;
    quint16 Minor = 0;
    quint16 Release = 0;
    quint16 Build = 0;
};

// About box: logo, "Control Panel", the program's version and a 16-segment display that
// spells the maker's name. It also holds the major and minor version numbers that the
// transfers compare with the controller's. Created once and shown modally from the menu.
class TfrmAbout : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 165;
    static constexpr int kClientHeight = 286;
    static constexpr int kAnimationMs = 200;
    // One blank, the maker's name, one blank; a dash follows as the step after the last blank.
    static constexpr const char *kAnimationText = " KESTROVA ";

    // Shows the version this build was made with.
    explicit TfrmAbout(QWidget *parent = nullptr);
    // Shows the given product version; no version leaves the label empty and both numbers 0.
    TfrmAbout(std::optional<TProductVersion> productVersion, QWidget *parent = nullptr);

    // The build's own product version (absent when a part does not fit in 16 bits).
    static std::optional<TProductVersion> BuildProductVersion();

    // "v %d.%d.%d.%d" of the product version, empty when there is none; also sets
    // VersionMajor and VersionMinor.
    QString GetVersion();
    // One step of the letter animation (the timer's work).
    void AnimationTick();
    // Steps taken in the current cycle: 0 .. length of the text.
    int AnimationCounter() const { return tmrSplashTag; }

    quint32 VersionMajor = 0;
    quint32 VersionMinor = 0;

    TDisplay *AboutDisplay = nullptr;
    QTimer *tmrSplash = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblVersion = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void FormCreate();

    std::optional<TProductVersion> ProductVersion;
    // The animation's counter; it survives hiding so the next showing carries on.
    int tmrSplashTag = 0;
    bool Centred = false;
};
