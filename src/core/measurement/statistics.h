// Minimum, average and maximum of the heat-flux columns, as the grid's footers show them.
#pragma once

#include <string>

#include "dbf/dbf_table.h"
#include "measurement/channel_statistics.h"
#include "measurement/measurement_schema.h"

namespace zond::measurement {

// The footers' average: one decimal, trunc(average / 0.1 + 0.5) * 0.1, truncating toward zero
// (so -1.24 gives -1.1).
double roundedAverage(double average);

// Over all live rows of an open table. One row gives its own values unrounded; a table without rows
// gives zeros.
ChannelStatistics find_mma(const dbf::DbfTable& table, const MeasurementFieldIndexes& fields);

// "minimum/average/maximum" of one channel (0 ... 2) in the general number form.
std::string footerText(const ChannelStatistics& statistics, int channel, char decimalSeparator);

}  // namespace zond::measurement
