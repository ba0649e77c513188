#include "dataLog.h"

#include "utf16.h"

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <sstream>
#include <string>

namespace {

constexpr std::string_view kTime = "2026-03-04T05:06:07.089";

// The C library's number format for a scope, as a program that takes the user's locale has it.
class TNumericLocale
{
public:
    explicit TNumericLocale(const char *name) : saved_(std::setlocale(LC_NUMERIC, nullptr))
    {
        active_ = std::setlocale(LC_NUMERIC, name) != nullptr;
    }
    ~TNumericLocale() { std::setlocale(LC_NUMERIC, saved_.c_str()); }
    TNumericLocale(const TNumericLocale &) = delete;
    TNumericLocale &operator=(const TNumericLocale &) = delete;
    bool Active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

// UTF-8 text as UTF-16 with its byte order mark, as a spreadsheet saves Unicode text.
std::string Utf16(std::string_view utf8, bool bigEndian)
{
    return (bigEndian ? "\xFE\xFF" : "\xFF\xFE") + ToUtf16(utf8, bigEndian);
}

} // namespace

TEST(DataLog, HeaderNamesTheTwelveDataColumns)
{
    EXPECT_EQ(kDataLogHeader,
              "time,ms,adc,angle_deg,gear_index,gear,analog_input,status_hex,upshift_trigger,"
              "downshift_trigger,engine_cut,throttle_blip");
}

TEST(DataLog, SampleRowsCarryRawAndDerivedValues)
{
    const struct
    {
        TLogSample Sample;
        const char *Row;
    } rows[] = {
        // Angle = counts x 360 / 1023 to one decimal; the bits in the order of the header.
        {{0, 0, 0, 0, 0x00}, "T,0,0,0.0,0,R,0,00,0,0,0,0"},
        {{100, 1023, 1, 255, 0x05}, "T,100,1023,360.0,1,N,255,05,1,0,1,0"},
        {{1234567, 512, 2, 78, 0x0A}, "T,1234567,512,180.2,2,1,78,0A,0,1,0,1"},
        {{-5, 85, 8, 69, 0xF1}, "T,-5,85,29.9,8,7,69,F1,1,0,0,0"},
        // A gear index beyond the letters still gets a row.
        {{7, 300, 9, 1, 0x04}, "T,7,300,105.6,9,x,1,04,0,0,1,0"},
        {{8, 65535, 10, 2, 0x08}, "T,8,65535,23062.2,10,?,2,08,0,0,0,1"},
    };
    // A decimal comma of the user's locale would split the angle into two fields.
    for (const char *locale : {"C", "de_DE.UTF-8"}) {
        const TNumericLocale numbers(locale);
        if (!numbers.Active())
            GTEST_SKIP() << "no " << locale << " locale here (scripts/install-deps makes one)";
        for (const auto &row : rows)
            EXPECT_EQ(FormatSampleRow("T", row.Sample), row.Row) << locale;
    }
}

TEST(DataLog, MarkerRowsPutTheirTextInTheThirteenthColumn)
{
    const struct
    {
        const char *Event;
        const char *Row;
    } rows[] = {
        {"link up", "T,42,,,,,,,,,,,link up"},
        {"profile opened: a,b.ini", "T,42,,,,,,,,,,,\"profile opened: a,b.ini\""},
        {"say \"hi\"", "T,42,,,,,,,,,,,\"say \"\"hi\"\"\""},
        {"two\r\nlines", "T,42,,,,,,,,,,,two  lines"},
    };
    for (const auto &row : rows) {
        const std::string text = FormatMarkerRow("T", 42, row.Event);
        EXPECT_EQ(text, row.Row);
        TLogRow parsed;
        ASSERT_TRUE(ParseLogRow(text, parsed)) << text;
        EXPECT_TRUE(parsed.IsMarker());
        EXPECT_EQ(parsed.Sample.Ms, 42);
        EXPECT_EQ(parsed.Event,
                  std::string(row.Event) == "two\r\nlines" ? "two  lines" : row.Event);
    }
}

TEST(DataLog, ScriptedRunRoundTripsThroughTheParser)
{
    // Replies and link events in the order a run produces them.
    const std::vector<TLogSample> samples = {
        {0, 102, 1, 0, 0x00},    {100, 103, 1, 80, 0x01},  {200, 150, 1, 81, 0x05},
        {300, 228, 2, 40, 0x00}, {2900, 228, 2, 12, 0x00}, {3000, 1023, 8, 255, 0xFF},
    };
    std::stringstream file;
    file << kDataLogHeader << "\r\n";
    file << FormatMarkerRow(kTime, 0, "logging started, profile Kart 7") << "\n";
    for (std::size_t i = 0; i < samples.size(); ++i) {
        file << FormatSampleRow(kTime, samples[i]) << "\n";
        if (samples[i].Ms == 300)
            file << FormatMarkerRow(kTime, 1800, "link down") << "\r\n"
                 << FormatMarkerRow(kTime, 2850, "link up") << "\n";
    }
    // A crash cuts the last row short: it is skipped, the rest stands.
    file << "2026-03-04T05:06:10.000,3100,51";

    const TParsedLog log = ParseLog(file);
    EXPECT_EQ(log.Samples, samples);
    const std::vector<TLogMarker> markers = {
        {std::string(kTime), 0, "logging started, profile Kart 7"},
        {std::string(kTime), 1800, "link down"},
        {std::string(kTime), 2850, "link up"},
    };
    EXPECT_EQ(log.Markers, markers);
    EXPECT_EQ(log.FirstTime, kTime);
    EXPECT_EQ(log.SkippedLines, 1);
}

TEST(DataLog, ALogSavedBackFromASpreadsheetReadsAsWritten)
{
    const std::vector<TLogSample> samples
        = {{0, 102, 1, 0, 0x00}, {100, 871, 6, 13, 0x05}, {200, 1023, 8, 255, 0xFF}};
    const std::vector<TLogMarker> markers
        = {{"T", 0, "logging started, profile Kart 7"}, {"T", 150, "link down"}};
    const std::string tabs
        = "time\tms\tadc\tangle_deg\tgear_index\tgear\tanalog_input\tstatus_hex\t"
          "upshift_trigger\tdownshift_trigger\tengine_cut\tthrottle_blip\r\n"
          "T\t0\t\t\t\t\t\t\t\t\t\t\t\"logging started, profile Kart 7\"\r\n"
          "T\t0\t102\t35.9\t1\tN\t0\t00\t0\t0\t0\t0\r\n"
          "T\t100\t871\t306.5\t6\t5\t13\t05\t1\t0\t1\t0\r\n"
          "T\t150\t\t\t\t\t\t\t\t\t\t\tlink down\r\n"
          "T\t200\t1023\t360.0\t8\t?\t255\tFF\t1\t1\t1\t1\r\n";
    const std::string saved[] = {
        // Saved as Unicode text: UTF-16 of either byte order, fields split by tabs, and without
        // its byte order mark.
        Utf16(tabs, false),
        Utf16(tabs, true),
        ToUtf16(tabs, false),
        ToUtf16(tabs, true),
        // Every row as wide as the widest (the markers), texts quoted, leading zeros of the bits
        // dropped.
        "\"time\",\"ms\",\"adc\",\"angle_deg\",\"gear_index\",\"gear\",\"analog_input\","
        "\"status_hex\",\"upshift_trigger\",\"downshift_trigger\",\"engine_cut\",\"throttle_blip\","
        "\n"
        "T,0,,,,,,,,,,,\"logging started, profile Kart 7\"\n"
        "T,0,102,35.9,1,N,0,0,0,0,0,0,\n"
        "T,100,871,306.5,6,5,13,5,1,0,1,0,\n"
        "T,150,,,,,,,,,,,\"link down\"\n"
        "T,200,1023,360.0,8,?,255,FF,1,1,1,1,\n",
        // A decimal-comma locale: byte order mark, semicolons, CR LF.
        "\xEF\xBB\xBFtime;ms;adc;angle_deg;gear_index;gear;analog_input;status_hex;"
        "upshift_trigger;downshift_trigger;engine_cut;throttle_blip\r\n"
        "T;0;;;;;;;;;;;logging started, profile Kart 7\r\n"
        "T;0;102;35,9;1;N;0;00;0;0;0;0\r\n"
        "T;100;871;306,5;6;5;13;05;1;0;1;0\r\n"
        "T;150;;;;;;;;;;;link down\r\n"
        "T;200;1023;360,0;8;?;255;FF;1;1;1;1\r\n",
        // Written by an earlier build under a decimal-comma locale: each angle split in two.
        "time,ms,adc,angle_deg,gear_index,gear,analog_input,status_hex,upshift_trigger,"
        "downshift_trigger,engine_cut,throttle_blip\n"
        "T,0,,,,,,,,,,,\"logging started, profile Kart 7\"\n"
        "T,0,102,35,9,1,N,0,00,0,0,0,0\n"
        "T,100,871,306,5,6,5,13,05,1,0,1,0\n"
        "T,150,,,,,,,,,,,link down\n"
        "T,200,1023,360,0,8,?,255,FF,1,1,1,1\n",
        // Columns moved, the derived ones left out, a column of notes added (also on a marker):
        // read by the heading, the marker's text from the column with none.
        "ms,gear_index,time,adc,note,analog_input,status_hex\n"
        "0,,T,,first run,,,\"logging started, profile Kart 7\"\n"
        "0,1,T,102,,0,0\n"
        "100,6,T,871,\"quick, clean\",13,5\n"
        "150,,T,,,,,link down\n"
        "200,8,T,1023,,255,FF\n",
        // Names in another case or spacing, the marker's column headed, notes beside it.
        "Time;MS; ADC ;gear index;Analog_Input;status_hex;Event;Notes\n"
        "T;0;;;;;logging started, profile Kart 7;new tyres\n"
        "T;0;102;1;0;0;;\n"
        "T;100;871;6;13;05;;quick\n"
        "T;150;;;;;link down;\n"
        "T;200;1023;8;255;FF;;\n",
        // Sorted by the barrel reading, highest first.
        "T,200,1023,360.0,8,?,255,FF,1,1,1,1\n"
        "T,100,871,306.5,6,5,13,05,1,0,1,0\n"
        "T,0,102,35.9,1,N,0,00,0,0,0,0\n"
        "T,150,,,,,,,,,,,link down\n"
        "T,0,,,,,,,,,,,\"logging started, profile Kart 7\"\n",
    };
    for (const std::string &text : saved) {
        std::istringstream file(text);
        const TParsedLog log = ParseLog(file);
        EXPECT_EQ(log.Samples, samples) << text;
        EXPECT_EQ(log.Markers, markers) << text;
        EXPECT_EQ(log.SkippedLines, 0) << text;
    }
    // Sorted by the event column, a transfer's ranges and thresholds follow it again; in the order
    // written, markers of one time keep it.
    const std::vector<std::string> written
        = {"profile opened: a.ini", "ranges 1:1-2@1", "settings read from ECU", "ranges 1:3-4@3",
           "trigger 1 2 3 4"};
    const std::vector<std::string> transfer(written.begin() + 2, written.end());
    const std::vector<std::string> ascending
        = {"ranges 1:3-4@3", "settings read from ECU", "trigger 1 2 3 4"};
    const std::vector<std::string> descending
        = {"trigger 1 2 3 4", "settings read from ECU", "ranges 1:3-4@3"};
    for (const auto &[rows, expected] :
         {std::pair {written, written}, std::pair {ascending, transfer},
          std::pair {descending, transfer}}) {
        std::string text = "T,50,1,0.4,1,N,0,0,0,0,0,0\n";
        for (const std::string &event : rows)
            text += FormatMarkerRow("T", 100, event) + '\n';
        if (rows != written)
            text += "T,60,1,0.4,1,N,0,0,0,0,0,0\n";
        std::istringstream file(text);
        std::vector<std::string> events;
        for (const TLogMarker &m : ParseLog(file).Markers)
            events.push_back(m.Event);
        EXPECT_EQ(events, expected) << text;
    }

    // A heading that lacks a raw column (renamed), or a marker row holding two texts, reads no
    // row.
    std::istringstream lacking("time,ms,adc,angle_deg,gear_index,gear,analog_input,status,"
                               "upshift_trigger,downshift_trigger,engine_cut,throttle_blip\n"
                               "T,0,102,35.9,1,N,0,00,0,0,0,0\n"
                               "T,0,,,,,,,,,,,a,b\n");
    const TParsedLog none = ParseLog(lacking);
    EXPECT_TRUE(none.Samples.empty());
    EXPECT_TRUE(none.Markers.empty());
    EXPECT_EQ(none.SkippedLines, 2);
    EXPECT_EQ(none.MissingColumns, std::vector<std::string> {"status_hex"});
}

// Two runs' logs joined into one file: each counts its ms from its own start.
TEST(DataLog, LogsJoinedIntoOneFileReadOneAfterTheOther)
{
    const auto run = [](std::int64_t lastMs, std::uint16_t adc) {
        return std::string(kDataLogHeader) + "\n" + FormatMarkerRow("T", 0, "logging started")
            + "\n" + FormatSampleRow("T", {0, adc, 1, 0, 0}) + "\n"
            + FormatSampleRow("T", {lastMs, static_cast<std::uint16_t>(adc + 1), 1, 0, 0}) + "\n";
    };
    std::istringstream joined(run(300, 100) + run(200, 700) + run(100, 900));
    const TParsedLog log = ParseLog(joined);
    const std::vector<TLogSample> samples
        = {{0, 100, 1, 0, 0},    {300, 101, 1, 0, 0},  {1300, 700, 1, 0, 0},
           {1500, 701, 1, 0, 0}, {2500, 900, 1, 0, 0}, {2600, 901, 1, 0, 0}};
    EXPECT_EQ(log.Samples, samples);
    ASSERT_EQ(log.Markers.size(), 3u);
    EXPECT_EQ(log.Markers[1].Ms, 1300);
    EXPECT_EQ(log.SkippedLines, 0);

    // A run that would go beyond the largest time is not read.
    std::istringstream far(run(kLogMsMax - kRunGapMs / 2, 100) + run(0, 700));
    const TParsedLog last = ParseLog(far);
    EXPECT_EQ(last.Samples.size(), 2u);
    EXPECT_EQ(last.Samples.back().Ms, kLogMsMax - kRunGapMs / 2);
    EXPECT_EQ(last.SkippedLines, 3);
}

TEST(DataLog, ParserRefusesWhatIsNotACompleteRow)
{
    const char *bad[] = {
        "",
        "time,ms,adc,angle_deg,gear_index,gear,analog_input,status_hex,upshift_trigger,"
        "downshift_trigger,engine_cut,throttle_blip",
        "T,100,1023,360.0,1,N,255,05,1,0,1", // eleven columns
        "T,1x0,1023,360.0,1,N,255,05,1,0,1,0", // ms not a number
        "T,,1023,360.0,1,N,255,05,1,0,1,0",
        "T,-1,1023,360.0,1,N,255,05,1,0,1,0", // ms outside 0..2^40
        "T,1099511627777,1023,360.0,1,N,255,05,1,0,1,0",
        "T,9223372036854775807,,,,,,,,,,,link up",
        "T,100,1024,360.4,1,N,255,05,1,0,1,0", // adc beyond a full turn
        "T,100,-1,360.0,1,N,255,05,1,0,1,0",
        "T,100,1023,360.0,256,N,255,05,1,0,1,0", // gear beyond a byte
        "T,100,1023,360.0,1,N,256,05,1,0,1,0", // analogue beyond a byte
        "T,100,1023,360.0,1,N,255,1G,1,0,1,0", // status not hexadecimal
        "T,100,1023,360.0,1,N,255,100,1,0,1,0",
        "T,42,,,,,,,,,,,", // marker without text
        "T,42,,,,,,,,,,,\"open", // quote never closed
        "T,42,5,,,,,,,,,,link up", // marker with a data column
        "T,42,,,,,,,,,,,link up,extra",
        "T,100,1023,360.0,1,N,255,05,1,0,1,0,x", // data row with an event
        "T,100,1023,360,x,1,N,255,05,1,0,1,0", // an angle split, but not into digits
    };
    for (const char *line : bad) {
        TLogRow row;
        EXPECT_FALSE(ParseLogRow(line, row)) << line;
    }
    // Accepted forms: a 0x prefix on the bits and a CR line end.
    TLogRow row;
    ASSERT_TRUE(ParseLogRow("T,100,1023,x,1,N,255,0x0b,,,,\r", row));
    EXPECT_EQ(row.Sample, (TLogSample {100, 1023, 1, 255, 0x0B}));
    ASSERT_TRUE(ParseLogRow("T,1099511627776,0,x,0,N,0,0,,,,", row));
    EXPECT_EQ(row.Sample.Ms, std::int64_t {1} << 40);
}

// A file that is no log may hold no line end at all: no line is held longer than any row.
TEST(DataLog, ALineLongerThanAnyRowIsSkippedAndTheRowsAfterItRead)
{
    const std::string marker = "T,5,,,,,,,,,,,";
    const std::string longest = marker + std::string(kMaxLogLine - marker.size(), 'x');
    const std::string over = marker + std::string(kMaxLogLine + 1 - marker.size(), 'y');
    std::istringstream in(longest + "\n" + over + "\nT,100,1023,x,1,N,255,0b,,,,\n"
                          + std::string(3 * kMaxLogLine, 'z'));
    const TParsedLog log = ParseLog(in);
    ASSERT_EQ(log.Markers.size(), 1u);
    EXPECT_EQ(log.Markers[0].Event, longest.substr(marker.size()));
    ASSERT_EQ(log.Samples.size(), 1u);
    EXPECT_EQ(log.Samples[0].Adc, 1023);
    EXPECT_EQ(log.SkippedLines, 2);
}

TEST(DataLog, TimeIsLocalIso8601WithMilliseconds)
{
    std::tm local {};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 4;
    local.tm_hour = 5;
    local.tm_min = 6;
    local.tm_sec = 7;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local))
        + std::chrono::milliseconds(89);
    EXPECT_EQ(FormatLogTime(when), kTime);
    EXPECT_EQ(FormatLogTime(when + std::chrono::milliseconds(911)), "2026-03-04T05:06:08.000");
}

// A long log of Unicode text: a character outside the first plane read whole wherever the reader's
// chunks end, also in its two halves.
TEST(DataLog, ALongUnicodeTextLogReadsCharactersAcrossChunks)
{
    const std::string flag = "\xF0\x9F\x8F\x81"; // two UTF-16 units
    std::string rows = std::string(kDataLogHeader) + "\n";
    for (int i = 0; rows.size() < 32600; ++i) // the first chunk ends within the marker
        rows += FormatSampleRow(kTime, {i, 100, 1, 0, 0}) + "\n";
    for (int pad = 0; pad < 200; ++pad) {
        const std::string event = std::string(static_cast<std::size_t>(pad), 'x') + flag + "end";
        std::istringstream file(Utf16(rows + FormatMarkerRow(kTime, 90000, event) + "\n", pad % 2));
        const TParsedLog log = ParseLog(file);
        ASSERT_EQ(log.Markers.size(), 1u) << pad;
        EXPECT_EQ(log.Markers[0].Event, event) << pad;
        EXPECT_EQ(log.SkippedLines, 0) << pad;
    }
}
