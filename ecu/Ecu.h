#pragma once

#include "gearData.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Gear position index 0..10: R, N, 1st .. 7th, x, and one spare index.
inline constexpr int kPositionSlots = 11;
inline constexpr std::string_view GearLetters = "RN1234567x";
inline constexpr std::array<std::string_view, 9> GearNames
    = {"Reverse", "Neutral", "First", "Second", "Third", "Fourth", "Fifth", "Sixth", "Seventh"};
// 0xRRGGBB per gear position index 0..8.
inline constexpr std::array<std::uint32_t, 9> GearColours
    = {0xFF0000, 0x0000FF, 0x008000, 0xC0DCC0, 0x00FF00, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xA6CAF0};

// Full scale of the barrel sensor and the two conversions used on it.
inline constexpr int kAdcMax = 1023;

// Letter, name and colour for any index, including those outside the tables (a received or read
// index beyond them): '?' for a letter, an empty name, grey for a colour.
char GearLetterOf(int index);
std::string_view GearNameOf(int index);
std::uint32_t GearColourOf(int index);

// Round to nearest, ties to even, as every conversion between degrees and counts does.
int RoundHalfEven(double value);
// Position and range angles: degrees = counts x 360 / 1023.
double CountsToDegrees(int counts);
// The same with one decimal and a point whatever the user's locale: logs, comparisons and the
// command line are read by other programs (a comma would also split a CSV field).
std::string CountsToDegreesText(int counts);
int DegreesToCounts(double degrees); // round(degrees x 1023 / 360)

// The dashboard's readings, written ten times a second: a decimal of at least three digits,
// zeros in front (printf's "%3.3d"), and a byte as two upper-case hex digits.
std::string ThreeDigits(int value);
std::string HexByte(std::uint8_t value);
// Threshold and tolerance widths: counts = round(degrees x 1024 / 360).
int WidthDegreesToCounts(int degrees);
int WidthCountsToDegrees(int counts); // round(counts x 360 / 1024)

// The in-memory image of one controller's settings. Plain data with no validation: the settings
// panel keeps edits within limits; values from the controller or a profile are kept as they come.
class TEcu
{
public:
    TEcu();

    // Stores count and deletes every range whose Gear is count or above (last to first).
    void SetPositionCount(int count);

    std::int32_t PositionCount = 0;
    std::array<TGearData, kPositionSlots> Positions {}; // Positions[i].Gear == i
    TGearDataList Ranges;
    std::int32_t GearShiftType = 0;
    std::int32_t GearThresholdUpper = 0;
    std::int32_t GearThresholdLower = 0;
    std::int32_t BarrelThreshold = 0;
    std::int32_t Debounce = 0;
    std::int32_t Ignore = 0;
    bool UseFeedback = false;
    bool UseCutAfterBlip = false;
    std::int32_t FeedbackWindow = 0;
    std::array<std::int32_t, kPositionSlots> SparkDelays {};
    std::int32_t SparkCutTimeout = 0;
    std::int32_t BlipTimeout = 0;
    std::int32_t CutAfterBlip = 0;
};
