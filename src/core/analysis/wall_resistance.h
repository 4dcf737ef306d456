// Thermal resistance of a wall from heat-flux and temperature readings: the average method with
// its validity criteria (duration, last day, thirds), warnings and the longest conforming period.
// Everything a results window or a printed protocol shows is in AnalysisResult.
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

// Readings in any order, and how many rows could not be read into one.
struct Readings {
    std::vector<Reading> rows;
    std::size_t leftOut = 0;
};

struct AnalysisOptions {
    double alphaIn = 8.7;    // αв, W/(m²·K)
    double alphaOut = 23.0;  // αн, W/(m²·K)
    bool findLongest = false;
    // At most this many points of the cumulative series, evenly spread and ending at the
    // window's last row (a chart needs no more than its width); 0: one per window row.
    std::size_t cumulativePoints = 0;
    char decimalSeparator = ',';  // in the explanation and warning texts
};

enum class Undefined {
    None,
    NoReadings,
    HeatIntoRoom,            // Σq ≤ 0
    NoTemperatureDifference  // Σ(tв − tн) ≤ 0
};

// R of a set of rows, Σ(tв − tн) / Σq in m²·K/W, or why it has none.
struct Resistance {
    double value = 0;
    Undefined reason = Undefined::NoReadings;

    bool defined() const { return reason == Undefined::None; }
};

// R of the rows with time in (from, to].
struct DayResistance {
    std::int64_t from = 0;
    std::int64_t to = 0;
    Resistance r;
};

// C1: at least three whole days.
struct DurationCriterion {
    int days = 0;
    bool pass = false;
    std::string explanation;
};

// C2: R without the last day against R0.
struct LastDayCriterion {
    Resistance withoutLastDay;
    std::optional<double> deviation;  // |R0 − R'| / R0; nothing when it cannot be evaluated
    bool pass = false;
    std::string explanation;
};

// C3: R of the first m days against R of the last m days, m = ⌊2D/3⌋.
struct ThirdsCriterion {
    int days = 0;  // m
    Resistance first;
    Resistance last;
    std::optional<double> deviation;  // |R_first − R_last| / R0
    bool pass = false;
    std::string explanation;
};

struct Criteria {
    DurationCriterion duration;
    LastDayCriterion lastDay;
    ThirdsCriterion thirds;
    bool conforms = false;  // all three pass
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
};

struct Gap {
    std::int64_t after = 0;   // time of the reading before it
    std::int64_t length = 0;  // seconds between the two readings
};

enum class WarningKind {
    RowsLeftOut,
    NoInterval,
    NoWholeDay,
    SmallDifference,  // mean Δt below 10 K
    LongInterval,     // Δ above 30 min
    Gaps              // readings more than 1.5·Δ apart
};

struct Warning {
    WarningKind kind;
    std::string text;
};

// A run of whole days of the window in which every channel conforms.
struct LongestPeriod {
    std::int64_t from = 0;  // times of its first and last readings
    std::int64_t to = 0;
    int days = 0;
    std::size_t rows = 0;
    std::vector<Resistance> r0;  // per entry of AnalysisResult::channels
};

struct AnalysisResult {
    double alphaIn = 0;
    double alphaOut = 0;
    std::size_t rowsKept = 0;  // readable rows, start-up included
    std::size_t rowsUsed = 0;  // rows in the window
    std::size_t rowsLeftOut = 0;
    std::optional<double> interval;          // Δ, the median of consecutive differences, seconds
    int days = 0;                            // D
    std::int64_t windowStart = 0;            // t_last − D days; window rows come after it
    std::optional<std::int64_t> windowFrom;  // times of the window's first and last rows
    std::optional<std::int64_t> windowTo;
    std::vector<std::int64_t> cumulativeTimes;  // rows of the cumulative series, in time order
    std::vector<ChannelResult> channels;        // the channels the rows have, in order
    bool conforms = false;                      // every channel conforms
    double meanDifference = 0;                  // Δt over all window rows
    std::size_t gapCount = 0;
    std::optional<Gap> largestGap;
    std::vector<Warning> warnings;
    bool longestSearched = false;
    std::optional<LongestPeriod> longest;  // nothing when searched and none conforms
};

// The whole method. Rows are put in time order first, whatever their order in `input`.
AnalysisResult analyseResistance(const Readings& input, const AnalysisOptions& options = {});

// Seconds of a calendar date and time of day (no time zone: the instrument's clock), and back.
std::int64_t secondsOf(int year, unsigned month, unsigned day, int hour, int minute, int second);
// "dd.mm.yyyy hh:mm:ss"
std::string dateTimeText(std::int64_t seconds);

}  // namespace zond::analysis
