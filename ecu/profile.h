#pragma once

#include "Ecu.h"

#include <string>

// The factory defaults of a new profile (model part only).
void LoadDefaults(TEcu &ecu);

// Reads a vehicle profile into the model. A missing file reads as an empty profile, so every value
// takes the reader's default. Positions and cut durations are not cleared here: the caller does
// that first with the position count from before loading.
void ReadProfile(const std::string &fileName, TEcu &ecu);

// Writes the model into the profile. Only the tool's own lines change: comments, blank lines,
// other sections and keys, duplicates and line ends stay as they are (iniFile.h). The file is
// saved as SaveDiskFile does (diskFile.h): a read-only file is refused, links are followed, and a
// failed save leaves the old content. False when it cannot be written.
bool WriteProfile(const std::string &fileName, const TEcu &ecu);
