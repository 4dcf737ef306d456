// A file replaced whole or not at all, and failures named for the user.
#include "fileio/atomic_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace zond::fileio {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("atomic_file_test_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        std::ofstream(folder_ / "book.csv") << "old";
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string contents() const {
        std::ifstream in(folder_ / "book.csv", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t filesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {}));
    }

    fs::path folder_;
};

TEST_F(AtomicFileTest, TargetChangesOnlyOnCommit) {
    AtomicFile file(folder_ / "book.csv");
    file.write(std::string(300'000, 'x'));  // more than the buffer holds
    file.write("end");
    EXPECT_EQ(contents(), "old");
    file.commit();
    EXPECT_EQ(contents(), std::string(300'000, 'x') + "end");
    EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicFileTest, DroppedOrFailedWriteLeavesTheOldFileAlone) {
    {
        AtomicFile file(folder_ / "book.csv");
        file.write("new");
    }
    AtomicFile file(folder_ / "book.csv");
    std::ofstream(file.handOverTemporary()) << "written by name";
    try {
        file.fail(std::make_error_code(std::errc::no_space_on_device));
        FAIL() << "fail() returned";
    } catch (const FileWriteError& error) {
        EXPECT_EQ(error.failure(), WriteFailure::DiskFull);
        EXPECT_NE(std::string(error.what()).find("на диске не хватает места"), std::string::npos);
    }
    EXPECT_EQ(contents(), "old");
    EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicFileTest, CyrillicTargetIsReplacedUnderItsName) {
    const auto target = folder_ / fs::path(u8"отчёт.csv");
    std::ofstream(target) << "old";
    AtomicFile file(target);
    file.write("new");
    file.commit();
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    EXPECT_EQ(filesInFolder(), 2u);  // book.csv and the replaced one, no temporary
}

TEST_F(AtomicFileTest, MissingFolderIsNamed) {
    try {
        AtomicFile file(folder_ / "absent" / "book.csv");
        FAIL() << "created in a missing folder";
    } catch (const FileWriteError& error) {
        EXPECT_EQ(error.failure(), WriteFailure::FolderMissing);
        EXPECT_NE(std::string(error.what())
                      .find("папка \"" + (folder_ / "absent").string() + "\" не существует"),
                  std::string::npos)
            << error.what();
    }
}

TEST(WriteFailureTest, SystemErrorsMapToTheCausesUsersKnow) {
    EXPECT_EQ(classify(std::error_code(ENOSPC, std::generic_category())), WriteFailure::DiskFull);
    EXPECT_EQ(classify(std::error_code(EIO, std::generic_category())), WriteFailure::InputOutput);
    EXPECT_EQ(classify(std::error_code(EACCES, std::generic_category())), WriteFailure::Permission);
    EXPECT_EQ(classify(std::error_code(EROFS, std::generic_category())), WriteFailure::Permission);
    EXPECT_EQ(classify(std::error_code(ENOENT, std::generic_category())),
              WriteFailure::FolderMissing);
    EXPECT_EQ(classify(std::error_code(EBADF, std::generic_category())), WriteFailure::Other);
}

}  // namespace
}  // namespace zond::fileio
