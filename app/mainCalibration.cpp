// Gear position calibration: sampling the live barrel angle per gear, building the gear ranges
// and showing them on the dial and in the debug window.

#include "main.h"

#include "calibration.h"
#include "compassRange.h"
#include "debug.h"
#include "panelRules.h"
#include "profile.h"
#include "transfers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

namespace {

const QColor kMarkerColour(0xFF, 0x00, 0x00);
constexpr int kDialSlots = 11;

float ToDegrees(int counts)
{
    return static_cast<float>(counts * 360.0 / 1023.0);
}

} // namespace

void TfrmMain::btnCaptureClick()
{
    // A read under way would put the controller's positions and gear count over the samples.
    if (TransferBusy())
        return;
    BarrelGauge->SetMarkerCount(0);
    bool aborted = false;
    const int count = std::min<int>(Ecu.PositionCount, kPositionSlots);
    // A read of all settings begun under a question (the link came back and the user took the
    // upload) changes the gear count and positions this run has sampled: ranges built now would
    // mix the two. The user pressed OK and is owed a word on why no further gear is asked for.
    const int uploads = UploadsStarted;
    const auto readMeanwhile = [this, uploads] {
        if (UploadsStarted == uploads)
            return false;
        if (!TransferBusy())
            Ask(TPrompts::Information,
                QStringLiteral("Sampling stopped: settings were read from the ECU - sample the "
                               "gear positions again"),
                TPrompts::Ok);
        return true;
    };
    for (int i = 0; i < count; ++i) {
        const std::string_view name = GearNameOf(i);
        const QString text = QStringLiteral("Select ")
            + QString::fromUtf8(name.data(), static_cast<int>(name.size()))
            + QStringLiteral(" and press OK");
        if (Ask(TPrompts::Confirmation, text, TPrompts::Ok | TPrompts::Abort) != TPrompts::Ok) {
            aborted = true;
            break;
        }
        if (readMeanwhile()) {
            aborted = true;
            break;
        }
        // A dial that no longer follows the barrel shows an earlier gear's angle: the same gear
        // is asked for again, and the run goes on once the controller answers. It stops following
        // as soon as the polls go unanswered, before the watchdog drops the link.
        if (!Connected || StatusPollsUnanswered >= kStaleStatusPolls) {
            Ask(TPrompts::Warning,
                QStringLiteral("ECU Disconnected - the gear position cannot be sampled until the "
                               "ECU answers."),
                TPrompts::Ok);
            if (readMeanwhile()) {
                aborted = true;
                break;
            }
            --i;
            continue;
        }
        // The angle the dial shows now: status replies keep moving it while the prompt is open.
        const float p = BarrelGauge->Position();
        SetCell(1, i + 1, QString::number(RoundHalfEven(p)));
        Ecu.Positions[static_cast<std::size_t>(i)].Adc
            = static_cast<std::uint16_t>(DegreesToCounts(p));
        Ecu.Positions[static_cast<std::size_t>(i)].Sampled = true;
        BarrelGauge->SetMarker(i, kMarkerColour, p);
        BarrelGauge->SetMarkerCount(std::min(i + 1, kDialSlots));
    }
    if (!aborted) {
        BuildRanges();
        BarrelGauge->SetMarkerCount(0);
        SettingsChanged = true;
    }
    RefreshSettings();
}

void TfrmMain::BuildRanges()
{
    ::BuildRanges(Ecu);
    RedrawRanges();
}

void TfrmMain::RedrawRanges()
{
    const TGearDataList &ranges = Ecu.Ranges;
    const int n = ranges.Count();
    if (aux_.Debug) {
        QStringList lines;
        for (int k = 0; k < n; ++k)
            lines.append(QString::fromStdString(RangeLine(k, ranges.Items(k))));
        aux_.Debug->SetRangeLines(lines);
    }

    BarrelGauge->SetRangeCount(0);
    BarrelGauge->SetRangeCount(std::min(n, kDialSlots));
    if (n > 0)
        BarrelGauge->SetMarkerCount(
            std::min(RangeMarkerCount(ranges, BarrelGauge->MarkerCount()), kDialSlots));
    for (int k = 0; k < n && k < kDialSlots; ++k) {
        const TGearData &range = ranges.Items(k);
        BarrelGauge->SetRange(k, QColor::fromRgb(static_cast<QRgb>(GearColourOf(range.Gear))),
                              ToDegrees(range.Lower), ToDegrees(range.Upper));
    }
    for (int k = 0; k < BarrelGauge->MarkerCount() && k < n; ++k)
        BarrelGauge->SetMarker(k, kMarkerColour, ToDegrees(ranges.Items(k).Adc));

    // The order in which ranges are sent and stored.
    Ecu.Ranges.SortByUpper();
}

void TfrmMain::btnClearClick()
{
    SettingsChanged = true;
    ClearPositionsInUse(Ecu);
    BarrelGauge->SetRangeCount(0);
    BarrelGauge->SetMarkerCount(0);
    BarrelGauge->SetPosition(0);
    RefreshSettings();
}

void TfrmMain::rgGearsClick()
{
    if (Refreshing)
        return;
    Ecu.SetPositionCount(cmbGears->currentIndex() + 6);
    SettingsChanged = true;
    RefreshSettings();
    RedrawRanges();
}

void TfrmMain::trkFeedbackWindowChange()
{
    if (Refreshing)
        return;
    SetFeedbackWindow(trkFeedbackWindow->value());
}

void TfrmMain::edtFeedbackWindowExit()
{
    if (Refreshing)
        return;
    const int t
        = ParseDecimal(edtFeedbackWindow->text().toStdString()).value_or(Ecu.FeedbackWindow);
    SetFeedbackWindow(Clamp(t, trkFeedbackWindow->minimum(), trkFeedbackWindow->maximum()));
}

void TfrmMain::SetFeedbackWindow(int tolerance)
{
    Ecu.FeedbackWindow = tolerance;
    RecentreRanges(Ecu, tolerance);
    SettingsChanged = true;
    RedrawRanges();
    RefreshSettings();
}
