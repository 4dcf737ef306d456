#include <gtest/gtest.h>

#include "report/page_selection.h"

namespace zond::report {
namespace {

TEST(PageNumbers, ListsAndRangesGiveAscendingPagesOnce) {
    EXPECT_EQ(parsePageNumbers("1,3,5-12", 20),
              (std::vector<int>{1, 3, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(parsePageNumbers(" 4 , 2-3 ,3", 20), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(parsePageNumbers("7", 20), (std::vector<int>{7}));
    // Pages beyond the report are dropped, not refused.
    EXPECT_EQ(parsePageNumbers("2,9-1000000000", 10), (std::vector<int>{2, 9, 10}));
    EXPECT_EQ(parsePageNumbers("15", 10), (std::vector<int>{}));
}

TEST(PageNumbers, MalformedListsAreRefused) {
    for (const char* text : {"", "a", "1,,2", "0", "-3", "3-1", "1-", "2-x", "1;2", "1.5"}) {
        EXPECT_FALSE(parsePageNumbers(QString::fromUtf8(text), 20).has_value()) << text;
    }
}

TEST(PrintSequence, ParityPicksOddOrEvenPageNumbers) {
    PrintRequest request;
    request.parity = PageParity::Odd;
    EXPECT_EQ(printSequence(request, 5), (std::vector<int>{0, 2, 4}));
    request.parity = PageParity::Even;
    EXPECT_EQ(printSequence(request, 5), (std::vector<int>{1, 3}));
    request.pageNumbers = "2-4,7";
    request.parity = PageParity::Odd;
    EXPECT_EQ(printSequence(request, 10), (std::vector<int>{2, 6}));
    request.pageNumbers = "2";
    EXPECT_TRUE(printSequence(request, 10).empty());
}

TEST(PrintSequence, CopiesRepeatTheRangeWhenCollatedAndEachPageOtherwise) {
    PrintRequest request;
    request.pageNumbers = "1,3";
    request.copies = 2;
    request.collate = true;
    EXPECT_EQ(printSequence(request, 3), (std::vector<int>{0, 2, 0, 2}));
    request.collate = false;
    EXPECT_EQ(printSequence(request, 3), (std::vector<int>{0, 0, 2, 2}));
}

TEST(PrintSequence, UnreadableListPrintsNothing) {
    PrintRequest request;
    request.pageNumbers = "1-";
    EXPECT_TRUE(printSequence(request, 3).empty());
}

}  // namespace
}  // namespace zond::report
