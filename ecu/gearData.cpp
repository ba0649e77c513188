#include "gearData.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// The signed difference of the keys decides the order. It is taken in 64 bits: bounds read from a
// profile are arbitrary 32-bit values, and their difference must not overflow.
template<typename Key>
bool KeyLess(Key left, Key right)
{
    return static_cast<std::int64_t>(left) - static_cast<std::int64_t>(right) < 0;
}

} // namespace

TGearData &TGearDataList::Add()
{
    return items_.emplace_back();
}

TGearData &TGearDataList::Items(int index)
{
    if (index < 0 || index >= Count()) {
        throw std::out_of_range("gear data index " + std::to_string(index) + " of "
                                + std::to_string(Count()));
    }
    return items_[static_cast<std::size_t>(index)];
}

const TGearData &TGearDataList::Items(int index) const
{
    return const_cast<TGearDataList *>(this)->Items(index);
}

void TGearDataList::Delete(int index)
{
    Items(index); // the same range check as an access
    items_.erase(items_.begin() + index);
}

void TGearDataList::SortByAdc()
{
    std::sort(items_.begin(), items_.end(),
              [](const TGearData &l, const TGearData &r) { return KeyLess(l.Adc, r.Adc); });
}

void TGearDataList::SortByUpper()
{
    std::sort(items_.begin(), items_.end(),
              [](const TGearData &l, const TGearData &r) { return KeyLess(l.Upper, r.Upper); });
}
