#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

namespace oruvel {
namespace {

TEST(TemporaryFile, TheNameOfASavesNewFileNamesItsProcess) {
    const struct {
        const wchar_t* path;
        uint32_t processId;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Tools\\config.ini", 1234, L"C:\\Tools\\config.ini.1234.tmp"},
        {L"\\\\?\\D:\\sync\\settings.ini", 0, L"\\\\?\\D:\\sync\\settings.ini.0.tmp"},
        {L"config.ini", UINT32_MAX, L"config.ini.4294967295.tmp"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TemporaryFilePath(c.path, c.processId), c.expected) << c.processId;
    }
}

TEST(TemporaryFile, OnlyNamesOfThatFormAreOurs) {
    const struct {
        const wchar_t* fileName;
        std::optional<uint32_t> writer;
    } cases[] = {
        {L"config.ini.1234.tmp", 1234},
        {L"config.ini.0.tmp", 0},
        {L"config.ini.4294967295.tmp", UINT32_MAX},
        {L"config.ini", std::nullopt},
        {L"config.ini.tmp", std::nullopt},
        {L"config.ini..tmp", std::nullopt},
        {L"config.ini.1234.tmp.bak", std::nullopt},
        {L"config.ini.1234.TMP", std::nullopt},
        {L"config.ini.1234", std::nullopt},
        {L"config.ini1234.tmp", std::nullopt},
        {L"Config.ini.1234.tmp", std::nullopt},
        {L"my.config.ini.1234.tmp", std::nullopt},
        {L"config.ini.12a4.tmp", std::nullopt},
        {L"config.ini.-1.tmp", std::nullopt},
        {L"config.ini.+1.tmp", std::nullopt},
        {L"config.ini. 1.tmp", std::nullopt},
        {L"config.ini.0123.tmp", std::nullopt},
        {L"config.ini.4294967296.tmp", std::nullopt},
        {L"config.ini.99999999999.tmp", std::nullopt},
        {L"config.ini.\uFF11\uFF12.tmp", std::nullopt},  // full-width digits
        {L"config.ini.1.2.tmp", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::wstring name = c.fileName;
        EXPECT_EQ(TemporaryFileWriter(c.fileName, L"config.ini"), c.writer)
            << std::string(name.begin(), name.end());
    }
    for (const uint32_t id : {0u, 7u, 4096u, 123456789u, UINT32_MAX}) {
        EXPECT_EQ(TemporaryFileWriter(TemporaryFilePath(L"config.ini", id), L"config.ini"), id);
    }
}

// Each case: the outcomes that successive tries of a step give.
TEST(RetryWhileBusy, ABusyFileIsTriedAgainForAboutOneSecond) {
    using enum FileStep;
    const int allPauses =
        std::accumulate(std::begin(kBusyFilePausesMs), std::end(kBusyFilePausesMs), 0);
    const struct {
        const char* name;
        std::vector<FileStep> tries;  // what each try gives; the last repeats
        FileStep expected;
        int expectedTries;
        int expectedPausedMs;
    } cases[] = {
        {"done at once", {kDone}, kDone, 1, 0},
        {"failed at once: not retried", {kFailed}, kFailed, 1, 0},
        {"busy twice, then done", {kBusy, kBusy, kDone}, kDone, 3, 30},
        {"busy, then failed", {kBusy, kFailed}, kFailed, 2, 10},
        {"busy until the last try",
         {kBusy, kBusy, kBusy, kBusy, kBusy, kBusy, kBusy, kDone},
         kDone,
         8,
         allPauses},
        {"busy for good", {kBusy}, kBusy, 8, allPauses},
    };
    for (const auto& c : cases) {
        int tries = 0;
        int pausedMs = 0;
        const FileStep outcome = RetryWhileBusy(
            [&] {
                const std::size_t at = std::min<std::size_t>(tries++, c.tries.size() - 1);
                return c.tries[at];
            },
            [&](int ms) { pausedMs += ms; });
        EXPECT_EQ(outcome, c.expected) << c.name;
        EXPECT_EQ(tries, c.expectedTries) << c.name;
        EXPECT_EQ(pausedMs, c.expectedPausedMs) << c.name;
    }
    EXPECT_GE(allPauses, 800) << "a busy file is given about a second";
    EXPECT_LE(allPauses, 1200) << "a busy file is given about a second";
}

TEST(FailedStep, ABusyOrRefusingFileIsTriedAgainAndNothingElse) {
    const struct {
        const char* name;
        uint32_t error;
        FileStep expected;
    } cases[] = {
        {"ERROR_ACCESS_DENIED: held without sharing, or not ours to write", 5, FileStep::kBusy},
        {"ERROR_SHARING_VIOLATION", 32, FileStep::kBusy},
        {"ERROR_LOCK_VIOLATION", 33, FileStep::kBusy},
        {"ERROR_UNABLE_TO_REMOVE_REPLACED", 1175, FileStep::kBusy},
        {"ERROR_INVALID_FUNCTION: a file system without ReplaceFileW", 1, FileStep::kFailed},
        {"ERROR_FILE_NOT_FOUND", 2, FileStep::kFailed},
        {"ERROR_NOT_SUPPORTED", 50, FileStep::kFailed},
        {"ERROR_DISK_FULL", 112, FileStep::kFailed},
        {"ERROR_UNABLE_TO_MOVE_REPLACEMENT: the old file gone, the new one not moved in", 1176,
         FileStep::kFailed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FailedStep(c.error), c.expected) << c.name;
    }
}

// The steps that put a saved file in place, as seen on Windows (ReplaceFileW first) and where
// ReplaceFileW may not be used (no old file, or Wine, whose ReplaceFileW deletes the old file
// before it moves the new one in).
TEST(PutNewFileInPlace, ReplacesKeepingSecurityAndRenamesOnlyWhereThatCannotBeUsed) {
    using enum FileStep;
    const struct {
        const char* name;
        bool mayReplace;
        std::vector<FileStep> replaceTries, renameTries;  // the last repeats
        bool expected;
        int expectedReplaces, expectedRenames;
    } cases[] = {
        {"replaced", true, {kDone}, {kDone}, true, 1, 0},
        {"replaced once the scanner let go", true, {kBusy, kBusy, kDone}, {kDone}, true, 3, 0},
        {"the file's permissions refuse it: the old file stays, no rename around them",
         true,
         {kBusy},
         {kDone},
         false,
         8,
         0},
        {"no ReplaceFileW on this file system: renamed", true, {kFailed}, {kDone}, true, 1, 1},
        {"no ReplaceFileW, and the rename busy for a moment",
         true,
         {kFailed},
         {kBusy, kDone},
         true,
         1,
         2},
        {"no old file, or Wine: renamed", false, {kDone}, {kDone}, true, 0, 1},
        {"renamed once the scanner let go",
         false,
         {kDone},
         {kBusy, kBusy, kBusy, kDone},
         true,
         0,
         4},
        {"the rename busy for good: the old file stays", false, {kDone}, {kBusy}, false, 0, 8},
        {"the rename fails", false, {kDone}, {kFailed}, false, 0, 1},
    };
    for (const auto& c : cases) {
        int replaces = 0, renames = 0;
        auto next = [](const std::vector<FileStep>& tries, int& count) {
            const std::size_t at = std::min<std::size_t>(count++, tries.size() - 1);
            return tries[at];
        };
        const bool inPlace = PutNewFileInPlace(
            c.mayReplace, [&] { return next(c.replaceTries, replaces); },
            [&] { return next(c.renameTries, renames); }, [](int) {});
        EXPECT_EQ(inPlace, c.expected) << c.name;
        EXPECT_EQ(replaces, c.expectedReplaces) << c.name;
        EXPECT_EQ(renames, c.expectedRenames) << c.name;
    }
}

}  // namespace
}  // namespace oruvel
