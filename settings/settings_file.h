// The rules of replacing config.ini on disk that need no file system: the name of the new file
// written beside it, which leftover files are ours to remove, and how long a busy file is waited
// for.
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

}  // namespace oruvel
