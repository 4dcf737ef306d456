// Thermal resistance of a wall from heat-flux and temperature readings: the average method with
// its validity criteria (duration, last day, thirds) and the temperature-difference condition,
// the uncertainty of R0, signs of heat stored in the wall, the dynamic method beside it, the mean
// over channels, warnings and the longest conforming period. Everything a results window, a
// printed protocol or the JSON shows is in AnalysisResult.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zond::analysis {

inline constexpr std::int64_t kSecondsPerDay = 86400;
inline constexpr int kFluxChannels = 3;

// One reading as the method needs it.
struct Reading {
    std::int64_t time = 0;                  // seconds on the instrument's clock, see secondsOf()
    double tIn = 0;                         // tв, °C
    double tExt = 0;                        // tн, °C
    std::array<double, kFluxChannels> q{};  // W/m²
    std::uint8_t channels = 0;              // bit c set: q[c] was measured
};

// Readings in any order, and how many rows could not be read into one. A q that cannot be read
// leaves only that channel of its row out (its bit in Reading::channels is clear) and is counted
// in fluxLeftOut.
struct Readings {
    std::vector<Reading> rows;
    std::size_t leftOut = 0;
    std::array<std::size_t, kFluxChannels> fluxLeftOut{};
};

// What the instrument can record; values beyond (and non-finite ones) are left out and counted.
inline constexpr double kLowestTemperature = -40.0;   // °C
inline constexpr double kHighestTemperature = 320.0;  // °C
inline constexpr double kLargestFlux = 65535.0;       // W/m², a 16-bit word

struct AnalysisOptions {
    double alphaIn = 8.7;    // αв, W/(m²·K)
    double alphaOut = 23.0;  // αн, W/(m²·K)
    bool findLongest = false;
    // At most this many points of the cumulative series, evenly spread and ending at the
    // window's last row (a chart needs no more than its width); 0: one per window row.
    std::size_t cumulativePoints = 0;
    char decimalSeparator = ',';  // in the explanation and warning texts
    // The temperature-difference condition: |mean tв − tн| over the window at least this, K.
    double minDifference = 10.0;
    // Standard uncertainties of the sensors: the flux sensor's calibration (a fraction of q) and
    // each temperature sensor (K).
    double fluxUncertainty = 0.05;
    double temperatureUncertainty = 0.5;
    bool dynamic = true;  // also the dynamic method
};

enum class Undefined {
    None,
    NoReadings,
    HeatIntoRoom,             // Σq < 0 while Σ(tв − tн) > 0
    NoTemperatureDifference,  // Σ(tв − tн) = 0
    NoFlux,                   // Σq = 0
    FluxAgainstDifference,    // Σq > 0 while Σ(tв − tн) < 0
};

// R of a set of rows, Σ(tв − tн) / Σq in m²·K/W, or why it has none. Both sums negative (heat
// flowing outwards in summer) give a valid, positive R marked `reversed`.
struct Resistance {
    double value = 0;
    Undefined reason = Undefined::NoReadings;
    bool reversed = false;

    bool defined() const { return reason == Undefined::None; }
};

// R of the rows with time in (from, to].
struct DayResistance {
    std::int64_t from = 0;
    std::int64_t to = 0;
    Resistance r;
    std::size_t rows = 0;  // rows of the day that have the channel
    // Times of the day's first and last readings (any channel); nothing for a day without any.
    std::optional<std::int64_t> firstReading;
    std::optional<std::int64_t> lastReading;
};

// C1: at least three whole days.
struct DurationCriterion {
    int days = 0;
    bool pass = false;
    std::string explanation;
};

// C2, as ISO 9869-1 words it: the result at the end against the value 24 h before.
struct LastDayCriterion {
    Resistance withoutLastDay;        // R of the window without its last day: R_24h_before
    std::optional<double> deviation;  // |R0 − R'| / R'; nothing when it cannot be evaluated
    bool pass = false;
    std::string explanation;
};

// C3, as ISO 9869-1 words it: R of the first m days against R of the last m days, m = ⌊2D/3⌋.
struct ThirdsCriterion {
    int days = 0;  // m
    Resistance first;
    Resistance last;
    std::optional<double> deviation;  // |R_first − R_last| / R_last
    bool pass = false;
    std::string explanation;
};

// The temperature-difference condition: the magnitude of the mean tв − tн, |Σ(tв − tн)| / n, over
// the window's rows of the channel (the sums R0 comes from), against the minimum.
struct DifferenceCondition {
    double meanDifference = 0;  // K, a magnitude
    double minimum = 0;         // AnalysisOptions::minDifference
    bool pass = false;
    std::string explanation;
};

struct Criteria {
    DurationCriterion duration;
    LastDayCriterion lastDay;
    ThirdsCriterion thirds;
    DifferenceCondition difference;
    bool conforms = false;  // C1–C3 and the difference condition pass
};

// The expanded uncertainty of R0 (k = 2) and its relative standard components.
struct Uncertainty {
    double flux = 0;         // the flux sensor's calibration
    double temperature = 0;  // √2·u(t) / mean |Δt|: two independent sensors
    double scatter = 0;      // standard error of the daily R over R0 (0 with fewer than 2 days)
    double relative = 0;     // 2·√(flux² + temperature² + scatter²)
    double expanded = 0;     // relative·R0, m²·K/W
};

// Why a channel's result may be biased by heat stored in the wall.
struct StorageDrift {
    bool drift = false;
    // The daily R moved one way over the last `trendDays` (≥ 3) days by `trend` of R0 in all;
    // 0 days when they did not.
    int trendDays = 0;
    double trend = 0;
    // |R_dynamic − R0| / R0 when the dynamic method was accepted.
    std::optional<double> dynamicDifference;
};

// The dynamic method of ISO 9869-1, Annex B, extended with sums over the whole record and terms
// for the wall's state when logging started (two time constants τ1 = r·τ2).
struct DynamicResult {
    double r = 0;                          // m²·K/W
    double low = 0;                        // the 95 % confidence interval of R
    std::optional<double> high;            // nothing when the interval of 1/R reaches zero
    std::vector<double> timeConstants;     // τ1, τ2 in seconds
    bool tauOnEdge = false;                // the best τ1 lies at the edge of the search
    std::optional<double> withoutLastDay;  // R of the record without its last 24 h
    bool accepted = false;                 // interval and last-day change within 5 %
    std::size_t equations = 0;             // readings fitted
    std::size_t filled = 0;                // readings interpolated into short gaps
    std::size_t stride = 1;                // every stride-th reading was fitted
};

// The dynamic method's result, or why it has none.
struct DynamicOutcome {
    std::optional<DynamicResult> result;
    std::string reason;  // when there is no result
};

struct ChannelResult {
    int channel = 0;           // 0 … 2 for q1 … q3
    std::size_t rows = 0;      // window rows that have this channel
    Resistance r0;             // air to air
    std::optional<double> u;   // 1 / R0, W/(m²·K)
    std::optional<double> rk;  // R0 − 1/αв − 1/αн, the construction alone
    // Means over the window rows that have this channel (zero when there are none).
    double meanTIn = 0;
    double meanTExt = 0;
    double meanDifference = 0;
    double meanFlux = 0;
    std::vector<DayResistance> daily;  // D whole days, oldest first
    // R of the window rows up to each row of AnalysisResult::cumulativeTimes; NaN where undefined.
    std::vector<double> cumulative;
    Criteria criteria;
    std::size_t fluxLeftOut = 0;  // rows whose q of this channel was unreadable or out of range
    std::optional<Uncertainty> uncertainty;  // when R0 is defined
    DynamicOutcome dynamic;                  // empty when not asked for
    StorageDrift storage;
};

// The mean R0 of two or more defined channels.
struct ChannelMean {
    double r0 = 0;
    double min = 0;
    double max = 0;
    // 2·√(ū² + s²/n): ū the mean of the channels' standard uncertainties (taken as correlated),
    // s the standard deviation of their R0.
    double expanded = 0;
    int channels = 0;
};

struct Gap {
    std::int64_t after = 0;   // time of the reading before it
    std::int64_t length = 0;  // seconds between the two readings
};

enum class WarningKind {
    RowsLeftOut,
    NoInterval,
    NoWholeDay,
    SmallDifference,  // mean |Δt| below the minimum
    LongInterval,     // Δ above 30 min
    Gaps,             // readings more than 1.5·Δ apart inside the window
    GapsBefore,       // such gaps only before the window
    SparseDays,       // days with less than 90 % of the expected readings
    FluxLeftOut,      // unreadable or out-of-range q
    OutOfRange,       // rows with a temperature beyond what the instrument records
    ReversedFlux,     // heat flowed outwards
    StorageDrift,     // a channel's result may be biased by stored heat
    TooSparse         // too few readings per day for the method
};

struct Warning {
    WarningKind kind;
    std::string text;
};

// A run of whole days of the window in which every channel conforms; among equally long runs the
// one with the smallest largest deviation.
struct LongestPeriod {
    std::int64_t from = 0;  // times of its first and last readings
    std::int64_t to = 0;
    int days = 0;
    std::size_t rows = 0;
    std::vector<Resistance> r0;  // per entry of AnalysisResult::channels
    double deviation = 0;        // the largest C2 or C3 deviation of its channels
};

struct AnalysisResult {
    double alphaIn = 0;
    double alphaOut = 0;
    std::size_t rowsKept = 0;  // readable rows, start-up included
    std::size_t rowsUsed = 0;  // rows in the window
    std::size_t rowsLeftOut = 0;
    std::size_t rowsOutOfRange = 0;  // of rowsLeftOut: a temperature beyond the instrument's
    std::optional<double> interval;  // Δ, the median of consecutive differences, seconds
    int days = 0;            // D = ⌊(t_last − t_first + Δ) / 24 h⌋ over the readable rows
    bool tooSparse = false;  // fewer than 4 readings a day: D is 0
    std::int64_t windowStart = 0;            // t_last − D days; window rows come after it
    std::optional<std::int64_t> windowFrom;  // times of the window's first and last rows
    std::optional<std::int64_t> windowTo;
    std::vector<std::int64_t> cumulativeTimes;  // rows of the cumulative series, in time order
    std::vector<ChannelResult> channels;        // the channels the rows have, in order
    bool conforms = false;                      // every channel conforms
    double meanDifference = 0;                  // |Δt| over all window rows
    double minDifference = 0;                   // AnalysisOptions::minDifference
    std::size_t gapCount = 0;                   // inside the window
    std::optional<Gap> largestGap;
    std::size_t gapsBefore = 0;       // between readings before the window
    std::vector<int> sparseDays;      // 1-based days below 90 % of the readings
    std::optional<ChannelMean> mean;  // over two or more defined channels
    std::vector<Warning> warnings;
    bool longestSearched = false;
    std::optional<LongestPeriod> longest;  // nothing when searched and none conforms
    bool longestCut = false;  // the search stopped at its budget before trying every length
};

// The whole method. Rows are put in time order first, whatever their order in `input`.
AnalysisResult analyseResistance(const Readings& input, const AnalysisOptions& options = {});

// Seconds of a calendar date and time of day (no time zone: the instrument's clock), and back.
std::int64_t secondsOf(int year, unsigned month, unsigned day, int hour, int minute, int second);
// "dd.mm.yyyy hh:mm:ss"
std::string dateTimeText(std::int64_t seconds);

}  // namespace zond::analysis
