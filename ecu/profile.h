#pragma once

#include "Ecu.h"
#include "diskFile.h"

#include <string>
#include <vector>

// The factory defaults of a new profile (model part only).
void LoadDefaults(TEcu &ecu);

// Reads a vehicle profile into the model. A missing file reads as an empty profile, so every value
// takes the reader's default. Positions and cut durations are not cleared here: the caller does
// that first with the position count from before loading (ClearPositionsInUse and
// ClearCutDurationsInUse). Failed: the path is no regular file, cannot be read, or holds a foreign
// text (IsForeignText), and the model is left as it was.
TDiskRead ReadProfile(const std::string &fileName, TEcu &ecu);

// True when a text cannot be a profile: it names none of the profile's sections and holds more
// than blank lines and comments (a data log or a picture picked by mistake). Read as a profile it
// would give the factory defaults under that file's name, ready to be written into the car.
bool IsForeignText(const std::string &text);

// True when a text names one of the profile's sections. An empty file, or one of only comments,
// opens as a profile of the reader's defaults, but holds no settings to write into a controller.
bool HoldsSettings(const std::string &text);

// What opening a profile forgets first, and the window's two Clear buttons: the sampled position,
// or the cut duration, of every position in use. A profile without one then leaves it empty, not
// the previous vehicle's or the factory's.
void ClearPositionsInUse(TEcu &ecu);
void ClearCutDurationsInUse(TEcu &ecu);

// The sampled position and the cut duration of every position slot, in use or not: a new or an
// opened profile forgets them all, or a higher position count would bring the last vehicle's
// values back unseen (a gear sampled, a cut duration sent to the controller).
void ClearEveryPosition(TEcu &ecu);

// Reads the text of a profile file into the model, as ReadProfile does once it has the text; for
// a caller that must know the file is readable before it changes anything. A value that is no
// integer reads as the reader's default; unreadable, when given, gets each such value read
// ("[vehicle] debounce=abc"). So does a key the text lacks; missing, when given, gets each one
// ("[vehicle] ranges"), but the cut durations of reverse and neutral, which no up-shift uses.
void ReadProfileText(const std::string &text, TEcu &ecu,
                     std::vector<std::string> *unreadable = nullptr,
                     std::vector<std::string> *missing = nullptr);

// Whether the text's "fwdgears" is one the reader takes as it stands, rather than limiting it to
// 4..7 forward gears; true also when the text lacks it or it is no integer.
bool ForwardGearsInRange(const std::string &text);

// The profile text holding the model, made from the text a file holds already (empty for a new
// file): only the tool's own lines change, as WriteProfile says.
std::string ProfileText(const std::string &text, const TEcu &ecu);

// Writes the model into the profile. Only the tool's own lines change: comments, blank lines,
// other sections and keys, duplicates and line ends stay as they are (iniFile.h). The file is
// saved as SaveDiskFile does (diskFile.h): a read-only file is refused, links are followed, and a
// failed save leaves the old content. False when it cannot be written.
[[nodiscard]] bool WriteProfile(const std::string &fileName, const TEcu &ecu);
