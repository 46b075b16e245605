// Our private-profile engine against the platform's own GetPrivateProfileStringA and
// WritePrivateProfileStringA, on a table of tricky files.
//
// Reads are compared value for value. Writes cannot be compared byte for byte: the platform
// parses the whole file and writes all of it back in its own form (CR LF line ends, blanks and
// comments after a section name dropped, NUL bytes gone), while ours changes only the key's line
// and keeps every other byte. So a write is compared by what the platform reads back for the
// written key from its own file and from ours. Every other intended difference is named in the
// case that shows it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/e2e/harness.h"

#include "settings/profile.h"

using namespace std::string_literals;

namespace {

constexpr char kDefault[] = "<default>";
constexpr char kWritten[] = "v";

struct Case {
    const char* name;
    std::string file;
    std::string section, key;
    const char* readDifference = nullptr;   // why our read differs from the platform's
    const char* writeDifference = nullptr;  // why the written key reads back differently
    // GBK names: the platform compares them as characters of the ANSI code page, so they are
    // compared only where that code page is GBK.
    bool gbkNames = false;
};

const char kNoEquals[] =
    "a line without '=' is skipped by us; the platform takes it as a key without a value and "
    "returns the default for it";
const char kLongQuoted[] =
    "a quoted value longer than the buffer: Wine cuts it one byte shorter (10238) than an "
    "unquoted one; we cut both to 10239 bytes";
const char kOtherWhiteSpace[] =
    "vertical tab and form feed around a value: Wine trims all white space; we trim blanks, "
    "spaces and tabs (a number still reads the same, its parse skips white space)";
const char kSemicolonKey[] =
    "a key whose name starts with ';': Wine reads a comment line as a key; we skip comment "
    "lines, and no key of the settings starts with ';'";
const char kSecondBracket[] =
    "a second ']' on a section line: Wine takes the name up to the last ']'; we take it up to "
    "the first, and no section name of the settings holds a ']'";
const char kUtf8Mark[] =
    "a UTF-8 byte-order mark: the platform reads the file as UTF-8; we read GBK bytes, and the "
    "first line, starting with the mark, is no section line";
const char kUtf16[] =
    "a UTF-16 file: the platform reads and writes UTF-16; we read GBK bytes and find nothing";

std::string Shown(const std::string& bytes) {
    if (bytes.size() > 60) {
        return std::to_string(bytes.size()) + " bytes";
    }
    std::string out;
    for (unsigned char c : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
        out += hex;
    }
    return "\"" + out + "\"";
}

class ProfileDifferential : public testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"oruvel-profile-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override {
        for (const std::wstring& file : files_) {
            DeleteFileW(file.c_str());
        }
        RemoveDirectoryW(folder_.c_str());
    }

    // A new file with `bytes`, under a name of its own: the platform caches the files it has
    // read by name and last write time, which a rewrite within one tick would not change.
    std::wstring NewFile(const std::string& bytes) {
        const std::wstring path = folder_ + L"\\" + std::to_wstring(files_.size()) + L".ini";
        files_.push_back(path);
        EXPECT_TRUE(e2e::WriteFileBytes(path, bytes)) << "cannot write a test file";
        return path;
    }

    static std::string Narrow(const std::wstring& path) {
        return std::string(path.begin(), path.end());  // the temp folder's path is ASCII
    }

    static std::string PlatformRead(const std::wstring& path, const Case& c) {
        static char value[10240];  // the buffer the settings are read with
        const DWORD length = GetPrivateProfileStringA(c.section.c_str(), c.key.c_str(), kDefault,
                                                      value, sizeof value, Narrow(path).c_str());
        return std::string(value, length);
    }

    static void PlatformWrite(const std::wstring& path, const Case& c) {
        EXPECT_TRUE(WritePrivateProfileStringA(c.section.c_str(), c.key.c_str(), kWritten,
                                               Narrow(path).c_str()));
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, Narrow(path).c_str());  // flush
    }

    std::wstring folder_;
    std::vector<std::wstring> files_;
};

}  // namespace

TEST_F(ProfileDifferential, ReadsAndWritesAsThePlatformDoesSaveForTheNamedDifferences) {
    const std::string longValue(20000, 'x');
    const Case cases[] = {
        {"CR LF", "[s]\r\nk=2\r\n", "s", "k"},
        {"LF only", "[s]\nk=2\n", "s", "k"},
        {"CR only", "[s]\rk=2\r", "s", "k"},
        {"mixed line ends, the last line without one", "[s]\na=1\r\nb=2\rk=3", "s", "k"},
        {"blanks around the value", "[s]\r\nk= \t 12 \t \r\n", "s", "k"},
        {"double quotes", "[s]\r\nk=\"a b\"\r\n", "s", "k"},
        {"single quotes", "[s]\r\nk='a b'\r\n", "s", "k"},
        {"quotes inside blanks", "[s]\r\nk=  \"x\"  \r\n", "s", "k"},
        {"doubled quotes lose one pair", "[s]\r\nk=\"\"x\"\"\r\n", "s", "k"},
        {"an empty pair of quotes", "[s]\r\nk=\"\"\r\n", "s", "k"},
        {"mismatched quotes stay", "[s]\r\nk=\"x'\r\n", "s", "k"},
        {"a lone quote", "[s]\r\nk=\"\r\n", "s", "k"},
        {"an empty value is not the default", "[s]\r\nk=\r\n", "s", "k"},
        {"'=' inside the value", "[s]\r\nk=a=b\r\n", "s", "k"},
        {"a ';' after the value belongs to it", "[s]\r\nk=1 ; note\r\n", "s", "k"},
        {"ASCII letters of names in any case", "[Colours]\r\nLit=5\r\n", "cOLOURS", "LIT"},
        {"blanks around section and key names", " \t[ s \t]  \r\n\t k \t= 9\r\n", "s", "k"},
        {"blanks inside a section name", "[a b]\r\nk=4\r\n", "a b", "k"},
        {"text after the section's ']'", "[s] ; note\r\nk=1\r\n", "s", "k"},
        {"the first line of a key counts", "[s]\r\nk=1\r\nk=2\r\n", "s", "k"},
        {"the first section of a name counts", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k"},
        {"a key in a later section of the same name", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", "s", "k"},
        {"a key before any section", "k=1\r\n[s]\r\n", "s", "k"},
        {"comment lines", "[s]\r\n;k=1\r\n  ; k=2\r\nk=3\r\n", "s", "k"},
        {"a line without '=' before the key", "[s]\r\nk\r\nk=4\r\n", "s", "k", kNoEquals,
         kNoEquals},
        {"an unclosed section line", "[s\r\nk=1\r\n", "s", "k"},
        {"a key on the section's line", "[s] k=1", "s", "k"},
        {"NUL bytes around the lines", "\0\0[t]\0\r\n[s]\r\nk=1\r\n\0"s, "s", "k"},
        {"a NUL byte ends the value", "[s]\r\nk=a\0b\r\n"s, "s", "k"},
        {"a value longer than the buffer", "[s]\r\nk=" + longValue + "\r\n", "s", "k"},
        {"an empty file", "", "s", "k"},
        {"a missing key in the middle of its section", "[s]\r\na=1\r\n\r\n[t]\r\nb=2\r\n", "s",
         "k"},
        {"a missing key after a comment and a blank line", "[s]\r\na=1\r\n;note\r\n\r\n", "s", "k"},
        {"a missing key in a last section without a line end", "[s]\r\na=1", "s", "k"},
        {"a section line alone", "[s]", "s", "k"},
        {"a missing section", "[t]\nb=2\n", "s", "k"},
        {"a missing section after a last line without an end", "[t]\nb=2", "s", "k"},
        {"no line that is a section or a key", "junk", "s", "k"},
        {"the settings' own section and keys",
         "[\xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3]\r\n\xD7\xF3\xB1\xDF = 462 \r\n",  // [程序配置] 左边
         "\xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3", "\xD7\xF3\xB1\xDF"},
        {"a GBK character whose trail byte is a letter matches only itself",
         "[s]\r\n\x81\x41=1\r\n", "s", "\x81\x61", nullptr, nullptr, true},
        {"GBK characters 0x20 apart in the lead byte do not match", "[s]\r\n\xC1\xA2=1\r\n", "s",
         "\xE1\xA2", nullptr, nullptr, true},
        {"a quoted value as long as the buffer", "[s]\r\nk=\"" + std::string(10238, 'y') + "\"\r\n",
         "s", "k"},
        {"a quoted value longer than the buffer",
         "[s]\r\nk=\"" + std::string(10239, 'y') + "\"\r\n", "s", "k", kLongQuoted},
        {"vertical tab and form feed around the value", "[s]\r\nk=\v1\f\r\n", "s", "k",
         kOtherWhiteSpace},
        {"a key named like a comment", "[s]\r\n;k=1\r\nk=2\r\n", "s", ";k", kSemicolonKey,
         kSemicolonKey},
        {"a second ']' on the section line", "[s]]\r\nk=1\r\n", "s", "k", kSecondBracket,
         kSecondBracket},
        {"a GBK section name with 0x5D, a ']', as a trail byte",  // [乚乚]
         "[\x81\x5D\x81\x5D]\r\nk=1\r\n", "\x81\x5D\x81\x5D", "k", nullptr, nullptr, true},
        {"full-width letters in another case do not match",  // Ａ ａ
         "[s]\r\n\xA3\xC1=1\r\n", "s", "\xA3\xE1", nullptr, nullptr, true},
        {"Greek letters in another case do not match",  // Α α
         "[s]\r\n\xA6\xA1=1\r\n", "s", "\xA6\xC1", nullptr, nullptr, true},
        {"a UTF-8 byte-order mark", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", kUtf8Mark, kUtf8Mark},
        {"UTF-16 with its byte-order mark", "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0001\0\r\0\n\0"s, "s",
         "k", kUtf16, kUtf16},
    };
    const bool gbkCodePage = GetACP() == 936;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.gbkNames && !gbkCodePage) {
            continue;
        }

        const std::string platform = PlatformRead(NewFile(c.file), c);
        const std::string ours =
            oruvel::ReadProfileValue(c.file, c.section, c.key).value_or(kDefault);
        if (c.readDifference) {
            EXPECT_NE(ours, platform) << "named as a difference, but both read " << Shown(ours)
                                      << ": " << c.readDifference;
        } else {
            EXPECT_EQ(ours, platform)
                << "read: ours " << Shown(ours) << ", the platform's " << Shown(platform);
        }

        const std::wstring platformFile = NewFile(c.file);
        PlatformWrite(platformFile, c);
        const std::wstring ourFile =
            NewFile(oruvel::WriteProfileValue(c.file, c.section, c.key, kWritten));
        const std::string fromPlatform = PlatformRead(platformFile, c);
        const std::string fromOurs = PlatformRead(ourFile, c);
        EXPECT_EQ(fromPlatform, kWritten)
            << "the platform's own write reads back as " << Shown(fromPlatform);
        if (c.writeDifference) {
            EXPECT_NE(fromOurs, fromPlatform) << "named as a difference, but both read back "
                                              << Shown(fromOurs) << ": " << c.writeDifference;
        } else {
            EXPECT_EQ(fromOurs, fromPlatform)
                << "after the write the platform reads " << Shown(fromOurs) << " from our file and "
                << Shown(fromPlatform)
                << " from its own; ours: " << Shown(e2e::ReadFileBytes(ourFile));
        }
    }
}
