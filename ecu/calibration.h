#pragma once

#include "Ecu.h"

// Builds ecu.Ranges from the sampled ecu.Positions of the positions in use and the tolerance
// ecu.FeedbackWindow (degrees). Drawing the result is the caller's business.
void BuildRanges(TEcu &ecu);

// Re-centres every range on its sample with the full tolerance width (degrees), clipped to the
// scale.
void RecentreRanges(TEcu &ecu, int tolerance);
