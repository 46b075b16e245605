#include "settings/settings.h"

#include "settings/conversions.h"
#include "settings/profile.h"

#include <utility>

namespace oruvel {
namespace {

int32_t ToInt(const std::string& text) {
    return TruncateToInt(TextToNumber(text));
}

}  // namespace

SettingsText::SettingsText(SettingsFileContent file)
    : encoding(ChooseSettingsEncoding(file.bytes)), text(std::move(file.bytes)) {
    if (encoding == SettingsEncoding::kUtf8WithMark) {
        text.erase(0, kUtf8Mark.size());
    }
}

std::string SettingsText::Bytes() const {
    return encoding == SettingsEncoding::kUtf8WithMark ? std::string(kUtf8Mark) + text : text;
}

std::string ReadSetting(const SettingsText& file, std::string_view key,
                        std::string_view defaultText) {
    if (file.encoding == SettingsEncoding::kGbk) {
        if (auto value = ReadProfileValue(file.text, kSettingsSection, key)) {
            return *std::move(value);
        }
    } else if (auto value = ReadProfileValue(file.text, SettingsTextToUtf8(kSettingsSection),
                                             SettingsTextToUtf8(key), ProfileEncoding::kUtf8)) {
        return SettingsTextFromUtf8(*value);
    }
    return std::string(defaultText);
}

void WriteSetting(SettingsText& file, std::string_view key, std::string_view value) {
    if (file.encoding == SettingsEncoding::kGbk) {
        file.text = WriteProfileValue(file.text, kSettingsSection, key, value);
    } else {
        file.text = WriteProfileValue(file.text, SettingsTextToUtf8(kSettingsSection),
                                      SettingsTextToUtf8(key), SettingsTextToUtf8(value),
                                      ProfileEncoding::kUtf8);
    }
}

void LoadSettings(SettingsStore& store, BarProperties& bar, int32_t screenWidth,
                  std::atomic<int32_t>& litColour) {
    const SettingsText file(store.Load());

    // Set in both cases: a "否" takes the bar out of the topmost band.
    bar.SetAlwaysOnTop(ReadSetting(file, kKeyAlwaysOnTop, kYes) == kYes);

    litColour.store(ToInt(ReadSetting(file, kKeyLitColour, "65280")), std::memory_order_relaxed);

    // In double precision, as the default is formed: an odd difference gives "349.5".
    const double centredLeft =
        (static_cast<double>(screenWidth) - static_cast<double>(bar.Width())) / 2.0;
    bar.SetLeft(ToInt(ReadSetting(file, kKeyLeft, NumberToText(centredLeft))));

    bar.SetTop(ToInt(ReadSetting(file, kKeyTop, "0")));
}

void SaveSettings(SettingsStore& store, const BarProperties& bar,
                  const std::atomic<int32_t>& litColour) {
    SettingsFileContent loaded = store.Load();
    if (loaded.state == SettingsFileState::kUnreadable) {
        return;
    }
    const bool existed = loaded.state == SettingsFileState::kRead;
    SettingsText file(std::move(loaded));
    const std::string before = file.text;
    WriteSetting(file, kKeyAlwaysOnTop, bar.AlwaysOnTop() ? kYes : kNo);
    WriteSetting(file, kKeyLitColour, NumberToText(litColour.load(std::memory_order_relaxed)));
    WriteSetting(file, kKeyLeft, NumberToText(bar.Left()));
    WriteSetting(file, kKeyTop, NumberToText(bar.Top()));
    if (existed && file.text == before) {
        return;
    }
    store.Save(file.Bytes());
}

}  // namespace oruvel
