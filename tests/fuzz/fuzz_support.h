// What the fuzz targets share: taking an input apart, failing loudly on a broken promise, and
// comparing a file's lines before and after a write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// A broken promise is a finding: libFuzzer saves the input that showed it. `detail` gives the
// text that explains it, made only then.
template <typename Detail>
void Require(bool holds, const char* promise, const Detail& detail) {
    if (!holds) {
        std::fprintf(stderr, "\nbroken promise: %s\n%s\n", promise, std::string(detail()).c_str());
        std::abort();
    }
}

inline void Require(bool holds, const char* promise) {
    Require(holds, promise, [] { return ""; });
}

// Bytes shown so that a finding can be read: printable ASCII as it is, the rest as \xNN.
inline std::string Shown(std::string_view bytes) {
    std::string out = "\"";
    for (const unsigned char c : bytes.substr(0, 400)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
        out += hex;
    }
    return out + (bytes.size() > 400 ? "\"..." : "\"");
}

// Reads an input front to back: fixed-size numbers, short strings with a length byte in front,
// and the rest. Past the end every read gives zeros or empty strings.
class Input {
  public:
    Input(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    uint8_t Byte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto byte = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }
    template <typename T>
    T Number() {
        T value{};
        const size_t n = rest_.size() < sizeof value ? rest_.size() : sizeof value;
        std::memcpy(&value, rest_.data(), n);
        rest_.remove_prefix(n);
        return value;
    }
    // A string of at most `maxSize` bytes; its length is the next byte modulo maxSize + 1.
    std::string_view Short(size_t maxSize) {
        const size_t want = Byte() % (maxSize + 1);
        const std::string_view taken = rest_.substr(0, want);
        rest_.remove_prefix(taken.size());
        return taken;
    }
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
};

// A line of a file as the profile rules see it: its text and its end ("\r\n", "\n", "\r" or
// none on a last line).
struct Line {
    std::string_view text;
    std::string_view end;
    friend bool operator==(const Line&, const Line&) = default;
};

inline std::vector<Line> SplitLines(std::string_view file) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < file.size()) {
        const size_t end = std::min(file.find_first_of("\r\n", pos), file.size());
        size_t next = end;
        if (end < file.size()) {
            next = end + (file.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
        lines.push_back({file.substr(pos, end - pos), file.substr(end, next - end)});
        pos = next;
    }
    return lines;
}

inline std::string ShownLines(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& line : lines) {
        out += "  " + Shown(line.text) + " " + Shown(line.end) + "\n";
    }
    return out;
}

// The edits a write may make to a file's lines.
struct LineEdits {
    // Whether a line may be replaced by another; the replacement keeps the old line end.
    std::function<bool(std::string_view oldText, std::string_view newText)> replaces;
    // Whether a line may be new.
    std::function<bool(std::string_view text)> isNew;
    int maxReplaced = 0;
    int maxInserted = 0;
};

// How `after` came from `before`, when it did.
struct LineChanges {
    bool kept = false;            // every line of `before` is in `after`, in order, as it was
    int replaced = 0;             // lines of `before` replaced in place
    std::vector<size_t> added;    // indices in `after` of the new lines
    bool lastLineGotEnd = false;  // the last line of `before`, without an end, got one
};

// Whether `after` is `before` with at most edits.maxReplaced lines replaced (each keeping its
// end) and at most edits.maxInserted lines inserted, every other line kept with its own end. The
// one change of a line end that is allowed: the last line of `before`, which has none, gets one
// when new lines follow it. Of the ways to explain `after`, the one that keeps lines as early as
// possible is given (so an inserted line equal to its neighbours counts as the last of them).
inline LineChanges CompareLines(const std::vector<Line>& before, const std::vector<Line>& after,
                                const LineEdits& edits) {
    // Depth-first over (lines of `before` passed, insertions, replacements); the lines of `after`
    // passed follow from them. Failed states are remembered, so each is tried once.
    const size_t inserts = edits.maxInserted + 1, replaces = edits.maxReplaced + 1;
    std::vector<bool> failed((before.size() + 1) * inserts * replaces, false);
    LineChanges found;
    std::function<bool(size_t, int, int)> explain = [&](size_t i, int ins, int rep) -> bool {
        const size_t j = i + ins;
        const size_t state = (i * inserts + ins) * replaces + rep;
        if (failed[state]) {
            return false;
        }
        if (i == before.size() && j == after.size()) {
            found.replaced = rep;
            return true;
        }
        if (i < before.size() && j < after.size()) {
            const Line& was = before[i];
            const Line& is = after[j];
            const bool lastGetsEnd = i + 1 == before.size() && was.end.empty() && !is.end.empty() &&
                                     j + 1 < after.size();
            const bool endKept = was.end == is.end || lastGetsEnd;
            if (endKept && was.text == is.text && explain(i + 1, ins, rep)) {
                found.lastLineGotEnd = found.lastLineGotEnd || lastGetsEnd;
                return true;
            }
            if (endKept && rep < edits.maxReplaced && was.text != is.text &&
                edits.replaces(was.text, is.text) && explain(i + 1, ins, rep + 1)) {
                found.lastLineGotEnd = found.lastLineGotEnd || lastGetsEnd;
                return true;
            }
        }
        if (j < after.size() && ins < edits.maxInserted && edits.isNew(after[j].text) &&
            explain(i, ins + 1, rep)) {
            found.added.insert(found.added.begin(), j);
            return true;
        }
        failed[state] = true;
        return false;
    };
    found.kept = explain(0, 0, 0);
    return found;
}

// Each new line ends as the line before it; a line without one before it (in an empty file), with
// "\r\n"; the last line of `before` that got an end, as the first line of `before` ends (or
// "\r\n").
inline bool NewLineEndsFollowTheirNeighbours(const std::vector<Line>& before,
                                             const std::vector<Line>& after,
                                             const LineChanges& changes) {
    std::string_view firstEnd = "\r\n";
    for (const Line& line : before) {
        if (!line.end.empty()) {
            firstEnd = line.end;
            break;
        }
    }
    for (const size_t j : changes.added) {
        const std::string_view expected = j == 0 ? std::string_view("\r\n") : after[j - 1].end;
        if (after[j].end != expected) {
            return false;
        }
    }
    if (changes.lastLineGotEnd) {
        const size_t j = changes.added.empty() ? 0 : changes.added.front();
        if (j == 0 || after[j - 1].end != firstEnd) {
            return false;
        }
    }
    return true;
}

}  // namespace fuzz
