// The dynamic method against a model wall whose flux is computed here, independently of the fit:
// one heat capacity between two resistances, integrated exactly for inputs linear between
// readings.
#include "analysis/dynamic_method.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zond::analysis {
namespace {

constexpr std::int64_t kHour = 3600;

struct ModelWall {
    double inner = 0.3;     // m²·K/W, room to the capacity
    double outer = 0.7;     // capacity to outside
    double capacity = 8e5;  // J/(m²·K)
};

// Readings every `step` s for `hours` h: inside 20 °C (or a daily swing), outside a daily swing
// around −10 °C warming by `warming` K/day; the wall starts in the steady state of an outside
// `startOffset` K colder, so its initial state is not the one the readings begin with.
Readings modelReadings(const ModelWall& wall, double hours, std::int64_t step, double warming,
                       double startOffset, bool insideSwings) {
    const auto inside = [&](double t) {
        return insideSwings ? 20 + 2 * std::sin(2 * std::numbers::pi * t / 86400.0 + 1) : 20.0;
    };
    const auto outside = [&](double t) {
        return -10 + 5 * std::sin(2 * std::numbers::pi * t / 86400.0) + warming * t / 86400.0;
    };
    const double total = wall.inner + wall.outer;
    double node = inside(0) - (inside(0) - outside(0) + startOffset) * wall.inner / total;
    const double tau = wall.capacity * wall.inner * wall.outer / total;
    Readings out;
    const std::int64_t start = secondsOf(2024, 1, 10, 0, 0, 0);
    const int substeps = 60;  // the inputs are piecewise linear on a fine grid
    const double dt = static_cast<double>(step) / substeps;
    for (std::int64_t t = 0; t <= static_cast<std::int64_t>(hours * kHour); t += step) {
        const double flux = (inside(static_cast<double>(t)) - node) / wall.inner;
        out.rows.push_back({start + t,
                            inside(static_cast<double>(t)),
                            outside(static_cast<double>(t)),
                            {flux, 0, 0},
                            0b001});
        for (int k = 0; k < substeps; ++k) {
            // dT/dt = (T∞(t) − T)/τ with T∞ linear over the substep: exact update.
            const double t0 = static_cast<double>(t) + k * dt;
            const auto equilibrium = [&](double at) {
                return (inside(at) * wall.outer + outside(at) * wall.inner) / total;
            };
            const double a = equilibrium(t0);
            const double slope = (equilibrium(t0 + dt) - a) / dt;
            const double decay = std::exp(-dt / tau);
            node = a + slope * (dt - tau) + (node - a + slope * tau) * decay;
        }
    }
    return out;
}

double averageR(const Readings& readings) {
    double difference = 0, flux = 0;
    for (const auto& r : readings.rows) {
        difference += r.tIn - r.tExt;
        flux += r.q[0];
    }
    return difference / flux;
}

TEST(DynamicMethod, HeavyWallUnderWarmingIsFoundWhereTheAverageIsBiased) {
    // τ = C·R1·R2/R = 46,7 h; three days at 30 min, inside constant (its columns drop out).
    const Readings readings = modelReadings({}, 72, 30 * 60, 3, 6, false);
    EXPECT_GT(std::abs(averageR(readings) - 1.0), 0.03);
    const DynamicOutcome outcome = dynamicResistance(readings.rows, 0, 30 * 60);
    ASSERT_TRUE(outcome.result) << outcome.reason;
    const DynamicResult& d = *outcome.result;
    EXPECT_NEAR(d.r, 1.0, 0.01);
    EXPECT_LE(d.low, d.r);
    EXPECT_GE(d.high.value_or(INFINITY), d.r);
    ASSERT_EQ(d.timeConstants.size(), 2u);
    EXPECT_GT(d.timeConstants[0], d.timeConstants[1]);
    EXPECT_EQ(d.filled, 0u);

    // The analysis flags the channel: the dynamic R is more than 5 % from the average R0.
    const AnalysisResult result = analyseResistance(readings);
    ASSERT_EQ(result.days, 3);
    const ChannelResult& channel = result.channels[0];
    ASSERT_TRUE(channel.dynamic.result);
    EXPECT_TRUE(channel.dynamic.result->accepted);
    EXPECT_TRUE(channel.storage.drift);
    EXPECT_GT(*channel.storage.dynamicDifference, 0.05);
    EXPECT_TRUE(std::ranges::any_of(
        result.warnings, [](const Warning& w) { return w.kind == WarningKind::StorageDrift; }));
}

TEST(DynamicMethod, WallWithoutMassAndSwingingInsideGivesRExactly) {
    Readings readings = modelReadings({0.5, 1.0, 1e-3}, 120, 10 * 60, 0, 0, true);
    const DynamicOutcome outcome = dynamicResistance(readings.rows, 0, 10 * 60);
    ASSERT_TRUE(outcome.result) << outcome.reason;
    EXPECT_NEAR(outcome.result->r, 1.5, 1.5 * 1e-3);
    EXPECT_TRUE(outcome.result->accepted);
    EXPECT_NEAR(*outcome.result->withoutLastDay, 1.5, 1.5 * 1e-3);
    EXPECT_EQ(outcome.result->stride, 1u);

    // 30 001 readings a minute apart: every second one is fitted, ending at the last.
    const Readings minutes = modelReadings({0.5, 1.0, 1e-3}, 500, 60, 0, 0, true);
    const DynamicOutcome thinned = dynamicResistance(minutes.rows, 0, 60);
    ASSERT_TRUE(thinned.result) << thinned.reason;
    EXPECT_EQ(thinned.result->stride, 2u);
    EXPECT_EQ(thinned.result->equations + 60, 15001u);  // the first 2 h are not fitted
    EXPECT_NEAR(thinned.result->r, 1.5, 1.5 * 1e-3);
}

TEST(DynamicMethod, ShortGapsAreFilledLongOnesAndShortRecordsRefused) {
    Readings readings = modelReadings({0.5, 1.0, 1e-3}, 72, kHour, 0, 0, true);
    readings.rows.erase(readings.rows.begin() + 30);  // one hour missing
    const DynamicOutcome filled = dynamicResistance(readings.rows, 0, kHour);
    ASSERT_TRUE(filled.result) << filled.reason;
    EXPECT_EQ(filled.result->filled, 1u);
    EXPECT_NEAR(filled.result->r, 1.5, 0.01);

    readings.rows.erase(readings.rows.begin() + 40, readings.rows.begin() + 50);  // 11 h
    const DynamicOutcome refused = dynamicResistance(readings.rows, 0, kHour);
    EXPECT_FALSE(refused.result);
    EXPECT_EQ(refused.reason,
              "пропуск 11 ч после 11.01.2024 16:00:00: метод требует показаний через равный "
              "интервал");

    const Readings day = modelReadings({0.5, 1.0, 1e-3}, 30, kHour, 0, 0, true);
    const DynamicOutcome shortRecord = dynamicResistance(day.rows, 0, kHour);
    EXPECT_FALSE(shortRecord.result);
    EXPECT_NE(shortRecord.reason.find("мало показаний"), std::string::npos);
}

}  // namespace
}  // namespace zond::analysis
