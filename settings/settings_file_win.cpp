#include "settings/settings_file_win.h"

#include <windows.h>

#include <algorithm>

#include "settings/settings_file.h"
#include "base/handles_win.h"

namespace oruvel {

namespace {

// A settings file is a few lines; anything beyond this is not ours to load into memory.
constexpr LONGLONG kLargestReadableFile = 256LL * 1024 * 1024;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// CreateFileW reports failure with INVALID_HANDLE_VALUE, not null.
UniqueHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// How a Win32 call of a step ended, by its last error when it failed.
FileStep Outcome(bool succeeded) {
    return succeeded ? FileStep::kDone : FailedStep(GetLastError());
}

void Pause(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

UniqueHandle OpenBusyFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                          DWORD flags) {
    UniqueHandle file;
    RetryWhileBusy(
        [&] {
            file = OpenFile(path, access, share, disposition, flags);
            return Outcome(static_cast<bool>(file));
        },
        Pause);
    return file;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The file that a save replaces: the settings file, or the file that a symbolic link in its place
// leads to, so that the link stays a link and the file it leads to is the one updated.
struct SaveTarget {
    std::wstring path;
    bool exists = false;
    DWORD attributes = 0;
    DWORD names = 1;  // hard links: the file's names, in this folder or others
};

std::optional<SaveTarget> FindSaveTarget(const std::wstring& path) {
    // Attributes only: the open follows links to the file and conflicts with no one's. Backup
    // semantics let a directory open too, to be refused by the caller.
    UniqueHandle file =
        OpenFile(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return SaveTarget{path};
        }
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) {
        return std::nullopt;
    }
    SaveTarget target{path, true, info.dwFileAttributes, info.nNumberOfLinks};
    std::wstring resolved(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(
            file.get(), resolved.data(), static_cast<DWORD>(resolved.size()), VOLUME_NAME_DOS);
        if (length == 0) {
            break;  // the path as given still names the file
        }
        if (length < resolved.size()) {
            resolved.resize(length);  // "\\?\C:\...", which every call below takes
            target.path = std::move(resolved);
            break;
        }
        resolved.resize(length);
    }
    return target;
}

// Whether the process of this id runs, or may: one that may not be looked at counts as running.
bool ProcessMayRun(DWORD id) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) {
        return GetLastError() != ERROR_INVALID_PARAMETER;  // no process has the id
    }
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// Removes the new files that earlier saves of `target` left beside it when their process ended
// between writing and renaming them. A file that a running process may still rename is kept.
void RemoveLeftoverFiles(const std::wstring& target) {
    const std::size_t folderEnd = target.rfind(L'\\') + 1;
    const std::wstring name = target.substr(folderEnd);
    WIN32_FIND_DATAW entry;
    HANDLE first = FindFirstFileW((target + L".*.tmp").c_str(), &entry);
    const UniqueFind search(first == INVALID_HANDLE_VALUE ? nullptr : first);
    if (!search) {
        return;
    }
    do {
        const auto writer = TemporaryFileWriter(entry.cFileName, name);
        if (writer && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            *writer != GetCurrentProcessId() && !ProcessMayRun(*writer)) {
            DeleteFileW((target.substr(0, folderEnd) + entry.cFileName).c_str());
        }
    } while (FindNextFileW(search.get(), &entry));
}

// A file with more than one name is written where it is: a new file renamed into place would
// take the place of this name alone, and the other names would keep the old bytes. A crash in the
// middle of this write can leave the file cut short; that is the price of keeping every name.
bool RewriteInPlace(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file = OpenBusyFile(path, GENERIC_WRITE, 0, OPEN_EXISTING, 0);
    return file && WriteAll(file.get(), bytes) && SetEndOfFile(file.get()) &&
           FlushFileBuffers(file.get());
}

// Wine's ReplaceFileW moves the old file aside and deletes it before it moves the new one in
// (Wine 8, kernelbase): a crash between the two would leave no settings file at all.
bool RunningOnWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Puts the new file `temporary` in the target's place in one step.
bool PutInPlace(const std::wstring& temporary, const SaveTarget& target) {
    return PutNewFileInPlace(
        target.exists && !RunningOnWine(),
        [&] {
            return Outcome(ReplaceFileW(
                target.path.c_str(), temporary.c_str(), nullptr,
                REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr));
        },
        [&] {
            return Outcome(MoveFileExW(temporary.c_str(), target.path.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
        },
        Pause);
}

}  // namespace

std::wstring SettingsFilePath() {
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
        if (length < exe.size()) {
            exe.resize(length);
            break;
        }
        exe.resize(exe.size() * 2);
    }
    return exe.substr(0, exe.rfind(L'\\')) + L"\\config.ini";
}

SettingsFileContent SettingsFile::Load() {
    const DWORD attributes = GetFileAttributesW(path_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? SettingsFileState::kMissing : SettingsFileState::kUnreadable, {}};
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return {SettingsFileState::kUnreadable, {}};
    }
    UniqueHandle file =
        OpenBusyFile(path_, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestReadableFile) {
        return {SettingsFileState::kUnreadable, {}};
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        if (!ReadFile(file.get(), bytes.data() + done, want, &got, nullptr)) {
            return {SettingsFileState::kUnreadable, {}};
        }
        if (got == 0) {
            bytes.resize(done);  // the file shrank while we read it
            break;
        }
        done += got;
    }
    return {SettingsFileState::kRead, std::move(bytes)};
}

bool SettingsFile::Save(const std::string& bytes) {
    const std::optional<SaveTarget> target = FindSaveTarget(path_);
    // Windows refuses to replace a read-only file, but Wine's rename replaces it: look first.
    if (!target || target->attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    RemoveLeftoverFiles(target->path);
    if (target->names > 1) {
        return RewriteInPlace(target->path, bytes);
    }

    // The new file takes over the old one's hidden and system attributes.
    const DWORD kept = target->attributes &
                       (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    const std::wstring temporary = TemporaryFilePath(target->path, GetCurrentProcessId());
    {
        UniqueHandle file = OpenFile(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS,
                                     kept ? kept : FILE_ATTRIBUTE_NORMAL);
        if (!file) {
            return false;
        }
        if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get())) {
            file.reset();
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    // The old file stays whole until the new one takes its place.
    if (!PutInPlace(temporary, *target)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace oruvel
