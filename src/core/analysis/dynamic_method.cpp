#include "analysis/dynamic_method.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "analysis/resistance_text.h"

namespace zond::analysis {

namespace {

constexpr int kModes = 2;
constexpr int kColumns = 3 + 3 * kModes;  // Δt, ṫв, ṫн, Sв_n, Sн_n, β_n^i
constexpr double kHour = 3600.0;
constexpr double kSkipped = 2 * kHour;  // equations left out at the start
constexpr double kShortestTau = kHour;
constexpr std::array<double, 4> kRatios = {3, 4.5, 6.5, 10};
constexpr int kCoarseTaus = 12;
constexpr int kFineTaus = 7;
constexpr double kLimit = 0.05;
// Longer series are fitted on every k-th reading: time constants of hours need no finer step,
// and any table answers in a fraction of a second.
constexpr std::size_t kMostReadings = 20000;
constexpr std::size_t kSearchReadings = 4000;
// A column whose part not explained by the earlier ones is below this (scaled) is dropped.
constexpr double kRankTolerance = 1e-10;

using Matrix = std::array<std::array<double, kColumns>, kColumns>;
using Vector = std::array<double, kColumns>;

struct Fit {
    double inverseR = 0;
    double halfWidth = 0;  // of the 95 % interval of 1/R
    double residual = 0;   // sum of squares
    bool solved = false;
};

// The two-sided 95 % Student factor for ν degrees of freedom (Cornish–Fisher expansion).
double studentFactor(double nu) {
    const double z = 1.959963985;
    const double z3 = z * z * z;
    const double z5 = z3 * z * z;
    const double z7 = z5 * z * z;
    return z + (z3 + z) / (4 * nu) + (5 * z5 + 16 * z3 + 3 * z) / (96 * nu * nu) +
           (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / (384 * nu * nu * nu);
}

// The least-squares fit for fixed τ over equations [first, end).
Fit fitFixed(const EvenSeries& s, std::size_t first, std::size_t end,
             const std::array<double, kModes>& beta) {
    Matrix gram{};
    Vector right{};
    double qq = 0;
    std::array<double, kModes> sumIn{}, sumExt{}, power{};
    power.fill(1.0);
    double lastRateIn = 0, lastRateExt = 0;
    const double step = s.step / kHour;  // rates in K/h keep the columns near one another
    Vector x{};
    for (std::size_t i = 1; i < end; ++i) {
        for (int n = 0; n < kModes; ++n) {
            sumIn[n] = beta[n] * sumIn[n] + (1 - beta[n]) * lastRateIn;
            sumExt[n] = beta[n] * sumExt[n] + (1 - beta[n]) * lastRateExt;
            power[n] *= beta[n];
        }
        const double rateIn = (s.tIn[i] - s.tIn[i - 1]) / step;
        const double rateExt = (s.tExt[i] - s.tExt[i - 1]) / step;
        lastRateIn = rateIn;
        lastRateExt = rateExt;
        if (i < first) {
            continue;
        }
        x[0] = s.tIn[i] - s.tExt[i];
        x[1] = rateIn;
        x[2] = rateExt;
        for (int n = 0; n < kModes; ++n) {
            x[3 + n] = sumIn[n];
            x[3 + kModes + n] = sumExt[n];
            x[3 + 2 * kModes + n] = power[n];
        }
        const double q = s.q[i];
        for (int a = 0; a < kColumns; ++a) {
            for (int b = a; b < kColumns; ++b) {
                gram[a][b] += x[a] * x[b];
            }
            right[a] += x[a] * q;
        }
        qq += q * q;
    }

    // Scaled columns, Cholesky in column order; Δt first so that 1/R is never the one dropped.
    Vector scale{};
    for (int a = 0; a < kColumns; ++a) {
        scale[a] = gram[a][a] > 0 ? std::sqrt(gram[a][a]) : 0;
    }
    if (scale[0] == 0) {
        return {};
    }
    Matrix lower{};
    std::array<bool, kColumns> kept{};
    int rank = 0;
    for (int a = 0; a < kColumns; ++a) {
        if (scale[a] == 0) {
            continue;
        }
        double pivot = 1.0;  // the scaled diagonal
        for (int k = 0; k < a; ++k) {
            pivot -= kept[k] ? lower[a][k] * lower[a][k] : 0;
        }
        if (pivot <= kRankTolerance) {
            continue;
        }
        kept[a] = true;
        ++rank;
        lower[a][a] = std::sqrt(pivot);
        for (int b = a + 1; b < kColumns; ++b) {
            if (scale[b] == 0) {
                continue;
            }
            double v = gram[a][b] / (scale[a] * scale[b]);
            for (int k = 0; k < a; ++k) {
                v -= kept[k] ? lower[b][k] * lower[a][k] : 0;
            }
            lower[b][a] = v / lower[a][a];
        }
    }
    // Forward: L·y = scaled right side; L·z = e0 for the (0, 0) element of the inverse.
    Vector y{}, z{};
    for (int a = 0; a < kColumns; ++a) {
        if (!kept[a]) {
            continue;
        }
        double vy = right[a] / scale[a];
        double vz = a == 0 ? 1.0 : 0.0;
        for (int k = 0; k < a; ++k) {
            if (kept[k]) {
                vy -= lower[a][k] * y[k];
                vz -= lower[a][k] * z[k];
            }
        }
        y[a] = vy / lower[a][a];
        z[a] = vz / lower[a][a];
    }
    // Back: Lᵀ·θ = y, only θ0 is needed, but all of θ is cheap.
    Vector theta{};
    for (int a = kColumns; a-- > 0;) {
        if (!kept[a]) {
            continue;
        }
        double v = y[a];
        for (int k = a + 1; k < kColumns; ++k) {
            v -= kept[k] ? lower[k][a] * theta[k] : 0;
        }
        theta[a] = v / lower[a][a];
    }
    double explained = 0;
    double inverse00 = 0;
    for (int a = 0; a < kColumns; ++a) {
        explained += kept[a] ? y[a] * y[a] : 0;
        inverse00 += kept[a] ? z[a] * z[a] : 0;
    }
    const auto equations = static_cast<double>(end - first);
    const double nu = equations - rank;
    if (nu < 1) {
        return {};
    }
    Fit fit;
    fit.inverseR = theta[0] / scale[0];
    fit.residual = std::max(qq - explained, 0.0);
    const double variance = fit.residual / nu * inverse00 / (scale[0] * scale[0]);
    fit.halfWidth = studentFactor(nu) * std::sqrt(variance);
    fit.solved = true;
    return fit;
}

std::array<double, kModes> betas(double step, double tau1, double ratio) {
    return {std::exp(-step / tau1), std::exp(-step * ratio / tau1)};
}

struct Candidate {
    double tau1 = 0;
    double ratio = 0;
    Fit fit;
};

EvenSeries everyKth(const EvenSeries& s, std::size_t k) {
    EvenSeries out;
    out.step = s.step * static_cast<double>(k);
    out.filled = s.filled;
    // Kept readings end at the last one, as the analysis window does.
    for (std::size_t i = (s.q.size() - 1) % k; i < s.q.size(); i += k) {
        out.tIn.push_back(s.tIn[i]);
        out.tExt.push_back(s.tExt[i]);
        out.q.push_back(s.q[i]);
    }
    return out;
}

// The τ1 and r of the smallest residual: a coarse grid, then a finer look around its best.
std::optional<Candidate> searchTaus(const EvenSeries& series, bool& onEdge) {
    const std::size_t n = series.q.size();
    const double length = static_cast<double>(n) * series.step;
    const auto first = static_cast<std::size_t>(std::max(1.0, std::ceil(kSkipped / series.step)));
    // τ1 from an hour (or two readings) up to the record's length.
    const double lowest = std::max(kShortestTau, 2 * series.step);
    const double highest = std::max(length, 2 * lowest);
    const double ratioStep = std::log(highest / lowest) / (kCoarseTaus - 1);
    const auto tauAt = [&](double index) { return lowest * std::exp(index * ratioStep); };

    std::optional<Candidate> best;
    double bestIndex = 0;
    const auto consider = [&](double index, double ratio) {
        const double tau1 = tauAt(index);
        const Fit fit = fitFixed(series, first, n, betas(series.step, tau1, ratio));
        if (fit.solved && (!best || fit.residual < best->fit.residual)) {
            best = Candidate{tau1, ratio, fit};
            bestIndex = index;
        }
    };
    for (int k = 0; k < kCoarseTaus; ++k) {
        for (const double ratio : kRatios) {
            consider(k, ratio);
        }
    }
    if (!best) {
        return std::nullopt;
    }
    const double centre = bestIndex;
    const auto ratioAt = std::ranges::find(kRatios, best->ratio) - kRatios.begin();
    for (int k = 0; k < kFineTaus; ++k) {
        const double index = std::clamp(centre - 1 + 2.0 * k / (kFineTaus - 1), 0.0,
                                        static_cast<double>(kCoarseTaus - 1));
        for (auto j = std::max<std::ptrdiff_t>(ratioAt - 1, 0);
             j <= std::min<std::ptrdiff_t>(ratioAt + 1, std::ssize(kRatios) - 1); ++j) {
            consider(index, kRatios[static_cast<std::size_t>(j)]);
        }
    }
    onEdge = bestIndex <= 0 || bestIndex >= kCoarseTaus - 1;
    return best;
}

}  // namespace

std::variant<EvenSeries, std::string> evenSeries(std::span<const Reading> rows, int channel,
                                                 double interval, std::size_t most) {
    EvenSeries s;
    // The grid's length from the channel's first and last readings: every k-th point is kept,
    // ending at the last.
    const auto has = [&](const Reading& r) { return ((r.channels >> channel) & 1U) != 0; };
    const auto firstRow = std::ranges::find_if(rows, has);
    const auto lastRow = std::ranges::find_if(rows.rbegin(), rows.rend(), has);
    const std::size_t points =
        firstRow == rows.end()
            ? 0
            : static_cast<std::size_t>(
                  std::llround(static_cast<double>(lastRow->time - firstRow->time) / interval)) +
                  1;
    s.stride = most > 0 && points > most ? (points + most - 1) / most : 1;
    s.step = interval * static_cast<double>(s.stride);
    const std::size_t kept = points / s.stride + 1;
    s.tIn.reserve(kept);
    s.tExt.reserve(kept);
    s.q.reserve(kept);
    std::size_t index = 0;
    const std::size_t offset = points == 0 ? 0 : (points - 1) % s.stride;
    const auto keep = [&](double tIn, double tExt, double q) {
        if (index++ % s.stride == offset) {
            s.tIn.push_back(tIn);
            s.tExt.push_back(tExt);
            s.q.push_back(q);
        }
    };
    const auto longestFill = static_cast<long long>(std::max(3.0, std::floor(kSkipped / interval)));
    const Reading* previous = nullptr;
    const auto regular = static_cast<std::int64_t>(interval);
    for (const Reading& r : rows) {
        if (!((r.channels >> channel) & 1U)) {
            continue;
        }
        const double q = r.q[static_cast<std::size_t>(channel)];
        // Anything but the regular step is checked and filled.
        if (previous &&
            (r.time - previous->time != regular || static_cast<double>(regular) != interval)) {
            const auto step = static_cast<double>(r.time - previous->time);
            const auto steps = std::llround(step / interval);
            if (steps == 0) {
                continue;  // the same moment again
            }
            if (std::abs(step - static_cast<double>(steps) * interval) > 0.1 * interval) {
                return "показания не через равный интервал (" + dateTimeText(previous->time) +
                       " — " + dateTimeText(r.time) + ")";
            }
            if (steps - 1 > longestFill) {
                return "пропуск " + durationText(r.time - previous->time) + " после " +
                       dateTimeText(previous->time) +
                       ": метод требует показаний через равный интервал";
            }
            const double pq = previous->q[static_cast<std::size_t>(channel)];
            for (long long k = 1; k < steps; ++k) {
                const double w = static_cast<double>(k) / static_cast<double>(steps);
                keep(previous->tIn + w * (r.tIn - previous->tIn),
                     previous->tExt + w * (r.tExt - previous->tExt), pq + w * (q - pq));
                ++s.filled;
            }
        }
        keep(r.tIn, r.tExt, q);
        previous = &r;
    }
    return s;
}

DynamicOutcome fitDynamic(const EvenSeries& series) {
    DynamicOutcome out;
    const std::size_t n = series.q.size();
    const double length = static_cast<double>(n) * series.step;
    const auto first = static_cast<std::size_t>(std::max(1.0, std::ceil(kSkipped / series.step)));
    const auto perDay = static_cast<std::size_t>(std::llround(kSecondsPerDay / series.step));
    if (length < 2.0 * kSecondsPerDay || n < first + perDay + 4 * kColumns) {
        out.reason = "мало показаний: нужно не менее 2 сут и " +
                     std::to_string(first + perDay + 4 * kColumns) + " показаний";
        return out;
    }
    // A long series is searched on every k-th reading and fitted on all of them.
    bool onEdge = false;
    const std::optional<Candidate> best =
        n > kSearchReadings
            ? searchTaus(everyKth(series, (n + kSearchReadings - 1) / kSearchReadings), onEdge)
            : searchTaus(series, onEdge);
    if (!best) {
        out.reason = "нет разности температур";
        return out;
    }
    const Fit fit = n > kSearchReadings
                        ? fitFixed(series, first, n, betas(series.step, best->tau1, best->ratio))
                        : best->fit;
    if (!(fit.inverseR > 0)) {
        out.reason = "модель стены не даёт положительного сопротивления";
        return out;
    }
    DynamicResult d;
    d.r = 1.0 / fit.inverseR;
    d.low = 1.0 / (fit.inverseR + fit.halfWidth);
    if (fit.inverseR - fit.halfWidth > 0) {
        d.high = 1.0 / (fit.inverseR - fit.halfWidth);
    }
    d.timeConstants = {best->tau1, best->tau1 / best->ratio};
    d.tauOnEdge = onEdge;
    d.equations = n - first;
    d.filled = series.filled;
    d.stride = series.stride;
    const Fit shorter =
        fitFixed(series, first, n - perDay, betas(series.step, best->tau1, best->ratio));
    if (shorter.solved && shorter.inverseR > 0) {
        d.withoutLastDay = 1.0 / shorter.inverseR;
    }
    d.accepted = fit.halfWidth <= kLimit * fit.inverseR && d.withoutLastDay &&
                 std::abs(d.r - *d.withoutLastDay) <= kLimit * *d.withoutLastDay;
    out.result = d;
    return out;
}

DynamicOutcome dynamicResistance(std::span<const Reading> rows, int channel, double interval) {
    auto series = evenSeries(rows, channel, interval, kMostReadings);
    if (auto* reason = std::get_if<std::string>(&series)) {
        return {std::nullopt, std::move(*reason)};
    }
    return fitDynamic(std::get<EvenSeries>(series));
}

}  // namespace zond::analysis
