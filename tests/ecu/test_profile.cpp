#include "iniFile.h"
#include "profile.h"
#include "textFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

using TEntry = std::tuple<std::string, std::string, std::string>; // section, key, value

// Every key of the file in file order, as an INI reader sees it.
std::vector<TEntry> EntriesOf(const std::string &text)
{
    std::vector<TEntry> entries;
    std::istringstream in(text);
    std::string line;
    std::string section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const auto eq = line.find('=');
        entries.emplace_back(section, line.substr(0, eq), line.substr(eq + 1));
    }
    return entries;
}

std::vector<TEntry> SectionOf(const std::vector<TEntry> &entries, const std::string &section)
{
    std::vector<TEntry> out;
    for (const TEntry &e : entries) {
        if (std::get<0>(e) == section) {
            out.push_back(e);
        }
    }
    return out;
}

class Profile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "orbanel-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path File(const std::string &name = "car.ini") const { return dir_ / name; }

    // Files of the folder other than the named profile: a save must leave no temporary behind.
    std::vector<std::string> Others(const std::string &name = "car.ini") const
    {
        std::vector<std::string> others;
        for (const auto &entry : fs::directory_iterator(dir_)) {
            if (entry.path().filename() != name) {
                others.push_back(entry.path().filename().string());
            }
        }
        std::sort(others.begin(), others.end());
        return others;
    }

    fs::path dir_;
};

TEST_F(Profile, DefaultsAreWrittenOnFirstSaveKeyByKey)
{
    TEcu ecu;
    LoadDefaults(ecu);
    ASSERT_TRUE(WriteProfile(File(), ecu));
    const auto entries = EntriesOf(ReadText(File()));

    std::vector<TEntry> expected = {
        {"vehicle", "fwdgears", "2"},
        {"vehicle", "ranges", "8"},
        {"vehicle", "gearthresholdupper", "78"},
        {"vehicle", "gearthresholdlower", "69"},
        {"vehicle", "gearshifttype", "1"},
        {"vehicle", "debounce", "1"},
        {"vehicle", "ignore", "125"},
        {"vehicle", "bliptimeout", "125"},
        {"vehicle", "barrelthreshold", "14"},
        {"vehicle", "cutafterblip", "0"},
        {"vehicle", "usecutafterblip", "0"},
    };
    const int adcs[] = {84, 228, 340, 452, 572, 700, 824, 940};
    for (int n = 0; n < 8; ++n) {
        const std::string s = "range" + std::to_string(n);
        expected.emplace_back(s, "gear", std::to_string(n));
        expected.emplace_back(s, "lower", std::to_string(adcs[n] - 14));
        expected.emplace_back(s, "upper", std::to_string(adcs[n] + 14));
        expected.emplace_back(s, "adc", std::to_string(adcs[n]));
    }
    for (const auto &[key, value] :
         std::vector<std::pair<std::string, std::string>> {{"R", "0"},
                                                           {"N", "0"},
                                                           {"1", "125"},
                                                           {"2", "115"},
                                                           {"3", "100"},
                                                           {"4", "90"},
                                                           {"5", "80"},
                                                           {"6", "70"},
                                                           {"timeout", "100"}}) {
        expected.emplace_back("sparkdelays", key, value);
    }
    expected.emplace_back("feedback", "flags", "0");
    expected.emplace_back("feedback", "window", "5");
    // The section of the cut durations comes before "feedback"; "timeout" joins it at the end.
    std::vector<TEntry> ordered;
    for (const std::string section : {"vehicle", "range0", "range1", "range2", "range3", "range4",
                                      "range5", "range6", "range7", "sparkdelays", "feedback"}) {
        for (const TEntry &e : SectionOf(expected, section)) {
            ordered.push_back(e);
        }
    }
    EXPECT_EQ(entries, ordered);
    EXPECT_TRUE(Others().empty());
}

TEST_F(Profile, LoadDefaultsSetsFactoryValuesAndLeavesTheRest)
{
    TEcu ecu;
    ecu.UseFeedback = true;
    ecu.SparkDelays[0] = 7;
    ecu.SparkDelays[8] = 9;
    ecu.Positions[9].Adc = 33;
    ecu.Ranges.Add().Gear = 3;
    LoadDefaults(ecu);
    EXPECT_EQ(ecu.PositionCount, 8);
    EXPECT_EQ(std::tie(ecu.GearShiftType, ecu.GearThresholdUpper, ecu.GearThresholdLower,
                       ecu.Debounce, ecu.Ignore, ecu.BarrelThreshold, ecu.BlipTimeout,
                       ecu.CutAfterBlip, ecu.FeedbackWindow, ecu.SparkCutTimeout),
              std::make_tuple(1, 78, 69, 1, 125, 14, 125, 0, 5, 100));
    EXPECT_TRUE(ecu.UseFeedback);
    EXPECT_EQ(ecu.SparkDelays[0], 7);
    EXPECT_EQ(ecu.SparkDelays[8], 9);
    EXPECT_EQ(ecu.Positions[9].Adc, 33);
    ASSERT_EQ(ecu.Ranges.Count(), 8);
    EXPECT_EQ(ecu.Ranges.Items(7).Adc, 940);
    EXPECT_EQ(ecu.Ranges.Items(7).Lower, 926);
    EXPECT_EQ(ecu.Ranges.Items(7).Upper, 954);
    EXPECT_FALSE(ecu.Ranges.Items(7).Sampled);
    EXPECT_EQ(ecu.Positions[6].Adc, 824);
}

TEST_F(Profile, EveryValueSurvivesARoundTrip)
{
    for (const int positions : {6, 7, 8, 9}) {
        TEcu ecu;
        ecu.SetPositionCount(positions);
        ecu.GearShiftType = 2;
        ecu.GearThresholdUpper = 201;
        ecu.GearThresholdLower = 3;
        ecu.BarrelThreshold = 28;
        ecu.Debounce = 25;
        ecu.Ignore = 250;
        ecu.UseFeedback = true;
        ecu.UseCutAfterBlip = positions % 2 == 0;
        ecu.FeedbackWindow = 15;
        ecu.SparkCutTimeout = 1000;
        ecu.BlipTimeout = 7;
        ecu.CutAfterBlip = 100;
        for (int i = 0; i < positions; ++i) {
            ecu.SparkDelays[static_cast<std::size_t>(i)] = 10 * i + 1;
        }
        // Ranges as the calibration leaves them, including one with Lower above Upper.
        for (int n = 0; n < 10; ++n) {
            TGearData &r = ecu.Ranges.Add();
            r.Gear = static_cast<std::uint8_t>(n % positions);
            r.Adc = static_cast<std::uint16_t>(100 * n + 5);
            r.Lower = 100 * n - 9;
            r.Upper = n == 9 ? 12 : 100 * n + 20;
        }
        ASSERT_TRUE(WriteProfile(File(), ecu));

        TEcu back;
        for (auto &d : back.SparkDelays) {
            d = -1;
        }
        ReadProfile(File().string(), back);
        SCOPED_TRACE(positions);
        EXPECT_EQ(std::tie(back.PositionCount, back.GearShiftType, back.GearThresholdUpper,
                           back.GearThresholdLower, back.BarrelThreshold, back.Debounce,
                           back.Ignore, back.UseFeedback, back.UseCutAfterBlip, back.FeedbackWindow,
                           back.SparkCutTimeout, back.BlipTimeout, back.CutAfterBlip),
                  std::tie(ecu.PositionCount, ecu.GearShiftType, ecu.GearThresholdUpper,
                           ecu.GearThresholdLower, ecu.BarrelThreshold, ecu.Debounce, ecu.Ignore,
                           ecu.UseFeedback, ecu.UseCutAfterBlip, ecu.FeedbackWindow,
                           ecu.SparkCutTimeout, ecu.BlipTimeout, ecu.CutAfterBlip));
        for (int i = 0; i < kPositionSlots; ++i) {
            EXPECT_EQ(back.SparkDelays[static_cast<std::size_t>(i)],
                      i < positions ? 10 * i + 1 : -1)
                << i;
        }
        ASSERT_EQ(back.Ranges.Count(), 10);
        for (int n = 0; n < 10; ++n) {
            const TGearData &a = ecu.Ranges.Items(n);
            const TGearData &b = back.Ranges.Items(n);
            EXPECT_EQ(std::tie(a.Gear, a.Adc, a.Lower, a.Upper),
                      std::tie(b.Gear, b.Adc, b.Lower, b.Upper))
                << n;
            EXPECT_FALSE(b.Sampled);
        }
        // The last range of each gear gives its position.
        for (int n = 0; n < 10; ++n) {
            const TGearData &r = ecu.Ranges.Items(n);
            bool later = false;
            for (int m = n + 1; m < 10; ++m) {
                later = later || ecu.Ranges.Items(m).Gear == r.Gear;
            }
            if (!later) {
                EXPECT_EQ(back.Positions[r.Gear].Adc, r.Adc) << "gear " << int {r.Gear};
            }
        }
    }
}

// Lines joined with a line end; the last one gets none unless finalEnd.
std::string Joined(const std::vector<std::string> &lines, const std::string &end, bool finalEnd)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() || finalEnd) {
            text += end;
        }
    }
    return text;
}

std::vector<std::string> LinesOf(const std::string &text)
{
    const char end = text.find('\n') == std::string::npos ? '\r' : '\n';
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find(end, start);
        const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
        lines.push_back(text.substr(start, end - start)); // with its line end
        start = end;
    }
    return lines;
}

TEST_F(Profile, AHandEditedFileChangesOnlyInTheToolsLines)
{
    const std::vector<std::string> original = {
        "; Kestrova profile, car 7",
        "owner=nobody's",
        "[owner]",
        "name=A",
        "name=B",
        "a note without an equals sign",
        "",
        "[Vehicle]",
        "  FwdGears = 3",
        "colour=red",
        "fwdgears=9",
        "ranges=2 ; two",
        "",
        "[range0]",
        "; sampled at the track",
        "gear=9",
        "tolerance=4",
        "lower=1",
        "upper=2",
        "adc=3",
        "[range1]",
        "gear=1",
        "lower=110",
        "upper=130",
        "adc=120",
        "[range5]",
        "gear=5",
        "[range10]",
        "gear=9",
        "[sparkdelays]",
        "R=5",
        "7=44",
        "x=45",
        "foo=bar",
        "R=6",
        "timeout=300",
        "[feedback]",
        "; tuned at the track",
        "window=9",
        "[vehicle]",
        "fwdgears=1",
        "[range0]",
        "gear=7",
        "; end of file",
    };
    const std::vector<std::string> expected = {
        "; Kestrova profile, car 7",
        "owner=nobody's",
        "[owner]",
        "name=A",
        "name=B",
        "a note without an equals sign",
        "",
        "[Vehicle]",
        "  FwdGears = 0", // in place, its spelling and spacing kept
        "colour=red",
        "fwdgears=9", // a later duplicate: not the tool's
        "ranges=3",
        "gearthresholdupper=0", // missing keys follow the section's last setting
        "gearthresholdlower=0",
        "gearshifttype=0",
        "debounce=0",
        "ignore=0",
        "bliptimeout=0",
        "barrelthreshold=0",
        "cutafterblip=0",
        "usecutafterblip=0",
        "",
        "[range0]", // written again where it was, so it stays the first range0
        "; sampled at the track",
        "gear=0",
        "lower=90",
        "upper=110",
        "adc=100",
        "[range1]",
        "gear=1",
        "lower=91",
        "upper=111",
        "adc=101",
        "[range10]",
        "gear=9",
        "[sparkdelays]",
        "R=0",
        "foo=bar",
        "R=6",
        "timeout=1000", // as its trackbar limits it
        "N=0",
        "1=0",
        "2=0",
        "3=0",
        "4=0",
        "[feedback]",
        "; tuned at the track",
        "window=0",
        "flags=0",
        "[vehicle]",
        "fwdgears=1",
        "[range0]",
        "gear=7",
        "; end of file", // gets a line end, as the new section follows it
        "[range2]",
        "gear=2",
        "lower=92",
        "upper=112",
        "adc=102",
    };
    TEcu ecu;
    ecu.SetPositionCount(6);
    for (int n = 0; n < 3; ++n) {
        TGearData &r = ecu.Ranges.Add();
        r.Gear = static_cast<std::uint8_t>(n);
        r.Adc = static_cast<std::uint16_t>(100 + n);
        r.Lower = 90 + n;
        r.Upper = 110 + n;
    }
    ecu.SparkCutTimeout = 5000;

    // CR alone: an old Mac editor's file, read by its lines and saved with their ends.
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(end == "\n" ? "LF" : end == "\r" ? "CR" : "CR LF");
        WriteText(File(), Joined(original, end, false));
        ASSERT_TRUE(WriteProfile(File(), ecu));
        EXPECT_EQ(LinesOf(ReadText(File())), LinesOf(Joined(expected, end, true)));
        EXPECT_TRUE(Others().empty());

        // What the tool wrote reads back, and a second save changes nothing.
        TEcu back;
        ReadProfile(File().string(), back);
        EXPECT_EQ(back.PositionCount, 6);
        ASSERT_EQ(back.Ranges.Count(), 3);
        EXPECT_EQ(back.Ranges.Items(0).Adc, 100);
        EXPECT_EQ(back.SparkCutTimeout, 1000);
        const std::string once = ReadText(File());
        ASSERT_TRUE(WriteProfile(File(), back));
        EXPECT_EQ(ReadText(File()), once);
    }
}

TEST_F(Profile, UnchangedValuesLeaveTheirLinesByteForByte)
{
    // Blanks around a value the tool would write the same way stay, as does a byte order mark.
    const std::string text = "\xEF\xBB\xBF[vehicle]\r\nfwdgears = 2 \r\nranges=0\n";
    WriteText(File(), text);
    TEcu ecu;
    ecu.SetPositionCount(8);
    ASSERT_TRUE(WriteProfile(File(), ecu));
    const std::string saved = ReadText(File());
    EXPECT_EQ(saved.substr(0, text.size()), text);
    // New lines take the first line's line end.
    EXPECT_EQ(saved.substr(text.size(), 22), "gearthresholdupper=0\r\n");
}

// UTF-16 text as its bytes, in either order.
std::string Utf16Bytes(const std::u16string &text, bool bigEndian)
{
    std::string bytes;
    for (const char16_t unit : text) {
        const char hi = static_cast<char>(unit >> 8);
        const char lo = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
    return bytes;
}

TEST_F(Profile, AUtf16ProfileIsReadAndSavedInUtf16)
{
    const std::u16string head = u"\uFEFF; K\u00e4rt 7 \U0001F3C1\r\n[vehicle]\r\nfwdgears=2\r\n";
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        WriteText(File(), Utf16Bytes(head + u"Debounce = 12\r\n", bigEndian));
        TEcu ecu;
        LoadDefaults(ecu);
        ASSERT_EQ(ReadProfile(File().string(), ecu), TDiskRead::Loaded);
        EXPECT_EQ(ecu.Debounce, 12);
        ecu.Debounce = 9;
        ASSERT_TRUE(WriteProfile(File(), ecu));
        const std::string saved = ReadText(File());
        EXPECT_TRUE(
            saved.starts_with(Utf16Bytes(head + u"Debounce = 9\r\nranges=0\r\n", bigEndian)));
        TEcu back;
        ASSERT_EQ(ReadProfile(File().string(), back), TDiskRead::Loaded);
        EXPECT_EQ(back.Debounce, 9);
        EXPECT_EQ(back.GearThresholdUpper, ecu.GearThresholdUpper);
    }

    // Whatever a UTF-16 file holds comes back byte for byte: a surrogate without its pair, one
    // before an ordinary character, a last odd byte.
    for (const std::string &bytes : {
             std::string("\xFF\xFE"
                         "a\0"
                         "\x00\xD8",
                         6),
             std::string("\xFF\xFE"
                         "\x3D\xD8"
                         "a\0"
                         "\x00\xDC"
                         "=\0",
                         10),
             std::string("\xFE\xFF"
                         "\0["
                         "\0a"
                         "\0]"
                         "\n",
                         9),
         }) {
        EXPECT_EQ(TIniFile(bytes).Text(), bytes);
    }
}

TEST_F(Profile, SavingKeepsTheFilesPermissions)
{
    WriteText(File(), "[vehicle]\n");
    fs::permissions(File(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    TEcu ecu;
    LoadDefaults(ecu);
    ASSERT_TRUE(WriteProfile(File(), ecu));
    EXPECT_EQ(fs::status(File()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(Profile, AReadOnlyProfileIsRefusedAndLeftAlone)
{
    // The permission bits decide, also for root, whom the system itself would let write.
    WriteText(File(), "[vehicle]\nfwdgears=1\n");
    fs::permissions(File(), fs::perms::owner_read | fs::perms::group_read);
    TEcu ecu;
    LoadDefaults(ecu);
    EXPECT_FALSE(WriteProfile(File(), ecu));
    EXPECT_EQ(ReadText(File()), "[vehicle]\nfwdgears=1\n");
    EXPECT_EQ(fs::status(File()).permissions(), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_TRUE(Others().empty());

    // One write bit is enough.
    fs::permissions(File(), fs::perms::owner_read | fs::perms::others_write);
    EXPECT_EQ(WriteProfile(File(), ecu), ::geteuid() == 0);
}

TEST_F(Profile, SavingThroughASymbolicLinkWritesItsTarget)
{
    fs::create_directory(dir_ / "real");
    WriteText(dir_ / "real" / "car.ini", "; mine\n");
    fs::create_symlink(fs::path("real") / "car.ini", File());
    // A link to a file not made yet makes it there.
    fs::create_symlink(fs::path("real") / "new.ini", File("new.ini"));
    TEcu ecu;
    LoadDefaults(ecu);
    for (const std::string name : {"car.ini", "new.ini"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteProfile(File(name), ecu));
        EXPECT_TRUE(fs::is_symlink(File(name)));
        const std::string text = ReadText(dir_ / "real" / name);
        EXPECT_NE(text.find("fwdgears=2"), std::string::npos);
        EXPECT_EQ(text.starts_with("; mine\n"), name == "car.ini");
    }
    EXPECT_EQ(Others(), (std::vector<std::string> {"new.ini", "real"}));
    std::vector<std::string> real;
    for (const auto &entry : fs::directory_iterator(dir_ / "real")) {
        real.push_back(entry.path().filename().string());
    }
    std::sort(real.begin(), real.end());
    EXPECT_EQ(real, (std::vector<std::string> {"car.ini", "new.ini"}));
}

struct TReadRow
{
    const char *Name;
    std::string Text; // file content; empty: no file at all
    std::function<void(const TEcu &)> Check;
};

void PrintTo(const TReadRow &row, std::ostream *os)
{
    *os << row.Name;
}

class ProfileRead : public Profile, public ::testing::WithParamInterface<TReadRow>
{
};

TEST_P(ProfileRead, ReadsTheModel)
{
    if (!GetParam().Text.empty()) {
        WriteText(File(), GetParam().Text);
    }
    TEcu ecu;
    ecu.Ranges.Add().Gear = 2; // replaced by the file's ranges
    for (int i = 0; i < kPositionSlots; ++i) {
        ecu.SparkDelays[static_cast<std::size_t>(i)] = 99;
        ecu.Positions[static_cast<std::size_t>(i)].Adc = 500;
    }
    ASSERT_NE(ReadProfile(File().string(), ecu), TDiskRead::Failed);
    GetParam().Check(ecu);
}

void ExpectReaderDefaults(const TEcu &ecu)
{
    EXPECT_EQ(ecu.PositionCount, 6);
    EXPECT_EQ(ecu.Ranges.Count(), 0);
    EXPECT_EQ(std::tie(ecu.GearThresholdUpper, ecu.GearThresholdLower, ecu.GearShiftType,
                       ecu.Debounce, ecu.Ignore, ecu.BlipTimeout, ecu.BarrelThreshold,
                       ecu.CutAfterBlip, ecu.FeedbackWindow, ecu.SparkCutTimeout),
              std::make_tuple(144, 112, 0, 0, 0, 100, 5, 0, 5, 100));
    EXPECT_FALSE(ecu.UseCutAfterBlip);
    EXPECT_FALSE(ecu.UseFeedback);
    EXPECT_EQ(ecu.SparkDelays[0], 99); // missing letters leave the entries alone
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileRead,
    ::testing::Values(
        TReadRow {"MissingFileReadsAsEmptyProfile", "", ExpectReaderDefaults},
        TReadRow {"EmptySectionsReadAsDefaults", "[vehicle]\n[feedback]\n[sparkdelays]\n",
                  ExpectReaderDefaults},
        TReadRow {"NonIntegersReadAsDefaults",
                  "[vehicle]\nfwdgears=two\nranges=3x\ngearthresholdupper=1.5\n"
                  "gearthresholdlower=\nbliptimeout=0x10\nbarrelthreshold=99999999999\n"
                  "usecutafterblip=yes\n[feedback]\nflags=true\nwindow=- 3\n"
                  "[sparkdelays]\nR=fast\ntimeout=1e3\n",
                  ExpectReaderDefaults},
        TReadRow {"FwdGearsSevenClampsToNine", "[vehicle]\nfwdgears=7\n",
                  [](const TEcu &e) { EXPECT_EQ(e.PositionCount, 9); }},
        TReadRow {"FwdGearsMinusThreeClampsToSix", "[vehicle]\nfwdgears=-3\n",
                  [](const TEcu &e) { EXPECT_EQ(e.PositionCount, 6); }},
        TReadRow {"FwdGearsExtremeDoesNotOverflow", "[vehicle]\nfwdgears=2147483647\n",
                  [](const TEcu &e) { EXPECT_EQ(e.PositionCount, 9); }},
        TReadRow {"FwdGearsTwoIsEightPositions", "[vehicle]\nfwdgears= 2 \n",
                  [](const TEcu &e) { EXPECT_EQ(e.PositionCount, 8); }},
        TReadRow {"KeysAndSectionsMatchWithoutCase",
                  "[VEHICLE]\nFWDGEARS=3\nBarrelThreshold=20\n[Feedback]\nFLAGS=1\n"
                  "[SparkDelays]\nr=11\nn=12\nX=13\nTimeOut=250\n",
                  [](const TEcu &e) {
                      EXPECT_EQ(e.PositionCount, 9);
                      EXPECT_EQ(e.BarrelThreshold, 20);
                      EXPECT_TRUE(e.UseFeedback);
                      EXPECT_EQ(e.SparkDelays[0], 11);
                      EXPECT_EQ(e.SparkDelays[1], 12);
                      EXPECT_EQ(e.SparkDelays[9], 99); // x is beyond the nine positions
                      EXPECT_EQ(e.SparkCutTimeout, 250);
                  }},
        TReadRow {"FirstKeyAndFirstSectionWin",
                  "fwdgears=1\n[vehicle]\nfwdgears=3\nfwdgears=2\n[sparkdelays]\nR=11\n"
                  "[Vehicle]\nbarrelthreshold=20\n[sparkdelays]\nR=12\nN=13\n",
                  [](const TEcu &e) {
                      EXPECT_EQ(e.PositionCount, 9);
                      EXPECT_EQ(e.BarrelThreshold, 5);
                      EXPECT_EQ(e.SparkDelays[0], 11);
                      EXPECT_EQ(e.SparkDelays[1], 99);
                  }},
        TReadRow {"AnyNonZeroIntegerIsTrue", "[vehicle]\nusecutafterblip=2\n[feedback]\nflags=-1\n",
                  [](const TEcu &e) {
                      EXPECT_TRUE(e.UseCutAfterBlip);
                      EXPECT_TRUE(e.UseFeedback);
                  }},
        TReadRow {"ZeroIsFalse", "[vehicle]\nusecutafterblip=0\n[feedback]\nflags=+0\n",
                  [](const TEcu &e) {
                      EXPECT_FALSE(e.UseCutAfterBlip);
                      EXPECT_FALSE(e.UseFeedback);
                  }},
        TReadRow {"ValuesAreNotLimited",
                  "[vehicle]\ngearthresholdupper=-40\nignore=100000\n[feedback]\nwindow=90\n"
                  "[sparkdelays]\ntimeout=5000\n1=-7\n",
                  [](const TEcu &e) {
                      EXPECT_EQ(e.GearThresholdUpper, -40);
                      EXPECT_EQ(e.Ignore, 100000);
                      EXPECT_EQ(e.FeedbackWindow, 90);
                      EXPECT_EQ(e.SparkCutTimeout, 5000);
                      EXPECT_EQ(e.SparkDelays[2], -7);
                  }},
        TReadRow {"MoreRangesThanSectionsGiveZeroRanges",
                  "[vehicle]\nranges=3\n[range0]\ngear=4\nlower=1\nupper=900\nadc=300\n",
                  [](const TEcu &e) {
                      ASSERT_EQ(e.Ranges.Count(), 3);
                      EXPECT_EQ(e.Ranges.Items(0).Upper, 900);
                      EXPECT_EQ(e.Positions[4].Adc, 300);
                      for (int n = 1; n < 3; ++n) {
                          const TGearData &r = e.Ranges.Items(n);
                          EXPECT_EQ(std::tie(r.Gear, r.Lower, r.Upper, r.Adc),
                                    std::make_tuple(0, 0, 0, 0));
                      }
                      EXPECT_EQ(e.Positions[0].Adc, 0); // the zero range of gear 0 sets it
                  }},
        TReadRow {"RangeFieldsNarrowedAndHighGearsKept",
                  "[vehicle]\nranges=3\n"
                  "[range0]\ngear=257\nadc=70000\nlower=-5\nupper=2000000\n"
                  "[range1]\ngear=200\nadc=7\n"
                  "[range2]\ngear=10\nadc=8\n",
                  [](const TEcu &e) {
                      ASSERT_EQ(e.Ranges.Count(), 3);
                      EXPECT_EQ(e.Ranges.Items(0).Gear, 1);
                      EXPECT_EQ(e.Ranges.Items(0).Adc, 70000 - 65536);
                      EXPECT_EQ(e.Ranges.Items(0).Lower, -5);
                      EXPECT_EQ(e.Ranges.Items(0).Upper, 2000000);
                      EXPECT_EQ(e.Positions[1].Adc, 70000 - 65536);
                      EXPECT_EQ(e.Ranges.Items(1).Gear, 200); // kept, no position to update
                      EXPECT_EQ(e.Positions[10].Adc, 8);
                      for (int i : {0, 2, 9}) {
                          EXPECT_EQ(e.Positions[static_cast<std::size_t>(i)].Adc, 500) << i;
                      }
                  }},
        TReadRow {"NegativeRangeCountReadsNone", "[vehicle]\nranges=-5\n",
                  [](const TEcu &e) { EXPECT_EQ(e.Ranges.Count(), 0); }},
        TReadRow {"AbsurdRangeCountIsCapped", "[vehicle]\nranges=2147483647\n",
                  [](const TEcu &e) { EXPECT_EQ(e.Ranges.Count(), 256); }},
        TReadRow {"OnlyLettersOfPositionsInUseAreRead",
                  "[vehicle]\nfwdgears=0\n[sparkdelays]\nR=1\nN=2\n1=3\n4=6\n5=7\n6=8\n",
                  [](const TEcu &e) {
                      EXPECT_EQ(e.SparkDelays[0], 1);
                      EXPECT_EQ(e.SparkDelays[1], 2);
                      EXPECT_EQ(e.SparkDelays[2], 3);
                      EXPECT_EQ(e.SparkDelays[3], 99); // "2" missing: unchanged
                      EXPECT_EQ(e.SparkDelays[5], 6);
                      EXPECT_EQ(e.SparkDelays[6], 99); // "5" is beyond six positions
                  }}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(Profile, UnreadableOrUnreplaceableTargetFailsAndChangesNothing)
{
    TEcu ecu;
    LoadDefaults(ecu);

    // A folder that does not exist.
    EXPECT_FALSE(WriteProfile((dir_ / "missing" / "car.ini").string(), ecu));
    EXPECT_FALSE(fs::exists(dir_ / "missing"));

    // A path that is a directory holding a file.
    fs::create_directory(File());
    WriteText(File() / "keep.txt", "keep me");
    EXPECT_FALSE(WriteProfile(File().string(), ecu));
    EXPECT_TRUE(fs::is_directory(File()));
    EXPECT_EQ(ReadText(File() / "keep.txt"), "keep me");
    EXPECT_TRUE(Others().empty());

    // Reading such a path fails and leaves the model as it was: a folder is no profile.
    TEcu read;
    read.SetPositionCount(9);
    read.BarrelThreshold = 21;
    EXPECT_EQ(ReadProfile(File().string(), read), TDiskRead::Failed);
    EXPECT_EQ(read.PositionCount, 9);
    EXPECT_EQ(read.BarrelThreshold, 21);
    EXPECT_EQ(read.Ranges.Count(), 0);

#ifdef __linux__
    // A file that is there but answers a read with an I/O error: neither read nor overwritten.
    const std::string mem = "/proc/self/mem";
    EXPECT_EQ(ReadProfile(mem, read), TDiskRead::Failed);
    EXPECT_EQ(read.BarrelThreshold, 21);
    EXPECT_FALSE(WriteProfile(mem, ecu));
#endif

    // Nothing at the path is an empty profile, not an error.
    EXPECT_EQ(ReadProfile((dir_ / "none.ini").string(), read), TDiskRead::Missing);
    EXPECT_EQ(read.PositionCount, 6);
    EXPECT_EQ(read.BarrelThreshold, 5);
}

// A data log or a picture picked by mistake is no profile: read as one it would give the factory
// defaults under its name, ready for the controller. A file of only comments, or with any one of
// the profile's sections, still is one.
TEST_F(Profile, AFileWithoutAnyProfileSectionIsNotReadAsOne)
{
    const std::pair<std::string, bool> rows[] = {
        {"time,ms,adc,angle_deg\n2026-12-09T01:46:47.976,0,,\n", true},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), true},
        {"[notes]\nowner=Kestrova\n", true},
        {"fwdgears=5\n", true}, // a key outside any section
        {"", false},
        {"; kart 7\n\n# to be filled in\n", false},
        {"  [SparkDelays]  \nR=5\n", false},
        {"[range0]\ngear=1\n", false},
        {"[feedback]\n", false},
    };
    for (const auto &[text, foreign] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(IsForeignText(text), foreign);
        WriteText(File(), text);
        TEcu read;
        read.SetPositionCount(9);
        read.BarrelThreshold = 21;
        EXPECT_EQ(ReadProfile(File().string(), read) == TDiskRead::Failed, foreign);
        EXPECT_EQ(read.BarrelThreshold == 21, foreign) << "the model is left as it was";
    }
}

// What a save writes is all a read needs; a key taken out of it is named, unless no up-shift
// uses it (the cut durations of reverse and neutral).
TEST_F(Profile, KeysTheTextLacksAreNamed)
{
    TEcu ecu;
    LoadDefaults(ecu);
    std::vector<std::string> missing;
    TEcu read;
    const std::string saved = ProfileText({}, ecu);
    ReadProfileText(saved, read, nullptr, &missing);
    EXPECT_TRUE(missing.empty());
    std::istringstream lines(saved);
    std::string edited;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("R=", 0) != 0 && line.rfind("N=", 0) != 0 && line.rfind("1=", 0) != 0
            && line.rfind("lower=", 0) != 0)
            edited += line + "\n";
    ReadProfileText(edited, read, nullptr, &missing);
    EXPECT_EQ(missing,
              (std::vector<std::string> {"[range0] lower", "[range1] lower", "[range2] lower",
                                         "[range3] lower", "[range4] lower", "[range5] lower",
                                         "[range6] lower", "[range7] lower", "[sparkdelays] 1"}));
}

TEST_F(Profile, ASecondSaveReplacesTheFirstWhole)
{
    TEcu ecu;
    LoadDefaults(ecu);
    ASSERT_TRUE(WriteProfile(File(), ecu));
    const std::string first = ReadText(File());
    ecu.Ranges.Clear();
    ecu.SetPositionCount(6);
    ASSERT_TRUE(WriteProfile(File(), ecu));
    const auto entries = EntriesOf(ReadText(File()));
    EXPECT_EQ(SectionOf(entries, "range0").size(), 0u);
    EXPECT_EQ(SectionOf(entries, "vehicle")[0], (TEntry {"vehicle", "fwdgears", "0"}));
    EXPECT_EQ(SectionOf(entries, "sparkdelays").size(), 7u); // R, N, 1..4, timeout
    EXPECT_TRUE(Others().empty());

    // Saving the same model again gives the same file.
    const std::string second = ReadText(File());
    ASSERT_TRUE(WriteProfile(File(), ecu));
    EXPECT_EQ(ReadText(File()), second);
    EXPECT_NE(first, second);
}

} // namespace
