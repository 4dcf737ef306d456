// Minimum, average and maximum of the three heat-flux channels (the grid's footers).
#pragma once

#include <array>

namespace zond::measurement {

struct ChannelStatistics {
    std::array<double, 3> minimum{};
    std::array<double, 3> average{};
    std::array<double, 3> maximum{};
};

}  // namespace zond::measurement
