// The bar on screen: its window, picture, shape, lamps, dragging and orderly end.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

using namespace e2e;

TEST(Bar, StartsAndShowsItsWindow) {
    ProgramFolder folder;
    Process program(folder.exe());
    HWND bar = program.WaitForBar();
    ASSERT_NE(bar, nullptr) << "no visible bar window";
    const RECT rect = WindowRect(bar);
    EXPECT_EQ(rect.right - rect.left, 100);
    EXPECT_EQ(rect.bottom - rect.top, 22);
}
