#pragma once

#include "simSettings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Version numbers the controller reports in its "V" reply.
struct TSimVersion
{
    int Major = 0;
    int Minor = 0;
    int Release = 0;
};

// What a status reply reports at one moment.
struct TSimStatus
{
    std::uint16_t Adc = 0;
    std::uint8_t AnalogueInput = 0;
    std::uint8_t Gear = 0;
    std::uint8_t StatusBits = 0;
};

// A simulated gear-shift controller: the protocol side of the real device and a gearbox that a
// simulated driver shifts up and down. Plain C++ and fully deterministic: time passes only through
// Advance(), so a test gets the same answers for the same calls. The pty server and the ecu-sim
// program own one each.
class TEcuSimulator
{
public:
    // Barrel movement of one shift and the phases around it.
    static constexpr int kTriggerLeadMs = 100; // trigger bit before the barrel moves
    static constexpr int kShiftMoveMs = 400; // barrel travel between two gear positions
    static constexpr int kDwellMinMs = 1000; // time spent in a gear, between min and max
    static constexpr int kDwellMaxMs = 2000;
    // Where the barrel rests when no range says where neutral is.
    static constexpr std::uint16_t kFreeNeutralAdc = 512;

    TEcuSimulator();

    // Feeds received bytes (any chunking) and returns every reply they caused, each "@" ... CR.
    std::string Receive(std::string_view bytes);
    // Moves the live state on by ms of simulated time (negative or zero does nothing).
    void Advance(int ms);

    // Live state as the next status reply would report it.
    TSimStatus Status() const;

    // Holds the gearbox in the gear at that position index (0 = R, 1 = N, 2.. = forward gears):
    // the barrel moves there and stays. False when the gear has no range to move to; neutral is
    // always possible (a barrel outside every range reads as neutral).
    bool HoldGear(int index);
    // Lets the simulated driver shift again, starting from where the barrel is.
    void ResumeWalk();
    bool Walking() const { return !held_; }

    void SetVersion(int major, int minor, int release);
    TSimVersion Version() const { return version_; }

    const TSimSettings &Settings() const { return settings_; }
    void SetSettings(const TSimSettings &settings) { settings_ = settings; }

    // Complete non-empty lines seen, whether or not they were requests it knows.
    int LinesReceived() const { return linesReceived_; }
    // Restarts caused by "X" lines.
    int Restarts() const { return restarts_; }
    // Simulated time since power-on or the last restart.
    long long ElapsedMs() const { return elapsedMs_; }

    // The gear position indices the simulated driver visits in turn, derived from the stored
    // ranges: neutral, up through the forward gears, down again, neutral, reverse.
    std::vector<int> WalkRoute() const;
    // Position of a gear (the Adc of its first range slot), or -1 when it has none.
    int GearPosition(int index) const;
    // The gear the barrel reading identifies: the first non-empty slot containing it, else
    // neutral.
    int GearAt(int adc) const;

private:
    enum class TPhase { Dwell, Trigger, Move };

    void HandleLine(std::string_view line, std::string &replies);
    std::string EncodeReply(const TQV3318MessageRec &message) const;
    void PowerOn();
    void StartShift(int target);
    void FinishPhase();
    int PhaseLengthMs() const;
    int DwellFor(int step) const;
    int NeutralPosition() const;
    int TargetPosition(int index) const;
    int BarrelModelAdc() const; // position without sensor noise
    int MoveAdc(int ms) const; // barrel position ms into the current move
    std::uint8_t StatusBitsNow() const;
    std::uint8_t LoadCellNow() const;

    TSimSettings settings_;
    TSimVersion version_;
    TQV3318EncDec codec_; // builds the replies

    // Framing of received bytes: the same rules as the tool's codec.
    std::string rxLine_;
    bool inLine_ = false;
    int linesReceived_ = 0;
    int restarts_ = 0;

    // Live state.
    long long elapsedMs_ = 0;
    TPhase phase_ = TPhase::Dwell;
    int phaseMs_ = 0; // time spent in the current phase
    int dwellMs_ = kDwellMinMs; // length of the current dwell
    int routeStep_ = 0; // next entry of WalkRoute() to shift to
    int fromAdc_ = kFreeNeutralAdc;
    int toAdc_ = kFreeNeutralAdc;
    int fromGear_ = 1; // gear being left by the current shift, or the gear dwelt in
    int toGear_ = 1;
    int arriveMs_ = kShiftMoveMs; // time into the move at which the barrel reads the target gear
    bool held_ = false;
    int heldGear_ = 1;
};
