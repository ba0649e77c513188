#include "progress.h"

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFontPoints = 8;
constexpr int kPercentFull = 100;

QString ProgressTitle(int percent)
{
    return QString::asprintf("Progress (%d %%)", percent);
}

} // namespace

QPoint CentredTopLeft(const QRect &screen, const QSize &window)
{
    // Integer division truncates toward zero, as the placement rule wants.
    return {screen.left() + (screen.width() - window.width()) / 2,
            screen.top() + (screen.height() - window.height()) / 2};
}

int ProgressPercent(int position, int maximum)
{
    const double max = std::max(maximum, 1);
    // nearbyint uses the default rounding mode: to nearest, ties to even.
    return static_cast<int>(std::nearbyint(position / max * kPercentFull));
}

TfrmProgress::TfrmProgress(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("frmProgress");
    setWindowTitle("Progress");
    setModal(false);
    setFont(QFont("Tahoma", kFontPoints));
    setFixedSize(kClientWidth, kClientHeight);

    pnlCaption = new QLabel(this);
    pnlCaption->setObjectName("pnlCaption");
    pnlCaption->setFrameShape(QFrame::NoFrame);
    pnlCaption->setAlignment(Qt::AlignCenter);

    prgProgress = new QProgressBar(this);
    prgProgress->setObjectName("prgProgress");
    prgProgress->setRange(0, 1);
    prgProgress->setValue(0);
    // The percentage is in the title; the bar itself stays plain.
    prgProgress->setTextVisible(false);

    // The window has a fixed size, so the two controls sit at fixed places: a layout would add
    // the style's item margins around the bar.
    pnlCaption->setGeometry(0, 0, kClientWidth, kCaptionHeight);
    prgProgress->setGeometry(0, kCaptionHeight, kClientWidth, kClientHeight - kCaptionHeight);
}

void TfrmProgress::StartProgress(const QString &text, int steps)
{
    AllowClose = false;
    pnlCaption->setText(text);
    // A maximum of 0 would turn the bar into a busy indicator and the percentage into a
    // division by zero.
    prgProgress->setRange(0, std::max(steps, 1));
    prgProgress->setValue(0);
    if (isVisible()) {
        // Shown again without hiding first: still a new sequence.
        FormShow();
    } else {
        show();
    }
    const QScreen *scr = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (scr != nullptr) {
        move(CentredTopLeft(scr->geometry(), frameGeometry().size()));
    }
}

void TfrmProgress::StepProgress()
{
    prgProgress->setValue(std::min(prgProgress->value() + 1, prgProgress->maximum()));
    setWindowTitle(ProgressTitle(ProgressPercent(prgProgress->value(), prgProgress->maximum())));
}

void TfrmProgress::FinishProgress()
{
    AllowClose = true;
    hide();
}

void TfrmProgress::FormShow()
{
    setWindowTitle(ProgressTitle(0));
}

void TfrmProgress::showEvent(QShowEvent *event)
{
    // A spontaneous show is the window system restoring it, not a new showing.
    if (!event->spontaneous()) {
        FormShow();
    }
    QDialog::showEvent(event);
}

void TfrmProgress::closeEvent(QCloseEvent *event)
{
    if (AllowClose) {
        hide();
        event->accept();
    } else {
        event->ignore();
    }
}

void TfrmProgress::reject()
{
    if (AllowClose) {
        QDialog::reject();
    }
}
