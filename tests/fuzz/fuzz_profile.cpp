// Fuzz target of the profile reader and writer: any bytes as a profile file.
// - Read, saved and read again, the file gives the same model (the cut timeout is stored as its
//   trackbar limits it); so does a second save. (A second save may still change the file: each
//   save removes the first of a range section's duplicates when the model does not need it.)
// - Every line the tool does not own is still in the saved file, byte for byte with its line
//   end, in the same order; whatever else the saved file holds is the tool's own sections and
//   keys. The rules of which lines are the tool's are written out here on their own, from the
//   file format, not taken from the writer.

#include "profile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr int kOwnedRangeSections = 10;
constexpr int kMaxSparkCutTimeout = 1000;

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "profile property broken: %s\n", what);
    std::abort();
}

// A folder of this process for the file; in memory where the system offers it.
class TScratch
{
public:
    TScratch()
    {
        std::error_code ec;
        const fs::path base
            = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "orbanel-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            Fail("no scratch folder");
        }
        folder_ = pattern;
    }
    ~TScratch()
    {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    fs::path File() const { return folder_ / "car.ini"; }

private:
    fs::path folder_;
};

std::string ReadText(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path &path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush()) {
        Fail("cannot write the input");
    }
}

auto Scalars(const TEcu &e)
{
    return std::tie(e.PositionCount, e.GearShiftType, e.GearThresholdUpper, e.GearThresholdLower,
                    e.BarrelThreshold, e.Debounce, e.Ignore, e.UseFeedback, e.UseCutAfterBlip,
                    e.FeedbackWindow, e.SparkDelays, e.SparkCutTimeout, e.BlipTimeout,
                    e.CutAfterBlip);
}

auto GearFields(const TGearData &g)
{
    return std::tie(g.Gear, g.Adc, g.Sampled, g.Upper, g.Lower);
}

bool SameModel(const TEcu &a, const TEcu &b)
{
    if (Scalars(a) != Scalars(b) || a.Ranges.Count() != b.Ranges.Count()) {
        return false;
    }
    for (int n = 0; n < a.Ranges.Count(); ++n) {
        if (GearFields(a.Ranges.Items(n)) != GearFields(b.Ranges.Items(n))) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.Positions.size(); ++i) {
        if (GearFields(a.Positions[i]) != GearFields(b.Positions[i])) {
            return false;
        }
    }
    return true;
}

// ---- The file format, line by line. ------------------------------------------------------------

struct TLine
{
    std::string Body;
    std::string End;
    enum { Blank, Comment, Section, Key, Other } Kind = Other;
    std::string Name; // lower-case section or key name
};

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Lines end in LF or CR LF; in a text with no LF at all, in CR.
std::vector<TLine> Lines(std::string_view text)
{
    const bool crLines
        = text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos;
    std::vector<TLine> lines;
    while (!text.empty()) {
        TLine line;
        const auto lf = text.find(crLines ? '\r' : '\n');
        const std::string_view raw
            = text.substr(0, lf == std::string_view::npos ? text.size() : lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        line.Body = raw;
        if (lf != std::string_view::npos) {
            line.End = crLines ? "\r" : "\n";
            if (!crLines && raw.ends_with('\r')) {
                line.Body.pop_back();
                line.End = "\r\n";
            }
        }
        const std::string_view body = Trimmed(line.Body);
        const auto eq = body.find('=');
        if (body.empty()) {
            line.Kind = TLine::Blank;
        } else if (body[0] == ';' || body[0] == '#') {
            line.Kind = TLine::Comment;
        } else if (body[0] == '[' && body.find(']') != std::string_view::npos) {
            line.Kind = TLine::Section;
            line.Name = Lower(Trimmed(body.substr(1, body.find(']') - 1)));
        } else if (eq != std::string_view::npos) {
            line.Kind = TLine::Key;
            line.Name = Lower(Trimmed(body.substr(0, eq)));
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// n for a section named "range" and n in decimal without leading zeros.
std::optional<int> RangeNumber(const std::string &section)
{
    if (!section.starts_with("range") || section.size() == 5 || section.size() > 9
        || (section[5] == '0' && section.size() > 6)) {
        return std::nullopt;
    }
    int n = 0;
    for (std::size_t i = 5; i < section.size(); ++i) {
        if (section[i] < '0' || section[i] > '9') {
            return std::nullopt;
        }
        n = n * 10 + (section[i] - '0');
    }
    return n;
}

const std::set<std::string> kVehicleKeys
    = {"fwdgears",       "ranges", "gearthresholdupper", "gearthresholdlower", "gearshifttype",
       "debounce",       "ignore", "bliptimeout",        "barrelthreshold",    "cutafterblip",
       "usecutafterblip"};
const std::set<std::string> kSparkDelayKeys
    = {"r", "n", "1", "2", "3", "4", "5", "6", "7", "x", "timeout"};
const std::set<std::string> kFeedbackKeys = {"flags", "window"};
const std::set<std::string> kRangeKeys = {"gear", "lower", "upper", "adc"};

// The keys the tool writes in a section; nullopt when it owns every key there.
std::optional<std::set<std::string>> ToolKeys(const std::string &section, int rangeCount)
{
    if (section == "vehicle") {
        return kVehicleKeys;
    }
    if (section == "sparkdelays") {
        return kSparkDelayKeys;
    }
    if (section == "feedback") {
        return kFeedbackKeys;
    }
    if (const auto n = RangeNumber(section)) {
        if (*n < kOwnedRangeSections) {
            return std::nullopt; // removed and written whole
        }
        if (*n < rangeCount) {
            return kRangeKeys;
        }
    }
    return std::set<std::string> {};
}

// Which lines of the file the tool owns: in the first section of each of its names, the first
// line of each of its keys; the whole first section range0 .. range9 but for the lines that are
// not keys.
std::vector<bool> Owned(const std::vector<TLine> &lines, int rangeCount)
{
    std::vector<bool> owned(lines.size(), false);
    std::set<std::string> seenSections;
    std::set<std::string> seenKeys;
    bool first = false;
    std::optional<std::set<std::string>> keys;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TLine &line = lines[i];
        if (line.Kind == TLine::Section) {
            first = seenSections.insert(line.Name).second;
            keys = first ? ToolKeys(line.Name, rangeCount) : std::set<std::string> {};
            seenKeys.clear();
            owned[i] = first && !keys;
        } else if (line.Kind == TLine::Key && first) {
            owned[i] = keys ? keys->contains(line.Name) && seenKeys.insert(line.Name).second : true;
        }
    }
    return owned;
}

bool IsToolLine(const TLine &line)
{
    if (line.Kind == TLine::Section) {
        return line.Name == "vehicle" || line.Name == "sparkdelays" || line.Name == "feedback"
            || RangeNumber(line.Name).has_value();
    }
    return line.Kind == TLine::Key
        && (kVehicleKeys.contains(line.Name) || kSparkDelayKeys.contains(line.Name)
            || kFeedbackKeys.contains(line.Name) || kRangeKeys.contains(line.Name));
}

void ExpectForeignLinesKeptIn(std::string_view before, std::string_view after, int rangeCount);

// A UTF-16 text in a form the line rules above read as the tool reads it: a code unit below 0x80
// as that character, any other as 0x80 and its four hex digits, which no other unit gives.
std::string Narrowed(std::string_view bytes, bool bigEndian)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        const unsigned unit = hi << 8 | lo;
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "%04x", unit);
            out += '\x80';
            out += hex;
        }
    }
    return out;
}

void ExpectForeignLinesKept(std::string_view before, std::string_view after, int rangeCount)
{
    // A text with a UTF-16 mark stays UTF-16 in the same byte order, its odd last byte kept.
    for (const std::string_view mark : {kUtf16LeMark, kUtf16BeMark}) {
        if (!before.starts_with(mark)) {
            continue;
        }
        if (!after.starts_with(mark) || after.size() % 2 != before.size() % 2
            || (before.size() % 2 == 1 && after.back() != before.back())) {
            Fail("UTF-16 mark or last byte");
        }
        const bool bigEndian = mark == kUtf16BeMark;
        const std::string old = Narrowed(before.substr(mark.size()), bigEndian);
        const std::string now = Narrowed(after.substr(mark.size()), bigEndian);
        ExpectForeignLinesKeptIn(old, now, rangeCount);
        return;
    }
    const bool bom = before.starts_with(kByteOrderMark);
    if (after.starts_with(kByteOrderMark) != bom) {
        Fail("byte order mark");
    }
    if (bom) {
        before.remove_prefix(kByteOrderMark.size());
        after.remove_prefix(kByteOrderMark.size());
    }
    ExpectForeignLinesKeptIn(before, after, rangeCount);
}

void ExpectForeignLinesKeptIn(std::string_view before, std::string_view after, int rangeCount)
{
    const auto old = Lines(before);
    const auto now = Lines(after);
    const auto owned = Owned(old, rangeCount);
    std::vector<bool> matched(now.size(), false);
    std::size_t next = 0;
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (owned[i]) {
            continue;
        }
        // A last line without a line end may get one, when something follows it.
        const bool anyEnd = old[i].End.empty();
        while (next < now.size()
               && !(now[next].Body == old[i].Body && (anyEnd || now[next].End == old[i].End))) {
            ++next;
        }
        if (next == now.size()) {
            std::fprintf(stderr, "lost line %zu: \"%s\"\n", i, old[i].Body.c_str());
            Fail("a line the tool does not own is gone or moved");
        }
        matched[next++] = true;
    }
    for (std::size_t j = 0; j < now.size(); ++j) {
        if (!matched[j] && !IsToolLine(now[j])) {
            std::fprintf(stderr, "stray line %zu: \"%s\"\n", j, now[j].Body.c_str());
            Fail("the save added a line that is not the tool's");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const TScratch scratch;
    const fs::path file = scratch.File();
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    WriteText(file, input);

    TEcu read;
    // A foreign text is refused; its save still keeps every line, so read it as its text.
    if (ReadProfile(file.string(), read) == TDiskRead::Failed) {
        ReadProfileText(std::string(input), read);
    }
    if (!WriteProfile(file.string(), read)) {
        Fail("a writable file was not saved");
    }
    const std::string saved = ReadText(file);

    TEcu again;
    ReadProfile(file.string(), again);
    TEcu expected = read;
    expected.SparkCutTimeout = std::clamp(expected.SparkCutTimeout, 0, kMaxSparkCutTimeout);
    if (!SameModel(expected, again)) {
        Fail("the saved file reads as another model");
    }
    ExpectForeignLinesKept(input, saved, read.Ranges.Count());

    if (!WriteProfile(file.string(), again)) {
        Fail("a writable file was not saved the second time");
    }
    const std::string savedAgain = ReadText(file);
    TEcu third;
    ReadProfile(file.string(), third);
    if (!SameModel(again, third)) {
        Fail("the file saved a second time reads as another model");
    }
    ExpectForeignLinesKept(saved, savedAgain, again.Ranges.Count());
    return 0;
}
