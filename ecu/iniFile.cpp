#include "iniFile.h"

#include "utf16.h"

#include <algorithm>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kCrLf = "\r\n";
#ifdef _WIN32
constexpr std::string_view kNativeLineEnd = "\r\n";
#else
constexpr std::string_view kNativeLineEnd = "\n";
#endif

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// ASCII only: names in other encodings compare byte for byte, and no locale is consulted.
char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

// Narrows [begin, end) of text to its non-blank part.
void Trim(std::string_view text, std::size_t &begin, std::size_t &end)
{
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
}

} // namespace

std::string_view TIniFile::TLine::Name() const
{
    return std::string_view(Body).substr(NameBegin, NameEnd - NameBegin);
}

std::string_view TIniFile::TLine::ValueText() const
{
    return std::string_view(Body).substr(ValueBegin, ValueEnd - ValueBegin);
}

TIniFile::TIniFile(std::string_view text) : newLine_(kNativeLineEnd)
{
    // A file saved as UTF-16 (as Windows editors offer) is read as its text and written back as
    // it came.
    std::string decoded;
    if (text.starts_with(kUtf16LeMark) || text.starts_with(kUtf16BeMark)) {
        bom_ = text.substr(0, kUtf16LeMark.size());
        text.remove_prefix(kUtf16LeMark.size());
        utf16BigEndian_ = bom_ == kUtf16BeMark;
        if (text.size() % 2 != 0) {
            oddByte_ = text.back();
        }
        decoded = FromUtf16(text, *utf16BigEndian_);
        text = decoded;
    } else if (text.starts_with(kByteOrderMark)) {
        bom_ = kByteOrderMark;
        text.remove_prefix(kByteOrderMark.size());
    }
    bool sawLineEnd = false;
    // Without it a file from an old Mac editor would read as one line, its settings as missing.
    const bool crLines
        = text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos;
    const char lineEnd = crLines ? '\r' : '\n';
    while (!text.empty()) {
        TLine line;
        const std::size_t lf = text.find(lineEnd);
        if (lf == std::string_view::npos) {
            line.Body = text; // the last line, without a line end
            text = {};
        } else {
            const bool crlf = !crLines && lf > 0 && text[lf - 1] == '\r';
            line.Body = text.substr(0, crlf ? lf - 1 : lf);
            line.End = crLines ? "\r" : crlf ? kCrLf : "\n";
            text.remove_prefix(lf + 1);
            if (!sawLineEnd) {
                newLine_ = line.End; // new lines follow the file's own line ends
                sawLineEnd = true;
            }
        }
        Classify(line);
        lines_.push_back(std::move(line));
    }
}

void TIniFile::Classify(TLine &line)
{
    const std::string_view body = line.Body;
    std::size_t first = 0;
    while (first < body.size() && IsBlank(body[first])) {
        ++first;
    }
    line.NameBegin = line.NameEnd = line.ValueBegin = line.ValueEnd = 0;
    if (first == body.size()) {
        line.Kind = TKind::Blank;
        return;
    }
    if (body[first] == ';' || body[first] == '#') {
        line.Kind = TKind::Comment;
        return;
    }
    if (body[first] == '[') {
        const std::size_t close = body.find(']', first + 1);
        if (close != std::string_view::npos) {
            line.Kind = TKind::Section;
            line.NameBegin = first + 1;
            line.NameEnd = close;
            Trim(body, line.NameBegin, line.NameEnd);
            return;
        }
    }
    const std::size_t eq = body.find('=', first);
    if (eq == std::string_view::npos) {
        line.Kind = TKind::Other;
        return;
    }
    line.Kind = TKind::Key;
    line.NameBegin = first;
    line.NameEnd = eq;
    Trim(body, line.NameBegin, line.NameEnd);
    line.ValueBegin = eq + 1;
    line.ValueEnd = body.size();
    Trim(body, line.ValueBegin, line.ValueEnd);
    if (line.ValueBegin == line.ValueEnd) {
        line.ValueBegin = line.ValueEnd = eq + 1; // an empty value is filled in right after "="
    }
}

bool TIniFile::IsSection(std::size_t i, std::string_view name) const
{
    return lines_[i].Kind == TKind::Section && SameName(lines_[i].Name(), name);
}

bool TIniFile::IsKey(std::size_t i, std::string_view name) const
{
    return lines_[i].Kind == TKind::Key && SameName(lines_[i].Name(), name);
}

std::size_t TIniFile::NextHeader(std::size_t i) const
{
    for (++i; i < lines_.size(); ++i) {
        if (lines_[i].Kind == TKind::Section) {
            break;
        }
    }
    return i;
}

std::size_t TIniFile::NextLiveHeader(std::size_t i) const
{
    for (++i; i < lines_.size(); ++i) {
        if (lines_[i].Kind == TKind::Section && !lines_[i].Removed) {
            break;
        }
    }
    return i;
}

bool TIniFile::HasSection(std::string_view section) const
{
    return FirstLiveSection(section).has_value();
}

bool TIniFile::OnlyBlanksAndComments() const
{
    return std::all_of(lines_.begin(), lines_.end(), [](const TLine &line) {
        return line.Removed || line.Kind == TKind::Blank || line.Kind == TKind::Comment;
    });
}

std::optional<std::size_t> TIniFile::FirstLiveSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!lines_[i].Removed && IsSection(i, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> TIniFile::FirstLiveKey(std::size_t header, std::string_view key) const
{
    const std::size_t end = NextLiveHeader(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (!lines_[i].Removed && IsKey(i, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> TIniFile::Value(std::string_view section, std::string_view key) const
{
    const auto header = FirstLiveSection(section);
    if (!header) {
        return std::nullopt;
    }
    const auto line = FirstLiveKey(*header, key);
    if (!line) {
        return std::nullopt;
    }
    return std::string(lines_[*line].ValueText());
}

void TIniFile::Insert(std::size_t at, std::string body)
{
    if (at > 0 && lines_[at - 1].End.empty()) {
        // A body ending in CR keeps it only before a CR LF.
        TLine &before = lines_[at - 1];
        before.End = before.Body.ends_with('\r') ? std::string(kCrLf) : newLine_;
    }
    TLine line;
    line.Body = std::move(body);
    line.End = newLine_;
    Classify(line);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void TIniFile::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
    // The first header of the name in file order, also when a removal hid it: written again, a
    // removed first section must come back first, ahead of any later duplicate.
    std::optional<std::size_t> header;
    for (std::size_t i = 0; i < lines_.size() && !header; ++i) {
        if (IsSection(i, section)) {
            header = i;
        }
    }
    if (!header) {
        Insert(lines_.size(), "[" + std::string(section) + "]");
        header = lines_.size() - 1;
    }
    lines_[*header].Removed = false;

    // Removed sections keep no live keys, so the keys up to the next header of any kind are this
    // section's; a removed key found first comes back in its own place.
    const std::size_t end = NextHeader(*header);
    std::size_t insertAt = *header + 1;
    for (std::size_t i = *header + 1; i < end; ++i) {
        TLine &line = lines_[i];
        if (IsKey(i, key)) {
            line.Removed = false;
            if (line.ValueText() != value) {
                line.Body.replace(line.ValueBegin, line.ValueEnd - line.ValueBegin, value);
                Classify(line);
            }
            return;
        }
        if (!line.Removed && (line.Kind == TKind::Key || line.Kind == TKind::Other)) {
            insertAt = i + 1; // new keys follow the last setting, ahead of trailing comments
        }
    }
    Insert(insertAt, std::string(key) + "=" + std::string(value));
}

void TIniFile::RemoveSection(std::string_view section)
{
    const auto header = FirstLiveSection(section);
    if (!header) {
        return;
    }
    lines_[*header].Removed = true;
    const std::size_t end = NextHeader(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        if (lines_[i].Kind == TKind::Key) {
            lines_[i].Removed = true;
        }
    }
}

void TIniFile::RemoveKey(std::string_view section, std::string_view key)
{
    const auto header = FirstLiveSection(section);
    if (!header) {
        return;
    }
    if (const auto line = FirstLiveKey(*header, key)) {
        lines_[*line].Removed = true;
    }
}

std::string TIniFile::Text() const
{
    std::string text;
    for (const TLine &line : lines_) {
        if (!line.Removed) {
            text += line.Body;
            text += line.End;
        }
    }
    if (utf16BigEndian_) {
        return bom_ + ToUtf16(text, *utf16BigEndian_) + oddByte_;
    }
    return bom_ + text;
}
