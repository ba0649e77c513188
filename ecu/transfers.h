#pragma once

#include "Ecu.h"
#include "encdec.h"

#include <string>
#include <vector>

// The messages of the bulk read and write of all settings, and what each received settings
// message does to the model. The window queues the lines and shows the result; the rules live here
// so they are tested without widgets.
using TMessageList = std::vector<TQV3318MessageRec>;

// Read steps, in the order they run.
TMessageList ParamsReadStep(); // one parameter request
TMessageList GearsReadStep(); // feedback request, then range requests for slots 0..9
// Feedback request, then one cut-duration request per index 2 .. gridRowCount - 3.
TMessageList SparksReadStep(int gridRowCount);

// Write steps.
TMessageList ParamsWriteStep(const TEcu &ecu);
// Feedback block, every range in list order, then empty slots up to slot 9.
TMessageList GearsWriteStep(const TEcu &ecu);
TMessageList SparksWriteStep(const TEcu &ecu); // indices 2 .. PositionCount

// Received settings. Values are stored as they arrive, without clamping; an index beyond the
// model's arrays is ignored rather than used.
void ApplyParams(TEcu &ecu, const TQV3318MessageRec &message);
void ApplyFeedback(TEcu &ecu, const TQV3318MessageRec &message);
// False when the index lies outside the cut-duration table and nothing was stored.
bool ApplySparkDelay(TEcu &ecu, const TQV3318MessageRec &message);
// Appends the received range (clearing the list first for slot 0) and records its sample as the
// position of its gear. False for an empty slot (Upper 0), which changes nothing.
bool ApplyRange(TEcu &ecu, const TQV3318MessageRec &message);

// The settings a controller that stores what it is sent holds after a write of ecu: a value too
// large for its field arrives as the nearest that fits, a range with no upper bound or beyond the
// controller's slots not at all. Where it differs from ecu, a read-back would too.
TEcu AsWritten(const TEcu &ecu);

// Range display: how many sample markers go with the ranges (current count kept when empty), and
// the line of one range in the debug listing.
int RangeMarkerCount(const TGearDataList &ranges, int currentCount);
std::string RangeLine(int index, const TGearData &range);
