// Minimum, average and maximum of the three heat-flux channels, as the grid's footers show them.
#pragma once

#include <array>
#include <string>

#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace zond::measurement {

struct ChannelStatistics {
    std::array<double, 3> minimum{};
    std::array<double, 3> average{};
    std::array<double, 3> maximum{};
};

// The footers' average: one decimal, trunc(average / 0.1 + 0.5) * 0.1, truncating toward zero
// (so -1.24 gives -1.1).
double roundedAverage(double average);

// Over all live rows of an open table. One row gives its own values unrounded; a table without rows
// gives zeros.
ChannelStatistics computeChannelStatistics(const dbf::DbfTable& table,
                                           const MeasurementFieldIndexes& fields);

// "minimum/average/maximum" of one channel (0 ... 2) in the general number form.
std::string footerText(const ChannelStatistics& statistics, int channel, char decimalSeparator);

}  // namespace zond::measurement
