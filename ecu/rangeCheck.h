#pragma once

#include "Ecu.h"
#include "dataLog.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the readings of one gear say about its calibrated range.
struct TGearRangeResult
{
    int Gear = 0; // position index
    int Readings = 0; // at-rest readings while the controller reported this gear
    int LeftOut = 0; // at-rest readings left out as isolated (see TGearRangeCheck)
    bool Unsteady = false; // too many isolated readings to leave out: all of them count
    double LowestDeg = 0;
    double MedianDeg = 0;
    double HighestDeg = 0;
    bool HasRange = false; // the gear has at least one range to check against
    // Smallest distance of a reading to the nearest edge of the gear's range, in degrees;
    // negative when a reading lay outside (then the distance by which it missed).
    double MarginDeg = 0;
    int Outside = 0; // readings outside every range of the gear
    bool Marked = false; // outside, or within the chosen margin of an edge, or no range at all
};

// Checks a calibration against real driving: collects the barrel readings taken while the
// controller reported a gear at rest, and compares each gear's readings with its ranges.
//
// A reading is at rest when no status bit is set (no trigger, cut or blip) and the controller has
// reported the same gear for more than kSettleReadings readings in a row; the readings right
// after a shift still carry the barrel's travel. A gap of more than kMaxGapMs between two
// readings (the link was down) starts the count again.
//
// At rest the barrel barely moves, so a reading that lies more than kAgreeCounts from the last
// kept reading of its run and from the reading after it is left out: the line has no check sum,
// and one digit of a reply changed by noise on the cable moves a reading by 16 or 256 counts. A
// drift, or a step to a new resting place that the next reading confirms, is kept. A gear with
// more than kMaxIsolated of them, and more than kMaxIsolatedPercent of its readings, has a barrel
// that does not rest, not a noisy line: then every reading counts, so the check does not hide it.
class TGearRangeCheck
{
public:
    static constexpr int kSettleReadings = 2;
    static constexpr int kAgreeCounts = 12; // 4.2 degrees
    static constexpr int kMaxIsolated = 2;
    static constexpr int kMaxIsolatedPercent = 10;
    static constexpr std::int64_t kMaxGapMs = 1000;
    static constexpr std::uint8_t kActiveBits = 0x0F;

    void Add(const TLogSample &sample);
    void Clear();

    // One result per gear that has readings or a range, by position index. marginDeg is the
    // distance to an edge below which a gear is marked.
    std::vector<TGearRangeResult> Results(const TGearDataList &ranges, double marginDeg) const;

private:
    std::array<std::vector<std::uint16_t>, kPositionSlots> readings_ {};
    std::array<std::vector<std::uint16_t>, kPositionSlots> atRest_ {}; // kept or not
    int runGear_ = -1;
    int runLength_ = 0;
    // The run's last kept at-rest reading, and a reading that agreed with none so far; -1 for none.
    int kept_ = -1;
    int pending_ = -1;
    std::int64_t lastMs_ = 0;
};

// The gear ranges as a data log marker ("ranges 1:100-140@120 2:200-260@230", counts: gear index,
// lower and upper bound, position), so an opened log is checked against the calibration it was
// driven with. Parse gives false, and leaves ranges alone, for any other text.
std::string FormatRangesEvent(const TGearDataList &ranges);
bool ParseRangesEvent(std::string_view event, TGearDataList &ranges);

// The trigger settings as a data log marker ("trigger 1 78 69 14": method, up-shift and down-shift
// threshold, barrel threshold in counts), written after the ranges marker of a transfer that came
// through, so an opened log draws the thresholds it was driven with. Parse gives false, and
// leaves trigger alone, for any other text.
struct TLogTrigger
{
    int Method = 0;
    int UpThreshold = 0;
    int DownThreshold = 0;
    int BarrelThreshold = 0;
    bool operator==(const TLogTrigger &) const = default;
};
TLogTrigger TriggerOf(const TEcu &ecu);
std::string FormatTriggerEvent(const TLogTrigger &trigger);
bool ParseTriggerEvent(std::string_view event, TLogTrigger &trigger);

// The markers of a transfer that came through, each followed by the ranges marker; one that did
// not is marked by its event and the suffix, with no ranges.
inline constexpr std::string_view kSettingsReadEvent = "settings read from ECU";
inline constexpr std::string_view kSettingsWrittenEvent = "settings written to ECU";
inline constexpr std::string_view kTransferFailedSuffix = " failed (link down)";
// At the start of a log, the ranges the controller was known to run with from a transfer before,
// in one marker ("settings known from an earlier transfer: ranges 1:100-140@120"), so that rows of
// one time sorted in a spreadsheet cannot part them. Parse as for the ranges marker.
inline constexpr std::string_view kSettingsKnownEvent = "settings known from an earlier transfer";
std::string FormatKnownRangesEvent(const TGearDataList &ranges);
bool ParseKnownRangesEvent(std::string_view event, TGearDataList &ranges);
// A read whose requests the controller did not all answer whole, with the link up.
inline constexpr std::string_view kReadUnansweredSuffix = " failed (not every request answered)";

// What a run's markers (in time order) say about the ranges to check its readings against: the
// ones the controller was last known to run with (else the last ones marked), and which readings
// were driven with them. A read or a write tells the ranges the controller runs with; where they
// differ from the ones it was last known to run with, the readings before were driven with other
// ranges (a read finds a change made meanwhile, by a write that failed or by another tool). A
// write that failed may have left any mix of old and new ranges: the readings after it count only
// from the next read or write, or from the failure when a read finds what it left. A first write
// with nothing told before leaves the readings before it driven with ranges not known. A profile
// opened changes only what this program holds.
struct TRunRanges
{
    bool Known = false;
    TGearDataList Ranges;
    std::optional<std::int64_t> FromMs;
    std::string FromTime; // the time column of that marker
    bool BeforeUnknown = false; // the ranges before FromMs were never told, not other ones
    // A failed write with no read or write since: the readings from then on do not count.
    std::optional<std::int64_t> UntilMs;
    std::string UntilTime;
};
TRunRanges RangesOfRun(const std::vector<TLogMarker> &markers);
