#include "Ecu.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

constexpr double kDegreesPerTurn = 360.0;
// Positions span 1023 steps per turn, widths 1024: both are how the controller counts.
constexpr double kPositionSteps = 1023.0;
constexpr double kWidthSteps = 1024.0;
constexpr std::uint32_t kUnknownColour = 0x808080;

} // namespace

char GearLetterOf(int index)
{
    if (index < 0 || index >= static_cast<int>(GearLetters.size())) {
        return '?';
    }
    return GearLetters[static_cast<std::size_t>(index)];
}

std::string_view GearNameOf(int index)
{
    if (index < 0 || index >= static_cast<int>(GearNames.size())) {
        return {};
    }
    return GearNames[static_cast<std::size_t>(index)];
}

std::uint32_t GearColourOf(int index)
{
    if (index < 0 || index >= static_cast<int>(GearColours.size())) {
        return kUnknownColour;
    }
    return GearColours[static_cast<std::size_t>(index)];
}

std::string ThreeDigits(int value)
{
    // By hand: the C library's formatting costs more than the rest of a reply's handling.
    const bool negative = value < 0;
    // Widened so that the lowest int has a magnitude.
    long long magnitude = negative ? -static_cast<long long>(value) : value;
    char digits[24];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count < 3)
        digits[count++] = '0';
    std::string text;
    text.reserve(count + 1);
    if (negative)
        text.push_back('-');
    while (count > 0)
        text.push_back(digits[--count]);
    return text;
}

std::string HexByte(std::uint8_t value)
{
    constexpr std::string_view kHex = "0123456789ABCDEF";
    return {kHex[value >> 4], kHex[value & 0x0F]};
}

int RoundHalfEven(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    // Done by hand rather than through the floating-point environment, which a library could
    // have changed.
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double rounded = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) {
        rounded = floor + 1.0;
    }
    // Saturate instead of overflowing the conversion.
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(rounded);
}

double CountsToDegrees(int counts)
{
    return counts * kDegreesPerTurn / kPositionSteps;
}

std::string CountsToDegreesText(int counts)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, CountsToDegrees(counts),
                                            std::chars_format::fixed, 1);
    return error == std::errc() ? std::string(text, end) : std::string();
}

int DegreesToCounts(double degrees)
{
    return RoundHalfEven(degrees * kPositionSteps / kDegreesPerTurn);
}

int WidthDegreesToCounts(int degrees)
{
    return RoundHalfEven(degrees * kWidthSteps / kDegreesPerTurn);
}

int WidthCountsToDegrees(int counts)
{
    return RoundHalfEven(counts * kDegreesPerTurn / kWidthSteps);
}

TEcu::TEcu()
{
    for (int i = 0; i < kPositionSlots; ++i) {
        Positions[static_cast<std::size_t>(i)].Gear = static_cast<std::uint8_t>(i);
    }
}

void TEcu::SetPositionCount(int count)
{
    PositionCount = count;
    for (int i = Ranges.Count() - 1; i >= 0; --i) {
        if (static_cast<int>(Ranges.Items(i).Gear) >= count) {
            Ranges.Delete(i);
        }
    }
}
