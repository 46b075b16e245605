#include "settings/settings.h"
#include "ui/bar_placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace oruvel {
namespace {

// The file's names in GBK, spelled out here rather than taken from the header.
const std::string kSectionLine = "[\xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3]";      // [程序配置]
const std::string kOnTopKey = "\xC7\xB0\xB6\xCB\xCF\xD4\xCA\xBE";           // 前端显示
const std::string kColourKey = "\xD6\xB8\xCA\xBE\xB5\xC6\xD1\xD5\xC9\xAB";  // 指示灯颜色
const std::string kLeftKey = "\xD7\xF3\xB1\xDF";                            // 左边
const std::string kTopKey = "\xB6\xA5\xB1\xDF";                             // 顶边
const std::string kYesText = "\xCA\xC7";                                    // 是
const std::string kNoText = "\xB7\xF1";                                     // 否

// The settings section holding `lines`, with CR LF line ends.
std::string SettingsFile(const std::vector<std::string>& lines) {
    std::string file = kSectionLine + "\r\n";
    for (const std::string& line : lines) {
        file += line + "\r\n";
    }
    return file;
}

class FakeStore final : public SettingsStore {
  public:
    FakeStore(SettingsFileState initialState, std::string initialBytes)
        : state(initialState), bytes(std::move(initialBytes)) {}

    SettingsFileContent Load() override {
        ++loads;
        return {state, state == SettingsFileState::kRead ? bytes : std::string()};
    }
    bool Save(const std::string& newBytes) override {
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

// A bar that clamps its edges as the real one does and logs what is asked of it.
class FakeBar final : public BarProperties {
  public:
    bool AlwaysOnTop() const override {
        log.push_back("AlwaysOnTop");
        return onTop;
    }
    void SetAlwaysOnTop(bool on) override {
        onTop = on;
        log.push_back("SetAlwaysOnTop(" + std::to_string(on) + ")");
    }
    int32_t Left() const override {
        log.push_back("Left");
        return left;
    }
    void SetLeft(int32_t value) override {
        left = ClampBarCoordinate(value);
        log.push_back("SetLeft(" + std::to_string(value) + ")");
    }
    int32_t Top() const override {
        log.push_back("Top");
        return top;
    }
    void SetTop(int32_t value) override {
        top = ClampBarCoordinate(value);
        log.push_back("SetTop(" + std::to_string(value) + ")");
    }
    int32_t Width() const override {
        log.push_back("Width");
        return 100;
    }

    bool onTop = false;
    int32_t left = 0;
    int32_t top = 0;
    mutable std::vector<std::string> log;
};

struct Settings {
    bool onTop;
    int32_t colour;
    int32_t left;
    int32_t top;
};

std::string Show(const Settings& s) {
    return "onTop=" + std::to_string(s.onTop) + " colour=" + std::to_string(s.colour) +
           " left=" + std::to_string(s.left) + " top=" + std::to_string(s.top);
}

// Loads into a bar and a colour that hold other values beforehand, so every value is seen set.
Settings Load(FakeStore& store, int32_t screenWidth, bool onTopBefore) {
    FakeBar bar;
    bar.onTop = onTopBefore;
    bar.left = bar.top = 12345;
    std::atomic<int32_t> litColour{12345};
    LoadSettings(store, bar, screenWidth, litColour);
    return {bar.onTop, litColour.load(), bar.left, bar.top};
}

TEST(LoadSettings, UsesTheDefaultsForWhatTheFileLacks) {
    using enum SettingsFileState;
    const struct {
        const char* name;
        SettingsFileState state;
        std::string file;
        int32_t screenWidth;
        Settings expected;
    } cases[] = {
        {"no file, 800 wide", kMissing, "", 800, {true, 65280, 350, 0}},
        {"no file, 799 wide: default 349.5", kMissing, "", 799, {true, 65280, 349, 0}},
        {"unreadable file", kUnreadable, "", 1024, {true, 65280, 462, 0}},
        {"no settings section",
         kRead,
         "[other]\r\n" + kLeftKey + "=5\r\n",
         800,
         {true, 65280, 350, 0}},
        {"section without keys", kRead, kSectionLine + "\r\nx=1\r\n", 800, {true, 65280, 350, 0}},
    };
    for (const auto& c : cases) {
        FakeStore store(c.state, c.file);
        EXPECT_EQ(Show(Load(store, c.screenWidth, false)), Show(c.expected)) << c.name;
    }
}

// Each case holds one or more lines of the settings section, read on a screen 800 pixels wide.
TEST(LoadSettings, AppliesTheValuesInTheFile) {
    const std::string fullWidth65280 = "\xA3\xB6\xA3\xB5\xA3\xB2\xA3\xB8\xA3\xB0";  // ６５２８０
    const std::string yes = kOnTopKey + "=";
    const std::string colour = kColourKey + "=";
    const std::string left = kLeftKey + "=";
    const std::string top = kTopKey + "=";
    const struct {
        const char* name;
        std::vector<std::string> lines;
        Settings expected;
    } cases[] = {
        {"all four keys",
         {yes + kNoText, colour + "255", left + "-5", top + "40"},
         {false, 255, -5, 40}},
        {"keys in another order", {top + "3", left + "2", colour + "1"}, {true, 1, 2, 3}},
        {"flag no", {yes + kNoText}, {false, 65280, 350, 0}},
        {"flag empty", {yes}, {false, 65280, 350, 0}},
        {"flag other text", {yes + "yes"}, {false, 65280, 350, 0}},
        {"flag yes twice", {yes + kYesText + kYesText}, {false, 65280, 350, 0}},
        {"flag yes with blanks", {kOnTopKey + " = \t" + kYesText + "  "}, {true, 65280, 350, 0}},
        {"flag yes in double quotes", {yes + "\"" + kYesText + "\""}, {true, 65280, 350, 0}},
        {"flag yes in single quotes", {yes + "'" + kYesText + "'"}, {true, 65280, 350, 0}},
        {"flag yes ended by a nul byte", {yes + kYesText + "\0junk"s}, {true, 65280, 350, 0}},
        {"colour 255 is red", {colour + "255"}, {true, 255, 350, 0}},
        {"colour hexadecimal", {colour + "0x00FF00"}, {true, 0, 350, 0}},
        {"colour 1e3", {colour + "1e3"}, {true, 1000, 350, 0}},
        {"colour with letters after", {colour + "65280abc"}, {true, 65280, 350, 0}},
        {"colour full-width", {colour + fullWidth65280}, {true, 65280, 350, 0}},
        {"colour -1", {colour + "-1"}, {true, -1, 350, 0}},
        {"colour 2^32 - 1", {colour + "4294967295"}, {true, -1, 350, 0}},
        {"colour empty is black, not the default", {colour}, {true, 0, 350, 0}},
        {"left clamped high", {left + "100000"}, {true, 65280, 32627, 0}},
        {"left clamped low", {left + "-100000"}, {true, 65280, -32627, 0}},
        {"left -5", {left + "-5"}, {true, 65280, -5, 0}},
        {"left 1e30", {left + "1e30"}, {true, 65280, 0, 0}},
        {"left truncated", {left + "632.9"}, {true, 65280, 632, 0}},
        {"left cut to 10239 digits is out of range",
         {left + "1" + std::string(20000, '0')},
         {true, 65280, 0, 0}},
        {"top not a number", {top + "abc"}, {true, 65280, 350, 0}},
        {"top -0.5", {top + "-0.5"}, {true, 65280, 350, 0}},
        {"blanks around the key", {"  " + kTopKey + " =  7 "}, {true, 65280, 350, 7}},
    };
    for (const auto& c : cases) {
        FakeStore store(SettingsFileState::kRead, SettingsFile(c.lines));
        EXPECT_EQ(Show(Load(store, 800, !c.expected.onTop)), Show(c.expected)) << c.name;
    }
}

// The same two values, laid out in files of different shapes.
TEST(LoadSettings, ReadsFilesOfAnyShape) {
    const std::string values = kLeftKey + "=1";
    const struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"crlf", kSectionLine + "\r\n" + values + "\r\n"},
        {"lf", kSectionLine + "\n" + values + "\n"},
        {"cr", kSectionLine + "\r" + values + "\r"},
        {"no final line end", kSectionLine + "\r\n" + values},
        {"blanks around the section name", "  [ \xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3 ]\r\n" + values},
        {"nul bytes and garbage around",
         "\0\xFF\xB3\x01\r\n"s + kSectionLine + "\r\n" + values + "\r\n\0\0"s},
    };
    for (const auto& c : cases) {
        FakeStore store(SettingsFileState::kRead, c.file);
        EXPECT_EQ(Show(Load(store, 800, false)), Show({true, 65280, 1, 0})) << c.name;
    }
}

TEST(LoadSettings, AppliesEachValueInTurnFromOneRead) {
    FakeStore store(SettingsFileState::kMissing, "");
    FakeBar bar;
    std::atomic<int32_t> litColour{0};
    LoadSettings(store, bar, 800, litColour);
    const std::vector<std::string> expected = {"SetAlwaysOnTop(1)", "Width", "SetLeft(350)",
                                               "SetTop(0)"};
    EXPECT_EQ(bar.log, expected);
    EXPECT_EQ(store.loads, 1);
}

TEST(SaveSettings, FirstSaveWritesTheFiveLines) {
    FakeStore store(SettingsFileState::kMissing, "");
    FakeBar bar;
    std::atomic<int32_t> litColour{0};
    LoadSettings(store, bar, 800, litColour);
    SaveSettings(store, bar, litColour);
    EXPECT_EQ(store.bytes,
              "[\xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3]\r\n"              // [程序配置]
              "\xC7\xB0\xB6\xCB\xCF\xD4\xCA\xBE=\xCA\xC7\r\n"       // 前端显示=是
              "\xD6\xB8\xCA\xBE\xB5\xC6\xD1\xD5\xC9\xAB=65280\r\n"  // 指示灯颜色=65280
              "\xD7\xF3\xB1\xDF=350\r\n"                            // 左边=350
              "\xB6\xA5\xB1\xDF=0\r\n");                            // 顶边=0
    EXPECT_EQ(store.saves, 1);
}

TEST(SaveSettings, WritesTheFourKeysAndKeepsEverythingElse) {
    using enum SettingsFileState;
    const Settings off{false, -1, -5, 40};
    const std::string offLines = kOnTopKey + "=" + kNoText + "\r\n" + kColourKey + "=-1\r\n" +
                                 kLeftKey + "=-5\r\n" + kTopKey + "=40\r\n";
    const std::string offLf = kOnTopKey + "=" + kNoText + "\n" + kColourKey + "=-1\n" + kLeftKey +
                              "=-5\n" + kTopKey + "=40\n";
    const std::string otherSection = "[\xC6\xE4\xCB\xFB]\r\nx = 1\r\n\r\n";  // [其他]
    const struct {
        const char* name;
        SettingsFileState state;
        std::string file;
        Settings bar;
        std::optional<std::string> expected;  // nullopt: the file is not saved
    } cases[] = {
        {"no file", kMissing, "", off, kSectionLine + "\r\n" + offLines},
        {"other sections before and after",
         kRead,
         otherSection + SettingsFile({"; note", kLeftKey + " = 1", "extra=2", ""}) +
             "[after]\r\ny=2",
         {true, 65280, 350, 0},
         otherSection + kSectionLine + "\r\n; note\r\n" + kLeftKey + "=350\r\nextra=2\r\n" +
             kOnTopKey + "=" + kYesText + "\r\n" + kColourKey + "=65280\r\n" + kTopKey +
             "=0\r\n\r\n[after]\r\ny=2"},
        {"other section only, lf", kRead, "[a]\nb=1", off,
         "[a]\nb=1\n" + kSectionLine + "\n" + kOnTopKey + "=" + kNoText + "\n" + kColourKey +
             "=-1\n" + kLeftKey + "=-5\n" + kTopKey + "=40\n"},
        {"values replaced in place", kRead,
         SettingsFile({kTopKey + "=1", kLeftKey + "=2", kColourKey + "=3", kOnTopKey + "=x"}), off,
         SettingsFile(
             {kTopKey + "=40", kLeftKey + "=-5", kColourKey + "=-1", kOnTopKey + "=" + kNoText})},
        {"nul bytes and garbage stay", kRead, "\0\xFF\r\n\xB3"s, off,
         "\0\xFF\r\n\xB3\r\n"s + kSectionLine + "\r\n" + offLines},
        {"an empty line after the section, the first line ending in CR", kRead,
         "a\r" + kSectionLine + "\n\n", off, "a\r" + kSectionLine + "\n" + offLf + "\n"},
        {"unreadable file is left alone", kUnreadable, "", off, std::nullopt},
        {"unchanged file is not rewritten", kRead, kSectionLine + "\r\n" + offLines, off,
         std::nullopt},
    };
    for (const auto& c : cases) {
        FakeStore store(c.state, c.file);
        FakeBar bar;
        bar.onTop = c.bar.onTop;
        bar.left = c.bar.left;
        bar.top = c.bar.top;
        const std::atomic<int32_t> litColour{c.bar.colour};
        SaveSettings(store, bar, litColour);
        if (c.expected) {
            EXPECT_EQ(store.saves, 1) << c.name;
            EXPECT_EQ(store.bytes, *c.expected) << c.name;
        } else {
            EXPECT_EQ(store.saves, 0) << c.name;
        }
    }
}

TEST(SaveSettings, ReadsEachValueAsItWritesItsKey) {
    FakeStore store(SettingsFileState::kMissing, "");
    FakeBar bar;
    const std::atomic<int32_t> litColour{65280};
    SaveSettings(store, bar, litColour);
    const std::vector<std::string> expected = {"AlwaysOnTop", "Left", "Top"};
    EXPECT_EQ(bar.log, expected);
    EXPECT_EQ(store.loads, 1);
}

TEST(SaveSettings, NextStartReadsTheSameValues) {
    const Settings cases[] = {
        {true, 65280, 350, 0},
        {false, -1, -32627, 32627},
        {true, INT32_MIN, 0, -5},
        {false, INT32_MAX, 32627, -32627},
    };
    for (const Settings& saved : cases) {
        FakeStore store(SettingsFileState::kRead, "[a]\r\nb=1\r\n");
        FakeBar bar;
        bar.onTop = saved.onTop;
        bar.left = saved.left;
        bar.top = saved.top;
        const std::atomic<int32_t> litColour{saved.colour};
        SaveSettings(store, bar, litColour);
        EXPECT_EQ(Show(Load(store, 800, !saved.onTop)), Show(saved));
    }
}

TEST(Settings, GarbageAroundTheSectionIsReadPastAndKept) {
    std::string garbage(1u << 20, '\0');
    for (std::size_t i = 0; i < garbage.size(); i += 7) {
        garbage[i] = static_cast<char>(i * 31);  // line ends, brackets, '=' and GBK lead bytes
    }
    FakeStore store(SettingsFileState::kRead,
                    garbage + "\r\n" + SettingsFile({kLeftKey + "=7", kTopKey + "=8"}));
    FakeBar bar;
    std::atomic<int32_t> litColour{0};
    LoadSettings(store, bar, 800, litColour);
    EXPECT_EQ(bar.left, 7);
    EXPECT_EQ(bar.top, 8);
    SaveSettings(store, bar, litColour);
    EXPECT_EQ(store.bytes.compare(0, garbage.size(), garbage), 0);
    EXPECT_EQ(Show(Load(store, 800, false)), Show({true, 65280, 7, 8}));
}

// A file that a user saved as UTF-8 (the source of this test is UTF-8): its values apply, and a
// save writes the four keys back in UTF-8 into its one section, keeping a byte-order mark.
TEST(Settings, AUtf8FileIsReadAndWrittenBackAsUtf8) {
    const std::string mark = "\xEF\xBB\xBF";
    const struct {
        const char* name;
        std::string file;
        Settings loaded;
        Settings saved;  // the bar's and the colour's values at the end
        std::string expected;
    } cases[] = {
        {"no mark, 否 and full-width digits",
         "[程序配置]\r\n前端显示=否\r\n左边=\u3000１２\r\n",
         {false, 65280, 12, 0},
         {true, 255, 12, 7},
         "[程序配置]\r\n前端显示=是\r\n左边=12\r\n指示灯颜色=255\r\n顶边=7\r\n"},
        {"the mark, 是 in quotes, lf",
         mark + "; 注释\n[程序配置]\n前端显示=\"是\"\n指示灯颜色=255\n",
         {true, 255, 350, 0},
         {false, 255, 350, 0},
         mark + "; 注释\n[程序配置]\n前端显示=否\n指示灯颜色=255\n左边=350\n顶边=0\n"},
        // 设 is three bytes: read as GBK, its last byte would take the ']' into a character, the
        // section line would be none, and its 顶边 would count as the program's.
        {"a section named with an odd number of bytes after the program's",
         "[程序配置]\n左边=5\n[设]\n顶边=9\n",
         {true, 65280, 5, 0},
         {true, 65280, 5, 0},
         "[程序配置]\n左边=5\n前端显示=是\n指示灯颜色=65280\n顶边=0\n[设]\n顶边=9\n"},
        {"the mark and no section: the section is added in UTF-8",
         mark + "[其他]\r\n键=值\r\n",
         {true, 65280, 350, 0},
         {true, 65280, 350, 0},
         mark + "[其他]\r\n键=值\r\n[程序配置]\r\n前端显示=是\r\n指示灯颜色=65280\r\n左边=350\r\n"
                "顶边=0\r\n"},
    };
    for (const auto& c : cases) {
        FakeStore store(SettingsFileState::kRead, c.file);
        EXPECT_EQ(Show(Load(store, 800, !c.loaded.onTop)), Show(c.loaded)) << c.name;
        FakeBar bar;
        bar.onTop = c.saved.onTop;
        bar.left = c.saved.left;
        bar.top = c.saved.top;
        const std::atomic<int32_t> litColour{c.saved.colour};
        SaveSettings(store, bar, litColour);
        EXPECT_EQ(store.bytes, c.expected) << c.name;
    }
}

TEST(ReadSetting, GivesTheValueOrTheDefault) {
    using enum SettingsFileState;
    const struct {
        const char* name;
        SettingsFileState state;
        std::string file;
        std::string expected;
    } cases[] = {
        {"no file", kMissing, "", "default"},
        {"unreadable file", kUnreadable, "", "default"},
        {"key missing", kRead, SettingsFile({kTopKey + "=1"}), "default"},
        {"key present", kRead, SettingsFile({kLeftKey + "= 12 "}), "12"},
        {"key present and empty", kRead, SettingsFile({kLeftKey + "="}), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadSetting(SettingsText({c.state, c.file}), kLeftKey, "default"), c.expected)
            << c.name;
    }
}

TEST(WriteSetting, SetsOneKeyInTheFilesBytes) {
    const struct {
        const char* name;
        std::string file;
        std::string expected;
    } cases[] = {
        {"no file", "", SettingsFile({kLeftKey + "=5"})},
        {"key present", SettingsFile({kLeftKey + "=1", kTopKey + "=2"}),
         SettingsFile({kLeftKey + "=5", kTopKey + "=2"})},
    };
    for (const auto& c : cases) {
        SettingsText file({SettingsFileState::kRead, c.file});
        WriteSetting(file, kLeftKey, "5");
        EXPECT_EQ(file.Bytes(), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace oruvel
