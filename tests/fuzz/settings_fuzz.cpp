// LoadSettings and SaveSettings of settings/settings.h on any file, through an in-memory store
// and bar: every line outside the four key lines (and the section line a save may add) kept
// with its own end, a UTF-8 byte-order mark kept in front; save then load a fixed point, and so
// load then save; a file that would not change not rewritten; an unreadable file giving the
// defaults and never saved.
//
// Input: the file's state (read, missing, unreadable), the bar's values (always-on-top flag,
// lit colour, left and top edge, screen width), then the file's bytes.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"
#include "settings/settings_encoding.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;
using fuzz::Shown;
using oruvel::SettingsFileState;

constexpr int32_t kEdgeLimit = 32627;  // the bar clamps its edges to +-32627

struct Values {
    bool onTop = false;
    int32_t colour = 0;
    int32_t left = 0;
    int32_t top = 0;
    friend bool operator==(const Values&, const Values&) = default;
};

std::string ShownValues(const Values& v) {
    return "onTop=" + std::to_string(v.onTop) + " colour=" + std::to_string(v.colour) +
           " left=" + std::to_string(v.left) + " top=" + std::to_string(v.top);
}

class Store final : public oruvel::SettingsStore {
  public:
    Store(SettingsFileState initialState, std::string_view initialBytes)
        : state(initialState), bytes(initialBytes) {}

    oruvel::SettingsFileContent Load() override {
        ++loads;
        return {state, state == SettingsFileState::kRead ? bytes : std::string()};
    }
    bool Save(const std::string& newBytes) override {
        Require(state != SettingsFileState::kUnreadable, "an unreadable file is never saved");
        ++saves;
        state = SettingsFileState::kRead;
        bytes = newBytes;
        return true;
    }

    SettingsFileState state;
    std::string bytes;
    int loads = 0;
    int saves = 0;
};

class Bar final : public oruvel::BarProperties {
  public:
    explicit Bar(const Values& v) : values(v) {}
    bool AlwaysOnTop() const override { return values.onTop; }
    void SetAlwaysOnTop(bool on) override { values.onTop = on; }
    int32_t Left() const override { return values.left; }
    void SetLeft(int32_t left) override { values.left = std::clamp(left, -kEdgeLimit, kEdgeLimit); }
    int32_t Top() const override { return values.top; }
    void SetTop(int32_t top) override { values.top = std::clamp(top, -kEdgeLimit, kEdgeLimit); }
    int32_t Width() const override { return 100; }

    Values values;
};

// Loads into a bar that holds other values beforehand, so every value is seen set.
Values Load(Store& store, int32_t screenWidth) {
    Bar bar({true, 12345, 12345, 12345});
    std::atomic<int32_t> litColour{12345};
    const int loads = store.loads;
    oruvel::LoadSettings(store, bar, screenWidth, litColour);
    Require(store.loads == loads + 1, "a load reads the file once");
    bar.values.colour = litColour.load();
    return bar.values;
}

// Saves; true when the store was written.
bool Save(Store& store, const Values& values) {
    Bar bar(values);
    const std::atomic<int32_t> litColour{values.colour};
    const int loads = store.loads, saves = store.saves;
    oruvel::SaveSettings(store, bar, litColour);
    Require(store.loads == loads + 1 && store.saves <= saves + 1,
            "a save reads the file once and writes it at most once");
    return store.saves > saves;
}

Values Defaults(int32_t screenWidth) {
    const double centred = std::trunc((screenWidth - 100) / 2.0);
    return {true, 65280, std::clamp(static_cast<int32_t>(centred), -kEdgeLimit, kEdgeLimit), 0};
}

// The file's section and keys and the flag's values, in GBK and in UTF-8: a file may be written
// in either.
struct Names {
    std::string_view section, onTop, colour, left, top, yes, no;
};
constexpr Names kGbk = {"\xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3",          // 程序配置
                        "\xC7\xB0\xB6\xCB\xCF\xD4\xCA\xBE",          // 前端显示
                        "\xD6\xB8\xCA\xBE\xB5\xC6\xD1\xD5\xC9\xAB",  // 指示灯颜色
                        "\xD7\xF3\xB1\xDF",                          // 左边
                        "\xB6\xA5\xB1\xDF",                          // 顶边
                        "\xCA\xC7",                                  // 是
                        "\xB7\xF1"};                                 // 否
constexpr Names kUtf8 = {"\xE7\xA8\x8B\xE5\xBA\x8F\xE9\x85\x8D\xE7\xBD\xAE",
                         "\xE5\x89\x8D\xE7\xAB\xAF\xE6\x98\xBE\xE7\xA4\xBA",
                         "\xE6\x8C\x87\xE7\xA4\xBA\xE7\x81\xAF\xE9\xA2\x9C\xE8\x89\xB2",
                         "\xE5\xB7\xA6\xE8\xBE\xB9",
                         "\xE9\xA1\xB6\xE8\xBE\xB9",
                         "\xE6\x98\xAF",
                         "\xE5\x90\xA6"};

// The lines a save of `values` writes: the section line and "key=value" of each key.
std::vector<std::string> SavedLines(const Values& values) {
    std::vector<std::string> lines;
    for (const Names& n : {kGbk, kUtf8}) {
        lines.push_back("[" + std::string(n.section) + "]");
        lines.push_back(std::string(n.onTop) + "=" + std::string(values.onTop ? n.yes : n.no));
        lines.push_back(std::string(n.colour) + "=" + std::to_string(values.colour));
        lines.push_back(std::string(n.left) + "=" + std::to_string(values.left));
        lines.push_back(std::string(n.top) + "=" + std::to_string(values.top));
    }
    return lines;
}

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Every line of `before` is in `after` with its own end, but for the key lines of `values`
// rewritten in place; the other lines of `after` are the settings' section and key lines.
template <typename Detail>
void RequireOtherLinesKept(std::string_view before, std::string_view after, const Values& values,
                           const Detail& detail) {
    // A UTF-8 byte-order mark is no text of a line: a save keeps it in front of the text, and
    // adds none.
    const bool marked = before.starts_with(oruvel::kUtf8Mark);
    Require(after.starts_with(oruvel::kUtf8Mark) == marked,
            "a save keeps a byte-order mark and adds none", detail);
    if (marked) {
        before.remove_prefix(oruvel::kUtf8Mark.size());
        after.remove_prefix(oruvel::kUtf8Mark.size());
    }
    const std::vector<std::string> saved = SavedLines(values);
    fuzz::LineEdits edits;
    edits.isNew = [&](std::string_view text) {
        return std::find(saved.begin(), saved.end(), text) != saved.end();
    };
    edits.replaces = [&](std::string_view oldText, std::string_view newText) {
        const std::string_view content = TrimBlanks(oldText);
        const size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            return false;
        }
        const std::string_view name = TrimBlanks(content.substr(0, equals));
        return newText.size() > name.size() && newText.substr(0, name.size()) == name &&
               newText[name.size()] == '=' && edits.isNew(newText);
    };
    edits.maxReplaced = 4;
    edits.maxInserted = 5;
    const auto linesBefore = fuzz::SplitLines(before);
    const auto linesAfter = fuzz::SplitLines(after);
    const fuzz::LineChanges changes = fuzz::CompareLines(linesBefore, linesAfter, edits);
    const auto lines = [&] {
        return detail() + "\nlines before:\n" + fuzz::ShownLines(linesBefore) + "lines after:\n" +
               fuzz::ShownLines(linesAfter);
    };
    Require(changes.kept, "a save keeps every line but the settings' own", lines);
    Require(fuzz::NewLineEndsFollowTheirNeighbours(linesBefore, linesAfter, changes),
            "a new line ends as the line before it", lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t stateByte = input.Byte();
    const SettingsFileState state = stateByte % 3 == 0   ? SettingsFileState::kRead
                                    : stateByte % 3 == 1 ? SettingsFileState::kMissing
                                                         : SettingsFileState::kUnreadable;
    Values values;
    values.onTop = input.Byte() & 1;
    values.colour = input.Number<int32_t>();
    values.left = std::clamp<int32_t>(input.Number<int16_t>(), -kEdgeLimit, kEdgeLimit);
    values.top = std::clamp<int32_t>(input.Number<int16_t>(), -kEdgeLimit, kEdgeLimit);
    const int32_t screenWidth = input.Number<uint16_t>();
    const std::string_view file =
        state == SettingsFileState::kRead ? input.Rest() : std::string_view();
    const auto detail = [&] {
        return "state " + std::to_string(static_cast<int>(state)) + ", " + ShownValues(values) +
               ", screen width " + std::to_string(screenWidth) + "\nfile " + Shown(file);
    };

    if (state == SettingsFileState::kUnreadable) {
        Store store(state, "");
        Require(Load(store, screenWidth) == Defaults(screenWidth),
                "an unreadable file gives the defaults", detail);
        Save(store, values);  // the store requires that nothing is saved
        return 0;
    }

    // Whatever a load gives, saving it and loading again gives the same.
    {
        Store store(state, file);
        const Values loaded = Load(store, screenWidth);
        if (state == SettingsFileState::kMissing) {
            Require(loaded == Defaults(screenWidth), "a missing file gives the defaults", detail);
        }
        Save(store, loaded);
        const Values again = Load(store, screenWidth);
        Require(again == loaded, "load, save, load gives the values of the first load", [&] {
            return detail() + "\nfirst " + ShownValues(loaded) + "\nthen " + ShownValues(again) +
                   "\nsaved " + Shown(store.bytes);
        });
    }

    // A save of any values keeps the file's other lines, and the next load gives the values.
    Store store(state, file);
    const bool saved = Save(store, values);
    Require(saved || state == SettingsFileState::kRead, "a missing file is created", detail);
    const auto savedDetail = [&] { return detail() + "\nsaved " + Shown(store.bytes); };
    if (saved) {
        RequireOtherLinesKept(file, store.bytes, values, savedDetail);
    }
    const Values loaded = Load(store, screenWidth);
    Require(loaded == values, "save then load gives the values saved",
            [&] { return savedDetail() + "\nloaded " + ShownValues(loaded); });
    Require(!Save(store, values), "a file that would not change is not written again", savedDetail);
    return 0;
}
