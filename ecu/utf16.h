#pragma once

#include <string>
#include <string_view>

// A character as UTF-8.
void AppendUtf8(std::string &out, char32_t c);

// UTF-16 code units to UTF-8. A surrogate without its pair is written as the three bytes of its
// own value, so that the way back gives the same unit: a file is kept as it was, whatever it holds.
// An odd last byte is left out.
std::string FromUtf16(std::string_view bytes, bool bigEndian);

// The way back from FromUtf16, without a byte order mark; a byte that starts no sequence becomes
// U+FFFD.
std::string ToUtf16(std::string_view text, bool bigEndian);
