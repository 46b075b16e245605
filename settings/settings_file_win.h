// config.ini beside the exe.
#pragma once

#include <string>

#include "settings/settings.h"

namespace oruvel {

// The exe's folder followed by "\config.ini", as a wide path, so any folder name works.
std::wstring SettingsFilePath();

// The settings file on disk. A save writes a new file beside the old one, flushes it and puts it
// in the old one's place in one step, keeping its security descriptor and attributes where the
// system can; through a symbolic link the file it leads to is the one replaced, and a file with
// several names is rewritten where it is. A read-only file is left as it is; a file that is busy
// for a moment is waited for. New files that crashed saves left beside it are removed.
class SettingsFile final : public SettingsStore {
  public:
    explicit SettingsFile(std::wstring path) : path_(std::move(path)) {}
    SettingsFileContent Load() override;
    bool Save(const std::string& bytes) override;

  private:
    std::wstring path_;
};

}  // namespace oruvel
