// What an atomic replace may replace on a POSIX system, and what it leaves beside the target.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "fileio/atomic_file.h"
#include "fileio/temporary_name.h"

namespace zond::fileio {
namespace {

namespace fs = std::filesystem;

class AtomicReplaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("atomic_replace_test_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void put(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static void replace(const fs::path& path, const std::string& bytes) {
        AtomicFile file(path);
        file.write(bytes);
        file.commit();
    }
    // The refusal's kind; the target must be left as it was.
    static WriteFailure refusal(const fs::path& path) {
        try {
            replace(path, "new");
        } catch (const FileWriteError& error) {
            return error.failure();
        }
        return WriteFailure::Other;
    }

    fs::path folder_;
};

TEST_F(AtomicReplaceTest, PermissionsCarryOverAndALinkIsWrittenThrough) {
    const auto real = folder_ / "real.csv";
    put(real, "old");
    ::chmod(real.c_str(), 0600);
    const auto link = folder_ / "link.csv";
    fs::create_symlink("real.csv", link);

    replace(link, "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(real), "new");
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600U);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 2);
}

TEST_F(AtomicReplaceTest, FolderDevicePipeTableAndHeldFileAreRefused) {
    const auto pipe = folder_ / "pipe.pdf";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(refusal(folder_), WriteFailure::NotRegularFile);
    EXPECT_EQ(refusal(pipe), WriteFailure::NotRegularFile);
    EXPECT_EQ(refusal("/dev/null"), WriteFailure::NotRegularFile);
    EXPECT_TRUE(fs::is_fifo(pipe));
    try {
        replace(pipe, "x");
    } catch (const FileWriteError& error) {
        EXPECT_NE(std::string(error.what()).find("не обычный файл"), std::string::npos);
    }

    // A dBase IV table of one character field, one record.
    std::string table(32, '\0');
    table[0] = 0x03;
    table[4] = 1;
    table[8] = 65;  // header: 32 + one descriptor + 0x0D
    table[10] = 11;
    std::string field(32, '\0');
    field.replace(0, 4, "NAME");
    field[11] = 'C';
    field[16] = 10;
    table += field + "\x0D" + " abcdefghij" + "\x1A";
    const auto tablePath = folder_ / "t.db";
    put(tablePath, table);
    EXPECT_EQ(refusal(tablePath), WriteFailure::MeasurementTable);
    EXPECT_EQ(read(tablePath), table);

    const auto held = folder_ / "held.pdf";
    put(held, "theirs");
    const int fd = ::open(held.c_str(), O_RDWR);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(refusal(held), WriteFailure::InUse);
    ::close(fd);
    EXPECT_EQ(read(held), "theirs");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 3);
}

// A killed run's temporary goes with the next write of the same target; one a live writer holds
// stays, and so does a temporary of another target.
TEST_F(AtomicReplaceTest, LeftoversOfKilledRunsAreRemovedByTheNextOne) {
    const auto target = folder_ / "book.xlsx";
    const auto abandoned = temporaryPath(target);
    const auto held = temporaryPath(target);
    const auto other = temporaryPath(folder_ / "other.xlsx");
    for (const auto& path : {abandoned, held, other}) {
        put(path, "partial");
    }
    const int fd = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    replace(target, "new");
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(held));
    EXPECT_TRUE(fs::exists(other));
    ::close(fd);
    EXPECT_LE(abandoned.filename().string().size(), 40U);
}

// 120 Cyrillic letters and ".csv": 244 bytes of the 255 a name may have. Its temporary is short, so
// it is written; a name over the limit is refused as too long, not as a full disk.
TEST_F(AtomicReplaceTest, LongCyrillicNamesAreWrittenOrNamedTooLong) {
    std::string stem;
    for (int i = 0; i < 118; ++i) {
        stem += "ж";
    }
    const auto longest = folder_ / (stem + "яя.csv");
    ASSERT_EQ(longest.filename().string().size(), 244U);
    replace(longest, "new");
    EXPECT_EQ(read(longest), "new");

    const auto tooLong = folder_ / (stem + "яяяяяяяяяя.csv");
    EXPECT_EQ(refusal(tooLong), WriteFailure::NameTooLong);
    try {
        replace(tooLong, "new");
    } catch (const FileWriteError& error) {
        EXPECT_NE(std::string(error.what()).find("имя файла длиннее"), std::string::npos);
    }
}

}  // namespace
}  // namespace zond::fileio
