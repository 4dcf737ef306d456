// The live rows of a measurement table as every export reads them: the grid's eleven columns, in
// file order, texts in UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace zond::measurement {

// Temperatures are texts in the table: a number with either decimal separator, or over-range
// (">320.0") and unreadable texts that an export keeps as text.
enum class ExportColumnKind { Integer, Number, Temperature, Text };

struct ExportColumn {
    std::string_view field;
    ExportColumnKind kind;
};

// The grid's column order.
inline constexpr std::array<ExportColumn, 11> kExportColumns = {{
    {field::kN, ExportColumnKind::Integer},
    {field::kDate, ExportColumnKind::Text},
    {field::kTime, ExportColumnKind::Text},
    {field::kMode, ExportColumnKind::Text},
    {field::kType, ExportColumnKind::Text},
    {field::kTavis1, ExportColumnKind::Number},
    {field::kTavis2, ExportColumnKind::Number},
    {field::kTavis3, ExportColumnKind::Number},
    {field::kTIn, ExportColumnKind::Temperature},
    {field::kTExt, ExportColumnKind::Temperature},
    {field::kComment, ExportColumnKind::Text},
}};

class ExportRowReader {
  public:
    // Binds the exported fields (dbf::DbfError when one is missing), counts the live rows and
    // drops the sort index "tab1", so rows come in file order. Stands before the first row.
    explicit ExportRowReader(dbf::DbfTable& table);

    std::size_t rowCount() const { return rowCount_; }
    std::size_t rowsRead() const { return rowsRead_; }

    // Moves to the next row; false after the last. The table stays on its last row.
    bool next();

    // Values of the current row; `column` indexes kExportColumns.
    long long integer(std::size_t column) const;
    std::optional<double> number(std::size_t column) const;  // nothing for an empty field
    // A q column's value; nothing also when the row's EN_CH says that channel had no sensor
    // (q2 and q3 of a one-channel instrument hold 0 then, which was never measured).
    std::optional<double> measuredNumber(std::size_t column) const;
    // Trailing spaces removed. Valid until next() or the next call for the same column.
    std::string_view text(std::size_t column);

  private:
    // The last text of a column that needed the code page: modes and kinds repeat row after row.
    struct DecodedText {
        std::string raw;
        std::string utf8;
    };

    dbf::DbfTable& table_;
    std::array<int, kExportColumns.size()> fieldIndex_{};
    int channelCountIndex_ = -1;  // EN_CH, when the table has it
    std::array<DecodedText, kExportColumns.size()> decoded_;
    dbf::DbfRecord record_;
    std::size_t rowCount_ = 0;
    std::size_t rowsRead_ = 0;
};

}  // namespace zond::measurement
