#include "utf16.h"

namespace {
constexpr char32_t kReplacement = 0xFFFD;
} // namespace

void AppendUtf8(std::string &out, char32_t c)
{
    const auto byte = [&out](char32_t b) { out += static_cast<char>(b); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | (c >> 6));
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | (c >> 12));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | (c >> 18));
        byte(0x80 | ((c >> 12) & 0x3F));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

std::string FromUtf16(std::string_view bytes, bool bigEndian)
{
    const auto unit = [&](std::size_t i) {
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        return static_cast<char32_t>(hi << 8 | lo);
    };
    std::string out;
    out.reserve(bytes.size());
    const std::size_t end = bytes.size() & ~std::size_t {1};
    for (std::size_t i = 0; i < end; i += 2) {
        const char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 2 < end) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string ToUtf16(std::string_view text, bool bigEndian)
{
    std::string out;
    out.reserve(text.size() * 2);
    const auto unit = [&](char32_t u) {
        const auto hi = static_cast<char>(u >> 8);
        const auto lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1
            : (lead & 0xE0) == 0xC0            ? 2
            : (lead & 0xF0) == 0xE0            ? 3
            : (lead & 0xF8) == 0xF0            ? 4
                                               : 0;
        bool valid = length > 0 && i + length <= text.size();
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3F);
        }
        if (!valid || c > 0x10FFFF) {
            unit(kReplacement);
            ++i;
            continue;
        }
        i += length;
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}
