// Saving to a file: the container, error texts, and what a failed save leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "save_fixture.h"
#include "xls/biff8_writer.h"
#include "xls/compound_file.h"

namespace zond::xls {
namespace {

namespace fs = std::filesystem;
using testing::SaveTest;

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
