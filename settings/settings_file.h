// The rules of replacing config.ini on disk that need no file system: the name of the new file
// written beside it, which leftover files are ours to remove, which failures mean a busy file and
// how long it is waited for, and which way the new file is put in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace oruvel {

// The new file that a save of the settings file `path` by process `processId` writes beside it
// before putting it in the file's place: "<path>.<process id in decimal>.tmp".
std::wstring TemporaryFilePath(std::wstring_view path, uint32_t processId);

// The process that wrote `fileName` as a new file for the settings file named `settingsName`
// (names without folders), or nothing when the name is not of that form exactly. A crash between
// writing such a file and renaming it leaves it behind; nothing of any other name is ever ours.
std::optional<uint32_t> TemporaryFileWriter(std::wstring_view fileName,
                                            std::wstring_view settingsName);

// The outcome of one try of a step of a save.
enum class FileStep { kDone, kBusy, kFailed };

// How a step that failed with this Windows error code ended. A sharing violation, a lock or a
// refused access may be a virus scanner or the search indexer holding the file for a moment, and
// is tried again; so is a replaced file that ReplaceFileW could not remove. A refusal that lasts
// (the file's permissions) ends as busy too, and the old file is kept.
FileStep FailedStep(uint32_t windowsError);

// The pauses before the next try of a step that found the file busy (held by a virus scanner or a
// search indexer for a moment): about one second in all, short ones first.
inline constexpr int kBusyFilePausesMs[] = {10, 20, 40, 80, 150, 300, 400};

// Runs `step` until it is done or fails, or until it has found the file busy once more after the
// last pause; `pause(ms)` waits. Gives the last try's outcome.
template <typename Step, typename Pause>
FileStep RetryWhileBusy(Step&& step, Pause&& pause) {
    FileStep outcome = step();
    for (const int ms : kBusyFilePausesMs) {
        if (outcome != FileStep::kBusy) {
            break;
        }
        pause(ms);
        outcome = step();
    }
    return outcome;
}

// Puts the new file in the old one's place. `replace` (ReplaceFileW, which keeps the old file's
// security descriptor and attributes) is used when `mayReplace`; when it fails for a reason not
// of the file's making (a file system without it), or may not be used (no old file, or a system
// whose ReplaceFileW is not one step), `rename` does it. Each is retried while busy. True when
// the new file is in place; otherwise the old file is as it was.
template <typename Replace, typename Rename, typename Pause>
bool PutNewFileInPlace(bool mayReplace, Replace&& replace, Rename&& rename, Pause&& pause) {
    if (mayReplace) {
        const FileStep replaced = RetryWhileBusy(replace, pause);
        if (replaced != FileStep::kFailed) {
            return replaced == FileStep::kDone;
        }
    }
    return RetryWhileBusy(rename, pause) == FileStep::kDone;
}

}  // namespace oruvel
