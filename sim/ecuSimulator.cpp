#include "ecuSimulator.h"

#include "orbanel_version.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

constexpr int kVersionFieldMax = 255; // two hex digits on the wire
constexpr int kGearNeutral = 1;
constexpr int kGearReverse = 0;
constexpr int kGearFirst = 2;
constexpr int kGearTopmost = 8; // seventh gear; 9 and 10 are never driven to
constexpr int kAdcFullScale = 1023;
constexpr int kBlipTimeoutUnitMs = 2;
// Barrel sensor noise: one count either way, changing every kSensorNoiseStepMs.
constexpr int kSensorNoiseStepMs = 60;
// Load cell at rest, its ripple, and how far past a threshold the driver's push goes.
constexpr int kLoadCellRest = 12;
constexpr int kLoadCellRippleStepMs = 90;
constexpr int kLoadCellOvershoot = 40;
constexpr int kLoadCellMax = 255;

// Hex field rule of the protocol: a non-hex digit makes the field 0; a line ending inside the
// field leaves the digits that arrived.
int HexField(std::string_view line, std::size_t first, std::size_t width)
{
    int value = 0;
    for (std::size_t i = first; i < first + width && i < line.size(); ++i) {
        const char c = line[i];
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return 0;
        value = value * 16 + digit;
    }
    return value;
}

bool InRange(const TSimRange &r, int adc)
{
    if (r.IsEmpty() || r.Upper == 0)
        return false;
    if (r.Lower <= r.Upper)
        return adc >= r.Lower && adc <= r.Upper;
    return adc >= r.Lower || adc <= r.Upper; // a range wrapping round the ends of the scale
}

// Smooth start and stop of the barrel: 0 at t = 0, 1 at t = 1, zero slope at both ends.
double Ease(double t)
{
    return t * t * (3.0 - 2.0 * t);
}

} // namespace

TEcuSimulator::TEcuSimulator()
    : settings_(SimFactorySettings()), version_ {ORBANEL_VERSION_MAJOR, ORBANEL_VERSION_MINOR, 0}
{
    PowerOn();
}

// ---- protocol ------------------------------------------------------------------------------

std::string TEcuSimulator::Receive(std::string_view bytes)
{
    std::string replies;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (inLine_ && !rxLine_.empty())
                HandleLine(rxLine_, replies);
            inLine_ = false;
            rxLine_.clear();
        } else if (c == kLineStart) {
            rxLine_.clear();
            inLine_ = true;
        } else if (inLine_) {
            if (rxLine_.size() < kMaxRxLine) {
                rxLine_.push_back(c);
            } else {
                rxLine_.clear();
                inLine_ = false;
            }
        }
    }
    return replies;
}

std::string TEcuSimulator::EncodeReply(const TQV3318MessageRec &message) const
{
    // The controller ends its lines with CR where the tool's encoder ends them with LF.
    std::string line = codec_.Encode(message);
    if (!line.empty() && line.back() == kLineEndSent)
        line.back() = '\r';
    return line;
}

void TEcuSimulator::HandleLine(std::string_view line, std::string &replies)
{
    ++linesReceived_;
    TQV3318MessageRec in;
    if (!TQV3318EncDec::DecodeLine(line, in))
        return;

    TQV3318MessageRec out;
    switch (in.MsgType) {
    case mtVersion: {
        // The encoder sends V without payload, so the reply's numbers are written here.
        char text[16];
        std::snprintf(text, sizeof text, "@V%02X%02X%02X\r", version_.Major, version_.Minor,
                      version_.Release);
        replies += text;
        return;
    }
    case mtStatusRequest: {
        const TSimStatus s = Status();
        out.MsgType = mtStatus;
        out.Adc = s.Adc;
        out.AnalogueInput = s.AnalogueInput;
        out.Gear = s.Gear;
        out.StatusBits = s.StatusBits;
        break;
    }
    case mtParamsRequest: {
        const TSimParams &p = settings_.Params;
        out.MsgType = mtParams;
        out.GearThresholdUpper = p.GearThresholdUpper;
        out.PositionCount = p.PositionCount;
        out.GearShiftType = p.GearShiftType;
        out.Debounce = p.Debounce;
        out.Ignore = p.Ignore;
        out.BarrelThreshold = p.BarrelThreshold;
        out.GearThresholdLower = p.GearThresholdLower;
        out.BlipTimeout = p.BlipTimeout;
        break;
    }
    case mtFeedbackRequest: {
        const TSimFeedback &f = settings_.Feedback;
        out.MsgType = mtFeedback;
        out.FeedbackFlags = f.Flags;
        out.FeedbackWindow = f.Window;
        out.SparkCutTimeout = f.SparkCutTimeout;
        out.CutAfterBlip = f.CutAfterBlip;
        break;
    }
    case mtRangeRequest: {
        // The decoder leaves a range request's index out, so it is read from the line itself.
        const int slot = HexField(line, 1, 2);
        if (slot >= kRangeSlots)
            return;
        const TSimRange &r = settings_.Ranges[static_cast<std::size_t>(slot)];
        out.MsgType = mtRange;
        out.Index = static_cast<std::uint8_t>(slot);
        out.Gear = r.Gear;
        out.Lower = r.Lower;
        out.Upper = r.Upper;
        out.Adc = r.Adc;
        break;
    }
    case mtSparkDelayRequest:
        if (in.Index >= kSimCutSlots)
            return;
        out.MsgType = mtSparkDelay;
        out.Index = in.Index;
        out.Value = settings_.CutDurations[in.Index];
        break;
    case mtParams: {
        TSimParams &p = settings_.Params;
        p.GearThresholdUpper = in.GearThresholdUpper;
        p.PositionCount = in.PositionCount;
        p.GearShiftType = in.GearShiftType;
        p.Debounce = in.Debounce;
        p.Ignore = in.Ignore;
        p.BarrelThreshold = in.BarrelThreshold;
        p.GearThresholdLower = in.GearThresholdLower;
        p.BlipTimeout = in.BlipTimeout;
        return;
    }
    case mtFeedback:
        settings_.Feedback
            = {in.FeedbackFlags, in.FeedbackWindow, in.SparkCutTimeout, in.CutAfterBlip};
        return;
    case mtRange: {
        if (in.Index >= kRangeSlots)
            return;
        TSimRange r {in.Gear, in.Lower, in.Upper, in.Adc};
        if (r.IsEmpty())
            r = TSimRange {}; // an emptied slot forgets its position too
        settings_.Ranges[in.Index] = r;
        return;
    }
    case mtSparkDelay:
        if (in.Index < kSimCutSlots)
            settings_.CutDurations[in.Index] = in.Value;
        return;
    case mtReset:
        ++restarts_;
        PowerOn();
        return;
    default:
        return; // nothing else is a request this controller answers
    }
    replies += EncodeReply(out);
}

void TEcuSimulator::SetVersion(int major, int minor, int release)
{
    version_ = {std::clamp(major, 0, kVersionFieldMax), std::clamp(minor, 0, kVersionFieldMax),
                std::clamp(release, 0, kVersionFieldMax)};
}

// ---- gearbox -------------------------------------------------------------------------------

int TEcuSimulator::GearPosition(int index) const
{
    for (const TSimRange &r : settings_.Ranges) {
        if (!r.IsEmpty() && r.Upper != 0 && r.Gear == index)
            return r.Adc;
    }
    return -1;
}

int TEcuSimulator::GearAt(int adc) const
{
    for (const TSimRange &r : settings_.Ranges) {
        if (InRange(r, adc))
            return r.Gear;
    }
    return kGearNeutral;
}

int TEcuSimulator::NeutralPosition() const
{
    const int calibrated = GearPosition(kGearNeutral);
    if (calibrated >= 0)
        return calibrated;
    // No neutral range: rest on the free reading nearest mid-scale, which reads as neutral.
    for (int d = 0; d <= kAdcFullScale; ++d) {
        for (const int adc : {kFreeNeutralAdc - d, kFreeNeutralAdc + d}) {
            if (adc < 0 || adc > kAdcFullScale)
                continue;
            if (std::none_of(settings_.Ranges.begin(), settings_.Ranges.end(),
                             [adc](const TSimRange &r) { return InRange(r, adc); }))
                return adc;
        }
    }
    return kFreeNeutralAdc;
}

int TEcuSimulator::TargetPosition(int index) const
{
    return index == kGearNeutral ? NeutralPosition() : GearPosition(index);
}

std::vector<int> TEcuSimulator::WalkRoute() const
{
    std::vector<int> forward;
    for (int g = kGearFirst; g <= kGearTopmost; ++g) {
        if (GearPosition(g) >= 0)
            forward.push_back(g);
    }
    std::vector<int> route {kGearNeutral};
    route.insert(route.end(), forward.begin(), forward.end());
    // Back down to first gear; neutral follows as the route starts over.
    if (!forward.empty())
        route.insert(route.end(), forward.rbegin() + 1, forward.rend());
    if (GearPosition(kGearReverse) >= 0) {
        route.push_back(kGearNeutral);
        route.push_back(kGearReverse);
    }
    return route;
}

int TEcuSimulator::DwellFor(int step) const
{
    // A second or two in each gear, varying from gear to gear but the same on every run.
    constexpr int kDwellSpread = kDwellMaxMs - kDwellMinMs;
    return kDwellMinMs + (step * 370) % (kDwellSpread + 1);
}

void TEcuSimulator::PowerOn()
{
    elapsedMs_ = 0;
    phase_ = TPhase::Dwell;
    phaseMs_ = 0;
    routeStep_ = 1; // the route starts in neutral, where the gearbox is at power-on
    dwellMs_ = DwellFor(0);
    // A held gearbox stays where the driver holds it; a restart only restarts the walk.
    fromGear_ = toGear_ = held_ ? heldGear_ : kGearNeutral;
    if (TargetPosition(fromGear_) < 0)
        fromGear_ = toGear_ = heldGear_ = kGearNeutral; // the held gear lost its range
    fromAdc_ = toAdc_ = TargetPosition(fromGear_);
}

void TEcuSimulator::StartShift(int target)
{
    // fromGear_ stays the gear last dwelt in, also when a shift is redirected half-way.
    fromAdc_ = BarrelModelAdc();
    toGear_ = target;
    toAdc_ = std::max(0, TargetPosition(target));
    phase_ = TPhase::Trigger;
    phaseMs_ = 0;
    arriveMs_ = kShiftMoveMs;
    for (int ms = 0; ms <= kShiftMoveMs; ++ms) {
        if (GearAt(MoveAdc(ms)) == toGear_) {
            arriveMs_ = ms;
            break;
        }
    }
}

int TEcuSimulator::MoveAdc(int ms) const
{
    const double t = static_cast<double>(ms) / kShiftMoveMs;
    return static_cast<int>(std::lround(fromAdc_ + (toAdc_ - fromAdc_) * Ease(t)));
}

int TEcuSimulator::PhaseLengthMs() const
{
    switch (phase_) {
    case TPhase::Trigger:
        return kTriggerLeadMs;
    case TPhase::Move:
        return kShiftMoveMs;
    case TPhase::Dwell:
        break;
    }
    return dwellMs_;
}

void TEcuSimulator::FinishPhase()
{
    switch (phase_) {
    case TPhase::Trigger:
        phase_ = TPhase::Move;
        phaseMs_ = 0;
        return;
    case TPhase::Move:
        fromAdc_ = toAdc_;
        fromGear_ = toGear_;
        phase_ = TPhase::Dwell;
        phaseMs_ = 0;
        dwellMs_ = DwellFor(routeStep_);
        return;
    case TPhase::Dwell:
        break;
    }
    phaseMs_ = 0;
    const std::vector<int> route = WalkRoute();
    const int target = route[static_cast<std::size_t>(routeStep_) % route.size()];
    routeStep_ = (routeStep_ + 1) % static_cast<int>(route.size());
    if (target == fromGear_ && TargetPosition(target) == fromAdc_) {
        dwellMs_ = DwellFor(routeStep_); // nowhere to go (a route of one gear)
        return;
    }
    StartShift(target);
}

void TEcuSimulator::Advance(int ms)
{
    while (ms > 0) {
        if (phase_ == TPhase::Dwell && held_) {
            // Held: nothing changes but the clock.
            elapsedMs_ += ms;
            return;
        }
        const int step = std::min(ms, PhaseLengthMs() - phaseMs_);
        phaseMs_ += step;
        elapsedMs_ += step;
        ms -= step;
        if (phaseMs_ >= PhaseLengthMs())
            FinishPhase();
    }
}

bool TEcuSimulator::HoldGear(int index)
{
    if (index < 0 || index >= kSimCutSlots || TargetPosition(index) < 0)
        return false;
    held_ = true;
    heldGear_ = index;
    if (phase_ == TPhase::Dwell && fromGear_ == index && fromAdc_ == TargetPosition(index))
        return true;
    StartShift(index);
    return true;
}

void TEcuSimulator::ResumeWalk()
{
    if (!held_)
        return;
    held_ = false;
    // Carry on from the held gear's place in the route, so the next shift is to a neighbour.
    const std::vector<int> route = WalkRoute();
    const auto here = std::find(route.begin(), route.end(), heldGear_);
    if (here != route.end())
        routeStep_ = static_cast<int>((here - route.begin() + 1) % std::ssize(route));
    if (phase_ == TPhase::Dwell) {
        phaseMs_ = 0;
        dwellMs_ = DwellFor(routeStep_);
    }
}

// ---- live readings -------------------------------------------------------------------------

int TEcuSimulator::BarrelModelAdc() const
{
    return phase_ == TPhase::Move ? MoveAdc(phaseMs_) : fromAdc_;
}

std::uint8_t TEcuSimulator::StatusBitsNow() const
{
    if (phase_ == TPhase::Dwell || toGear_ == fromGear_)
        return 0;
    const bool up = toGear_ > fromGear_;
    std::uint8_t bits = up ? kStatusUpshift : kStatusDownshift;
    // Shifts into or out of reverse are made with the clutch: no cut, no blip.
    if (phase_ != TPhase::Move || fromGear_ == kGearReverse || toGear_ == kGearReverse)
        return bits;

    const TSimFeedback &f = settings_.Feedback;
    if (up) {
        // Closed loop cuts until the barrel reaches the next gear, at most the timeout; open
        // loop cuts for the duration stored for the gear being left.
        const int cutMs = (f.Flags & kFeedbackUseFeedback)
            ? std::min<int>(arriveMs_, f.SparkCutTimeout)
            : settings_.CutDurations[static_cast<std::size_t>(
                std::clamp(fromGear_, 0, kSimCutSlots - 1))];
        if (phaseMs_ < cutMs)
            bits |= kStatusCut;
    } else {
        // The blip lasts until the barrel arrives, at most the blip timeout; a cut may follow.
        const int blipMs = std::min(arriveMs_, settings_.Params.BlipTimeout * kBlipTimeoutUnitMs);
        if (phaseMs_ < blipMs)
            bits |= kStatusBlip;
        else if ((f.Flags & kFeedbackUseCutAfterBlip) && phaseMs_ < blipMs + f.CutAfterBlip)
            bits |= kStatusCut;
    }
    return bits;
}

std::uint8_t TEcuSimulator::LoadCellNow() const
{
    const int ripple = static_cast<int>((elapsedMs_ / kLoadCellRippleStepMs) % 5) - 2;
    int value = kLoadCellRest + ripple;
    if (phase_ != TPhase::Dwell && toGear_ != fromGear_) {
        // The driver's push on the lever: rises past the threshold and falls back over the
        // trigger lead and the barrel's travel.
        const TSimParams &p = settings_.Params;
        const int threshold = toGear_ > fromGear_ ? p.GearThresholdUpper : p.GearThresholdLower;
        const int peak = std::min(kLoadCellMax, threshold + kLoadCellOvershoot);
        const int into = (phase_ == TPhase::Move ? kTriggerLeadMs : 0) + phaseMs_;
        const double t = static_cast<double>(into) / (kTriggerLeadMs + kShiftMoveMs);
        value += static_cast<int>(std::lround((peak - value) * std::sin(std::numbers::pi * t)));
    }
    return static_cast<std::uint8_t>(std::clamp(value, 0, kLoadCellMax));
}

TSimStatus TEcuSimulator::Status() const
{
    const int noise = static_cast<int>((elapsedMs_ / kSensorNoiseStepMs) % 3) - 1;
    const int adc = std::clamp(BarrelModelAdc() + noise, 0, kAdcFullScale);
    TSimStatus s;
    s.Adc = static_cast<std::uint16_t>(adc);
    s.Gear = static_cast<std::uint8_t>(GearAt(adc));
    s.StatusBits = StatusBitsNow();
    s.AnalogueInput = LoadCellNow();
    return s;
}
