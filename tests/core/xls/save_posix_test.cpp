// A target another program keeps locked, as POSIX programs lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>

#include "save_fixture.h"

namespace zond::xls {
namespace {

using testing::SaveTest;

TEST_F(SaveTest, LockedTargetIsShareViolationAndStaysUntouched) {
    const auto path = dir_ / "book.xls";
    { std::ofstream(path) << "open elsewhere"; }
    {
        // The table module's lock: flock on its own open file.
        const int fd = ::open(path.c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(saveError(path), "StgCreateDocFile error -2147287008");
        ::close(fd);
    }
    {
        // And its OFD record lock.
        const int fd = ::open(path.c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
        EXPECT_EQ(saveError(path), "StgCreateDocFile error -2147287008");
        ::close(fd);
    }
    EXPECT_EQ(contents(path), "open elsewhere");
    EXPECT_EQ(filesInDir(), 1u);
    EXPECT_EQ(saveError(path), "saved");  // free again
}

}  // namespace
}  // namespace zond::xls
