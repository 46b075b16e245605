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

std::string ReadSetting(const SettingsFileContent& file, std::string_view key,
                        std::string_view defaultText) {
    if (file.state == SettingsFileState::kRead) {
        if (auto value = ReadProfileValue(file.bytes, kSettingsSection, key)) {
            return *std::move(value);
        }
    }
    return std::string(defaultText);
}

void WriteSetting(std::string& fileBytes, std::string_view key, std::string_view value) {
    fileBytes = WriteProfileValue(fileBytes, kSettingsSection, key, value);
}

void LoadSettings(SettingsStore& store, BarProperties& bar, int32_t screenWidth,
                  std::atomic<int32_t>& litColour) {
    const SettingsFileContent file = store.Load();

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
    const SettingsFileContent file = store.Load();
    if (file.state == SettingsFileState::kUnreadable) {
        return;
    }
    std::string bytes = file.bytes;
    WriteSetting(bytes, kKeyAlwaysOnTop, bar.AlwaysOnTop() ? kYes : kNo);
    WriteSetting(bytes, kKeyLitColour, NumberToText(litColour.load(std::memory_order_relaxed)));
    WriteSetting(bytes, kKeyLeft, NumberToText(bar.Left()));
    WriteSetting(bytes, kKeyTop, NumberToText(bar.Top()));
    if (file.state == SettingsFileState::kRead && bytes == file.bytes) {
        return;
    }
    store.Save(bytes);
}

}  // namespace oruvel
