#include "settings/settings_file.h"

namespace oruvel {
namespace {

constexpr std::wstring_view kTemporarySuffix = L".tmp";

// The largest process id, 4294967295, has ten digits.
constexpr std::size_t kMaxProcessIdDigits = 10;

// The Windows error codes that a busy or refusing file gives.
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;
constexpr uint32_t kErrorUnableToRemoveReplaced = 1175;

}  // namespace

FileStep FailedStep(uint32_t windowsError) {
    switch (windowsError) {
        case kErrorAccessDenied:
        case kErrorSharingViolation:
        case kErrorLockViolation:
        case kErrorUnableToRemoveReplaced:
            return FileStep::kBusy;
        default:
            return FileStep::kFailed;
    }
}

std::wstring TemporaryFilePath(std::wstring_view path, uint32_t processId) {
    wchar_t digits[kMaxProcessIdDigits];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + processId % 10);
        processId /= 10;
    } while (processId != 0);
    std::wstring temporary(path);
    temporary += L'.';
    while (count > 0) {
        temporary += digits[--count];
    }
    temporary += kTemporarySuffix;
    return temporary;
}

std::optional<uint32_t> TemporaryFileWriter(std::wstring_view fileName,
                                            std::wstring_view settingsName) {
    if (!fileName.starts_with(settingsName) ||
        !fileName.substr(settingsName.size()).starts_with(L'.') ||
        !fileName.ends_with(kTemporarySuffix)) {
        return std::nullopt;
    }
    const std::size_t first = settingsName.size() + 1;
    if (fileName.size() < first + kTemporarySuffix.size()) {
        return std::nullopt;  // the dot before the digits would be the suffix's own
    }
    const std::wstring_view digits =
        fileName.substr(first, fileName.size() - first - kTemporarySuffix.size());
    // Written as TemporaryFilePath writes it: one to ten digits, no leading zero but in "0".
    if (digits.empty() || digits.size() > kMaxProcessIdDigits ||
        (digits.size() > 1 && digits.front() == L'0')) {
        return std::nullopt;
    }
    uint64_t id = 0;
    for (const wchar_t digit : digits) {
        if (digit < L'0' || digit > L'9') {
            return std::nullopt;
        }
        id = id * 10 + static_cast<uint64_t>(digit - L'0');
    }
    if (id > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(id);
}

}  // namespace oruvel
