// Fuzz target of the data log reader: any bytes as a log file.
// - Every sample holds a reading within a full turn and a time within 0..kLogMsMax; samples and
//   markers each come out in time order.
// - Written again as this program writes a log (rows in time order) and read back, the samples and
//   markers are the same (a marker's line breaks become spaces, as the writer makes them).

#include "dataLog.h"

#include "Ecu.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "data log property broken: %s\n", what);
    std::abort();
}

template<typename T>
bool InTimeOrder(const std::vector<T> &rows)
{
    return std::is_sorted(rows.begin(), rows.end(),
                          [](const T &a, const T &b) { return a.Ms < b.Ms; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::istringstream file(std::string(reinterpret_cast<const char *>(data), size));
    const TParsedLog log = ParseLog(file);
    for (const TLogSample &s : log.Samples)
        if (s.Adc > kAdcMax || s.Ms < 0 || s.Ms > kLogMsMax)
            Fail("a sample out of bounds");
    for (const TLogMarker &m : log.Markers)
        if (m.Ms < 0 || m.Ms > kLogMsMax || m.Event.empty())
            Fail("a marker out of bounds");
    if (!InTimeOrder(log.Samples) || !InTimeOrder(log.Markers))
        Fail("rows out of time order");

    // Written in time order, as the program writes its rows.
    std::string written(kDataLogHeader);
    written += '\n';
    std::vector<TLogMarker> markers = log.Markers;
    auto sample = log.Samples.begin();
    for (TLogMarker &m : markers) {
        for (; sample != log.Samples.end() && sample->Ms < m.Ms; ++sample) {
            written += FormatSampleRow("T", *sample);
            written += '\n';
        }
        written += FormatMarkerRow("T", m.Ms, m.Event);
        written += '\n';
        m.Time.assign(1, 'T');
        std::replace_if(
            m.Event.begin(), m.Event.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    }
    for (; sample != log.Samples.end(); ++sample) {
        written += FormatSampleRow("T", *sample);
        written += '\n';
    }
    std::istringstream again(written);
    const TParsedLog reread = ParseLog(again);
    if (reread.Samples != log.Samples)
        Fail("samples written and read back differ");
    if (reread.Markers != markers)
        Fail("markers written and read back differ");
    return 0;
}
