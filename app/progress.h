#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QShowEvent;

// Top-left corner that centres a window of the given outer size on a screen; the halves
// truncate toward zero, so a window larger than the screen overhangs both edges alike.
QPoint CentredTopLeft(const QRect &screen, const QSize &window);

// Percentage shown for a bar position, rounded to the nearest integer with ties to even.
// A maximum below 1 counts as 1, so a bad step count never divides by zero.
int ProgressPercent(int position, int maximum);

// Stay-on-top window that follows a transfer sequence: the operation's name, a bar and the
// percentage in the title. Created hidden once by the program and reused for every sequence;
// while a sequence runs the user cannot close it.
class TfrmProgress : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 496;
    static constexpr int kClientHeight = 57;
    static constexpr int kCaptionHeight = 33;

    explicit TfrmProgress(QWidget *parent = nullptr);

    // Opens the window for a new sequence of `steps` steps (at least 1) with an empty bar.
    void StartProgress(const QString &text, int steps);
    // Advances one step (never beyond the maximum) and shows the percentage in the title.
    void StepProgress();
    // Allows closing and hides the window.
    void FinishProgress();

    QLabel *pnlCaption = nullptr;
    QProgressBar *prgProgress = nullptr;
    // False while a sequence runs; a close request is honoured only when true.
    bool AllowClose = false;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Esc goes through here; it must not close a running sequence either.
    void reject() override;

private:
    void FormShow();
};
