#pragma once

#include "Ecu.h"
#include "diskFile.h"

#include <string>

// The factory defaults of a new profile (model part only).
void LoadDefaults(TEcu &ecu);

// Reads a vehicle profile into the model. A missing file reads as an empty profile, so every value
// takes the reader's default. Positions and cut durations are not cleared here: the caller does
// that first with the position count from before loading. Failed: the path is no regular file or
// cannot be read, and the model is left as it was.
TDiskRead ReadProfile(const std::string &fileName, TEcu &ecu);

// Reads the text of a profile file into the model, as ReadProfile does once it has the text; for
// a caller that must know the file is readable before it changes anything.
void ReadProfileText(const std::string &text, TEcu &ecu);

// Writes the model into the profile. Only the tool's own lines change: comments, blank lines,
// other sections and keys, duplicates and line ends stay as they are (iniFile.h). The file is
// saved as SaveDiskFile does (diskFile.h): a read-only file is refused, links are followed, and a
// failed save leaves the old content. False when it cannot be written.
[[nodiscard]] bool WriteProfile(const std::string &fileName, const TEcu &ecu);
