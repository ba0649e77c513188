#pragma once

#include <cstdint>
#include <vector>

// One gear position sample or one gear range, in barrel counts 0..1023. A plain record: every
// field is zero when made.
struct TGearData
{
    std::uint8_t Gear = 0; // gear position index 0..10
    std::uint16_t Adc = 0; // barrel reading of the gear's position
    bool Sampled = false; // came out of a calibration run
    std::int32_t Upper = 0;
    std::int32_t Lower = 0;
    bool operator==(const TGearData &) const = default;
};

// Owning list of gear records. Indexing outside 0..Count-1 is a programming error and throws
// std::out_of_range; everything else is plain value semantics.
class TGearDataList
{
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TGearData &Add(); // appends a zeroed record and returns it
    TGearData &Items(int index);
    const TGearData &Items(int index) const;
    void Delete(int index);
    void Clear() { items_.clear(); }
    void SortByAdc(); // ascending Adc; equal keys in any order
    void SortByUpper(); // ascending Upper; equal keys in any order
    bool operator==(const TGearDataList &) const = default;

private:
    std::vector<TGearData> items_;
};
