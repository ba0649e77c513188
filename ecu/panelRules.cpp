#include "panelRules.h"

#include <charconv>
#include <limits>

std::int32_t Clamp(std::int32_t value, std::int32_t min, std::int32_t max)
{
    if (value < min)
        return min;
    if (value > max)
        return max;
    return value;
}

std::optional<std::int32_t> ParseDecimal(std::string_view text)
{
    // A number copied from a terminal or a spreadsheet cell brings its line end along.
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    // One sign at most; from_chars takes a minus itself but never a plus.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            return std::nullopt;
    }
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()
        || value < std::numeric_limits<std::int32_t>::min()
        || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}
