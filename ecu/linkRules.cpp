#include "linkRules.h"

#include <algorithm>

namespace {
// The grid shows at most the nine named positions and its heading row.
constexpr int kGridMaxRows = 10;
} // namespace

TMessageType PollType(bool connected)
{
    return connected ? mtStatusRequest : mtVersion;
}

TLinkDemand WithLineTaken(TLinkDemand sofar, std::string_view line, bool sent)
{
    // "@", the type's letter, the payload, LF. The tool sends these types only as settings
    // written and the reset: the controller answers none of them.
    const std::size_t type = line.size() >= 2 && line[1] != ' ' ? MessageLetters.find(line[1])
                                                                : std::string_view::npos;
    const bool quiet = sent && (IsSettingsMessage(type) || type == mtReset);
    if (!sent || sofar == TLinkDemand::NotSent)
        return TLinkDemand::NotSent;
    if (quiet || sofar == TLinkDemand::QuietOnly)
        return TLinkDemand::QuietOnly;
    return TLinkDemand::Answer;
}

bool LinkTick(int &missedTicks, TLinkDemand sinceLastTick)
{
    if (sinceLastTick == TLinkDemand::QuietOnly)
        return false;
    ++missedTicks;
    return missedTicks >= kLinkLostAfterTicks;
}

bool VersionsMatch(std::int64_t programMajor, std::int64_t programMinor, std::int64_t ecuMajor,
                   std::int64_t ecuMinor)
{
    return programMajor == ecuMajor && programMinor == ecuMinor;
}

bool TransferStepReady(std::size_t waitingLines)
{
    return waitingLines <= kTransferMaxWaiting;
}

int NextTransferStep(int step)
{
    if (step == 0)
        return 0;
    return step > 0 ? step - 1 : step + 1;
}

TMessageList TransferStepLines(int step, const TEcu &ecu, int gridRowCount)
{
    switch (step) {
    case 3:
        return ParamsReadStep();
    case 2:
        return GearsReadStep();
    case 1:
        return SparksReadStep(gridRowCount);
    case -3:
        return ParamsWriteStep(ecu);
    case -2:
        return GearsWriteStep(ecu);
    case -1:
        return SparksWriteStep(ecu);
    default:
        return {};
    }
}

int GridRowCountFor(int positionCount)
{
    return std::clamp(positionCount, 0, kGridMaxRows - 1) + 1;
}
