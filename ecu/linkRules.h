#pragma once

#include "Ecu.h"
#include "encdec.h"
#include "transfers.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The pace and supervision of the serial link, and the stepping of the bulk transfers, as plain
// rules. The main window and the command-line program both run their timers on these, so the two
// cannot drift apart.

// Status timer: the first tick comes sooner, then one line leaves every kStatusPollMs.
inline constexpr int kStatusFirstTickMs = 50;
inline constexpr int kStatusPollMs = 100;
// Watchdog: the link is lost at the second link tick without a decoded message.
inline constexpr int kLinkTickMs = 1500;
inline constexpr int kLinkLostAfterTicks = 2;
// Status polls in a row without a status reply after which the shown barrel angle is stale: a
// gear position is not sampled from it, though the watchdog may not have dropped the link yet.
inline constexpr int kStaleStatusPolls = 5;
// Transfer timer, and the most lines that may still wait before it runs the next step.
inline constexpr int kTransferTickMs = 10;
inline constexpr std::size_t kTransferMaxWaiting = 1;

// Step counter of a transfer: 3, 2, 1 read; -3, -2, -1 write; 0 the finishing tick.
inline constexpr int kReadFirstStep = 3;
inline constexpr int kWriteFirstStep = -3;
// Progress steps of a transfer: the start and one per step.
inline constexpr int kTransferProgressSteps = 4;

// The poll a status tick sends when nothing is queued: a version request while the link is down
// (the controller's first answer also tells its version), a status request while it is up.
TMessageType PollType(bool connected);

// What the lines the status timer took since the last link tick asked of the controller.
enum class TLinkDemand {
    NoLine,
    QuietOnly, // settings written or the reset went out, all sent, and perhaps polls after them
    Answer, // polls or read requests only
    NotSent, // a line that did not go out
};
// The demand once one more line was taken. A line that did not go out counts as asking: the link
// is in trouble, and the watchdog must go on counting.
TLinkDemand WithLineTaken(TLinkDemand sofar, std::string_view line, bool sent);

// One link tick: counts the miss and says whether the link is now lost. A tick whose time saw
// settings written counts nothing: a full write sends no poll for two seconds and more, and the
// controller owes no answer to it. The polls after the write then get a whole tick's time to be
// answered, as any other polls do, before a silence counts.
bool LinkTick(int &missedTicks, TLinkDemand sinceLastTick);

// True when the controller runs the program's major and minor version. A controller that has not
// told its version counts as 0.0.
bool VersionsMatch(std::int64_t programMajor, std::int64_t programMinor, std::int64_t ecuMajor,
                   std::int64_t ecuMinor);

// Whether a transfer tick may run its step with this many lines still waiting.
bool TransferStepReady(std::size_t waitingLines);
// The counter after a step has run: one step toward 0.
int NextTransferStep(int step);
// The lines one step queues. gridRowCount is the gear grid's rows (positions plus the heading),
// which decides the cut durations a read asks for.
TMessageList TransferStepLines(int step, const TEcu &ecu, int gridRowCount);
// The gear grid's row count for a position count, as the settings panel lays it out.
int GridRowCountFor(int positionCount);
