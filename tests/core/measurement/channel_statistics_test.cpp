#include "measurement/channel_statistics.h"

#include <gtest/gtest.h>

#include <optional>

#include "measurement_table_test.h"

using namespace zond::measurement;

namespace {

// q1, q2, q3 of one row; nullopt leaves the field empty.
using Fluxes = std::array<std::optional<double>, 3>;

class FindMma : public zond::testing::MeasurementTableTest {
  protected:
    std::uint32_t add(const Fluxes& fluxes) {
        auto row = table_.blankRecord();
        for (std::size_t c = 0; c < 3; ++c) {
            if (fluxes[c]) {
                row.setDouble(fields_.tavis()[c], *fluxes[c]);
            }
        }
        return table_.append(row);
    }
};

}  // namespace

TEST(RoundedAverage, TruncatesTowardZeroAfterAddingAHalf) {
    EXPECT_DOUBLE_EQ(roundedAverage(1.26), 1.3);
    EXPECT_DOUBLE_EQ(roundedAverage(1.24), 1.2);
    EXPECT_DOUBLE_EQ(roundedAverage(-1.24), -1.1);
    EXPECT_DOUBLE_EQ(roundedAverage(-1.26), -1.2);
    EXPECT_DOUBLE_EQ(roundedAverage(-0.04), 0.0);
}

TEST_F(FindMma, AverageOfSeveralRowsIsRounded) {
    add({1.2, -1.2, 5.0});
    add({1.32, -1.28, 5.0});
    const auto s = computeChannelStatistics(table_, fields_);
    EXPECT_DOUBLE_EQ(s.minimum[0], 1.2);
    EXPECT_DOUBLE_EQ(s.maximum[0], 1.32);
    EXPECT_EQ(footerText(s, 0, '.'), "1.2/1.3/1.32");
    EXPECT_EQ(footerText(s, 1, ','), "-1,28/-1,1/-1,2");
    EXPECT_EQ(footerText(s, 2, ','), "5/5/5");
}

TEST_F(FindMma, OneRowIsTakenUnrounded) {
    add({1.26, -7.04, 0.05});
    const auto s = computeChannelStatistics(table_, fields_);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(s.minimum[c], s.average[c]);
        EXPECT_EQ(s.maximum[c], s.average[c]);
    }
    EXPECT_DOUBLE_EQ(s.average[0], 1.26);
    EXPECT_DOUBLE_EQ(s.average[1], -7.04);
    EXPECT_DOUBLE_EQ(s.average[2], 0.05);
}

TEST_F(FindMma, EmptyTableGivesZeros) {
    const auto s = computeChannelStatistics(table_, fields_);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(footerText(s, c, ','), "0/0/0");
    }
}

TEST_F(FindMma, DeletedRowsDoNotCountAndEmptyValuesCountAsZero) {
    add({10.0, std::nullopt, 3.0});
    const auto gone = add({1000.0, 1000.0, 1000.0});
    add({20.0, 4.0, std::nullopt});
    table_.markDeleted(gone);
    const auto s = computeChannelStatistics(table_, fields_);
    EXPECT_EQ(footerText(s, 0, '.'), "10/15/20");
    EXPECT_EQ(footerText(s, 1, '.'), "0/2/4");
    EXPECT_EQ(footerText(s, 2, '.'), "0/1.5/3");
}
