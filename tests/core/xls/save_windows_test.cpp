// A target another program holds open without sharing, as Windows programs (Excel, this
// program's tables) hold their files.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "save_fixture.h"

namespace zond::xls {
namespace {

using testing::SaveTest;

TEST_F(SaveTest, TargetHeldWithoutSharingIsShareViolationAndStaysUntouched) {
    const auto path = dir_ / "book.xls";
    { std::ofstream(path) << "open elsewhere"; }
    const HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(saveError(path), "StgCreateDocFile error -2147287008");
    CloseHandle(held);
    EXPECT_EQ(contents(path), "open elsewhere");
    EXPECT_EQ(filesInDir(), 1u);
    EXPECT_EQ(saveError(path), "saved");  // free again
}

}  // namespace
}  // namespace zond::xls
