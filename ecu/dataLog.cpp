#include "dataLog.h"

#include "Ecu.h"
#include "encdec.h"
#include "utf16.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

namespace {

constexpr std::int64_t kMsPerSecond = 1000;

// The four named status bits in column order.
constexpr std::uint8_t kNamedBits[] = {kStatusUpshift, kStatusDownshift, kStatusCut, kStatusBlip};

std::tm LocalTime(std::time_t seconds)
{
    std::tm local {};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return local;
}

// Splits one CSV line into fields. Quoted fields may hold separators and doubled quotes; a quote
// that is never closed makes the line invalid.
bool SplitFields(std::string_view line, char separator, std::vector<std::string> &fields)
{
    fields.clear();
    std::string field;
    bool quoted = false;
    bool wasQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == separator) {
            fields.push_back(std::move(field));
            field.clear();
            wasQuoted = false;
        } else {
            field += c;
        }
    }
    if (quoted)
        return false;
    fields.push_back(std::move(field));
    return true;
}

template<typename Int>
bool ParseInt(std::string_view text, Int &value, Int min, Int max, int base = 10)
{
    long long parsed = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed, base);
    if (text.empty() || ec != std::errc() || ptr != end || parsed < static_cast<long long>(min)
        || parsed > static_cast<long long>(max))
        return false;
    value = static_cast<Int>(parsed);
    return true;
}

bool IsDigits(std::string_view text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view TrimLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

char LogSeparator(std::string_view line)
{
    // A spreadsheet set to a decimal comma saves with semicolons; the angle may then hold a comma.
    // Saved as Unicode text, the fields are split by tabs.
    const auto count = [line](char c) { return std::count(line.begin(), line.end(), c); };
    const char separator = count(';') > count(',') ? ';' : ',';
    return count('\t') > count(separator) ? '\t' : separator;
}

// A UTF-16 text (after its byte order mark) read as UTF-8, a chunk at a time.
class TUtf16Reader : public std::streambuf
{
public:
    TUtf16Reader(std::streambuf *source, bool bigEndian)
        : source_(source), bigEndian_(bigEndian) { }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        for (;;) {
            std::string raw = std::move(carried_);
            carried_.clear();
            const std::size_t kept = raw.size();
            raw.resize(kept + kChunk);
            const std::streamsize got
                = std::max<std::streamsize>(source_->sgetn(raw.data() + kept, kChunk), 0);
            raw.resize(kept + static_cast<std::size_t>(got));
            if (got > 0) {
                // More may follow: a unit cut in two, and a surrogate whose pair may be next, wait.
                std::size_t keep = raw.size() % 2;
                if (raw.size() >= keep + 2) {
                    const std::size_t last = raw.size() - keep - 2;
                    const auto high = static_cast<unsigned char>(raw[bigEndian_ ? last : last + 1]);
                    keep += high >= 0xD8 && high < 0xDC ? 2 : 0;
                }
                carried_ = raw.substr(raw.size() - keep);
                raw.resize(raw.size() - keep);
            }
            decoded_ = FromUtf16(raw, bigEndian_);
            if (!decoded_.empty()) {
                setg(decoded_.data(), decoded_.data(), decoded_.data() + decoded_.size());
                return traits_type::to_int_type(*gptr());
            }
            if (got == 0)
                return traits_type::eof();
        }
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    std::streambuf *source_;
    bool bigEndian_;
    std::string carried_;
    std::string decoded_;
};

// True when the text is UTF-16, with its byte order mark read; then bigEndian tells which. Without
// a mark, a text that starts with one of the first 128 characters has a zero byte beside it.
bool TakeUtf16Start(std::streambuf *buffer, bool &bigEndian)
{
    const int first = buffer->sbumpc();
    if (first == std::char_traits<char>::eof())
        return false;
    const int second = buffer->sgetc();
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
        buffer->sbumpc();
        bigEndian = first == 0xFE;
        return true;
    }
    buffer->sputbackc(static_cast<char>(first));
    bigEndian = first == 0;
    return (first > 0 && first < 0x80 && second == 0)
        || (first == 0 && second > 0 && second < 0x80);
}

// One line, without its line end, into line; false at the end of the stream. The characters of
// a line past kMaxLogLine are dropped and tooLong set.
bool ReadLogLine(std::streambuf *buffer, std::string &line, bool &tooLong)
{
    line.clear();
    tooLong = false;
    if (buffer == nullptr)
        return false;
    bool any = false;
    for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc()) {
        any = true;
        if (c == '\n')
            return true;
        if (line.size() < kMaxLogLine)
            line.push_back(static_cast<char>(c));
        else
            tooLong = true;
    }
    return any;
}

// Where a marker stands among the markers of one time when the rows lost their order: those that
// tell more of the one before them (the ranges, then the thresholds, a transfer or a profile
// brought) after the others.
int RankAmongSameTime(std::string_view event)
{
    const auto is = [event](std::string_view word) {
        return event.starts_with(word)
            && (event.size() == word.size() || event[word.size()] == ' ');
    };
    return is(kRangesMarker) ? 1 : is(kTriggerMarker) ? 2 : 0;
}

// Where each column stands in a log whose heading a spreadsheet changed (columns moved, left out,
// added or renamed in case or spacing): the twelve, -1 for one it lacks, and the marker's text.
struct TColumns
{
    std::array<int, kDataLogColumns> At = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}; // as written
    int Event = -1; // a column headed "event", else one with no heading
    std::vector<bool> Named; // per place in the heading: the heading names a column

    bool AsWritten() const
    {
        for (int c = 0; c < kDataLogColumns; ++c)
            if (At[static_cast<std::size_t>(c)] != c)
                return false;
        return Named.size() <= static_cast<std::size_t>(kDataLogColumns)
            || std::none_of(Named.begin() + kDataLogColumns, Named.end(), [](bool n) { return n; });
    }
};

// A column name in one form: lower case, no spaces around it, underscores for those within.
std::string ColumnName(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    std::string name(text);
    for (char &c : name)
        c = c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// The name of one of the twelve columns.
std::string ColumnNameAt(int column)
{
    std::string_view names = kDataLogHeader;
    for (int c = 0; c < column; ++c)
        names.remove_prefix(names.find(',') + 1);
    return std::string(names.substr(0, names.find(',')));
}

// The columns of a heading, or nothing when the line is no heading: one names at least three of
// the twelve columns.
std::optional<TColumns> ColumnsOf(const std::vector<std::string> &heading)
{
    std::vector<std::string> names;
    for (const std::string &h : heading)
        names.push_back(ColumnName(h));
    TColumns columns;
    columns.At.fill(-1);
    columns.Named.resize(names.size());
    int named = 0;
    for (int column = 0; column < kDataLogColumns; ++column) {
        const auto at = std::find(names.begin(), names.end(), ColumnNameAt(column));
        if (at != names.end()) {
            columns.At[static_cast<std::size_t>(column)] = static_cast<int>(at - names.begin());
            ++named;
        }
    }
    if (named < 3)
        return std::nullopt;
    for (std::size_t at = 0; at < names.size(); ++at)
        columns.Named[at] = !names[at].empty();
    const auto event = std::find(names.begin(), names.end(), "event");
    if (event != names.end())
        columns.Event = static_cast<int>(event - names.begin());
    return columns;
}

// A row of a log with another heading, put into the columns as written: a row with a value in any
// of the data columns is a data row (columns added beside them are left alone), else a marker,
// whose text is in the event column, or else in the one filled column with no heading, or else in
// the one filled column the heading names but this program does not (two of those are none).
void PutInColumnsAsWritten(const TColumns &columns, std::vector<std::string> &fields)
{
    std::vector<std::string> ordered(kDataLogColumns);
    std::vector<bool> taken(fields.size());
    for (std::size_t column = 0; column < columns.At.size(); ++column) {
        const int at = columns.At[column];
        if (at >= 0 && static_cast<std::size_t>(at) < fields.size()) {
            ordered[column] = std::move(fields[static_cast<std::size_t>(at)]);
            taken[static_cast<std::size_t>(at)] = true;
        }
    }
    const bool data = std::any_of(ordered.begin() + 2, ordered.end(),
                                  [](const std::string &f) { return !f.empty(); });
    if (!data) {
        const auto filled = [&](bool named) {
            std::vector<std::size_t> found;
            for (std::size_t at = 0; at < fields.size(); ++at) {
                const bool isNamed = at < columns.Named.size() && columns.Named[at];
                if (!taken[at] && !fields[at].empty() && isNamed == named)
                    found.push_back(at);
            }
            return found;
        };
        std::vector<std::size_t> texts;
        if (columns.Event >= 0 && static_cast<std::size_t>(columns.Event) < fields.size())
            texts = {static_cast<std::size_t>(columns.Event)};
        else if (texts = filled(false); texts.empty())
            texts = filled(true);
        for (std::size_t at : texts)
            ordered.push_back(std::move(fields[at]));
    }
    fields = std::move(ordered);
}

// The raw columns a row is read from, which a heading must name.
constexpr int kRawColumns[] = {1, 2, 4, 6, 7};

} // namespace

std::int64_t LogClockMs()
{
#ifdef CLOCK_BOOTTIME
    // Linux's steady clock stops while the computer sleeps; this one does not.
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return std::int64_t {now.tv_sec} * kMsPerSecond + now.tv_nsec / 1'000'000;
#else
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

std::string FormatLogTime(std::chrono::system_clock::time_point when)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
    std::int64_t seconds = ms.count() / kMsPerSecond;
    std::int64_t fraction = ms.count() % kMsPerSecond;
    if (fraction < 0) { // before 1970: floor, so the fraction stays positive
        fraction += kMsPerSecond;
        --seconds;
    }
    const std::tm local = LocalTime(static_cast<std::time_t>(seconds));
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(fraction));
    return text;
}

std::string FormatLogAngle(std::uint16_t adc)
{
    return CountsToDegreesText(adc);
}

std::string FormatSampleRow(std::string_view time, const TLogSample &sample)
{
    std::string row(time);
    char text[96];
    std::snprintf(text, sizeof text, ",%lld,%u,", static_cast<long long>(sample.Ms),
                  static_cast<unsigned>(sample.Adc));
    row += text;
    row += FormatLogAngle(sample.Adc);
    std::snprintf(text, sizeof text, ",%u,%c,%u,%02X", static_cast<unsigned>(sample.Gear),
                  GearLetterOf(sample.Gear), static_cast<unsigned>(sample.AnalogueInput),
                  static_cast<unsigned>(sample.StatusBits));
    row += text;
    for (std::uint8_t bit : kNamedBits) {
        row += ',';
        row += (sample.StatusBits & bit) ? '1' : '0';
    }
    return row;
}

std::string FormatMarkerRow(std::string_view time, std::int64_t ms, std::string_view event)
{
    std::string text(event);
    for (char &c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    if (text.find_first_of(",\"") != std::string::npos || text.empty()) {
        std::string quoted = "\"";
        for (char c : text) {
            if (c == '"')
                quoted += '"';
            quoted += c;
        }
        text = quoted + '"';
    }
    std::string row(time);
    row += ',' + std::to_string(ms);
    row.append(kDataLogColumns - 2, ',');
    row += ',';
    row += text;
    return row;
}

namespace {

// The fields of one row in the columns as written.
bool ParseLogFields(std::vector<std::string> &fields, TLogRow &row)
{
    if (fields.size() < kDataLogColumns)
        return false;
    // A spreadsheet saves every row as wide as its widest one: a data row then ends in an empty
    // event column.
    if (fields.size() == kDataLogColumns + 1 && fields[kMarkerColumn].empty())
        fields.pop_back();
    // Earlier builds wrote the angle with the decimal comma of the user's locale, which split it
    // in two ("306,5"). The angle is derived from the raw reading and never read, so such a row
    // is read with its halves joined back.
    if (fields.size() == kDataLogColumns + 1 && !fields[2].empty() && IsDigits(fields[3])
        && IsDigits(fields[4]))
        fields.erase(fields.begin() + 4);
    row.Time = fields[0];
    row.Event.clear();
    row.Sample = TLogSample {};
    // Times count from the start of the run; the bound (35 years) keeps every difference and sum
    // the reader forms from them far from overflow, whatever a damaged file holds.
    if (!ParseInt(fields[1], row.Sample.Ms, std::int64_t {0}, kLogMsMax))
        return false;

    if (fields.size() > kDataLogColumns) {
        // A marker: exactly one more column, text in it, the data columns empty.
        if (fields.size() != kDataLogColumns + 1 || fields[kMarkerColumn].empty())
            return false;
        for (int i = 2; i < kDataLogColumns; ++i)
            if (!fields[static_cast<std::size_t>(i)].empty())
                return false;
        row.Event = fields[kMarkerColumn];
        return true;
    }

    TLogSample &s = row.Sample;
    std::string_view hex = fields[7];
    if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X'))
        hex.remove_prefix(2);
    // A reading beyond a full turn is never logged, as it is kept from the chart and the check;
    // a row that holds one was edited or damaged.
    return ParseInt<std::uint16_t>(fields[2], s.Adc, 0, kAdcMax)
        && ParseInt<std::uint8_t>(fields[4], s.Gear, 0, 0xFF)
        && ParseInt<std::uint8_t>(fields[6], s.AnalogueInput, 0, 0xFF)
        && ParseInt<std::uint8_t>(hex, s.StatusBits, 0, 0xFF, 16);
}

} // namespace

bool ParseLogRow(std::string_view line, TLogRow &row, char separator)
{
    line = TrimLineEnd(line);
    if (line.empty() || line == kDataLogHeader)
        return false;
    std::vector<std::string> fields;
    return SplitFields(line, separator, fields) && ParseLogFields(fields, row);
}

TParsedLog ParseLog(std::istream &in)
{
    TParsedLog log;
    std::string line;
    TLogRow row;
    bool first = true;
    char separator = 0;
    std::vector<std::string> fields;
    bool tooLong = false;
    std::int64_t offset = 0; // of the current run's ms
    std::int64_t lastMs = 0;
    bool disturbed = false; // rows not in the order written
    TColumns columns; // a log without its heading is read as written
    bool asWritten = columns.AsWritten(); // kept for each row
    std::streambuf *buffer = in.rdbuf();
    bool bigEndian = false;
    std::optional<TUtf16Reader> utf16;
    if (buffer && TakeUtf16Start(buffer, bigEndian))
        buffer = &utf16.emplace(buffer, bigEndian);
    while (ReadLogLine(buffer, line, tooLong)) {
        if (tooLong) {
            ++log.SkippedLines;
            continue;
        }
        std::string_view body = TrimLineEnd(line);
        if (separator == 0 && body.starts_with(kUtf8Bom))
            body.remove_prefix(kUtf8Bom.size());
        if (body.empty())
            continue;
        if (separator == 0)
            separator = LogSeparator(body);
        // The header, also as a spreadsheet saves it (other separator, quoted, padded to the
        // widest row, columns moved, left out, added or renamed in case or spacing). A row as
        // written starts with a digit of its time; a heading never does.
        const bool mayBeHeader = std::isdigit(static_cast<unsigned char>(body.front())) == 0;
        if (mayBeHeader && SplitFields(body, separator, fields)) {
            if (std::optional<TColumns> heading = ColumnsOf(fields)) {
                columns = std::move(*heading);
                asWritten = columns.AsWritten();
                log.MissingColumns.clear();
                for (int c : kRawColumns)
                    if (columns.At[static_cast<std::size_t>(c)] < 0)
                        log.MissingColumns.push_back(ColumnNameAt(c));
                // The next run's rows go after this one's, not in among them.
                if (!first)
                    offset = lastMs + kRunGapMs;
                continue;
            }
        }
        // Rows are read by the heading's names: by position they would read one value for another.
        bool parsed = false;
        if (asWritten) {
            parsed = ParseLogRow(body, row, separator);
        } else if (SplitFields(body, separator, fields)) {
            PutInColumnsAsWritten(columns, fields);
            parsed = ParseLogFields(fields, row);
        }
        if (!parsed || row.Sample.Ms > kLogMsMax - offset) {
            ++log.SkippedLines;
            continue;
        }
        row.Sample.Ms += offset;
        disturbed = disturbed || row.Sample.Ms < lastMs;
        lastMs = std::max(lastMs, row.Sample.Ms);
        if (first) {
            log.FirstTime = row.Time;
            first = false;
        }
        if (row.IsMarker())
            log.Markers.push_back({row.Time, row.Sample.Ms, row.Event});
        else
            log.Samples.push_back(row.Sample);
    }
    // Rows sorted by another column in a spreadsheet come back in the order of the run.
    const auto byTime = [](const auto &a, const auto &b) { return a.Ms < b.Ms; };
    std::stable_sort(log.Samples.begin(), log.Samples.end(), byTime);
    std::stable_sort(log.Markers.begin(), log.Markers.end(), byTime);
    // Sorted by the event column, a transfer's ranges and thresholds come before the transfer, in
    // either order: of the markers of one time, those go after the others, in the order written.
    if (disturbed) {
        for (auto first = log.Markers.begin(); first != log.Markers.end();) {
            const auto last = std::find_if(first, log.Markers.end(), [first](const TLogMarker &m) {
                return m.Ms != first->Ms;
            });
            std::stable_sort(first, last, [](const TLogMarker &a, const TLogMarker &b) {
                return RankAmongSameTime(a.Event) < RankAmongSameTime(b.Event);
            });
            first = last;
        }
    }
    return log;
}
