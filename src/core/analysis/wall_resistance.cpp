#include "analysis/wall_resistance.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>

#include "analysis/dynamic_method.h"
#include "analysis/resistance_text.h"

namespace zond::analysis {

namespace {

constexpr double kLimit = 0.05;  // C2, C3, storage drift
constexpr int kMinimumDays = 3;  // C1
constexpr double kLongInterval = 30.0 * 60.0;
constexpr double kGapFactor = 1.5;
constexpr double kDayCoverage = 0.9;
// Fewer readings a day than this (or a longer interval) and no whole days are laid out.
constexpr double kFewestPerDay = 4;

// Sums of one channel over a set of rows.
struct Sums {
    double difference = 0;  // Σ(tв − tн)
    double flux = 0;
    double tIn = 0;
    double tExt = 0;
    std::size_t rows = 0;

    void add(const Reading& r, int channel) {
        difference += r.tIn - r.tExt;
        flux += r.q[static_cast<std::size_t>(channel)];
        tIn += r.tIn;
        tExt += r.tExt;
        ++rows;
    }
    Sums operator-(const Sums& o) const {
        return {difference - o.difference, flux - o.flux, tIn - o.tIn, tExt - o.tExt,
                rows - o.rows};
    }
};

// Both sums negative is heat flowing outwards, a valid R; differing signs or a zero are not.
Resistance resistanceOf(double difference, double flux, std::size_t rows) {
    if (rows == 0) {
        return {};
    }
    if (difference == 0) {
        return {0, Undefined::NoTemperatureDifference};
    }
    if (flux == 0) {
        return {0, Undefined::NoFlux};
    }
    if ((difference > 0) != (flux > 0)) {
        return {0, difference > 0 ? Undefined::HeatIntoRoom : Undefined::FluxAgainstDifference};
    }
    return {difference / flux, Undefined::None, flux < 0};
}

Resistance resistanceOf(const Sums& s) {
    return resistanceOf(s.difference, s.flux, s.rows);
}

// |a − b| / b
std::optional<double> deviation(const Resistance& a, const Resistance& b) {
    if (!a.defined() || !b.defined()) {
        return std::nullopt;
    }
    return std::abs(a.value - b.value) / b.value;
}

double meanMagnitude(const Sums& s) {
    return s.rows == 0 ? 0 : std::abs(s.difference) / static_cast<double>(s.rows);
}

// Prefix sums of one channel over whole-day blocks: blocks [first, first + count) sum to
// at(first + count) − at(first).
class DayBlocks {
  public:
    explicit DayBlocks(std::vector<Sums> prefix) : prefix_(std::move(prefix)) {}
    Sums range(int first, int count) const {
        return prefix_[static_cast<std::size_t>(first + count)] -
               prefix_[static_cast<std::size_t>(first)];
    }

  private:
    std::vector<Sums> prefix_;
};

// The criteria's figures for `days` blocks from `first` (the window of D = 0 is one block that
// is not a whole day).
Criteria judge(const DayBlocks& blocks, int first, int count, int days, double minDifference) {
    Criteria c;
    const Sums all = blocks.range(first, count);
    const Resistance r0 = resistanceOf(all);
    c.duration.days = days;
    c.duration.pass = days >= kMinimumDays;
    if (days >= 2) {
        c.lastDay.withoutLastDay = resistanceOf(blocks.range(first, days - 1));
        c.lastDay.deviation = deviation(r0, c.lastDay.withoutLastDay);
    }
    c.thirds.days = 2 * days / 3;
    if (c.thirds.days >= 1) {
        c.thirds.first = resistanceOf(blocks.range(first, c.thirds.days));
        c.thirds.last = resistanceOf(blocks.range(first + days - c.thirds.days, c.thirds.days));
        c.thirds.deviation = deviation(c.thirds.first, c.thirds.last);
    }
    c.lastDay.pass = c.lastDay.deviation && *c.lastDay.deviation <= kLimit;
    c.thirds.pass = c.thirds.deviation && *c.thirds.deviation <= kLimit;
    c.difference.meanDifference = meanMagnitude(all);
    c.difference.minimum = minDifference;
    c.difference.pass = all.rows > 0 && c.difference.meanDifference >= minDifference;
    c.conforms = c.duration.pass && c.lastDay.pass && c.thirds.pass && c.difference.pass;
    return c;
}

double largestDeviation(const Criteria& c) {
    return std::max(c.lastDay.deviation.value_or(0), c.thirds.deviation.value_or(0));
}

// Keeps `rows` when already in time order, else a time-ordered copy in `storage`.
std::span<const Reading> inTimeOrder(const std::vector<Reading>& rows,
                                     std::vector<Reading>& storage) {
    if (std::ranges::is_sorted(rows, {}, &Reading::time)) {
        return rows;
    }
    storage = rows;
    std::ranges::stable_sort(storage, {}, &Reading::time);
    return storage;
}

// The median of a multiset given as sorted (value, count) pairs.
double medianOf(const std::vector<std::pair<std::int64_t, std::size_t>>& counted,
                std::size_t total) {
    const auto valueAt = [&](std::size_t index) {
        for (const auto& [value, count] : counted) {
            if (index < count) {
                return static_cast<double>(value);
            }
            index -= count;
        }
        return 0.0;
    };
    const double upper = valueAt(total / 2);
    return total % 2 == 1 ? upper : (upper + valueAt(total / 2 - 1)) / 2.0;
}

// Readings come at a few distinct intervals, so they are counted per value (runs of equal steps
// at a time) rather than copied and partitioned: a million rows take no buffer of a million.
std::optional<double> medianInterval(std::span<const Reading> rows) {
    if (rows.size() < 2) {
        return std::nullopt;
    }
    constexpr std::size_t kMostValues = 4096;
    std::vector<std::pair<std::int64_t, std::size_t>> counted;
    const auto count = [&](std::int64_t step, std::size_t times) {
        const auto at = std::ranges::lower_bound(counted, step, {},
                                                 &std::pair<std::int64_t, std::size_t>::first);
        if (at != counted.end() && at->first == step) {
            at->second += times;
        } else {
            counted.insert(at, {step, times});
        }
    };
    std::size_t run = 0;
    for (std::size_t i = 1; i < rows.size() && counted.size() <= kMostValues; ++i) {
        const std::int64_t step = rows[i].time - rows[i - 1].time;
        ++run;
        if (i + 1 == rows.size() || rows[i + 1].time - rows[i].time != step) {
            count(step, run);
            run = 0;
        }
    }
    if (counted.size() > kMostValues) {
        // Scattered times: count the sorted steps instead.
        std::vector<std::int64_t> steps;
        steps.reserve(rows.size() - 1);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            steps.push_back(rows[i].time - rows[i - 1].time);
        }
        std::ranges::sort(steps);
        counted.clear();
        for (const std::int64_t step : steps) {
            if (counted.empty() || counted.back().first != step) {
                counted.push_back({step, 0});
            }
            ++counted.back().second;
        }
    }
    const double median = medianOf(counted, rows.size() - 1);
    if (median <= 0) {
        return std::nullopt;
    }
    return median;
}

// Gaps that start inside the window count for it; those that start before it only as a note
// (a late first reading shows as a day with few readings).
void findGaps(std::span<const Reading> rows, double interval, AnalysisResult& result) {
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::int64_t step = rows[i].time - rows[i - 1].time;
        if (static_cast<double>(step) <= kGapFactor * interval) {
            continue;
        }
        if (result.days > 0 && rows[i - 1].time <= result.windowStart) {
            ++result.gapsBefore;
        } else {
            ++result.gapCount;
            if (!result.largestGap || step > result.largestGap->length) {
                result.largestGap = Gap{rows[i - 1].time, step};
            }
        }
    }
}

// The window's rows grouped in whole days: per channel the prefix sums over the days, and the
// first and last row of each day.
struct WindowDays {
    int count = 1;
    std::vector<DayBlocks> channels;
    std::vector<std::size_t> firstRow;  // per block, and one past the end
};

int blockOf(const AnalysisResult& result, std::int64_t time) {
    if (result.days == 0) {
        return 0;
    }
    return static_cast<int>((time - result.windowStart + kSecondsPerDay - 1) / kSecondsPerDay) - 1;
}

// Days whose readings (any channel) cover less than 90 % of what the interval promises.
void findSparseDays(std::span<const Reading> window, double interval, AnalysisResult& result) {
    if (result.days == 0) {
        return;
    }
    std::vector<std::size_t> counts(static_cast<std::size_t>(result.days));
    for (const Reading& r : window) {
        ++counts[static_cast<std::size_t>(blockOf(result, r.time))];
    }
    const double expected = static_cast<double>(kSecondsPerDay) / interval;
    for (std::size_t d = 0; d < counts.size(); ++d) {
        if (static_cast<double>(counts[d]) < kDayCoverage * expected) {
            result.sparseDays.push_back(static_cast<int>(d) + 1);
        }
    }
}

WindowDays groupDays(std::span<const Reading> window, const AnalysisResult& result,
                     const std::vector<int>& channels) {
    WindowDays days;
    days.count = std::max(result.days, 1);
    const auto blocks = static_cast<std::size_t>(days.count);
    std::vector<std::vector<Sums>> sums(channels.size(), std::vector<Sums>(blocks + 1));
    days.firstRow.assign(blocks + 1, window.size());
    for (std::size_t i = window.size(); i-- > 0;) {
        const auto block = static_cast<std::size_t>(blockOf(result, window[i].time));
        days.firstRow[block] = i;
        for (std::size_t k = 0; k < channels.size(); ++k) {
            if ((window[i].channels >> channels[k]) & 1U) {
                sums[k][block + 1].add(window[i], channels[k]);
            }
        }
    }
    // Empty days start where the next one does.
    for (std::size_t b = blocks; b-- > 0;) {
        days.firstRow[b] = std::min(days.firstRow[b], days.firstRow[b + 1]);
    }
    for (auto& prefix : sums) {
        for (std::size_t b = 1; b <= blocks; ++b) {
            const Sums day = prefix[b];
            prefix[b] = prefix[b - 1];
            prefix[b].difference += day.difference;
            prefix[b].flux += day.flux;
            prefix[b].tIn += day.tIn;
            prefix[b].tExt += day.tExt;
            prefix[b].rows += day.rows;
        }
        days.channels.emplace_back(std::move(prefix));
    }
    return days;
}

// Rows between the points of the cumulative series, so that it ends at the window's last row.
std::size_t cumulativeStride(std::size_t rows, std::size_t points) {
    return points == 0 || rows <= points ? 1 : (rows + points - 1) / points;
}

std::vector<double> cumulativeSeries(std::span<const Reading> window, int channel,
                                     std::size_t stride) {
    std::vector<double> series;
    series.reserve(window.size() / stride + 1);
    Sums running;
    for (std::size_t i = 0; i < window.size(); ++i) {
        if ((window[i].channels >> channel) & 1U) {
            running.add(window[i], channel);
        }
        if ((window.size() - 1 - i) % stride == 0) {
            const Resistance r = resistanceOf(running);
            series.push_back(r.defined() ? r.value : std::numeric_limits<double>::quiet_NaN());
        }
    }
    return series;
}

// Relative standard components from the sensors and the day-to-day scatter, expanded with k = 2.
std::optional<Uncertainty> uncertaintyOf(const ChannelResult& channel,
                                         const AnalysisOptions& options) {
    if (!channel.r0.defined()) {
        return std::nullopt;
    }
    Uncertainty u;
    u.flux = options.fluxUncertainty;
    u.temperature = std::sqrt(2.0) * options.temperatureUncertainty /
                    channel.criteria.difference.meanDifference;
    std::vector<double> daily;
    for (const auto& day : channel.daily) {
        if (day.r.defined()) {
            daily.push_back(day.r.value);
        }
    }
    if (daily.size() >= 2) {
        const auto n = static_cast<double>(daily.size());
        double mean = 0;
        for (const double r : daily) {
            mean += r / n;
        }
        double squares = 0;
        for (const double r : daily) {
            squares += (r - mean) * (r - mean);
        }
        u.scatter = std::sqrt(squares / (n - 1) / n) / channel.r0.value;
    }
    u.relative =
        2.0 * std::sqrt(u.flux * u.flux + u.temperature * u.temperature + u.scatter * u.scatter);
    u.expanded = u.relative * channel.r0.value;
    return u;
}

// A steady one-way move of the daily R over the last three or more days, or a dynamic R that
// tells a different story.
StorageDrift storageDriftOf(const ChannelResult& channel) {
    StorageDrift drift;
    if (!channel.r0.defined()) {
        return drift;
    }
    const auto& daily = channel.daily;
    int run = 0;
    int direction = 0;
    for (std::size_t d = daily.size();
         d-- > 1 && daily[d].r.defined() && daily[d - 1].r.defined();) {
        const double step = daily[d].r.value - daily[d - 1].r.value;
        const int sign = step > 0 ? 1 : (step < 0 ? -1 : 0);
        if (sign == 0 || (direction != 0 && sign != direction)) {
            break;
        }
        direction = sign;
        run = run == 0 ? 2 : run + 1;
    }
    if (run >= 3) {
        const std::size_t last = daily.size() - 1;
        const double trend = std::abs(daily[last].r.value -
                                      daily[last + 1 - static_cast<std::size_t>(run)].r.value) /
                             channel.r0.value;
        if (trend > kLimit) {
            drift.trendDays = run;
            drift.trend = trend;
        }
    }
    if (channel.dynamic.result && channel.dynamic.result->accepted) {
        drift.dynamicDifference =
            std::abs(channel.dynamic.result->r - channel.r0.value) / channel.r0.value;
    }
    drift.drift =
        drift.trendDays > 0 || (drift.dynamicDifference && *drift.dynamicDifference > kLimit);
    return drift;
}

ChannelResult channelResult(int channel, const DayBlocks& blocks, const WindowDays& days,
                            std::span<const Reading> window, const AnalysisResult& result,
                            const AnalysisOptions& options) {
    ChannelResult out;
    out.channel = channel;
    const Sums all = blocks.range(0, days.count);
    out.rows = all.rows;
    out.r0 = resistanceOf(all);
    if (out.r0.defined()) {
        out.u = 1.0 / out.r0.value;
        out.rk = out.r0.value - 1.0 / options.alphaIn - 1.0 / options.alphaOut;
    }
    if (all.rows > 0) {
        const auto n = static_cast<double>(all.rows);
        out.meanTIn = all.tIn / n;
        out.meanTExt = all.tExt / n;
        out.meanDifference = all.difference / n;
        out.meanFlux = all.flux / n;
    }
    for (int d = 0; d < result.days; ++d) {
        const std::int64_t from = result.windowStart + d * kSecondsPerDay;
        const Sums day = blocks.range(d, 1);
        DayResistance& entry =
            out.daily.emplace_back(from, from + kSecondsPerDay, resistanceOf(day), day.rows);
        const std::size_t begin = days.firstRow[static_cast<std::size_t>(d)];
        const std::size_t end = days.firstRow[static_cast<std::size_t>(d) + 1];
        if (begin < end) {
            entry.firstReading = window[begin].time;
            entry.lastReading = window[end - 1].time;
        }
    }
    out.cumulative = cumulativeSeries(window, channel,
                                      cumulativeStride(window.size(), options.cumulativePoints));
    out.criteria = judge(blocks, 0, days.count, result.days, options.minDifference);
    const char separator = options.decimalSeparator;
    out.criteria.duration.explanation = explainDuration(out.criteria.duration);
    out.criteria.lastDay.explanation = explainLastDay(out.criteria.lastDay, result.days, separator);
    out.criteria.thirds.explanation = explainThirds(out.criteria.thirds, result.days, separator);
    out.criteria.difference.explanation = explainDifference(out.criteria.difference, separator);
    out.uncertainty = uncertaintyOf(out, options);
    if (options.dynamic && result.interval) {
        out.dynamic = dynamicResistance(window, channel, *result.interval);
    }
    out.storage = storageDriftOf(out);
    return out;
}

// Per channel, prefix sums over all rows in time order: rows [lo, hi) sum to at(hi) − at(lo).
// Values beyond the instrument's range are left out before, so the differences keep their
// digits; the figures reported for the period found are summed again over its own rows.
class RowPrefix {
  public:
    RowPrefix(std::span<const Reading> rows, int channel) : prefix_(rows.size() + 1) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            prefix_[i + 1] = prefix_[i];
            if ((rows[i].channels >> channel) & 1U) {
                prefix_[i + 1].add(rows[i], channel);
            }
        }
    }
    Sums sums(std::size_t lo, std::size_t hi) const { return prefix_[hi] - prefix_[lo]; }
    Resistance range(std::size_t lo, std::size_t hi) const { return resistanceOf(sums(lo, hi)); }

  private:
    std::vector<Sums> prefix_;
};

// The rows up to a time that trails the candidate's last reading by a fixed offset. As the
// candidates move forward, so does the boundary: one pass over the rows for each length.
class TrailingBoundary {
  public:
    TrailingBoundary(std::span<const Reading> rows, std::int64_t offset)
        : rows_(rows), offset_(offset) {}
    // The number of rows with time <= t − offset.
    std::size_t at(std::int64_t t) {
        while (next_ < rows_.size() && rows_[next_].time <= t - offset_) {
            ++next_;
        }
        return next_;
    }

  private:
    std::span<const Reading> rows_;
    std::int64_t offset_;
    std::size_t next_ = 0;
};

// A conforming candidate: rows [begin, end) and its largest deviation over the channels.
struct Candidate {
    std::size_t begin = 0;
    std::size_t end = 0;
    double deviation = 0;
};

// Keeps the candidate with the smallest largest deviation; on a tie the later one.
void keepBetter(std::optional<Candidate>& best, const Candidate& candidate) {
    if (!best || candidate.deviation <= best->deviation) {
        best = candidate;
    }
}

// The largest C2/C3 deviation of a channel over a candidate, or nothing when it does not
// conform (C2, C3 and the temperature difference).
std::optional<double> conformingDeviation(const Sums& all, const Resistance& withoutLastDay,
                                          const Resistance& first, const Resistance& last,
                                          double minDifference) {
    const Resistance r0 = resistanceOf(all);
    const auto c2 = deviation(r0, withoutLastDay);
    const auto c3 = deviation(first, last);
    if (!c2 || !c3 || *c2 > kLimit || *c3 > kLimit || meanMagnitude(all) < minDifference) {
        return std::nullopt;
    }
    return std::max(*c2, *c3);
}

// The best period of `length` whole days ending at a reading in which every channel conforms;
// the rows up to the reading must span the days, as for the analysis window.
std::optional<Candidate> bestEndingAnywhere(std::span<const Reading> rows, double interval,
                                            const std::vector<RowPrefix>& channels, int length,
                                            double minDifference) {
    const int third = 2 * length / 3;
    TrailingBoundary start(rows, length * kSecondsPerDay);
    TrailingBoundary withoutLastDay(rows, kSecondsPerDay);
    TrailingBoundary firstThirds(rows, (length - third) * kSecondsPerDay);
    TrailingBoundary lastThirds(rows, third * kSecondsPerDay);
    std::optional<Candidate> best;
    for (std::size_t end = 0; end < rows.size(); ++end) {
        const std::int64_t t = rows[end].time;
        const std::size_t lo = start.at(t);
        const std::size_t cut = withoutLastDay.at(t);
        const std::size_t firstEnd = firstThirds.at(t);
        const std::size_t lastBegin = lastThirds.at(t);
        if (static_cast<double>(t - rows.front().time) + interval <
            length * static_cast<double>(kSecondsPerDay)) {
            continue;
        }
        Candidate candidate{lo, end + 1, 0};
        const bool all = std::ranges::all_of(channels, [&](const RowPrefix& c) {
            const auto d =
                conformingDeviation(c.sums(lo, end + 1), c.range(lo, cut), c.range(lo, firstEnd),
                                    c.range(lastBegin, end + 1), minDifference);
            candidate.deviation = std::max(candidate.deviation, d.value_or(0));
            return d.has_value();
        });
        if (all) {
            keepBetter(best, candidate);
        }
    }
    return best;
}

// Candidates beyond this many (rows × days) are searched on the analysis window's day grid, and
// the day grid stops after this many candidates: any table answers in about a second.
constexpr double kEveryReadingBudget = 2e7;
constexpr double kDayGridBudget = 1e7;

struct LongestSearch {
    int days = 0;
    std::optional<Candidate> found;
    bool cut = false;
};

// The longest run of whole days, ending at any reading, in which every channel conforms. Prefix
// sums judge each candidate in constant time.
LongestSearch longestEndingAnywhere(std::span<const Reading> rows, double interval,
                                    const std::vector<int>& channels, int wholeDays,
                                    double minDifference) {
    std::vector<RowPrefix> prefixes;
    for (const int channel : channels) {
        prefixes.emplace_back(rows, channel);
    }
    for (int length = wholeDays; length >= kMinimumDays; --length) {
        if (auto found = bestEndingAnywhere(rows, interval, prefixes, length, minDifference)) {
            return {length, found, false};
        }
    }
    return {};
}

// The same on the window's day grid (ends at whole days back from the last reading), for
// tables too long to try every reading.
LongestSearch longestOnDayGrid(const WindowDays& days, int wholeDays, double minDifference) {
    double tried = 0;
    for (int length = wholeDays; length >= kMinimumDays; --length) {
        std::optional<Candidate> best;
        for (int first = wholeDays - length; first >= 0; --first) {
            if (++tried > kDayGridBudget) {
                return {0, std::nullopt, true};
            }
            const std::size_t begin = days.firstRow[static_cast<std::size_t>(first)];
            const std::size_t end = days.firstRow[static_cast<std::size_t>(first + length)];
            Candidate candidate{begin, end, 0};
            const bool all = std::ranges::all_of(days.channels, [&](const DayBlocks& blocks) {
                const Criteria c = judge(blocks, first, length, length, minDifference);
                candidate.deviation = std::max(candidate.deviation, largestDeviation(c));
                return c.lastDay.pass && c.thirds.pass && c.difference.pass;
            });
            if (all && begin != end && (!best || candidate.deviation < best->deviation)) {
                best = candidate;
            }
        }
        if (best) {
            return {length, best, false};
        }
    }
    return {};
}

// The period found, with R0 summed again over its own rows.
LongestPeriod periodOf(std::span<const Reading> rows, const LongestSearch& search,
                       const std::vector<int>& channels) {
    const Candidate& c = *search.found;
    LongestPeriod period{rows[c.begin].time, rows[c.end - 1].time, search.days, c.end - c.begin, {},
                         c.deviation};
    for (const int channel : channels) {
        Sums sums;
        for (std::size_t i = c.begin; i < c.end; ++i) {
            if ((rows[i].channels >> channel) & 1U) {
                sums.add(rows[i], channel);
            }
        }
        period.r0.push_back(resistanceOf(sums));
    }
    return period;
}

std::vector<int> channelsPresent(std::span<const Reading> rows) {
    std::uint8_t mask = 0;
    for (const auto& r : rows) {
        mask |= r.channels;
    }
    std::vector<int> channels;
    for (int c = 0; c < kFluxChannels; ++c) {
        if ((mask >> c) & 1U) {
            channels.push_back(c);
        }
    }
    return channels;
}

void addWarnings(AnalysisResult& result, char separator) {
    const auto warn = [&](WarningKind kind) {
        result.warnings.push_back({kind, warningText(kind, result, separator)});
    };
    const auto any = [&](auto predicate) {
        return std::ranges::any_of(result.channels, predicate);
    };
    if (result.rowsLeftOut > 0) {
        warn(WarningKind::RowsLeftOut);
    }
    if (result.rowsOutOfRange > 0) {
        warn(WarningKind::OutOfRange);
    }
    if (any([](const ChannelResult& c) { return c.fluxLeftOut > 0; })) {
        warn(WarningKind::FluxLeftOut);
    }
    if (!result.interval) {
        warn(WarningKind::NoInterval);
    } else if (result.tooSparse) {
        warn(WarningKind::TooSparse);
    } else if (result.days == 0) {
        warn(WarningKind::NoWholeDay);
    }
    if (result.rowsUsed > 0 && result.meanDifference < result.minDifference) {
        warn(WarningKind::SmallDifference);
    }
    if (result.interval && *result.interval > kLongInterval) {
        warn(WarningKind::LongInterval);
    }
    if (result.gapCount > 0) {
        warn(WarningKind::Gaps);
    } else if (result.gapsBefore > 0) {
        warn(WarningKind::GapsBefore);
    }
    if (!result.sparseDays.empty()) {
        warn(WarningKind::SparseDays);
    }
    if (any([](const ChannelResult& c) { return c.r0.defined() && c.r0.reversed; })) {
        warn(WarningKind::ReversedFlux);
    }
    if (any([](const ChannelResult& c) { return c.storage.drift; })) {
        warn(WarningKind::StorageDrift);
    }
}

bool outsideInstrument(double temperature) {
    return !(temperature >= kLowestTemperature && temperature <= kHighestTemperature);
}

bool outsideInstrumentFlux(double q) {
    return !(std::abs(q) <= kLargestFlux);
}

bool needsCleaning(const Reading& r) {
    if (outsideInstrument(r.tIn) || outsideInstrument(r.tExt)) {
        return true;
    }
    for (int c = 0; c < kFluxChannels; ++c) {
        if (((r.channels >> c) & 1U) && outsideInstrumentFlux(r.q[static_cast<std::size_t>(c)])) {
            return true;
        }
    }
    return false;
}

// The rows in time order without values the instrument cannot record: a temperature beyond its
// range leaves the row out, a q beyond it that channel of the row. `rows` itself when it needs
// neither, else a copy in `storage`.
std::span<const Reading> preparedRows(const Readings& input, std::vector<Reading>& storage,
                                      AnalysisResult& result,
                                      std::array<std::size_t, kFluxChannels>& fluxLeftOut) {
    fluxLeftOut = input.fluxLeftOut;
    if (std::ranges::none_of(input.rows, needsCleaning)) {
        return inTimeOrder(input.rows, storage);
    }
    storage.clear();
    storage.reserve(input.rows.size());
    for (Reading r : input.rows) {
        if (outsideInstrument(r.tIn) || outsideInstrument(r.tExt)) {
            ++result.rowsOutOfRange;
            ++result.rowsLeftOut;
            continue;
        }
        for (int c = 0; c < kFluxChannels; ++c) {
            const auto bit = static_cast<std::uint8_t>(1U << c);
            if ((r.channels & bit) && outsideInstrumentFlux(r.q[static_cast<std::size_t>(c)])) {
                r.channels = static_cast<std::uint8_t>(r.channels & ~bit);
                ++fluxLeftOut[static_cast<std::size_t>(c)];
            }
        }
        storage.push_back(r);
    }
    std::ranges::stable_sort(storage, {}, &Reading::time);
    return storage;
}

// Two or more defined channels: their mean R0 and its uncertainty.
std::optional<ChannelMean> meanOf(const std::vector<ChannelResult>& channels) {
    ChannelMean m;
    double uncertainty = 0;
    std::vector<double> values;
    for (const auto& c : channels) {
        if (c.r0.defined()) {
            values.push_back(c.r0.value);
            uncertainty += c.uncertainty->expanded / 2.0;
        }
    }
    if (values.size() < 2) {
        return std::nullopt;
    }
    const auto n = static_cast<double>(values.size());
    m.channels = static_cast<int>(values.size());
    for (const double r : values) {
        m.r0 += r / n;
    }
    m.min = std::ranges::min(values);
    m.max = std::ranges::max(values);
    double squares = 0;
    for (const double r : values) {
        squares += (r - m.r0) * (r - m.r0);
    }
    const double mean = uncertainty / n;
    m.expanded = 2.0 * std::sqrt(mean * mean + squares / (n - 1) / n);
    return m;
}

}  // namespace

AnalysisResult analyseResistance(const Readings& input, const AnalysisOptions& options) {
    AnalysisResult result;
    result.alphaIn = options.alphaIn;
    result.alphaOut = options.alphaOut;
    result.minDifference = options.minDifference;
    result.rowsLeftOut = input.leftOut;
    std::vector<Reading> storage;
    std::array<std::size_t, kFluxChannels> fluxLeftOut{};
    const std::span<const Reading> rows = preparedRows(input, storage, result, fluxLeftOut);
    result.rowsKept = rows.size();
    result.interval = medianInterval(rows);
    if (result.interval) {
        // Days by elapsed time: a missing reading does not cost a day.
        const double span = static_cast<double>(rows.back().time - rows.front().time);
        const int days = static_cast<int>(std::min(
            std::floor((span + *result.interval) / static_cast<double>(kSecondsPerDay)), 1e9));
        result.tooSparse = *result.interval * kFewestPerDay > static_cast<double>(kSecondsPerDay) ||
                           static_cast<double>(rows.size()) < kFewestPerDay * days;
        result.days = result.tooSparse ? 0 : days;
    }
    std::span<const Reading> window = rows;
    if (result.days > 0) {
        result.windowStart = rows.back().time - result.days * kSecondsPerDay;
        const auto first = std::ranges::upper_bound(rows, result.windowStart, {}, &Reading::time);
        window = rows.subspan(static_cast<std::size_t>(first - rows.begin()));
    } else if (!rows.empty()) {
        result.windowStart = rows.front().time - 1;
    }
    if (result.interval) {
        findGaps(rows, *result.interval, result);
        findSparseDays(window, *result.interval, result);
    }
    result.rowsUsed = window.size();
    const std::size_t stride = cumulativeStride(window.size(), options.cumulativePoints);
    result.cumulativeTimes.reserve(window.size() / stride + 1);
    double difference = 0;
    for (std::size_t i = 0; i < window.size(); ++i) {
        if ((window.size() - 1 - i) % stride == 0) {
            result.cumulativeTimes.push_back(window[i].time);
        }
        difference += window[i].tIn - window[i].tExt;
    }
    if (!window.empty()) {
        result.windowFrom = window.front().time;
        result.windowTo = window.back().time;
    }
    result.meanDifference =
        window.empty() ? 0 : std::abs(difference) / static_cast<double>(window.size());

    const std::vector<int> channels = channelsPresent(rows);
    const WindowDays days = groupDays(window, result, channels);
    result.conforms = !channels.empty();
    for (std::size_t k = 0; k < channels.size(); ++k) {
        result.channels.push_back(
            channelResult(channels[k], days.channels[k], days, window, result, options));
        result.channels.back().fluxLeftOut = fluxLeftOut[static_cast<std::size_t>(channels[k])];
        result.conforms = result.conforms && result.channels.back().criteria.conforms;
    }
    result.mean = meanOf(result.channels);
    if (options.findLongest) {
        result.longestSearched = true;
        if (!channels.empty() && result.interval && result.days >= kMinimumDays) {
            const bool everyReading =
                static_cast<double>(rows.size()) * result.days <= kEveryReadingBudget;
            const LongestSearch search =
                everyReading ? longestEndingAnywhere(rows, *result.interval, channels, result.days,
                                                     options.minDifference)
                             : longestOnDayGrid(days, result.days, options.minDifference);
            result.longestCut = search.cut;
            if (search.found) {
                result.longest = periodOf(everyReading ? rows : window, search, channels);
            }
        }
    }
    addWarnings(result, options.decimalSeparator);
    return result;
}

std::int64_t secondsOf(int year, unsigned month, unsigned day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / std::chrono::month{month} /
                        std::chrono::day{day}};
    return static_cast<std::int64_t>(date.time_since_epoch().count()) * kSecondsPerDay +
           hour * 3600 + minute * 60 + second;
}

std::string dateTimeText(std::int64_t seconds) {
    using namespace std::chrono;
    const std::int64_t dayNumber = seconds >= 0
                                       ? seconds / kSecondsPerDay
                                       : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
    const std::int64_t ofDay = seconds - dayNumber * kSecondsPerDay;
    const year_month_day date{sys_days{std::chrono::days{dayNumber}}};
    char text[32];
    std::snprintf(text, sizeof text, "%02u.%02u.%04d %02d:%02d:%02d",
                  static_cast<unsigned>(date.day()), static_cast<unsigned>(date.month()),
                  static_cast<int>(date.year()), static_cast<int>(ofDay / 3600),
                  static_cast<int>(ofDay / 60 % 60), static_cast<int>(ofDay % 60));
    return text;
}

}  // namespace zond::analysis
