#include "settingsDifferences.h"

#include <algorithm>

namespace {

constexpr int kFirstTimedGear = 2;
// A read asks for the cut durations up to the gear below the top gear.
constexpr int kUnreadTopEntries = 2;

QString RangeText(const TGearDataList &ranges, int slot)
{
    if (slot >= ranges.Count())
        return QStringLiteral("none");
    const TGearData &r = ranges.Items(slot);
    return QStringLiteral("gear %1 lower %2 upper %3 adc %4")
        .arg(QChar::fromLatin1(GearLetterOf(r.Gear)))
        .arg(r.Lower)
        .arg(r.Upper)
        .arg(r.Adc);
}

} // namespace

QStringList SettingDifferences(const TEcu &left, const TEcu &right, const QString &leftName,
                               const QString &rightName)
{
    QStringList lines;
    const auto differ = [&](const QString &name, const QString &a, const QString &b) {
        if (a != b)
            lines.append(QStringLiteral("%1: %2 %3, %4 %5").arg(name, leftName, a, rightName, b));
    };
    const auto number = [&](const QString &name, std::int64_t a, std::int64_t b) {
        differ(name, QString::number(a), QString::number(b));
    };
    const auto flag = [&](const QString &name, bool a, bool b) {
        differ(name, a ? QStringLiteral("on") : QStringLiteral("off"),
               b ? QStringLiteral("on") : QStringLiteral("off"));
    };

    number(QStringLiteral("PositionCount"), left.PositionCount, right.PositionCount);
    number(QStringLiteral("GearShiftType"), left.GearShiftType, right.GearShiftType);
    number(QStringLiteral("GearThresholdUpper"), left.GearThresholdUpper, right.GearThresholdUpper);
    number(QStringLiteral("GearThresholdLower"), left.GearThresholdLower, right.GearThresholdLower);
    number(QStringLiteral("BarrelThreshold"), left.BarrelThreshold, right.BarrelThreshold);
    number(QStringLiteral("Debounce"), left.Debounce, right.Debounce);
    number(QStringLiteral("Ignore"), left.Ignore, right.Ignore);
    number(QStringLiteral("BlipTimeout"), left.BlipTimeout, right.BlipTimeout);
    flag(QStringLiteral("UseFeedback"), left.UseFeedback, right.UseFeedback);
    flag(QStringLiteral("UseCutAfterBlip"), left.UseCutAfterBlip, right.UseCutAfterBlip);
    number(QStringLiteral("FeedbackWindow"), left.FeedbackWindow, right.FeedbackWindow);
    number(QStringLiteral("SparkCutTimeout"), left.SparkCutTimeout, right.SparkCutTimeout);
    number(QStringLiteral("CutAfterBlip"), left.CutAfterBlip, right.CutAfterBlip);

    const int slotCount = std::max(left.Ranges.Count(), right.Ranges.Count());
    for (int slot = 0; slot < slotCount; ++slot)
        differ(QStringLiteral("Range %1").arg(slot), RangeText(left.Ranges, slot),
               RangeText(right.Ranges, slot));

    const int lastIndex = std::min(
        std::max(left.PositionCount, right.PositionCount) - kUnreadTopEntries, kPositionSlots - 1);
    for (int i = kFirstTimedGear; i <= lastIndex; ++i) {
        const auto at = static_cast<std::size_t>(i);
        number(QStringLiteral("SparkDelay %1").arg(QChar::fromLatin1(GearLetterOf(i))),
               left.SparkDelays[at], right.SparkDelays[at]);
    }
    return lines;
}
