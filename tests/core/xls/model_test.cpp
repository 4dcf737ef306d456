// The workbook model: names, defaults and how ranges are found, replaced and ordered.
#include <gtest/gtest.h>

#include <string>

#include "xls/vteExcel.h"

namespace zond::xls {
namespace {

std::vector<RangeRect> rectsInOrder(const TvteXLSWorksheet& sheet) {
    std::vector<RangeRect> rects;
    for (std::size_t i = 0; i < sheet.RangeCount(); ++i) {
        rects.push_back(sheet.rectAt(i));
    }
    return rects;
}

TEST(WorkbookModel, NewWorkbookAndSheetNames) {
    TvteXLSWorkbook book;
    EXPECT_EQ(book.UserName(), "PReport");
    EXPECT_EQ(book.SheetCount(), 0);
    auto& first = book.AddWorksheet();
    EXPECT_EQ(first.Name(), "Sheet1");
    EXPECT_EQ(book.AddWorksheet().Name(), "Sheet2");
    EXPECT_EQ(book.IndexOfSheet("Sheet2"), 1);
    EXPECT_EQ(book.IndexOfSheet("sheet2"), -1);  // exact comparison
    EXPECT_EQ(first.index(), 0);

    TvteXLSWorkbook other;
    other.AddWorksheet().setName("sHEET2");  // taken names are compared ignoring case
    EXPECT_EQ(other.AddWorksheet().Name(), "Sheet3");
}

TEST(WorkbookModel, NamesAreCutAndTrimmed) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    sheet.setName(std::string(40, 'x'));
    EXPECT_EQ(sheet.Name(), std::string(31, 'x'));
    sheet.setName("  \tЛист 1\r\n ");
    EXPECT_EQ(sheet.Name(), "Лист 1");
    // Characters, not bytes, are counted: 31 Cyrillic letters survive whole.
    std::string cyrillic;
    for (int i = 0; i < 35; ++i) {
        cyrillic += "Ж";
    }
    sheet.setName(cyrillic);
    EXPECT_EQ(sheet.Name(), cyrillic.substr(0, 31 * 2));
    // The cut comes first: blanks inside the limit are trimmed afterwards.
    sheet.setName(std::string(30, 'a') + "  b");
    EXPECT_EQ(sheet.Name(), std::string(30, 'a'));

    book.setUserName(" " + std::string(70, 'u'));
    EXPECT_EQ(book.UserName(), std::string(65, 'u'));
}

TEST(WorkbookModel, NewRangeDefaults) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    const auto cell = sheet.Ranges(2, 3, 2, 3);
    const RangeFormat& f = cell.format();
    EXPECT_EQ(f.font.name, "Arial");
    EXPECT_EQ(f.font.size, 10);
    EXPECT_EQ(f.font.colour, clBlack);
    EXPECT_EQ(f.font.style, 0);
    EXPECT_EQ(f.vertical, VerticalAlignment::Bottom);
    EXPECT_EQ(f.horizontal, HorizontalAlignment::General);
    EXPECT_TRUE(f.numberFormat.empty());
    EXPECT_EQ(f.borders[BorderEdge::Top].lineStyle, 0);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(cell.Value()));
    EXPECT_EQ(cell.kind(), CellKind::Text);

    const auto& setup = sheet.pageSetup();
    EXPECT_EQ(setup.paperSize, 9);
    EXPECT_DOUBLE_EQ(setup.leftMargin, 2.0);
    EXPECT_DOUBLE_EQ(setup.topMargin, 2.5);
    EXPECT_EQ(setup.scale, 100);
    EXPECT_TRUE(setup.scaleByPercentage);
    EXPECT_EQ(setup.firstPageNumber, 1);
}

TEST(WorkbookModel, SameRectangleGivesSameRangeAndValueCanBeOverwritten) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    auto a = sheet.Ranges(1, 1, 1, 1);
    a.setValue(std::int32_t{7});
    auto b = sheet.Ranges(1, 1, 1, 1);
    EXPECT_EQ(a, b);
    EXPECT_EQ(sheet.RangeCount(), 1u);
    b.setValue(std::string("x"));
    EXPECT_EQ(std::get<std::string>(a.Value()), "x");
    EXPECT_EQ(sheet.range(0), a);
    EXPECT_EQ(&a.worksheet(), &sheet);
}

TEST(WorkbookModel, OverlappedRangesAreRemovedOthersKeepTheirPlace) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    sheet.Ranges(1, 0, 1, 0);
    sheet.Ranges(5, 0, 5, 0);
    sheet.Ranges(0, 0, 3, 0);
    EXPECT_EQ(rectsInOrder(sheet), (std::vector<RangeRect>{{5, 0, 5, 0}, {0, 0, 3, 0}}));
    EXPECT_EQ(sheet.usedBounds().firstColumn, 0);
    EXPECT_EQ(sheet.usedBounds().lastColumn, 5);
}

TEST(WorkbookModel, RangesStayOrderedByTopRowAndMaxHeightFollowsRemovals) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    sheet.Ranges(0, 5, 0, 5);
    sheet.Ranges(0, 1, 0, 1);
    sheet.Ranges(3, 2, 4, 6);  // five rows high
    EXPECT_EQ(sheet.maxRangeHeight(), 5);
    sheet.Ranges(1, 3, 1, 3);
    // A range starting above but reaching down into the rectangle is found and removed.
    sheet.Ranges(4, 4, 4, 4);
    EXPECT_EQ(rectsInOrder(sheet),
              (std::vector<RangeRect>{{0, 1, 0, 1}, {1, 3, 1, 3}, {4, 4, 4, 4}, {0, 5, 0, 5}}));
    EXPECT_EQ(sheet.maxRangeHeight(), 1);
    // Bounds only grow: the removed range's rows stay used.
    EXPECT_EQ(sheet.usedBounds().lastRow, 6);
    EXPECT_EQ(sheet.usedBounds().firstRow, 1);
}

TEST(WorkbookModel, HugeRangesKeepTheirHeight) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    sheet.Ranges(0, -2000000000, 0, 2000000000);
    EXPECT_EQ(sheet.maxRangeHeight(), 4000000001LL);
    sheet.Ranges(0, 2000000000, 1, 2000000000);  // overlaps the tall range's last row
    EXPECT_EQ(sheet.RangeCount(), 1u);
    EXPECT_EQ(sheet.maxRangeHeight(), 1);
}

TEST(WorkbookModel, RowByRowFillingAppendsInRowMajorOrder) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    constexpr int kRows = 40;
    for (int r = 0; r <= kRows; ++r) {
        for (int c = 0; c <= 10; ++c) {
            sheet.Ranges(c, r, c, r).setValue(std::int32_t{r * 100 + c});
        }
    }
    ASSERT_EQ(sheet.RangeCount(), 41u * 11u);
    for (std::size_t i = 0; i < sheet.RangeCount(); ++i) {
        EXPECT_EQ(sheet.rectAt(i).top, static_cast<int>(i / 11));
        EXPECT_EQ(sheet.rectAt(i).left, static_cast<int>(i % 11));
    }
    const UsedBounds& b = sheet.usedBounds();
    EXPECT_EQ(b.firstRow, 0);
    EXPECT_EQ(b.lastRow, kRows);
    EXPECT_EQ(b.firstColumn, 0);
    EXPECT_EQ(b.lastColumn, 10);
}

TEST(WorkbookModel, TextValuesAndKinds) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    auto cell = sheet.Ranges(0, 0, 0, 0);
    cell.setValue(std::string("a\r\nb\rc\nd\r"));
    EXPECT_EQ(std::get<std::string>(cell.Value()), "a\nb\rc\nd\r");

    cell.setValue(std::int32_t{-3});
    EXPECT_EQ(cell.kind(), CellKind::Number);
    EXPECT_EQ(std::get<std::int32_t>(cell.Value()), -3);
    cell.setValue(2.5);
    EXPECT_EQ(cell.kind(), CellKind::Number);
    cell.setValue(Currency{12345});
    EXPECT_EQ(cell.kind(), CellKind::Number);
    EXPECT_DOUBLE_EQ(numberOf(cell.Value()), 1.2345);
    cell.setValue(true);
    EXPECT_EQ(cell.kind(), CellKind::Text);
    EXPECT_EQ(textOf(cell.Value()), "True");
    cell.setValue(DateTime{45000.5});  // 15.03.2023 noon
    EXPECT_EQ(cell.kind(), CellKind::Text);
    EXPECT_EQ(textOf(cell.Value()), "15.03.2023 12:00:00");
    EXPECT_EQ(textOf(DateTime{2.0}), "01.01.1900");
}

TEST(WorkbookModel, SetTextStoresLikeATextValue) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    auto cell = sheet.Ranges(0, 0, 0, 0);
    cell.setValue(7.5);
    cell.setText("a\r\nb\rc\r\n");
    EXPECT_EQ(cell.kind(), CellKind::Text);
    EXPECT_EQ(std::get<std::string>(cell.Value()), "a\nb\rc\n");
    cell.setText(std::string_view());  // no data pointer at all
    EXPECT_EQ(std::get<std::string>(cell.Value()), "");
}

// Thousands of ranges fill several storage blocks; earlier handles and values stay put.
TEST(WorkbookModel, HandlesAndValuesSurviveManyRanges) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    auto first = sheet.Ranges(0, 0, 0, 0);
    first.setText("первая");
    constexpr int kRows = 1500;
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 0; c < 7; ++c) {
            sheet.Ranges(c, r, c, r).setText(std::to_string(r * 10 + c));
        }
    }
    ASSERT_EQ(sheet.RangeCount(), 1u + kRows * 7u);
    EXPECT_EQ(std::get<std::string>(first.Value()), "первая");
    std::string scratch;
    EXPECT_EQ(sheet.textAt(sheet.RangeCount() - 1, scratch), std::to_string(kRows * 10 + 6));
    EXPECT_EQ(std::get<std::string>(sheet.Ranges(3, 777, 3, 777).Value()), "7773");
    EXPECT_EQ(sheet.RangeCount(), 1u + kRows * 7u);
}

TEST(WorkbookModel, FormatsAreSharedBetweenRanges) {
    TvteXLSWorkbook book;
    auto& sheet = book.AddWorksheet();
    auto a = sheet.Ranges(0, 0, 0, 0);
    auto b = sheet.Ranges(1, 0, 1, 0);
    RangeFormat bold = a.format();
    bold.font.style = kBold;
    a.setFormat(bold);
    EXPECT_EQ(b.format().font.style, 0);
    b.setFormat(bold);
    EXPECT_EQ(&a.format(), &b.format());
    EXPECT_THROW(sheet.Ranges(2, 0, 1, 0), XlsError);
}

TEST(WorkbookModel, SystemColoursResolve) {
    EXPECT_EQ(resolveColour(clWindowText), 0x000000u);
    EXPECT_EQ(resolveColour(0xFF000005), 0xFFFFFFu);  // window background
    EXPECT_EQ(resolveColour(0x00123456), 0x123456u);
}

}  // namespace
}  // namespace zond::xls
