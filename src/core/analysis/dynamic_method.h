// The dynamic method of ISO 9869-1, Annex B, for one heat-flux channel, extended so that it copes
// with a heavy wall in a few days: the sums over earlier rates of change run over the whole
// record (not the standard's last p readings), and two terms β_n^i stand for the unknown state
// of the wall when logging started. The model of the flux into the inner surface is
//
//   q_i = (tв_i − tн_i)/R + K1·ṫв_i + K2·ṫн_i + Σ_n P_n·Sв_n,i + Σ_n Q_n·Sн_n,i + Σ_n C_n·β_n^i
//
// with ṫ the rate of change between readings, S_n,i = Σ_{j<i} (1 − β_n)·β_n^(i−1−j)·ṫ_j and
// β_n = exp(−Δ/τ_n), τ1 = r·τ2. For fixed τ it is linear: least squares on the scaled columns
// (Cholesky of their Gram matrix, columns that carry nothing dropped); τ1 and r are searched for
// the smallest residual.
#pragma once

#include <span>
#include <string>
#include <variant>
#include <vector>

#include "analysis/wall_resistance.h"

namespace zond::analysis {

// Readings of one channel at a fixed step, as the fit needs them.
struct EvenSeries {
    double step = 0;  // seconds
    std::vector<double> tIn;
    std::vector<double> tExt;
    std::vector<double> q;
    std::size_t filled = 0;  // readings interpolated into short gaps
    std::size_t stride = 1;  // every stride-th reading of the grid was kept
};

// The rows (in time order) that have `channel`, on the step `interval`: a gap of a few readings
// is filled by straight lines; a longer gap, or readings off the step, give the reason instead.
// With more than `most` (0: no limit) points, every k-th is kept, ending at the last.
std::variant<EvenSeries, std::string> evenSeries(std::span<const Reading> rows, int channel,
                                                 double interval, std::size_t most = 0);

// The fit with τ searched: R, its 95 % interval, τ1 and τ2, and whether it is accepted (interval
// of 1/R and the change against the record without its last 24 h both within 5 %).
DynamicOutcome fitDynamic(const EvenSeries& series);

// Both steps for one channel of the analysis window; a series of more than 20 000 readings is
// fitted on every k-th of them (DynamicResult::stride), its τ searched on at most 4000.
DynamicOutcome dynamicResistance(std::span<const Reading> rows, int channel, double interval);

}  // namespace zond::analysis
