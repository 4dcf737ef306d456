// The average method on the worked example (readings every 6 h, tв = 20, q2 = 2·q1), its
// variants, and readings loaded from a table.
#include "analysis/wall_resistance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "analysis/reading_loader.h"
#include "analysis/resistance_text.h"
#include "measurement_table_test.h"
#include "wall_example.h"

namespace zond::analysis {
namespace {

constexpr std::int64_t kHour = 3600;
const std::int64_t kStart = secondsOf(2009, 10, 1, 8, 0, 0);

const auto& kExample = zond::testing::kWallExample;

std::int64_t timeOfRow(int row) {  // 1-based
    return kStart + (row - 1) * zond::testing::kWallExampleStepHours * kHour;
}

Readings example(int rows = 18) {
    Readings out;
    for (int i = 0; i < rows; ++i) {
        const auto& r = kExample[i];
        out.rows.push_back({timeOfRow(i + 1), 20.0, r.tExt, {r.q1, 2 * r.q1, 0}, 0b011});
    }
    return out;
}

bool hasWarning(const AnalysisResult& result, WarningKind kind) {
    return std::ranges::any_of(result.warnings, [&](const Warning& w) { return w.kind == kind; });
}

void expectExampleFigures(const AnalysisResult& result) {
    EXPECT_DOUBLE_EQ(*result.interval, 6.0 * kHour);
    EXPECT_EQ(result.days, 4);
    EXPECT_EQ(result.rowsUsed, 16u);
    EXPECT_EQ(*result.windowFrom, timeOfRow(3));
    EXPECT_EQ(*result.windowTo, timeOfRow(18));
    ASSERT_EQ(result.channels.size(), 2u);
    const ChannelResult& q1 = result.channels[0];
    EXPECT_NEAR(q1.r0.value, 2.461538, 1e-6);
    EXPECT_NEAR(*q1.u, 0.40625, 1e-6);
    EXPECT_NEAR(*q1.rk, 2.303118, 1e-6);
    EXPECT_NEAR(q1.meanDifference, 30.0, 1e-9);
    EXPECT_NEAR(q1.meanFlux, 195.0 / 16, 1e-9);
    ASSERT_EQ(q1.daily.size(), 4u);
    const double daily[] = {2.5, 2.5, 2.4, 2.448980};
    for (std::size_t d = 0; d < 4; ++d) {
        EXPECT_NEAR(q1.daily[d].r.value, daily[d], 1e-6) << "day " << d + 1;
    }
    EXPECT_EQ(q1.daily[0].from, timeOfRow(2));
    EXPECT_EQ(q1.daily[0].to, timeOfRow(6));
    EXPECT_EQ(q1.daily[0].firstReading, timeOfRow(3));
    EXPECT_EQ(q1.daily[3].lastReading, timeOfRow(18));
    EXPECT_EQ(q1.daily[1].rows, 4u);
    // C2 against the value 24 h before the end (480/195 against 360/146), C3 against the last
    // two days (2,5 against 240/99); Δt 30 K passes the 10 K minimum.
    const Criteria& c = q1.criteria;
    EXPECT_TRUE(c.duration.pass);
    EXPECT_NEAR(c.lastDay.withoutLastDay.value, 360.0 / 146, 1e-12);
    EXPECT_NEAR(*c.lastDay.deviation, 0.0017094017, 1e-9);
    EXPECT_TRUE(c.lastDay.pass);
    EXPECT_EQ(c.thirds.days, 2);
    EXPECT_NEAR(c.thirds.first.value, 2.5, 1e-6);
    EXPECT_NEAR(c.thirds.last.value, 2.424242, 1e-6);
    EXPECT_NEAR(*c.thirds.deviation, 0.03125, 1e-9);
    EXPECT_TRUE(c.thirds.pass);
    EXPECT_NEAR(c.difference.meanDifference, 30.0, 1e-9);
    EXPECT_TRUE(c.difference.pass);
    EXPECT_TRUE(c.conforms);
    EXPECT_NEAR(result.channels[1].r0.value, 1.230769, 1e-6);
    EXPECT_TRUE(result.conforms);
    // U (k = 2): 5 % flux, √2·0,5/30 temperature, the daily R's standard error over R0.
    const Uncertainty& u = *q1.uncertainty;
    EXPECT_DOUBLE_EQ(u.flux, 0.05);
    EXPECT_NEAR(u.temperature, 0.0235702260, 1e-9);
    EXPECT_NEAR(u.scatter, 0.0097424442, 1e-9);
    EXPECT_NEAR(u.relative, 0.1122581093, 1e-9);
    EXPECT_NEAR(u.expanded, 0.2763276536, 1e-9);
    // The mean of q1 and q2 (= R0/2), with U from the channels' mean u and their spread.
    ASSERT_TRUE(result.mean);
    EXPECT_EQ(result.mean->channels, 2);
    EXPECT_NEAR(result.mean->r0, 1.8461538462, 1e-9);
    EXPECT_NEAR(result.mean->min, 1.230769, 1e-6);
    EXPECT_NEAR(result.mean->max, 2.461538, 1e-6);
    EXPECT_NEAR(result.mean->expanded, 1.2480960284, 1e-9);
    EXPECT_FALSE(q1.storage.drift);
    // The cumulative series ends at R0 and starts with the first window row alone.
    ASSERT_EQ(q1.cumulative.size(), 16u);
    EXPECT_NEAR(q1.cumulative.front(), 30.0 / 12, 1e-9);
    EXPECT_NEAR(q1.cumulative.back(), q1.r0.value, 1e-12);
}

TEST(WallResistance, WorkedExampleDropsTheStartUpAndConforms) {
    const AnalysisResult result = analyseResistance(example());
    expectExampleFigures(result);
    EXPECT_TRUE(hasWarning(result, WarningKind::LongInterval));
    EXPECT_FALSE(hasWarning(result, WarningKind::SmallDifference));
    EXPECT_FALSE(hasWarning(result, WarningKind::Gaps));
    EXPECT_EQ(result.channels[0].criteria.lastDay.explanation,
              "R на 24 ч раньше 2,466, отклонение 0,17 % не более 5 % от него");

    // Four points of the series: the ends of the four days.
    const AnalysisResult chart = analyseResistance(example(), {.cumulativePoints = 4});
    EXPECT_EQ(chart.cumulativeTimes,
              (std::vector{timeOfRow(6), timeOfRow(10), timeOfRow(14), timeOfRow(18)}));
    const auto& series = chart.channels[0].cumulative;
    ASSERT_EQ(series.size(), 4u);
    EXPECT_NEAR(series[2], 360.0 / 146, 1e-12);
    EXPECT_NEAR(series[3], 480.0 / 195, 1e-12);
}

TEST(WallResistance, RowsInAnyOrderGiveTheSameResult) {
    Readings shuffled = example();
    std::mt19937 random(7);
    std::ranges::shuffle(shuffled.rows, random);
    expectExampleFigures(analyseResistance(shuffled));
}

TEST(WallResistance, DisturbedLastDayFailsAndTheLongestPeriodCutsItOff) {
    Readings readings = example();
    for (int row = 15; row <= 18; ++row) {
        readings.rows[static_cast<std::size_t>(row - 1)].q = {15, 30, 0};
    }
    const AnalysisResult result = analyseResistance(readings, {.findLongest = true});
    const Criteria& c = result.channels[0].criteria;
    EXPECT_NEAR(result.channels[0].r0.value, 480.0 / 206, 1e-9);
    EXPECT_NEAR(*c.lastDay.deviation, 0.0550161812, 1e-9);
    EXPECT_FALSE(c.lastDay.pass);
    EXPECT_NEAR(*c.thirds.deviation, 0.1458333333, 1e-9);
    EXPECT_FALSE(c.thirds.pass);
    EXPECT_FALSE(c.conforms);
    EXPECT_FALSE(result.conforms);
    // No four days conform. Of three days ending at a reading, rows 3–14 (C2 1,37 %, C3 2,08 %)
    // and rows 4–15 (C2 3,16 %, C3 4,91 %, one disturbed row) conform: the first has the
    // smaller largest deviation and is kept although it is not the latest.
    ASSERT_TRUE(result.longest);
    EXPECT_EQ(result.longest->days, 3);
    EXPECT_EQ(result.longest->from, timeOfRow(3));
    EXPECT_EQ(result.longest->to, timeOfRow(14));
    EXPECT_EQ(result.longest->rows, 12u);
    EXPECT_NEAR(result.longest->r0[0].value, 360.0 / 146, 1e-9);
    EXPECT_NEAR(result.longest->deviation, 0.0208333333, 1e-9);
}

TEST(WallResistance, NoConformingPeriodIsReportedAsNone) {
    Readings readings = example();
    // Δt 30 and a flux rising by 4 a reading: in any twelve rows the first and the last eight
    // differ by 16 in mean flux, so C3 is far beyond 5 % wherever a period ends.
    for (std::size_t i = 0; i < readings.rows.size(); ++i) {
        const double q = 4.0 * static_cast<double>(i + 1);
        readings.rows[i].tExt = -10;
        readings.rows[i].q = {q, 2 * q, 0};
    }
    const AnalysisResult result = analyseResistance(readings, {.findLongest = true});
    EXPECT_TRUE(result.longestSearched);
    EXPECT_FALSE(result.longest);
}

TEST(WallResistance, GapIsNamedWithTheLargestOne) {
    Readings readings = example();
    readings.rows.erase(readings.rows.begin() + 7, readings.rows.begin() + 9);  // rows 8 and 9
    const AnalysisResult result = analyseResistance(readings);
    EXPECT_EQ(result.days, 4);
    EXPECT_EQ(result.gapCount, 1u);
    EXPECT_EQ(result.largestGap->after, timeOfRow(7));
    EXPECT_EQ(result.largestGap->length, 18 * kHour);
    const auto gap = std::ranges::find(result.warnings, WarningKind::Gaps, &Warning::kind);
    ASSERT_NE(gap, result.warnings.end());
    EXPECT_EQ(gap->text,
              "Пропуски в показаниях за расчётный период (больше 1,5 интервала): 1, наибольший "
              "18 ч после 02.10.2009 20:00:00");
    // Rows 8–9 missing leave 2 of the 4 expected readings in day 2.
    EXPECT_EQ(result.sparseDays, (std::vector{2}));

    // The same gap before the window is only named as lying there.
    Readings early = example();
    early.rows.erase(early.rows.begin() + 1);  // row 2, in the start-up
    const AnalysisResult before = analyseResistance(early);
    EXPECT_EQ(before.gapCount, 0u);
    EXPECT_EQ(before.gapsBefore, 1u);
    EXPECT_TRUE(hasWarning(before, WarningKind::GapsBefore));
    EXPECT_FALSE(hasWarning(before, WarningKind::Gaps));
}

TEST(WallResistance, UndefinedChannelsSayWhy) {
    Readings readings = example();
    for (auto& row : readings.rows) {
        row.q[1] = -row.q[0];  // heat flowing into the room
        row.channels = 0b111;  // q3 reads zero
    }
    const AnalysisResult result = analyseResistance(readings);
    ASSERT_EQ(result.channels.size(), 3u);
    EXPECT_TRUE(result.channels[0].criteria.conforms);
    EXPECT_EQ(result.channels[1].r0.reason, Undefined::HeatIntoRoom);
    EXPECT_EQ(result.channels[2].r0.reason, Undefined::NoFlux);
    EXPECT_FALSE(result.mean);  // one defined channel
    for (std::size_t c = 1; c < 3; ++c) {
        const ChannelResult& channel = result.channels[c];
        EXPECT_FALSE(channel.u);
        EXPECT_FALSE(channel.daily[0].r.defined());
        EXPECT_TRUE(std::isnan(channel.cumulative.back()));
        EXPECT_FALSE(channel.criteria.lastDay.deviation);
        EXPECT_FALSE(channel.criteria.conforms);
    }
    EXPECT_FALSE(result.conforms);

    for (auto& row : readings.rows) {
        row.tExt = row.tIn;
    }
    const AnalysisResult flat = analyseResistance(readings);
    EXPECT_EQ(flat.channels[0].r0.reason, Undefined::NoTemperatureDifference);
    EXPECT_TRUE(hasWarning(flat, WarningKind::SmallDifference));
}

TEST(WallResistance, FewerThanThreeDaysFailsDuration) {
    // Rows 1–10: D = 2, window rows 3–10, both remaining criteria pass.
    const AnalysisResult two = analyseResistance(example(10));
    EXPECT_EQ(two.days, 2);
    EXPECT_EQ(two.rowsUsed, 8u);
    const Criteria& c = two.channels[0].criteria;
    EXPECT_FALSE(c.duration.pass);
    EXPECT_EQ(c.duration.explanation, "2 сут — меньше 3 сут (72 ч)");
    EXPECT_TRUE(c.lastDay.pass);
    EXPECT_EQ(c.thirds.days, 1);
    EXPECT_TRUE(c.thirds.pass);
    EXPECT_FALSE(c.conforms);

    // Three rows span 18 h: no whole day, every row in the window, not valid.
    const AnalysisResult none = analyseResistance(example(3));
    EXPECT_EQ(none.days, 0);
    EXPECT_EQ(none.rowsUsed, 3u);
    EXPECT_NEAR(none.channels[0].r0.value, 90.0 / 72, 1e-9);
    EXPECT_FALSE(none.channels[0].criteria.lastDay.deviation);
    EXPECT_FALSE(none.channels[0].criteria.thirds.deviation);
    EXPECT_TRUE(hasWarning(none, WarningKind::NoWholeDay));
}

// Readings every `step` (an hour) from 10.01.2024 00:00: Δt = `difference`, q = `flux` (R =
// difference / flux).
Readings hourly(int hours, double difference, double flux, std::int64_t step = kHour) {
    Readings out;
    const std::int64_t start = secondsOf(2024, 1, 10, 0, 0, 0);
    for (int h = 0; h < hours; ++h) {
        out.rows.push_back({start + h * step, 20.0, 20.0 - difference, {flux, 0, 0}, 0b001});
    }
    return out;
}

TEST(WallResistance, DaysComeFromElapsedTimeAndSmallDifferencesDoNotConform) {
    // 72 hourly readings with one missing still span three days.
    Readings readings = hourly(72, 30, 10);
    readings.rows.erase(readings.rows.begin() + 40);
    readings.leftOut = 2;  // unreadable rows do not shorten it either
    const AnalysisResult three = analyseResistance(readings);
    EXPECT_EQ(three.days, 3);
    EXPECT_EQ(three.rowsUsed, 71u);
    EXPECT_TRUE(three.sparseDays.empty());  // 23 of 24 readings is above 90 %
    EXPECT_TRUE(three.conforms);

    // Δt 0,5 K, q 0,25 W/m²: C1–C3 pass, the difference condition does not.
    const AnalysisResult small = analyseResistance(hourly(96, 0.5, 0.25));
    const Criteria& c = small.channels[0].criteria;
    EXPECT_DOUBLE_EQ(small.channels[0].r0.value, 2.0);
    EXPECT_TRUE(c.duration.pass && c.lastDay.pass && c.thirds.pass);
    EXPECT_FALSE(c.difference.pass);
    EXPECT_FALSE(c.conforms);
    EXPECT_EQ(c.difference.explanation, "в среднем 0,5 K по модулю — меньше 10 K");
    EXPECT_TRUE(hasWarning(small, WarningKind::SmallDifference));
    EXPECT_TRUE(analyseResistance(hourly(96, 0.5, 0.25), {.minDifference = 0.5}).conforms);
}

TEST(WallResistance, ReversedFluxGivesRAndDifferingSignsDoNot) {
    // Summer: the room is 5 K cooler and heat flows outwards at 2 W/m².
    const AnalysisResult summer = analyseResistance(hourly(96, -5, -2), {.minDifference = 5});
    const ChannelResult& channel = summer.channels[0];
    EXPECT_DOUBLE_EQ(channel.r0.value, 2.5);
    EXPECT_TRUE(channel.r0.reversed);
    EXPECT_DOUBLE_EQ(channel.criteria.difference.meanDifference, 5.0);
    EXPECT_TRUE(channel.criteria.conforms);
    EXPECT_TRUE(hasWarning(summer, WarningKind::ReversedFlux));
    EXPECT_FALSE(hasWarning(summer, WarningKind::SmallDifference));

    EXPECT_EQ(analyseResistance(hourly(96, -5, 2)).channels[0].r0.reason,
              Undefined::FluxAgainstDifference);
    EXPECT_EQ(analyseResistance(hourly(96, 5, -2)).channels[0].r0.reason, Undefined::HeatIntoRoom);
}

TEST(WallResistance, DailyRMovingOneWayIsStorageDrift) {
    // Four days of Δt 30 with q 10, 9,6, 9,2, 8,8: the daily R rise by 0,409 in all, 12,8 % of
    // R0 = 30/9,4.
    Readings readings = hourly(96, 30, 10);
    for (std::size_t i = 0; i < readings.rows.size(); ++i) {
        readings.rows[i].q[0] = 10 - 0.4 * static_cast<double>(i / 24);
    }
    const AnalysisResult result = analyseResistance(readings, {.dynamic = false});
    const StorageDrift& drift = result.channels[0].storage;
    EXPECT_TRUE(drift.drift);
    EXPECT_EQ(drift.trendDays, 4);
    EXPECT_NEAR(drift.trend, (30 / 8.8 - 3) / (30 / 9.4), 1e-12);
    EXPECT_FALSE(drift.dynamicDifference);
    EXPECT_NE(storageDriftText(result.channels[0], ',').find("последние 4 сут"), std::string::npos);
}

TEST(WallResistance, ValuesNoInstrumentRecordsAreLeftOutAndCounted) {
    // A steady R = 3 week; before it one q of 1e17, then unreadable and impossible values.
    Readings readings = hourly(8 * 24, 30, 10);
    readings.rows[0].q[0] = 1e17;
    for (std::size_t i = 24; i < readings.rows.size(); i += 10) {
        readings.rows[i].channels = 0;  // q1 unreadable
    }
    readings.fluxLeftOut[0] = 17;
    readings.rows[50].q[0] = 1e308;
    readings.rows[60].tIn = 999999;
    readings.rows[70].tExt = std::nan("");
    const AnalysisResult result = analyseResistance(readings, {.findLongest = true});
    const ChannelResult& channel = result.channels[0];
    EXPECT_NEAR(channel.r0.value, 3.0, 1e-12);
    EXPECT_EQ(channel.fluxLeftOut, 19u);  // 17 unreadable, 1e17 and 1e308
    EXPECT_EQ(result.rowsOutOfRange, 2u);
    EXPECT_EQ(result.rowsLeftOut, 2u);
    EXPECT_TRUE(hasWarning(result, WarningKind::FluxLeftOut));
    EXPECT_TRUE(hasWarning(result, WarningKind::OutOfRange));
    ASSERT_TRUE(result.longest);
    EXPECT_NEAR(result.longest->r0[0].value, 3.0, 1e-12);

    // 300 readings from year 1 to 9999: too few a day for whole days, answered at once.
    Readings spread;
    for (int i = 0; i < 300; ++i) {
        spread.rows.push_back({secondsOf(1 + i * 33, 1, 1, 0, 0, 0), 20, -10, {10, 0, 0}, 0b001});
    }
    const AnalysisResult sparse = analyseResistance(spread, {.findLongest = true});
    EXPECT_TRUE(sparse.tooSparse);
    EXPECT_EQ(sparse.days, 0);
    EXPECT_FALSE(sparse.conforms);
    EXPECT_FALSE(sparse.longest);
    EXPECT_TRUE(hasWarning(sparse, WarningKind::TooSparse));

    // 6000 days every 6 h with Δt 5 K: no period meets the 10 K minimum, and the search stops at
    // its budget instead of trying all 18 million candidates.
    const Readings years = hourly(6000 * 4, 5, 2, 6 * kHour);
    const AnalysisResult cut = analyseResistance(years, {.findLongest = true, .dynamic = false});
    EXPECT_EQ(cut.days, 6000);
    EXPECT_TRUE(cut.longestCut);
    EXPECT_FALSE(cut.longest);
    EXPECT_EQ(longestPeriodText(cut, ','), "не найден: вариантов слишком много, поиск остановлен");
}

class ReadingLoader : public zond::testing::MeasurementTableTest {
  protected:
    void append(const std::string& date, const std::string& time, const std::string& tIn,
                const std::string& tExt, std::optional<double> q1, int channels = 1) {
        auto row = table_.blankRecord();
        row.setText(fields_.date, date);
        row.setText(fields_.time, time);
        row.setText(fields_.tIn, tIn);
        row.setText(fields_.tExt, tExt);
        if (q1) {
            row.setDouble(fields_.tavis1, *q1);
        } else {
            row.setNull(fields_.tavis1);
        }
        row.setDouble(fields_.tavis2, 99);
        row.setInteger(fields_.enCh, channels);
        table_.append(row);
    }
};

TEST_F(ReadingLoader, ReadsTextsWithCommaOrPointAndLeavesOutUnreadableRows) {
    // The example in reverse file order, decimal comma and point mixed.
    for (int i = 17; i >= 0; --i) {
        const std::string when = dateTimeText(timeOfRow(i + 1));
        const std::string tExt = (i % 2 ? "," : ".");
        append(when.substr(0, 10), when.substr(11), i % 2 ? "20,0" : "20",
               std::to_string(static_cast<int>(kExample[i].tExt)) + tExt + "0", kExample[i].q1);
    }
    append("01.10.2009", "09:00:00", ">320.0", "-10", 12);
    append("", "09:00:00", "20", "-10", 12);
    append("31.09.2009", "09:00:00", "20", "-10", 12);
    append("01.10.2009", "09:00:00", "20", "", 12);
    append("01.10.2009", "09:00:00", "20", "-10", std::nullopt);  // q1 blank: only q1 left out

    const Readings all = loadAllReadings(table_, fields_);
    EXPECT_EQ(all.rows.size(), 19u);
    EXPECT_EQ(all.leftOut, 4u);
    EXPECT_EQ(all.fluxLeftOut[0], 1u);
    const AnalysisResult result = analyseResistance(all);
    ASSERT_EQ(result.channels.size(), 1u);  // EN_CH = 1: q2 is not measured
    EXPECT_NEAR(result.channels[0].r0.value, 2.461538, 1e-6);
    EXPECT_EQ(result.rowsLeftOut, 4u);
    EXPECT_TRUE(hasWarning(result, WarningKind::RowsLeftOut));

    // File rows 1–16 are example rows 18 … 3: the window is all of them.
    const Readings range = loadReadingRange(table_, fields_, 1, 16);
    EXPECT_EQ(range.rows.size(), 16u);
    EXPECT_EQ(analyseResistance(range).days, 4);
    const std::uint32_t records[] = {19, 20, 1, 2};
    const Readings picked = loadReadings(table_, fields_, records);
    EXPECT_EQ(picked.rows.size(), 2u);
    EXPECT_EQ(picked.leftOut, 2u);
}

}  // namespace
}  // namespace zond::analysis
