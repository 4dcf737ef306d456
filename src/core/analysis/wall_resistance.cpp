#include "analysis/wall_resistance.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>

#include "analysis/resistance_text.h"

namespace zond::analysis {

namespace {

constexpr double kLimit = 0.05;  // C2 and C3
constexpr int kMinimumDays = 3;  // C1
constexpr double kSmallDifference = 10.0;
constexpr double kLongInterval = 30.0 * 60.0;
constexpr double kGapFactor = 1.5;

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

Resistance resistanceOf(double difference, double flux, std::size_t rows) {
    if (rows == 0) {
        return {};
    }
    if (flux <= 0) {
        return {0, Undefined::HeatIntoRoom};
    }
    if (difference <= 0) {
        return {0, Undefined::NoTemperatureDifference};
    }
    return {difference / flux, Undefined::None};
}

Resistance resistanceOf(const Sums& s) {
    return resistanceOf(s.difference, s.flux, s.rows);
}

std::optional<double> deviation(const Resistance& a, const Resistance& b, const Resistance& r0) {
    if (!a.defined() || !b.defined() || !r0.defined()) {
        return std::nullopt;
    }
    return std::abs(a.value - b.value) / r0.value;
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
Criteria judge(const DayBlocks& blocks, int first, int count, int days) {
    Criteria c;
    const Resistance r0 = resistanceOf(blocks.range(first, count));
    c.duration.days = days;
    c.duration.pass = days >= kMinimumDays;
    if (days >= 2) {
        c.lastDay.withoutLastDay = resistanceOf(blocks.range(first, days - 1));
        c.lastDay.deviation = deviation(r0, c.lastDay.withoutLastDay, r0);
    }
    c.thirds.days = 2 * days / 3;
    if (c.thirds.days >= 1) {
        c.thirds.first = resistanceOf(blocks.range(first, c.thirds.days));
        c.thirds.last = resistanceOf(blocks.range(first + days - c.thirds.days, c.thirds.days));
        c.thirds.deviation = deviation(c.thirds.first, c.thirds.last, r0);
    }
    c.lastDay.pass = c.lastDay.deviation && *c.lastDay.deviation <= kLimit;
    c.thirds.pass = c.thirds.deviation && *c.thirds.deviation <= kLimit;
    c.conforms = c.duration.pass && c.lastDay.pass && c.thirds.pass;
    return c;
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

void findGaps(std::span<const Reading> rows, double interval, AnalysisResult& result) {
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::int64_t step = rows[i].time - rows[i - 1].time;
        if (static_cast<double>(step) > kGapFactor * interval) {
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
        out.daily.push_back({from, from + kSecondsPerDay, resistanceOf(blocks.range(d, 1))});
    }
    out.cumulative = cumulativeSeries(window, channel,
                                      cumulativeStride(window.size(), options.cumulativePoints));
    out.criteria = judge(blocks, 0, days.count, result.days);
    out.criteria.duration.explanation = explainDuration(out.criteria.duration);
    out.criteria.lastDay.explanation =
        explainLastDay(out.criteria.lastDay, result.days, options.decimalSeparator);
    out.criteria.thirds.explanation =
        explainThirds(out.criteria.thirds, result.days, options.decimalSeparator);
    return out;
}

// Per channel, prefix sums over all rows in time order: rows [lo, hi) sum to at(hi) − at(lo).
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
    Resistance range(std::size_t lo, std::size_t hi) const {
        return resistanceOf(prefix_[hi] - prefix_[lo]);
    }

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

bool within(const std::optional<double>& deviation) {
    return deviation && *deviation <= kLimit;
}

// The latest period of `length` whole days ending at a reading in which every channel passes
// C2 and C3; the rows up to the reading must span the days, as for the analysis window.
std::optional<LongestPeriod> latestConforming(std::span<const Reading> rows, double interval,
                                              const std::vector<RowPrefix>& channels, int length) {
    const int third = 2 * length / 3;
    TrailingBoundary start(rows, length * kSecondsPerDay);
    TrailingBoundary withoutLastDay(rows, kSecondsPerDay);
    TrailingBoundary firstThirds(rows, (length - third) * kSecondsPerDay);
    TrailingBoundary lastThirds(rows, third * kSecondsPerDay);
    std::optional<LongestPeriod> found;
    for (std::size_t end = 0; end < rows.size(); ++end) {
        const std::int64_t t = rows[end].time;
        const std::size_t lo = start.at(t);
        const std::size_t cut = withoutLastDay.at(t);
        const std::size_t firstEnd = firstThirds.at(t);
        const std::size_t lastBegin = lastThirds.at(t);
        if (static_cast<double>(end + 1) * interval <
            length * static_cast<double>(kSecondsPerDay)) {
            continue;
        }
        const auto conforms = [&](const RowPrefix& c) {
            const Resistance r0 = c.range(lo, end + 1);
            return within(deviation(r0, c.range(lo, cut), r0)) &&
                   within(deviation(c.range(lo, firstEnd), c.range(lastBegin, end + 1), r0));
        };
        if (std::ranges::all_of(channels, conforms)) {
            found = LongestPeriod{rows[lo].time, t, length, end + 1 - lo, {}};
            for (const auto& c : channels) {
                found->r0.push_back(c.range(lo, end + 1));
            }
        }
    }
    return found;
}

// Candidates beyond this many (rows × days) are searched on the analysis window's day grid.
constexpr double kEveryReadingBudget = 2e7;

// The longest run of whole days, ending at any reading, in which every channel conforms; among
// equally long ones the latest. Prefix sums judge each candidate in constant time.
std::optional<LongestPeriod> longestEndingAnywhere(std::span<const Reading> rows, double interval,
                                                   const std::vector<int>& channels,
                                                   int wholeDays) {
    std::vector<RowPrefix> prefixes;
    for (const int channel : channels) {
        prefixes.emplace_back(rows, channel);
    }
    for (int length = wholeDays; length >= kMinimumDays; --length) {
        if (auto period = latestConforming(rows, interval, prefixes, length)) {
            return period;
        }
    }
    return std::nullopt;
}

// The same on the window's day grid (ends at whole days back from the last reading), for
// tables too long to try every reading.
std::optional<LongestPeriod> longestOnDayGrid(const WindowDays& days,
                                              std::span<const Reading> window, int wholeDays) {
    for (int length = wholeDays; length >= kMinimumDays; --length) {
        for (int first = wholeDays - length; first >= 0; --first) {
            const bool all = std::ranges::all_of(days.channels, [&](const DayBlocks& blocks) {
                return judge(blocks, first, length, length).conforms;
            });
            const std::size_t begin = days.firstRow[static_cast<std::size_t>(first)];
            const std::size_t end = days.firstRow[static_cast<std::size_t>(first + length)];
            if (!all || begin == end) {
                continue;
            }
            LongestPeriod period{window[begin].time, window[end - 1].time, length, end - begin, {}};
            for (const auto& blocks : days.channels) {
                period.r0.push_back(resistanceOf(blocks.range(first, length)));
            }
            return period;
        }
    }
    return std::nullopt;
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
    if (result.rowsLeftOut > 0) {
        warn(WarningKind::RowsLeftOut);
    }
    if (!result.interval) {
        warn(WarningKind::NoInterval);
    } else if (result.days == 0) {
        warn(WarningKind::NoWholeDay);
    }
    if (result.rowsUsed > 0 && result.meanDifference < kSmallDifference) {
        warn(WarningKind::SmallDifference);
    }
    if (result.interval && *result.interval > kLongInterval) {
        warn(WarningKind::LongInterval);
    }
    if (result.gapCount > 0) {
        warn(WarningKind::Gaps);
    }
}

}  // namespace

AnalysisResult analyseResistance(const Readings& input, const AnalysisOptions& options) {
    AnalysisResult result;
    result.alphaIn = options.alphaIn;
    result.alphaOut = options.alphaOut;
    result.rowsLeftOut = input.leftOut;
    std::vector<Reading> storage;
    const std::span<const Reading> rows = inTimeOrder(input.rows, storage);
    result.rowsKept = rows.size();
    result.interval = medianInterval(rows);
    if (result.interval) {
        result.days =
            static_cast<int>(std::floor(static_cast<double>(rows.size()) * *result.interval /
                                        static_cast<double>(kSecondsPerDay)));
        findGaps(rows, *result.interval, result);
    }
    std::span<const Reading> window = rows;
    if (result.days > 0) {
        result.windowStart = rows.back().time - result.days * kSecondsPerDay;
        const auto first = std::ranges::upper_bound(rows, result.windowStart, {}, &Reading::time);
        window = rows.subspan(static_cast<std::size_t>(first - rows.begin()));
    } else if (!rows.empty()) {
        result.windowStart = rows.front().time - 1;
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
    result.meanDifference = window.empty() ? 0 : difference / static_cast<double>(window.size());

    const std::vector<int> channels = channelsPresent(rows);
    const WindowDays days = groupDays(window, result, channels);
    result.conforms = !channels.empty();
    for (std::size_t k = 0; k < channels.size(); ++k) {
        result.channels.push_back(
            channelResult(channels[k], days.channels[k], days, window, result, options));
        result.conforms = result.conforms && result.channels.back().criteria.conforms;
    }
    if (options.findLongest) {
        result.longestSearched = true;
        if (!channels.empty() && result.interval) {
            result.longest =
                static_cast<double>(rows.size()) * result.days <= kEveryReadingBudget
                    ? longestEndingAnywhere(rows, *result.interval, channels, result.days)
                    : longestOnDayGrid(days, window, result.days);
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
