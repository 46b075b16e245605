// The private-profile rules of settings/profile.h on any file and any names: what a read gives
// back after a write, every other line kept with its own end, a second write of the same value
// changing nothing, and a refused write changing no byte.
//
// Input: the file's encoding (GBK or UTF-8, by the low bit of a byte), section, key and value
// (each a length byte and its bytes), a second section and key whose read must not change unless
// they name the written key, then the file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/profile.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;
using fuzz::Shown;

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

// What a read gives for a written value: cut at a NUL byte, without its outer blanks, then
// without one pair of the same quotes around it, at most kMaxProfileValueBytes long.
std::string AsRead(std::string_view value) {
    value = TrimBlanks(value.substr(0, value.find('\0')));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, oruvel::kMaxProfileValueBytes));
}

std::string ShownRead(const std::optional<std::string>& value) {
    return value ? Shown(*value) : "(missing)";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const auto encoding =
        input.Byte() % 2 == 0 ? oruvel::ProfileEncoding::kGbk : oruvel::ProfileEncoding::kUtf8;
    const std::string_view section = input.Short(24);
    const std::string_view key = input.Short(24);
    const std::string_view value = input.Short(48);
    const std::string_view otherSection = input.Short(24);
    const std::string_view otherKey = input.Short(24);
    const std::string_view file = input.Rest();
    const auto names = [&] {
        return std::string(encoding == oruvel::ProfileEncoding::kGbk ? "GBK" : "UTF-8") +
               ", section " + Shown(section) + ", key " + Shown(key) + ", value " + Shown(value) +
               "\nfile " + Shown(file);
    };

    const std::optional<std::string> before =
        oruvel::ReadProfileValue(file, section, key, encoding);
    if (before) {
        Require(before->size() <= oruvel::kMaxProfileValueBytes &&
                    before->find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos,
                "a read gives at most kMaxProfileValueBytes bytes of one line, up to a NUL byte",
                [&] { return names() + "\nread " + ShownRead(before); });
    }

    const std::string written = oruvel::WriteProfileValue(file, section, key, value, encoding);
    if (!oruvel::CanWriteProfileValue(section, key, value, encoding)) {
        Require(written == file, "a refused write leaves every byte", names);
        return 0;
    }
    const auto detail = [&] { return names() + "\nwritten " + Shown(written); };

    const std::optional<std::string> after =
        oruvel::ReadProfileValue(written, section, key, encoding);
    Require(after == AsRead(value), "a read after a write gives the value written",
            [&] { return detail() + "\nread " + ShownRead(after); });

    Require(oruvel::HasProfileSection(written, section, encoding),
            "after a write the file has the section", detail);
    Require(oruvel::WriteProfileValue(written, section, key, value, encoding) == written,
            "a second write of the same value changes nothing", detail);

    // The key's line is replaced ("key=value", with the key as the file spells it), or the key's
    // line, after its section's line when that is missing too, is new; nothing else changes.
    const std::string newKeyLine = std::string(key) + "=" + std::string(value);
    const std::string newSectionLine = "[" + std::string(section) + "]";
    fuzz::LineEdits edits;
    edits.replaces = [&](std::string_view oldText, std::string_view newText) {
        const std::string_view content = TrimBlanks(oldText);
        const size_t equals = content.find('=');
        return equals != std::string_view::npos &&
               newText ==
                   std::string(TrimBlanks(content.substr(0, equals))) + "=" + std::string(value);
    };
    edits.isNew = [&](std::string_view text) {
        return text == newKeyLine || text == newSectionLine;
    };
    edits.maxReplaced = 1;
    edits.maxInserted = 2;
    const auto linesBefore = fuzz::SplitLines(file);
    const auto linesAfter = fuzz::SplitLines(written);
    const fuzz::LineChanges changes = fuzz::CompareLines(linesBefore, linesAfter, edits);
    const auto lines = [&] {
        return detail() + "\nlines before:\n" + fuzz::ShownLines(linesBefore) + "lines after:\n" +
               fuzz::ShownLines(linesAfter);
    };
    Require(changes.kept && (changes.replaced == 0 || changes.added.empty()),
            "a write replaces the key's line or adds lines, and keeps every other line", lines);
    Require(changes.added.size() < 2 || (linesAfter[changes.added[0]].text == newSectionLine &&
                                         changes.added[1] == changes.added[0] + 1),
            "a missing section comes with its key, on the next line", lines);
    Require(fuzz::NewLineEndsFollowTheirNeighbours(linesBefore, linesAfter, changes),
            "a new line ends as the line before it", lines);

    // Another key reads as before, unless it names the written one (names of the same length
    // that match as the rules compare them).
    const auto otherBefore = oruvel::ReadProfileValue(file, otherSection, otherKey, encoding);
    const auto otherAfter = oruvel::ReadProfileValue(written, otherSection, otherKey, encoding);
    if (otherBefore != otherAfter) {
        Require(otherAfter == after && otherSection.size() == section.size() &&
                    otherKey.size() == key.size(),
                "a write changes the read of no other key", [&] {
                    return lines() + "\nother section " + Shown(otherSection) + ", key " +
                           Shown(otherKey) + ": " + ShownRead(otherBefore) + " became " +
                           ShownRead(otherAfter);
                });
    }
    return 0;
}
