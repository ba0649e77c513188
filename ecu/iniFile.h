#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A line-preserving editor of one INI text, for files people also keep by hand and under version
// control. Every line keeps its bytes and its line end; an edit touches only the lines it names,
// so a diff before and after shows just those.
//
// The rules follow the platform's private-profile files:
// - "[name]" (blanks around allowed, text after "]" ignored) starts a section; a line whose first
//   non-blank character is ";" or "#" is a comment; a line with "=" is "key=value", both trimmed
//   of blanks; any other line is kept and never read. Lines before the first section belong to no
//   section.
// - Names match without regard to ASCII case.
// - The first section of a name and, inside it, the first key of a name are the ones read and
//   written; later duplicates are kept as they are.
// - LF and CR LF line ends and a UTF-8 byte order mark are kept; a last line without a line end
//   keeps lacking it unless something is added after it. A text with no LF at all but a CR (as
//   old Mac editors write) ends its lines in CR alone; in any other text a CR is part of its line
//   unless an LF follows it.
// - A text that starts with a UTF-16 byte order mark (little- or big-endian) is read as UTF-16
//   and written back in it, with the same mark; its names and values are UTF-8 like any other.
class TIniFile
{
public:
    TIniFile() = default;
    explicit TIniFile(std::string_view text);

    // The first value of key in the first section of that name; nullopt when either is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Sets the first key of the first section. An existing line keeps its spelling and spacing
    // and changes only its value (not at all when the value is the same); a key removed earlier
    // comes back on its own line; a new key is written as "key=value" after the section's last
    // setting; a new section goes to the end of the text.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    // Removes the first section of that name: its header and its key lines. Comments, blank lines
    // and other lines among them are kept, and a later SetValue for the section puts it back in
    // the same place (so the first section stays the first).
    void RemoveSection(std::string_view section);

    // Removes the first key of that name from the first section; a later SetValue puts it back
    // in the same place.
    void RemoveKey(std::string_view section, std::string_view key);

    std::string Text() const;

    // Whether a section of that name is there.
    bool HasSection(std::string_view section) const;
    // True when the text holds nothing but blank lines and comments.
    bool OnlyBlanksAndComments() const;

private:
    enum class TKind { Blank, Comment, Section, Key, Other };

    struct TLine
    {
        std::string Body; // without the line end
        std::string End; // "\n", "\r\n", "\r", or "" for a last line without one
        bool Removed = false;
        TKind Kind = TKind::Other;
        // Trimmed name of a section or key line, and the trimmed value of a key line.
        std::size_t NameBegin = 0;
        std::size_t NameEnd = 0;
        std::size_t ValueBegin = 0;
        std::size_t ValueEnd = 0;

        std::string_view Name() const;
        std::string_view ValueText() const;
    };

    // Removed lines stay in place, hidden, so that a section or key written again after its
    // removal returns to where it was. "Live" below means not removed: what a reader of Text()
    // sees.
    static void Classify(TLine &line);
    bool IsSection(std::size_t i, std::string_view name) const;
    bool IsKey(std::size_t i, std::string_view name) const;
    // The next header after line i, removed or not; lines_.size() when none.
    std::size_t NextHeader(std::size_t i) const;
    std::size_t NextLiveHeader(std::size_t i) const;
    std::optional<std::size_t> FirstLiveSection(std::string_view section) const;
    std::optional<std::size_t> FirstLiveKey(std::size_t header, std::string_view key) const;
    // Adds a line at index at; the line before it gets a line end if it was the last one.
    void Insert(std::size_t at, std::string body);

    std::string bom_;
    std::optional<bool> utf16BigEndian_; // set for a UTF-16 text
    std::string oddByte_; // a UTF-16 text's last byte when it has an odd count
    std::vector<TLine> lines_;
    std::string newLine_ = "\n";
};
