#include "sim/wall_model.h"

#include <algorithm>
#include <cmath>

namespace zond::sim {

namespace {

constexpr int kLayers = 8;
constexpr double kLongestStep = 60.0;  // s, Crank–Nicolson sub-step

}  // namespace

LayeredWall::LayeredWall(double resistance, double capacity, double inside, double outside)
    : nodes_(kLayers), capacity_(capacity / kLayers), inside_(inside), outside_(outside) {
    const double wall = resistance - kSurfaceInside - kSurfaceOutside;
    const double layer = wall / kLayers;
    toRoom_ = 1 / (kSurfaceInside + layer / 2);
    between_ = 1 / layer;
    toOutside_ = 1 / (layer / 2 + kSurfaceOutside);
    // Steady state: the temperature falls linearly with the resistance passed.
    for (int i = 0; i < kLayers; ++i) {
        const double passed = kSurfaceInside + layer * (i + 0.5);
        nodes_[static_cast<std::size_t>(i)] = inside - (inside - outside) * passed / resistance;
    }
}

void LayeredWall::advance(double inside, double outside, double seconds) {
    const int steps = std::max(1, static_cast<int>(std::ceil(seconds / kLongestStep)));
    const double h = seconds / steps;
    for (int k = 0; k < steps; ++k) {
        const double from = static_cast<double>(k) / steps;
        const double to = static_cast<double>(k + 1) / steps;
        step(inside_ + from * (inside - inside_), outside_ + from * (outside - outside_),
             inside_ + to * (inside - inside_), outside_ + to * (outside - outside_), h);
    }
    inside_ = inside;
    outside_ = outside;
}

// One Crank–Nicolson step: (C/h)(T' − T) = ½(F(T', u') + F(T, u)), a tridiagonal system.
void LayeredWall::step(double insideFrom, double outsideFrom, double insideTo, double outsideTo,
                       double h) {
    const std::size_t n = nodes_.size();
    std::vector<double> lower(n), diagonal(n), upper(n), right(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double left = i == 0 ? toRoom_ : between_;
        const double rightG = i + 1 == n ? toOutside_ : between_;
        const double leftNow = i == 0 ? insideFrom : nodes_[i - 1];
        const double rightNow = i + 1 == n ? outsideFrom : nodes_[i + 1];
        const double flow = left * (leftNow - nodes_[i]) + rightG * (rightNow - nodes_[i]);
        diagonal[i] = capacity_ / h + (left + rightG) / 2;
        lower[i] = i == 0 ? 0 : -left / 2;
        upper[i] = i + 1 == n ? 0 : -rightG / 2;
        right[i] = capacity_ / h * nodes_[i] + flow / 2 + (i == 0 ? left / 2 * insideTo : 0) +
                   (i + 1 == n ? rightG / 2 * outsideTo : 0);
    }
    for (std::size_t i = 1; i < n; ++i) {
        const double m = lower[i] / diagonal[i - 1];
        diagonal[i] -= m * upper[i - 1];
        right[i] -= m * right[i - 1];
    }
    nodes_[n - 1] = right[n - 1] / diagonal[n - 1];
    for (std::size_t i = n - 1; i-- > 0;) {
        nodes_[i] = (right[i] - upper[i] * nodes_[i + 1]) / diagonal[i];
    }
}

double LayeredWall::innerFlux() const {
    return toRoom_ * (inside_ - nodes_.front());
}

}  // namespace zond::sim
