#include "settings/settings_file_win.h"

#include <windows.h>

#include <algorithm>

#include "ui/handles_win.h"

namespace oruvel {

namespace {

// A settings file is a few lines; anything beyond this is not ours to load into memory.
constexpr LONGLONG kLargestReadableFile = 256LL * 1024 * 1024;

// CreateFileW reports failure with INVALID_HANDLE_VALUE, not null.
UniqueHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
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
        OpenFile(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
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
    // Windows refuses to rename over a read-only file, but Wine's MoveFileExW replaces it: look
    // first. The new file takes over the old one's hidden and system attributes.
    DWORD attributes = GetFileAttributesW(path_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        attributes = 0;  // no file yet
    } else if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    const DWORD kept =
        attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);

    wchar_t processId[16];  // wsprintfW, not std::to_wstring: the C runtime's printf stays out
    wsprintfW(processId, L"%lu", GetCurrentProcessId());
    const std::wstring temporary = path_ + L"." + processId + L".tmp";
    {
        UniqueHandle file = OpenFile(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS,
                                     kept ? kept : FILE_ATTRIBUTE_NORMAL);
        if (!file) {
            return false;
        }
        DWORD written = 0;
        const bool complete = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &written, nullptr) &&
                              written == bytes.size() && FlushFileBuffers(file.get());
        if (!complete) {
            file.reset();
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    // One rename puts the new file in place: the old one stays whole until it is replaced.
    // Not ReplaceFileW: Wine's deletes the old file before it moves the new one in.
    if (!MoveFileExW(temporary.c_str(), path_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace oruvel
