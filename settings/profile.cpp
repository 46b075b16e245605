#include "settings/profile.h"

#include <cstring>

#include "base/gbk.h"

namespace oruvel {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A GBK lead byte takes the byte after it into one character.
bool StartsDoubleByte(char c, ProfileEncoding encoding) {
    return encoding == ProfileEncoding::kGbk && IsGbkLeadByte(static_cast<unsigned char>(c));
}

// ASCII letters match without regard to case. A GBK double-byte character matches only itself,
// even when its trail byte is an ASCII letter (as in 0x8141): the system compares names as
// characters, not bytes.
bool NamesMatch(std::string_view a, std::string_view b, ProfileEncoding encoding) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (StartsDoubleByte(a[i], encoding)) {
            if (a[i] != b[i] || (i + 1 < a.size() && a[i + 1] != b[i + 1])) {
                return false;
            }
            ++i;
        } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// One line of the file as offsets into it: [begin, end) is its text, [end, next) its line end
// (empty on a last line without one).
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

// Walks the lines of a file. The next '\r' and the next '\n' are each searched for only when
// the walk has passed the last one found, so a file with one kind of line end, or none, is
// still walked in linear time.
class LineScanner {
  public:
    explicit LineScanner(std::string_view text)
        : text_(text), nextCr_(Find('\r')), nextLf_(Find('\n')) {}

    bool Next(Line& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        if (nextCr_ < pos_) {
            nextCr_ = Find('\r');
        }
        if (nextLf_ < pos_) {
            nextLf_ = Find('\n');
        }
        const std::size_t end = nextCr_ < nextLf_ ? nextCr_ : nextLf_;
        line.begin = pos_;
        line.end = end;
        if (end == text_.size()) {
            line.next = end;
        } else {
            const bool crlf =
                text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n';
            line.next = end + (crlf ? 2 : 1);
        }
        pos_ = line.next;
        return true;
    }

    // Steps over the empty lines that follow the line last returned: a run of line ends.
    void SkipEmptyLines() {
        while (pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n')) {
            ++pos_;
        }
    }

  private:
    // The position of the next `c` at or after pos_, or the text's size when there is none.
    std::size_t Find(char c) const {
        if (pos_ >= text_.size()) {
            return text_.size();  // also keeps a null data() away from memchr
        }
        const void* found = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
        return found == nullptr
                   ? text_.size()
                   : static_cast<std::size_t>(static_cast<const char*>(found) - text_.data());
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t nextCr_;
    std::size_t nextLf_;
};

enum class LineKind { kBlank, kSection, kKey, kOther };

struct ParsedLine {
    LineKind kind = LineKind::kOther;
    std::string_view name;   // section name or key, without surrounding blanks
    std::string_view value;  // raw text after '=' on a key line
};

// The first ']' after the leading '[', or kNone. A GBK double-byte character is stepped over
// whole: its trail byte may be 0x5D, the ']' of ASCII, as in 乚 (0x815D).
std::size_t FindClosingBracket(std::string_view content, ProfileEncoding encoding) {
    for (std::size_t i = 1; i < content.size(); ++i) {
        if (content[i] == ']') {
            return i;
        }
        if (StartsDoubleByte(content[i], encoding)) {
            ++i;
        }
    }
    return kNone;
}

ParsedLine ParseLine(std::string_view text, ProfileEncoding encoding) {
    ParsedLine parsed;
    const std::string_view content = TrimBlanks(text);
    if (content.empty()) {
        parsed.kind = LineKind::kBlank;
        return parsed;
    }
    if (content.front() == '[') {
        const std::size_t close = FindClosingBracket(content, encoding);
        if (close != kNone) {
            parsed.kind = LineKind::kSection;
            parsed.name = TrimBlanks(content.substr(1, close - 1));
            return parsed;
        }
    }
    if (content.front() == ';') {
        return parsed;
    }
    const std::size_t equals = content.find('=');
    if (equals == kNone) {
        return parsed;
    }
    parsed.kind = LineKind::kKey;
    parsed.name = TrimBlanks(content.substr(0, equals));
    parsed.value = content.substr(equals + 1);
    return parsed;
}

std::string CleanValue(std::string_view raw) {
    // A value is a zero-terminated text to whoever reads it, so a NUL byte ends it.
    std::string_view value = TrimBlanks(raw.substr(0, raw.find('\0')));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, kMaxProfileValueBytes));
}

// Where a key sits in a file, or where it would go.
struct KeyPlace {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;          // when keyFound
    Line lastContentLine;  // when sectionFound: the section's last non-blank line (or its header)
    std::string_view lineEnd;  // the first line end seen, empty if none was
};

KeyPlace FindKey(std::string_view file, std::string_view section, std::string_view key,
                 ProfileEncoding encoding) {
    KeyPlace place;
    LineScanner scanner(file);
    Line line;
    bool inSection = false;
    while (scanner.Next(line)) {
        if (place.lineEnd.empty() && line.next > line.end) {
            place.lineEnd = file.substr(line.end, line.next - line.end);
        }
        scanner.SkipEmptyLines();  // nothing to find there, and a file may hold millions
        if (line.begin == line.end) {
            continue;
        }
        const ParsedLine parsed =
            ParseLine(file.substr(line.begin, line.end - line.begin), encoding);
        if (parsed.kind == LineKind::kSection) {
            if (inSection) {
                break;  // only the first section of the name counts
            }
            inSection = NamesMatch(parsed.name, section, encoding);
            if (inSection) {
                place.sectionFound = true;
                place.lastContentLine = line;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (parsed.kind != LineKind::kBlank) {
            place.lastContentLine = line;
        }
        if (parsed.kind == LineKind::kKey && NamesMatch(parsed.name, key, encoding)) {
            place.keyFound = true;
            place.keyLine = line;
            break;
        }
    }
    return place;
}

bool HasLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != kNone;
}

bool HasOuterBlank(std::string_view text) {
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

// The name comes back whole from FindClosingBracket and TrimBlanks on "[name]".
bool IsValidSectionName(std::string_view name, ProfileEncoding encoding) {
    if (HasLineEnd(name) || HasOuterBlank(name)) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == ']') {
            return false;
        }
        if (StartsDoubleByte(name[i], encoding)) {
            if (i + 1 == name.size()) {
                return false;  // the ']' that closes the line would be its trail byte
            }
            ++i;
        }
    }
    return true;
}

// The line "key=value" is a key line of this key: not a comment, not a section line, and its
// first '=' is the one after the key.
bool IsValidKey(std::string_view key) {
    return !HasLineEnd(key) && !HasOuterBlank(key) && key.find('=') == kNone &&
           (key.empty() || (key.front() != ';' && key.front() != '['));
}

// The end of `line`, or `fallback` when it has none.
std::string_view LineEndOf(std::string_view file, const Line& line, std::string_view fallback) {
    return line.next > line.end ? file.substr(line.end, line.next - line.end) : fallback;
}

}  // namespace

std::optional<std::string> ReadProfileValue(std::string_view fileBytes, std::string_view section,
                                            std::string_view key, ProfileEncoding encoding) {
    const KeyPlace place = FindKey(fileBytes, section, key, encoding);
    if (!place.keyFound) {
        return std::nullopt;
    }
    const Line& line = place.keyLine;
    return CleanValue(
        ParseLine(fileBytes.substr(line.begin, line.end - line.begin), encoding).value);
}

bool CanWriteProfileValue(std::string_view section, std::string_view key, std::string_view value,
                          ProfileEncoding encoding) {
    return IsValidSectionName(section, encoding) && IsValidKey(key) && !HasLineEnd(value);
}

std::string WriteProfileValue(std::string_view fileBytes, std::string_view section,
                              std::string_view key, std::string_view value,
                              ProfileEncoding encoding) {
    if (!CanWriteProfileValue(section, key, value, encoding)) {
        return std::string(fileBytes);
    }
    const KeyPlace place = FindKey(fileBytes, section, key, encoding);
    const std::string_view firstLineEnd = place.lineEnd.empty() ? "\r\n" : place.lineEnd;

    std::string out;
    out.reserve(fileBytes.size() + section.size() + key.size() + value.size() + 8);
    if (place.keyFound) {
        // The line becomes "key=value" in the file's spelling of the key, as the system writes
        // it: blanks around the key and the '=' go, the line end stays.
        const Line& line = place.keyLine;
        const ParsedLine parsed =
            ParseLine(fileBytes.substr(line.begin, line.end - line.begin), encoding);
        out.append(fileBytes.substr(0, line.begin));
        out.append(parsed.name).append("=").append(value);
        out.append(fileBytes.substr(line.end));
        return out;
    }

    // New lines end as the line before them: a line end taken from elsewhere, a lone CR, would
    // run into a following LF and swallow the empty line it ends.
    std::string keyLine;
    keyLine.append(key).append("=").append(value);
    if (place.sectionFound) {
        const Line& last = place.lastContentLine;
        const std::string_view lineEnd = LineEndOf(fileBytes, last, firstLineEnd);
        out.append(fileBytes.substr(0, last.next));
        if (last.next == last.end) {
            out.append(lineEnd);  // the section's last line is the file's, without a line end
        }
        out.append(keyLine).append(lineEnd);
        out.append(fileBytes.substr(last.next));
    } else {
        std::string_view lineEnd = firstLineEnd;
        if (fileBytes.ends_with("\r\n")) {
            lineEnd = "\r\n";
        } else if (fileBytes.ends_with('\n') || fileBytes.ends_with('\r')) {
            lineEnd = fileBytes.substr(fileBytes.size() - 1);
        }
        out.append(fileBytes);
        if (!fileBytes.empty() && fileBytes.back() != '\n' && fileBytes.back() != '\r') {
            out.append(lineEnd);
        }
        out.append("[").append(section).append("]").append(lineEnd);
        out.append(keyLine).append(lineEnd);
    }
    return out;
}

bool HasProfileSection(std::string_view fileBytes, std::string_view section,
                       ProfileEncoding encoding) {
    // No key has an empty name worth finding: only whether the section line was met matters.
    return FindKey(fileBytes, section, {}, encoding).sectionFound;
}

}  // namespace oruvel
