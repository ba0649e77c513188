#include "simSettings.h"

#include <cstddef>

namespace {

// The simulated controller's own calibration: barrel positions of R, N and five forward gears,
// each range a fixed half-width around its position.
constexpr std::array<std::uint16_t, 7> kFactoryPositions = {120, 250, 372, 498, 622, 748, 872};
constexpr int kFactoryWindowDegrees = 6;
constexpr std::uint16_t kFactoryHalfWidth = 17; // round(6 degrees x 1024 / 360)

} // namespace

TSimSettings SimFactorySettings()
{
    TSimSettings s;
    s.Params.GearThresholdUpper = 92;
    s.Params.PositionCount = static_cast<std::uint8_t>(kFactoryPositions.size());
    s.Params.GearShiftType = 2; // barrel position
    s.Params.Debounce = 3;
    s.Params.Ignore = 100; // 400 ms
    s.Params.BarrelThreshold = 11; // 4 degrees
    s.Params.GearThresholdLower = 58;
    s.Params.BlipTimeout = 100; // 200 ms

    s.Feedback.Flags = kFeedbackUseFeedback | kFeedbackUseCutAfterBlip;
    s.Feedback.Window = kFactoryWindowDegrees;
    s.Feedback.SparkCutTimeout = 150;
    s.Feedback.CutAfterBlip = 20;

    for (std::size_t gear = 0; gear < kFactoryPositions.size(); ++gear) {
        TSimRange &r = s.Ranges[gear];
        r.Gear = static_cast<std::uint8_t>(gear);
        r.Adc = kFactoryPositions[gear];
        r.Lower = static_cast<std::uint16_t>(r.Adc - kFactoryHalfWidth);
        r.Upper = static_cast<std::uint16_t>(r.Adc + kFactoryHalfWidth);
    }

    // Cut durations of first gear up to the gear below the top gear.
    s.CutDurations[2] = 110;
    s.CutDurations[3] = 95;
    s.CutDurations[4] = 85;
    s.CutDurations[5] = 75;
    return s;
}
