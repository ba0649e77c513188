#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Limits the settings panel puts on what the user enters.
std::int32_t Clamp(std::int32_t value, std::int32_t min, std::int32_t max);

// A signed decimal integer, optionally surrounded by blanks (spaces, tabs, line ends) and with a
// leading + or -; anything else, or a number outside 32 bits, is not one.
std::optional<std::int32_t> ParseDecimal(std::string_view text);
