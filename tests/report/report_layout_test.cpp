#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "fake_rows.h"
#include "report/report_layout.h"
#include "report/report_template.h"

namespace zond::report {
namespace {

using testing::FakeRows;
using testing::numberedRows;
using testing::Row;

// A4 landscape is 210 mm = 757.5 units high. Rows end above the footer at
// 757.5 - 25 (bottom margin) - 20 (footer) = 712.5. Page 1 starts its rows at
// 72 (top margin) + 64 (title) + 60 (headings) = 196: (712.5 - 196) / 40 -> 12 rows.
// Later pages start at 72 + 60 = 132: (712.5 - 132) / 40 -> 14 rows.
constexpr int kRowsOnFirstPage = 12;
constexpr int kRowsOnLaterPages = 14;
constexpr double kRowsEnd = 712.5;

ReportDocument layOut(std::vector<Row> rows) {
    FakeRows source(std::move(rows));
    auto document = layoutReport(measurementReportTemplate(), source);
    EXPECT_TRUE(document.has_value());
    return document.value_or(ReportDocument{});
}

QStringList textsOf(const ReportPage& page) {
    QStringList texts;
    for (const PageItem& item : page.items) {
        if (item.kind == PageItem::Kind::Text) {
            texts << item.text;
        }
    }
    return texts;
}

const PageItem* findItem(const ReportPage& page, const QString& text) {
    for (const PageItem& item : page.items) {
        if (item.kind == PageItem::Kind::Text && item.text == text) {
            return &item;
        }
    }
    return nullptr;
}

// The N values of the data rows on a page (the texts in the N column below the headings).
std::vector<int> rowNumbersOn(const ReportPage& page) {
    std::vector<int> numbers;
    for (const PageItem& item : page.items) {
        if (item.kind == PageItem::Kind::Text && item.x == 25 && item.height == 40) {
            numbers.push_back(item.text.toInt());
        }
    }
    return numbers;
}

const QStringList kHeadings = {
    "N",           "Дата",        "Время",       "Режим", "Тип преобразователя",
    "q1, Вт/кв.м", "q2, Вт/кв.м", "q3, Вт/кв.м", "t",     "в, C",
    "н, C",        "Примеч."};
const QString kTitle = QStringLiteral("ЗОНД-8Т.05 \"ТАВИС\"");

TEST(ReportLayout, EmptyTableGivesOnePageWithTitleHeadingsAndFooter) {
    const ReportDocument document = layOut({});
    ASSERT_EQ(document.pages.size(), 1u);
    const QStringList texts = textsOf(document.pages[0]);
    EXPECT_TRUE(texts.contains(kTitle));
    for (const QString& heading : kHeadings) {
        EXPECT_TRUE(texts.contains(heading)) << heading.toStdString();
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("Стр. 1 из 1")));
    EXPECT_EQ(texts.count(QStringLiteral("t")), 2);
    EXPECT_TRUE(rowNumbersOn(document.pages[0]).empty());
}

TEST(ReportLayout, PageIsA4LandscapeInLayoutUnits) {
    const ReportDocument document = layOut({});
    EXPECT_NEAR(document.pageWidth, 1071.4, 0.1);  // 297 mm at 91.6256 per inch
    EXPECT_NEAR(document.pageHeight, 757.5, 0.1);  // 210 mm
}

TEST(ReportLayout, PageBreaksFollowTheBandHeights) {
    EXPECT_EQ(layOut(numberedRows(kRowsOnFirstPage)).pages.size(), 1u);
    EXPECT_EQ(layOut(numberedRows(kRowsOnFirstPage + 1)).pages.size(), 2u);
    EXPECT_EQ(layOut(numberedRows(kRowsOnFirstPage + kRowsOnLaterPages)).pages.size(), 2u);
    EXPECT_EQ(layOut(numberedRows(kRowsOnFirstPage + kRowsOnLaterPages + 1)).pages.size(), 3u);

    const ReportDocument document = layOut(numberedRows(100));
    // 12 + 6 * 14 = 96 rows on seven pages, 4 on the eighth.
    ASSERT_EQ(document.pages.size(), 8u);
    int expectedNext = 1;
    for (std::size_t page = 0; page < document.pages.size(); ++page) {
        const std::vector<int> numbers = rowNumbersOn(document.pages[page]);
        const std::size_t expectedCount =
            page == 0 ? kRowsOnFirstPage : (page == 7 ? 4 : kRowsOnLaterPages);
        EXPECT_EQ(numbers.size(), expectedCount) << "page " << page + 1;
        for (const int number : numbers) {
            EXPECT_EQ(number, expectedNext++);  // the rows keep the table's order
        }
    }
}

TEST(ReportLayout, EveryPageHasHeadingsAndItsCounterAndOnlyPageOneTheTitle) {
    const ReportDocument document = layOut(numberedRows(60));
    const int total = static_cast<int>(document.pages.size());
    ASSERT_EQ(total, 5);
    for (int page = 0; page < total; ++page) {
        const QStringList texts = textsOf(document.pages[static_cast<std::size_t>(page)]);
        for (const QString& heading : kHeadings) {
            EXPECT_TRUE(texts.contains(heading)) << heading.toStdString() << " page " << page + 1;
        }
        EXPECT_EQ(texts.contains(kTitle), page == 0);
        EXPECT_TRUE(texts.contains(QStringLiteral("Стр. %1 из %2").arg(page + 1).arg(total)));
        // Headings sit at the top margin on later pages and below the title on page 1.
        const PageItem* heading = findItem(document.pages[static_cast<std::size_t>(page)], "N");
        ASSERT_NE(heading, nullptr);
        EXPECT_EQ(heading->y, page == 0 ? 72 + 64 : 72);
    }
}

TEST(ReportLayout, RowsStayWholeAboveTheFooter) {
    const ReportDocument document = layOut(numberedRows(100));
    for (const ReportPage& page : document.pages) {
        for (const PageItem& item : page.items) {
            if (item.height == 40) {  // data cells and their frames
                EXPECT_LE(item.y + item.height, kRowsEnd);
            }
        }
        // All eleven frames of a row share its top: no row is split across pages.
        std::map<float, int> framesPerRowTop;
        for (const PageItem& item : page.items) {
            if (item.kind == PageItem::Kind::Rect && item.height == 40) {
                ++framesPerRowTop[item.y];
            }
        }
        for (const auto& [top, frames] : framesPerRowTop) {
            EXPECT_EQ(frames, 11) << "row at " << top;
        }
    }
}

TEST(ReportLayout, CellsFollowTheColumnPositionsAndFrames) {
    const ReportDocument document = layOut(numberedRows(1));
    const ReportPage& page = document.pages[0];
    const PageItem* type = findItem(page, QStringLiteral("Тип преобразователя"));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->x, 367);
    EXPECT_EQ(type->width, 155);
    EXPECT_EQ(type->height, 60);
    EXPECT_TRUE(document.styles[type->style].bold);
    EXPECT_EQ(document.styles[type->style].pointSize, 12);

    // The first temperature heading: "t" in a 20-unit cell at 804, its index beside it.
    const PageItem* letter = findItem(page, QStringLiteral("t"));
    const PageItem* index = findItem(page, QStringLiteral("в, C"));
    ASSERT_NE(letter, nullptr);
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(letter->x, 804);
    EXPECT_EQ(letter->width, 20);
    EXPECT_EQ(document.styles[letter->style].pointSize, 14);
    EXPECT_EQ(index->x, 824);
    EXPECT_EQ(index->width, 52);
    // No line runs between the two halves, so they read as one cell.
    const auto verticalLineAt = [&](float x) {
        return std::any_of(page.items.begin(), page.items.end(), [&](const PageItem& item) {
            return item.kind == PageItem::Kind::Line && item.x == x && item.width == 0 &&
                   item.y == letter->y;
        });
    };
    EXPECT_TRUE(verticalLineAt(804));
    EXPECT_FALSE(verticalLineAt(824));
    EXPECT_TRUE(verticalLineAt(876));

    const PageItem* footer = findItem(page, QStringLiteral("Стр. 1 из 1"));
    ASSERT_NE(footer, nullptr);
    EXPECT_NEAR(footer->x + footer->width, document.pageWidth - 25, 0.01);
    EXPECT_NEAR(footer->y + footer->height, document.pageHeight - 25, 0.01);
}

TEST(ReportLayout, ValuesAreFormattedAsTheColumnsSay) {
    Row row{
        {"N", "7"},         {"TAVIS_1", "12.46"}, {"TAVIS_2", "abc"},  {"TAVIS_3", std::nullopt},
        {"T_IN", ">320.0"}, {"T_EXT", "-12.3"},   {"COMMENT", "проба"}};
    const ReportDocument document = layOut({row});
    const ReportPage& page = document.pages[0];
    const auto textAt = [&](float x) -> QString {
        for (const PageItem& item : page.items) {
            if (item.kind == PageItem::Kind::Text && item.x == x && item.height == 40) {
                return item.text;
            }
        }
        return QStringLiteral("<none>");
    };
    EXPECT_EQ(textAt(25), "7");
    EXPECT_EQ(textAt(522), "12,5");
    EXPECT_EQ(textAt(616), "abc");     // cannot be formatted: plain text
    EXPECT_EQ(textAt(710), "<none>");  // null: empty cell
    EXPECT_EQ(textAt(804), ">320.0");
    EXPECT_EQ(textAt(876), "-12.3");  // temperatures as stored, point kept
    EXPECT_EQ(textAt(948), "проба");

    EXPECT_EQ(formatValue(QStringLiteral("0"), ValueFormat::OneDecimalComma), "0,0");
    EXPECT_EQ(formatValue(QStringLiteral("-3.04"), ValueFormat::OneDecimalComma), "-3,0");
    EXPECT_EQ(formatValue(QStringLiteral("1234.56"), ValueFormat::OneDecimalComma), "1234,6");
    EXPECT_EQ(formatValue(std::nullopt, ValueFormat::OneDecimalComma), "");
}

class RecordingProgress final : public LayoutProgress {
  public:
    std::vector<std::pair<LayoutPass, int>> steps;
    std::optional<std::pair<LayoutPass, int>> cancelAt;

    bool step(LayoutPass pass, int pageNumber) override {
        steps.emplace_back(pass, pageNumber);
        return !(cancelAt && *cancelAt == std::make_pair(pass, pageNumber));
    }
};

TEST(ReportLayout, ReportsBothPassesAndStopsWhenCancelled) {
    FakeRows rows(numberedRows(30));  // three pages
    RecordingProgress progress;
    ASSERT_TRUE(layoutReport(measurementReportTemplate(), rows, &progress).has_value());
    const std::vector<std::pair<LayoutPass, int>> expected = {
        {LayoutPass::Counting, 1},  {LayoutPass::Counting, 2},  {LayoutPass::Counting, 3},
        {LayoutPass::Producing, 1}, {LayoutPass::Producing, 2}, {LayoutPass::Producing, 3}};
    EXPECT_EQ(progress.steps, expected);

    for (const auto& cancelAt :
         {std::make_pair(LayoutPass::Counting, 2), std::make_pair(LayoutPass::Producing, 3)}) {
        RecordingProgress cancelling;
        cancelling.cancelAt = cancelAt;
        EXPECT_FALSE(layoutReport(measurementReportTemplate(), rows, &cancelling).has_value());
        EXPECT_EQ(cancelling.steps.back(), cancelAt);
    }
}

TEST(ReportLayout, ReadErrorsReachTheCaller) {
    FakeRows rows(numberedRows(30));
    rows.failAt(20);
    EXPECT_THROW(layoutReport(measurementReportTemplate(), rows), std::runtime_error);
}

TEST(ReportSearch, FindsTextOnTheRightPageAndWrapsRound) {
    const ReportDocument document = layOut(numberedRows(100));
    // Row 57 is on page 5: pages 1-4 hold 12 + 14 + 14 + 14 = 54 rows.
    const auto found = findText(document, QStringLiteral("57"));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->page, 4);
    EXPECT_EQ(document.pages[4].items[static_cast<std::size_t>(found->item)].text, "57");

    // "из 8" is in every footer: the search walks them in order and wraps to the first.
    auto footer = findText(document, QStringLiteral("ИЗ 8"));
    ASSERT_TRUE(footer.has_value());
    EXPECT_EQ(footer->page, 0);
    for (int page = 1; page < 8; ++page) {
        footer = findText(document, QStringLiteral("из 8"), footer);
        ASSERT_TRUE(footer.has_value());
        EXPECT_EQ(footer->page, page);
    }
    EXPECT_EQ(findText(document, QStringLiteral("из 8"), footer)->page, 0);

    const auto title = findText(document, QStringLiteral("ТАВИС"));
    ASSERT_TRUE(title.has_value());
    EXPECT_EQ(findText(document, QStringLiteral("ТАВИС"), title), title);  // the only one
    EXPECT_FALSE(findText(document, QStringLiteral("нет такого")).has_value());
}

}  // namespace
}  // namespace zond::report
