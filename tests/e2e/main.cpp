// The end-to-end driver's entry: GoogleTest, plus a screenshot of every failing case.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/harness.h"

namespace {

class ScreenshotOnFailure : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo& test) override {
        if (test.result()->Failed()) {
            e2e::SaveScreenshot(std::string(test.test_suite_name()) + "." + test.name() + ".end");
        }
    }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == e2e::kReportLockOption) {
        return e2e::ReportLock(argv[2]);
    }
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new ScreenshotOnFailure);
    return RUN_ALL_TESTS();
}
