// Failed appends whose rollback fails as well: the count on disk must never name a record that is
// not all there. The writes of this program fail on demand through its own pwrite.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "dbf/dbf_table.h"
#include "dbf_test_files.h"
#include "measurement/measurement_schema.h"

namespace {

// pwrite calls from now on that still succeed; negative: all of them.
int g_writesLeft = -1;

}  // namespace

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    using Real = ssize_t (*)(int, const void*, size_t, off_t);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "pwrite"));
    if (g_writesLeft == 0) {
        errno = EIO;
        return -1;
    }
    if (g_writesLeft > 0) {
        --g_writesLeft;
    }
    return real(fd, data, size, offset);
}

namespace zond::dbf {
namespace {

class AppendFaultTest : public testing::TableFolderTest {};

TEST_F(AppendFaultTest, CountNeverNamesARecordThatIsNotThere) {
    const auto path = file("data.db");
    for (int writesLeft = 0; writesLeft < 2; ++writesLeft) {
        measurement::createMeasurementTable(path);
        DbfTable table;
        table.open(path);
        table.append(table.blankRecord());
        g_writesLeft = writesLeft;  // the rollback's writes fail as well
        EXPECT_THROW(table.append(table.blankRecord()), DbfError);
        g_writesLeft = -1;
        table.close();

        const auto bytes = testing::readBytes(path);
        const std::uint32_t counted = bytes[4] | bytes[5] << 8;
        EXPECT_GE(bytes.size(), 481U + counted * 228) << writesLeft << " writes went through";
        EXPECT_GE(counted, 1U);
    }
}

}  // namespace
}  // namespace zond::dbf
