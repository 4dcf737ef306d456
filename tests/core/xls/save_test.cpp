// Saving to a file: the container, error texts, and what a failed save leaves behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "xls/biff8_writer.h"
#include "xls/compound_file.h"

namespace zond::xls {
namespace {

namespace fs = std::filesystem;

class SaveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("xls-save-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        book_.addWorksheet().range(0, 0, 0, 0).setValue(std::string("данные"));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string saveError(const fs::path& path) {
        try {
            Biff8Writer().save(book_, path);
        } catch (const XlsError& e) {
            return e.what();
        }
        return "saved";
    }

    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
    Workbook book_;
};

TEST_F(SaveTest, WritesACompoundFileAndReplacesAnExistingOne) {
    const auto path = dir_ / "book.xls";
    { std::ofstream(path) << "old contents"; }
    EXPECT_EQ(saveError(path), "saved");
    const auto bytes = contents(path);
    ASSERT_GE(bytes.size(), 512u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    EXPECT_EQ(filesInDir(), 1u);  // no temporary left beside it
}

TEST_F(SaveTest, MissingFolderIsPathNotFound) {
    EXPECT_EQ(saveError(dir_ / "missing" / "book.xls"), "StgCreateDocFile error -2147287037");
}

TEST_F(SaveTest, DirectoryInTheWayIsAccessDenied) {
    fs::create_directory(dir_ / "book.xls");
    EXPECT_EQ(saveError(dir_ / "book.xls"), "StgCreateDocFile error -2147287035");
}

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

TEST_F(SaveTest, SheetBeyondBiff8IsRefusedBeforeAnythingIsWritten) {
    const auto path = dir_ / "book.xls";
    { std::ofstream(path) << "keep me"; }
    auto& sheet = book_.addWorksheet();
    sheet.setName("Большой");
    sheet.range(0, 65535, 0, 65535).setValue(1.0);  // the last addressable row is fine
    EXPECT_EQ(saveError(dir_ / "fits.xls"), "saved");

    sheet.range(0, 65536, 0, 65536);
    const std::string error = saveError(path);
    EXPECT_NE(error.find("Большой"), std::string::npos) << error;
    EXPECT_NE(error.find("65536"), std::string::npos) << error;
    EXPECT_EQ(contents(path), "keep me");

    Workbook wide;
    wide.addWorksheet().range(256, 0, 256, 0);
    EXPECT_THROW(Biff8Writer().save(wide, dir_ / "wide.xls"), XlsError);
    EXPECT_FALSE(fs::exists(dir_ / "wide.xls"));
}

TEST_F(SaveTest, SavingTwiceGivesTheSameStream) {
    Biff8Writer writer;
    RangeFormat coloured;
    coloured.font.colour = rgb(1, 2, 3);
    book_.sheet(0).range(1, 0, 1, 0).setFormat(coloured);
    EXPECT_EQ(writer.assemble(book_).bytes(), writer.assemble(book_).bytes());
}

}  // namespace
}  // namespace zond::xls
