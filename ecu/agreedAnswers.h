#pragma once

#include "Ecu.h"
#include "encdec.h"
#include "settingsCompare.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The answers to the settings requests of reads repeated one after another. The line carries no
// checksum: a digit changed on the way still reads as a whole reply. The controller's settings do
// not change between two reads, so an answer taken alike in two reads is the controller's, and one
// that differs from every other is not known.
class TAgreedAnswers
{
public:
    // The request an answer belongs to: its type and slot (0 where there is only one).
    using TKey = std::pair<std::uint8_t, std::uint8_t>;
    static TKey KeyOf(std::uint8_t type, std::uint8_t index);

    // The settings replies a read asks for, given the parameters the controller reported: its
    // number of gears decides which cut durations are asked for.
    static std::vector<TKey> Needed(const TEcu &withParams);

    void Clear() { heard_.clear(); }
    // Keeps a settings reply with its line as decoded; other messages are not kept.
    void Note(std::string_view line, const TQV3318MessageRec &message);
    // Every request answered so far, in the order a read asks for them.
    std::vector<TKey> Heard() const;
    // The answer taken alike in two reads, or none.
    const TQV3318MessageRec *Agreed(TKey key) const;
    // The answer taken last, or none.
    const TQV3318MessageRec *Latest(TKey key) const;
    // How many of keys have no agreed answer.
    int Unsettled(const std::vector<TKey> &keys) const;
    // Applies the agreed parameters, then the agreed answers among keys in their order, and notes
    // in known what they filled.
    void ApplyAgreed(TEcu &model, TSettingsKnown &known, const std::vector<TKey> &keys) const;

private:
    std::map<TKey, std::vector<std::pair<std::string, TQV3318MessageRec>>> heard_;
};
