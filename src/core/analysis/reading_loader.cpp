#include "analysis/reading_loader.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "dbf/dbf_layout.h"
#include "text/byte_order.h"

namespace zond::analysis {

namespace {

// A character field's bytes as text; digits and separators are the same in every code page.
std::string_view fieldText(std::span<const std::uint8_t> record,
                           const dbf::DbfFieldDescriptor& field) {
    return bytes::asText(record.subspan(static_cast<std::size_t>(field.offset),
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

// Seconds of a "dd.mm.yyyy" date naming a real day.
std::optional<std::int64_t> dateSeconds(std::string_view date) {
    if (date.size() < 10 || date[2] != '.' || date[5] != '.') {
        return std::nullopt;
    }
    const auto day = digits(date, 0, 2);
    const auto month = digits(date, 3, 2);
    const auto year = digits(date, 6, 4);
    if (!day || !month || !year) {
        return std::nullopt;
    }
    const std::chrono::year_month_day ymd{std::chrono::year{*year},
                                          std::chrono::month{static_cast<unsigned>(*month)},
                                          std::chrono::day{static_cast<unsigned>(*day)}};
    if (!ymd.ok()) {
        return std::nullopt;
    }
    return secondsOf(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day), 0, 0, 0);
}

std::optional<std::int64_t> timeOfDaySeconds(std::string_view time) {
    if (time.size() < 8 || time[2] != ':' || time[5] != ':') {
        return std::nullopt;
    }
    const auto hour = digits(time, 0, 2);
    const auto minute = digits(time, 3, 2);
    const auto second = digits(time, 6, 2);
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    return *hour * 3600 + *minute * 60 + *second;
}

// Rows come day after day: the date of the previous row is read once.
class MomentReader {
  public:
    std::optional<std::int64_t> operator()(std::string_view date, std::string_view time) {
        if (date != lastDate_) {
            lastDate_.assign(date);
            lastDay_ = dateSeconds(date);
        }
        const auto ofDay = timeOfDaySeconds(time);
        if (!lastDay_ || !ofDay) {
            return std::nullopt;
        }
        return *lastDay_ + *ofDay;
    }

  private:
    std::string lastDate_ = "?";
    std::optional<std::int64_t> lastDay_;
};

// A plain decimal text (a temperature, or a q as the table stores it): an optional sign, digits,
// and a decimal comma or point with digits; spaces around it. ">320.0", exponents, very long
// numbers and other texts read as nothing. It runs for five fields of every row, so it reads
// the field's bytes in place: the padding and the trailing zeros of a q ("       7.800000000")
// are stepped over from both ends before the digits are read.
std::optional<double> decimalTextOf(std::string_view text) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr std::size_t kMostDigits = 15;
    const char* at = text.data();
    const char* end = at + text.size();
    while (at != end && *at == ' ') {
        ++at;
    }
    while (end != at && end[-1] == ' ') {
        --end;
    }
    const bool negative = at != end && *at == '-';
    if (at != end && (negative || *at == '+')) {
        ++at;
    }
    // Zeros at the end: dropped after a decimal separator ("12.300000000" is 123 tenths), digits
    // of the whole number without one.
    const char* zeros = end;
    while (zeros != at && zeros[-1] == '0') {
        --zeros;
    }
    std::int64_t whole = 0;
    std::size_t digits = 0;
    std::size_t decimals = 0;
    bool fraction = false;
    for (; at != zeros; ++at) {
        const char c = *at;
        if (c >= '0' && c <= '9' && digits < kMostDigits) {
            whole = whole * 10 + (c - '0');
            ++digits;
            decimals += fraction ? 1 : 0;
        } else if ((c == ',' || c == '.') && !fraction) {
            fraction = true;
        } else {
            return std::nullopt;
        }
    }
    if (!fraction) {
        for (; zeros != end; ++zeros) {
            if (digits == kMostDigits) {
                return std::nullopt;
            }
            whole *= 10;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    // Both exact, so the quotient is the nearest double to the text.
    const double value = static_cast<double>(whole) / kPowers[decimals];
    return negative ? -value : value;
}

// A numeric field as stored (a q, EN_CH): a number, or nothing when the field is blank or holds
// anything else.
std::optional<double> numberOf(std::span<const std::uint8_t> record,
                               const dbf::DbfFieldDescriptor& field) {
    const auto bytes = record.subspan(static_cast<std::size_t>(field.offset),
                                      static_cast<std::size_t>(field.width));
    if (field.type == 'I') {
        return dbf::decodeNumber(field, bytes);
    }
    std::string_view text = bytes::asText(bytes);
    if (const auto plain = decimalTextOf(text)) {
        return plain;  // the common case, without the general parser's cost
    }
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(begin, text.find_last_not_of(' ') - begin + 1);
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Room for `count` readings. A million rows fill 56 MB at once: on Linux huge pages spare a page
// fault every 4 KiB of it, which cost more than reading the rows.
void reserveRows(Readings& out, std::size_t count) {
    out.rows.reserve(count);
#if defined(__linux__)
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    const auto begin = reinterpret_cast<std::uintptr_t>(out.rows.data());
    const auto first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = begin + out.rows.capacity() * sizeof(Reading);
    if (end > first + kHugePage) {
        // Only advice: where the system refuses, the pages come 4 KiB at a time as before.
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
#endif
}

class RowReader {
  public:
    RowReader(const dbf::DbfTable& table, const measurement::MeasurementFieldIndexes& fields)
        : table_(table) {
        const auto& all = table.fields();
        const auto at = [&](int index) { return all[static_cast<std::size_t>(index)]; };
        date_ = at(fields.date);
        time_ = at(fields.time);
        tIn_ = at(fields.tIn);
        tExt_ = at(fields.tExt);
        enCh_ = at(fields.enCh);
        for (std::size_t c = 0; c < flux_.size(); ++c) {
            flux_[c] = at(fields.tavis()[c]);
        }
    }

    void add(std::uint32_t record, Readings& out) {
        // Bytes straight from the table's cache: no record object per row.
        const auto row = table_.recordBytes(record);
        const auto moment = moment_(fieldText(row, date_), fieldText(row, time_));
        const auto tIn = decimalTextOf(fieldText(row, tIn_));
        const auto tExt = decimalTextOf(fieldText(row, tExt_));
        if (!moment || !tIn || !tExt) {
            ++out.leftOut;
            return;
        }
        Reading reading{*moment, *tIn, *tExt, {}, 0};
        const auto present =
            static_cast<int>(std::clamp(numberOf(row, enCh_).value_or(0), 0.0, 3.0));
        for (std::size_t c = 0; c < static_cast<std::size_t>(present); ++c) {
            if (const auto q = numberOf(row, flux_[c])) {
                reading.q[c] = *q;
                reading.channels |= static_cast<std::uint8_t>(1U << c);
            } else {
                ++out.fluxLeftOut[c];
            }
        }
        out.rows.push_back(reading);
    }

  private:
    const dbf::DbfTable& table_;
    dbf::DbfFieldDescriptor date_, time_, tIn_, tExt_, enCh_;
    std::array<dbf::DbfFieldDescriptor, kFluxChannels> flux_;
    MomentReader moment_;
};

}  // namespace

Readings loadReadings(const dbf::DbfTable& table,
                      const measurement::MeasurementFieldIndexes& fields,
                      std::span<const std::uint32_t> records) {
    RowReader reader(table, fields);
    Readings out;
    reserveRows(out, records.size());
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
    RowReader reader(table, fields);
    Readings out;
    reserveRows(out, last - first + 1);
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
