#include "analysis/reading_loader.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "text/byte_order.h"
#include "text/number_text.h"

namespace zond::analysis {

namespace {

// A character field's bytes as text; digits and separators are the same in every code page.
std::string_view fieldText(const dbf::DbfRecord& record, const dbf::DbfFieldDescriptor& field) {
    return bytes::asText(record.bytes().subspan(static_cast<std::size_t>(field.offset),
                                                static_cast<std::size_t>(field.width)));
}

std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "dd.mm.yyyy" and "hh:mm:ss" naming a real moment.
std::optional<std::int64_t> momentOf(std::string_view date, std::string_view time) {
    if (date.size() < 10 || time.size() < 8 || date[2] != '.' || date[5] != '.' || time[2] != ':' ||
        time[5] != ':') {
        return std::nullopt;
    }
    const auto day = digits(date, 0, 2);
    const auto month = digits(date, 3, 2);
    const auto year = digits(date, 6, 4);
    const auto hour = digits(time, 0, 2);
    const auto minute = digits(time, 3, 2);
    const auto second = digits(time, 6, 2);
    if (!day || !month || !year || !hour || !minute || !second || *hour > 23 || *minute > 59 ||
        *second > 59) {
        return std::nullopt;
    }
    const std::chrono::year_month_day ymd{std::chrono::year{*year},
                                          std::chrono::month{static_cast<unsigned>(*month)},
                                          std::chrono::day{static_cast<unsigned>(*day)}};
    if (!ymd.ok()) {
        return std::nullopt;
    }
    return secondsOf(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day), *hour,
                     *minute, *second);
}

class RowReader {
  public:
    RowReader(const dbf::DbfTable& table, const measurement::MeasurementFieldIndexes& fields)
        : table_(table), fields_(fields) {
        const auto& all = table.fields();
        const auto at = [&](int index) { return all[static_cast<std::size_t>(index)]; };
        date_ = at(fields.date);
        time_ = at(fields.time);
        tIn_ = at(fields.tIn);
        tExt_ = at(fields.tExt);
    }

    void add(std::uint32_t record, Readings& out) const {
        const dbf::DbfRecord row = table_.read(record);
        const auto moment = momentOf(fieldText(row, date_), fieldText(row, time_));
        // ">320.0" and other texts do not read as numbers.
        const auto tIn = text::parseNumber(fieldText(row, tIn_), ',');
        const auto tExt = text::parseNumber(fieldText(row, tExt_), ',');
        if (!moment || !tIn || !tExt) {
            ++out.leftOut;
            return;
        }
        Reading reading{*moment, *tIn, *tExt, {}, 0};
        const long long present = std::clamp(row.asInteger(fields_.enCh), 0LL, 3LL);
        const auto flux = fields_.tavis();
        for (int c = 0; c < present; ++c) {
            reading.q[static_cast<std::size_t>(c)] =
                row.asDouble(flux[static_cast<std::size_t>(c)]);
        }
        reading.channels = static_cast<std::uint8_t>((1U << present) - 1U);
        out.rows.push_back(reading);
    }

  private:
    const dbf::DbfTable& table_;
    const measurement::MeasurementFieldIndexes& fields_;
    dbf::DbfFieldDescriptor date_, time_, tIn_, tExt_;
};

}  // namespace

Readings loadReadings(const dbf::DbfTable& table,
                      const measurement::MeasurementFieldIndexes& fields,
                      std::span<const std::uint32_t> records) {
    const RowReader reader(table, fields);
    Readings out;
    out.rows.reserve(records.size());
    for (const std::uint32_t record : records) {
        reader.add(record, out);
    }
    return out;
}

Readings loadReadingRange(const dbf::DbfTable& table,
                          const measurement::MeasurementFieldIndexes& fields, std::size_t first,
                          std::size_t last) {
    if (first < 1 || first > last || last > table.rowCount()) {
        throw std::out_of_range("rows " + std::to_string(first) + "-" + std::to_string(last) +
                                " outside the table's " + std::to_string(table.rowCount()));
    }
    const RowReader reader(table, fields);
    Readings out;
    out.rows.reserve(last - first + 1);
    for (std::size_t row = first - 1; row < last; ++row) {
        reader.add(table.recordAt(row), out);
    }
    return out;
}

Readings loadAllReadings(const dbf::DbfTable& table,
                         const measurement::MeasurementFieldIndexes& fields) {
    if (table.rowCount() == 0) {
        return {};
    }
    return loadReadingRange(table, fields, 1, table.rowCount());
}

}  // namespace zond::analysis
