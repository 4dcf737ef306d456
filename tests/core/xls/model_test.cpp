// The workbook model: names, defaults and how ranges are found, replaced and ordered.
#include <gtest/gtest.h>

#include <string>

#include "xls/workbook.h"

namespace zond::xls {
namespace {

std::vector<RangeRect> rectsInOrder(const Worksheet& sheet) {
    std::vector<RangeRect> rects;
    for (std::size_t i = 0; i < sheet.rangeCount(); ++i) {
        rects.push_back(sheet.rectAt(i));
    }
    return rects;
}

TEST(WorkbookModel, NewWorkbookAndSheetNames) {
    Workbook book;
    EXPECT_EQ(book.userName(), "PReport");
    EXPECT_EQ(book.sheetCount(), 0);
    auto& first = book.addWorksheet();
    EXPECT_EQ(first.name(), "Sheet1");
    EXPECT_EQ(book.addWorksheet().name(), "Sheet2");
    EXPECT_EQ(book.indexOfSheet("Sheet2"), 1);
    EXPECT_EQ(book.indexOfSheet("sheet2"), -1);  // exact comparison
    EXPECT_EQ(first.index(), 0);

    Workbook other;
    other.addWorksheet().setName("sHEET2");  // taken names are compared ignoring case
    EXPECT_EQ(other.addWorksheet().name(), "Sheet3");
}

TEST(WorkbookModel, NamesAreCutAndTrimmed) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.setName(std::string(40, 'x'));
    EXPECT_EQ(sheet.name(), std::string(31, 'x'));
    sheet.setName("  \tЛист 1\r\n ");
    EXPECT_EQ(sheet.name(), "Лист 1");
    // Characters, not bytes, are counted: 31 Cyrillic letters survive whole.
    std::string cyrillic;
    for (int i = 0; i < 35; ++i) {
        cyrillic += "Ж";
    }
    sheet.setName(cyrillic);
    EXPECT_EQ(sheet.name(), cyrillic.substr(0, 31 * 2));
    // The cut comes first: blanks inside the limit are trimmed afterwards.
    sheet.setName(std::string(30, 'a') + "  b");
    EXPECT_EQ(sheet.name(), std::string(30, 'a'));

    book.setUserName(" " + std::string(70, 'u'));
    EXPECT_EQ(book.userName(), std::string(65, 'u'));
}

TEST(WorkbookModel, NewRangeDefaults) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    const auto cell = sheet.range(2, 3, 2, 3);
    const RangeFormat& f = cell.format();
    EXPECT_EQ(f.font.name, "Arial");
    EXPECT_EQ(f.font.size, 10);
    EXPECT_EQ(f.font.colour, kBlack);
    EXPECT_EQ(f.font.style, 0);
    EXPECT_EQ(f.vertical, VerticalAlignment::Bottom);
    EXPECT_EQ(f.horizontal, HorizontalAlignment::General);
    EXPECT_TRUE(f.numberFormat.empty());
    EXPECT_EQ(f.borders[BorderEdge::Top].lineStyle, 0);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(cell.value()));
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
    Workbook book;
    auto& sheet = book.addWorksheet();
    auto a = sheet.range(1, 1, 1, 1);
    a.setValue(std::int32_t{7});
    auto b = sheet.range(1, 1, 1, 1);
    EXPECT_EQ(a, b);
    EXPECT_EQ(sheet.rangeCount(), 1u);
    b.setValue(std::string("x"));
    EXPECT_EQ(std::get<std::string>(a.value()), "x");
    EXPECT_EQ(sheet.rangeAt(0), a);
    EXPECT_EQ(&a.worksheet(), &sheet);
}

TEST(WorkbookModel, OverlappedRangesAreRemovedOthersKeepTheirPlace) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.range(1, 0, 1, 0);
    sheet.range(5, 0, 5, 0);
    sheet.range(0, 0, 3, 0);
    EXPECT_EQ(rectsInOrder(sheet), (std::vector<RangeRect>{{5, 0, 5, 0}, {0, 0, 3, 0}}));
    EXPECT_EQ(sheet.usedBounds().firstColumn, 0);
    EXPECT_EQ(sheet.usedBounds().lastColumn, 5);
}

TEST(WorkbookModel, RangesStayOrderedByTopRowAndMaxHeightFollowsRemovals) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.range(0, 5, 0, 5);
    sheet.range(0, 1, 0, 1);
    sheet.range(3, 2, 4, 6);  // five rows high
    EXPECT_EQ(sheet.maxRangeHeight(), 5);
    sheet.range(1, 3, 1, 3);
    // A range starting above but reaching down into the rectangle is found and removed.
    sheet.range(4, 4, 4, 4);
    EXPECT_EQ(rectsInOrder(sheet),
              (std::vector<RangeRect>{{0, 1, 0, 1}, {1, 3, 1, 3}, {4, 4, 4, 4}, {0, 5, 0, 5}}));
    EXPECT_EQ(sheet.maxRangeHeight(), 1);
    // Bounds only grow: the removed range's rows stay used.
    EXPECT_EQ(sheet.usedBounds().lastRow, 6);
    EXPECT_EQ(sheet.usedBounds().firstRow, 1);
}

TEST(WorkbookModel, HugeRangesKeepTheirHeight) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.range(0, -2000000000, 0, 2000000000);
    EXPECT_EQ(sheet.maxRangeHeight(), 4000000001LL);
    sheet.range(0, 2000000000, 1, 2000000000);  // overlaps the tall range's last row
    EXPECT_EQ(sheet.rangeCount(), 1u);
    EXPECT_EQ(sheet.maxRangeHeight(), 1);
}

TEST(WorkbookModel, RowByRowFillingAppendsInRowMajorOrder) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    constexpr int kRows = 40;
    for (int r = 0; r <= kRows; ++r) {
        for (int c = 0; c <= 10; ++c) {
            sheet.range(c, r, c, r).setValue(std::int32_t{r * 100 + c});
        }
    }
    ASSERT_EQ(sheet.rangeCount(), 41u * 11u);
    for (std::size_t i = 0; i < sheet.rangeCount(); ++i) {
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
    Workbook book;
    auto& sheet = book.addWorksheet();
    auto cell = sheet.range(0, 0, 0, 0);
    cell.setValue(std::string("a\r\nb\rc\nd\r"));
    EXPECT_EQ(std::get<std::string>(cell.value()), "a\nb\rc\nd\r");

    cell.setValue(std::int32_t{-3});
    EXPECT_EQ(cell.kind(), CellKind::Number);
    EXPECT_EQ(std::get<std::int32_t>(cell.value()), -3);
    cell.setValue(2.5);
    EXPECT_EQ(cell.kind(), CellKind::Number);
    cell.setValue(Currency{12345});
    EXPECT_EQ(cell.kind(), CellKind::Number);
    EXPECT_DOUBLE_EQ(numberOf(cell.value()), 1.2345);
    cell.setValue(true);
    EXPECT_EQ(cell.kind(), CellKind::Text);
    EXPECT_EQ(textOf(cell.value()), "True");
    cell.setValue(DateTime{45000.5});  // 15.03.2023 noon
    EXPECT_EQ(cell.kind(), CellKind::Text);
    EXPECT_EQ(textOf(cell.value()), "15.03.2023 12:00:00");
    EXPECT_EQ(textOf(DateTime{2.0}), "01.01.1900");
}

TEST(WorkbookModel, SetTextStoresLikeATextValue) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    auto cell = sheet.range(0, 0, 0, 0);
    cell.setValue(7.5);
    cell.setText("a\r\nb\rc\r\n");
    EXPECT_EQ(cell.kind(), CellKind::Text);
    EXPECT_EQ(std::get<std::string>(cell.value()), "a\nb\rc\n");
    cell.setText(std::string_view());  // no data pointer at all
    EXPECT_EQ(std::get<std::string>(cell.value()), "");
}

// Thousands of ranges fill several storage blocks; earlier handles and values stay put.
TEST(WorkbookModel, HandlesAndValuesSurviveManyRanges) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    auto first = sheet.range(0, 0, 0, 0);
    first.setText("первая");
    constexpr int kRows = 1500;
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 0; c < 7; ++c) {
            sheet.range(c, r, c, r).setText(std::to_string(r * 10 + c));
        }
    }
    ASSERT_EQ(sheet.rangeCount(), 1u + kRows * 7u);
    EXPECT_EQ(std::get<std::string>(first.value()), "первая");
    std::string scratch;
    EXPECT_EQ(sheet.textAt(sheet.rangeCount() - 1, scratch), std::to_string(kRows * 10 + 6));
    EXPECT_EQ(std::get<std::string>(sheet.range(3, 777, 3, 777).value()), "7773");
    EXPECT_EQ(sheet.rangeCount(), 1u + kRows * 7u);
}

TEST(WorkbookModel, FormatsAreSharedBetweenRanges) {
    Workbook book;
    auto& sheet = book.addWorksheet();
    auto a = sheet.range(0, 0, 0, 0);
    auto b = sheet.range(1, 0, 1, 0);
    RangeFormat bold = a.format();
    bold.font.style = kBold;
    a.setFormat(bold);
    EXPECT_EQ(b.format().font.style, 0);
    b.setFormat(bold);
    EXPECT_EQ(&a.format(), &b.format());
    EXPECT_THROW(sheet.range(2, 0, 1, 0), XlsError);
}

TEST(WorkbookModel, SystemColoursResolve) {
    EXPECT_EQ(resolveColour(kWindowText), 0x000000u);
    EXPECT_EQ(resolveColour(0xFF000005), 0xFFFFFFu);  // window background
    EXPECT_EQ(resolveColour(0x00123456), 0x123456u);
}

}  // namespace
}  // namespace zond::xls
