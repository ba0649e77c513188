#pragma once

#include <chrono>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

// The rows of a data log: one CSV row per decoded status reply, plus marker rows for what
// happened around them (link up or down, settings read or written, a profile opened or saved).
//
// A data row has the twelve columns of kDataLogHeader. A marker row has the same time and ms,
// ten empty columns, and the marker's text in a thirteenth column ("event"), so a spreadsheet
// shows markers in a column of their own and a filter on it separates the two kinds. The header
// names only the twelve data columns.
//
// Every column after the raw values (angle, gear letter, the four named bits) is derived from
// them; the parser reads the raw values and ignores the derived ones.

inline constexpr std::string_view kDataLogHeader
    = "time,ms,adc,angle_deg,gear_index,gear,analog_input,status_hex,upshift_trigger,"
      "downshift_trigger,engine_cut,throttle_blip";
inline constexpr int kDataLogColumns = 12;
inline constexpr int kMarkerColumn = kDataLogColumns; // 0-based index of the event text
// The largest ms a log row may hold (about 35 years); larger ones are not read.
inline constexpr std::int64_t kLogMsMax = std::int64_t {1} << 40;

// The first word of the markers that tell more of the marker before them: the gear ranges and the
// trigger settings a transfer or a profile brought (written and read in rangeCheck.h).
inline constexpr std::string_view kRangesMarker = "ranges";
inline constexpr std::string_view kTriggerMarker = "trigger";

// One decoded status reply, as the log and the live chart keep it.
struct TLogSample
{
    std::int64_t Ms = 0; // since the start of the run
    std::uint16_t Adc = 0; // barrel counts
    std::uint8_t Gear = 0; // gear position index as reported
    std::uint8_t AnalogueInput = 0;
    std::uint8_t StatusBits = 0;

    bool operator==(const TLogSample &) const = default;
};

struct TLogMarker
{
    std::string Time;
    std::int64_t Ms = 0;
    std::string Event;

    bool operator==(const TLogMarker &) const = default;
};

// One parsed row: a sample, or a marker when Event is not empty (then only Time and Ms of the
// sample carry meaning).
struct TLogRow
{
    std::string Time;
    TLogSample Sample;
    std::string Event;

    bool IsMarker() const { return !Event.empty(); }
};

// A whole log read back: samples and markers, the time of the file's first row, and the number
// of lines that were neither the header nor a row (a log cut short by a crash ends in a
// partial line; it is skipped, not fatal).
struct TParsedLog
{
    std::vector<TLogSample> Samples;
    std::vector<TLogMarker> Markers;
    std::string FirstTime;
    std::int64_t SkippedLines = 0;
    // The raw columns the last heading did not name: without them no row of its run is read.
    std::vector<std::string> MissingColumns;
};

// No row is longer; a longer line is skipped without being held whole, as a file that is no log
// may hold no line end at all.
inline constexpr std::size_t kMaxLogLine = 4096;

// Milliseconds from an arbitrary start, for the ms column. The clock goes on while the computer
// sleeps, so a laptop closed between two sessions leaves that time in the log instead of joining
// the sessions up; it never goes back.
std::int64_t LogClockMs();

// Local wall-clock time as ISO 8601 with milliseconds and no zone: 2026-12-09T14:03:07.250.
// Spreadsheets read this form as a date and time.
std::string FormatLogTime(std::chrono::system_clock::time_point when);

// Angle of a barrel reading in degrees with one decimal, as the log writes it.
std::string FormatLogAngle(std::uint16_t adc);

// A row without its line end.
std::string FormatSampleRow(std::string_view time, const TLogSample &sample);
// Line breaks in the text become spaces (one row per line); commas and quotes are quoted.
std::string FormatMarkerRow(std::string_view time, std::int64_t ms, std::string_view event);

// Reads one line (with or without CR or LF at its end) whose fields are split by separator. False
// for the header, an empty line, an ms outside 0..kLogMsMax and anything that is not a complete
// row; row is then left in an unspecified state. A data row may end in an empty event column.
bool ParseLogRow(std::string_view line, TLogRow &row, char separator = ',');

// Reads a whole log, also as a spreadsheet saves it back: a byte order mark, UTF-16, semicolons or
// tabs instead of commas (taken from the first line), padded rows, rows in another order and
// columns moved, left out or added (read by the names of the heading; a heading that lacks a raw
// column reads no row). Samples and markers come out each in time order, rows of the same time in
// file order. Logs joined into one file (a header after rows) are read one after the other, each
// run kRunGapMs after the last row of the one before, as each counts its ms from its own start.
TParsedLog ParseLog(std::istream &in);
inline constexpr std::int64_t kRunGapMs = 1000;
