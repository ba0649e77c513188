#pragma once

#include "encdec.h"

#include <array>
#include <cstdint>

// Number of cut durations the controller keeps: one per gear position index 0..10.
inline constexpr int kSimCutSlots = 11;

// One range slot as the controller stores it. A slot is empty when Gear is kEmptyRangeGear and
// the bounds and position are 0; an empty slot never identifies a gear.
struct TSimRange
{
    std::uint8_t Gear = kEmptyRangeGear;
    std::uint16_t Lower = 0;
    std::uint16_t Upper = 0;
    std::uint16_t Adc = 0;

    bool IsEmpty() const { return Gear == kEmptyRangeGear && Lower == 0 && Upper == 0; }
    bool operator==(const TSimRange &) const = default;
};

// The parameter block, field for field as it travels in a "p" line.
struct TSimParams
{
    std::uint8_t GearThresholdUpper = 0;
    std::uint8_t PositionCount = 0;
    std::uint8_t GearShiftType = 0;
    std::uint8_t Debounce = 0;
    std::uint8_t Ignore = 0;
    std::uint8_t BarrelThreshold = 0;
    std::uint8_t GearThresholdLower = 0;
    std::uint8_t BlipTimeout = 0;

    bool operator==(const TSimParams &) const = default;
};

// The feedback block of an "f" line.
struct TSimFeedback
{
    std::uint8_t Flags = 0;
    std::uint8_t Window = 0;
    std::uint16_t SparkCutTimeout = 0;
    std::uint8_t CutAfterBlip = 0;

    bool operator==(const TSimFeedback &) const = default;
};

// Everything the simulated controller keeps across a restart, as its EEPROM would.
struct TSimSettings
{
    TSimParams Params;
    TSimFeedback Feedback;
    std::array<TSimRange, kRangeSlots> Ranges {};
    std::array<std::uint8_t, kSimCutSlots> CutDurations {};

    bool operator==(const TSimSettings &) const = default;
};

// The settings a simulated controller leaves the factory with. They differ from the tool's own
// defaults on purpose (five forward gears, its own thresholds and calibration), so that reading
// all settings visibly changes what the tool shows.
TSimSettings SimFactorySettings();
