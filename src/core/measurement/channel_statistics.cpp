#include "measurement/channel_statistics.h"

#include <algorithm>
#include <cmath>

#include "text/number_text.h"

namespace zond::measurement {

double roundedAverage(double average) {
    return std::trunc(average / 0.1 + 0.5) * 0.1;
}

ChannelStatistics computeChannelStatistics(const dbf::DbfTable& table,
                                           const MeasurementFieldIndexes& fields) {
    ChannelStatistics statistics;
    const std::size_t rows = table.rowCount();
    if (rows == 0) {
        return statistics;
    }
    const std::array<int, 3> flux = fields.tavis();
    std::array<double, 3> sum{};
    for (std::size_t c = 0; c < 3; ++c) {
        const double value = table.readDouble(table.recordAt(0), flux[c]);
        statistics.minimum[c] = statistics.maximum[c] = sum[c] = value;
    }
    for (std::size_t row = 1; row < rows; ++row) {
        const std::uint32_t record = table.recordAt(row);
        for (std::size_t c = 0; c < 3; ++c) {
            const double value = table.readDouble(record, flux[c]);
            statistics.minimum[c] = std::min(statistics.minimum[c], value);
            statistics.maximum[c] = std::max(statistics.maximum[c], value);
            sum[c] += value;
        }
    }
    for (std::size_t c = 0; c < 3; ++c) {
        statistics.average[c] =
            rows == 1 ? sum[c] : roundedAverage(sum[c] / static_cast<double>(rows));
    }
    return statistics;
}

std::string footerText(const ChannelStatistics& statistics, int channel, char decimalSeparator) {
    const auto c = static_cast<std::size_t>(channel);
    return text::generalNumberText(statistics.minimum[c], decimalSeparator) + "/" +
           text::generalNumberText(statistics.average[c], decimalSeparator) + "/" +
           text::generalNumberText(statistics.maximum[c], decimalSeparator);
}

}  // namespace zond::measurement
