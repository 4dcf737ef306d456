// The grid's columns: what is fixed about each one, and the per-column settings (ColumnLayout)
// that are stored from one run of the program to the next.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "measurement/measurement_schema.h"

namespace zond::app {

enum class SortIndicator { None, Up, Down };

enum class CellFormat { AsStored, OneDecimal };

struct ColumnDefinition {
    std::string_view field;
    std::string_view caption;  // UTF-8
    int width;
    Qt::Alignment alignment;
    CellFormat format;
    bool editable;
};

// In display order; MeasurementGrid::Column indexes this table.
inline constexpr std::array<ColumnDefinition, 11> kGridColumns = {{
    {measurement::field::kN, "N", 49, Qt::AlignHCenter, CellFormat::AsStored, false},
    {measurement::field::kDate, "Дата", 61, Qt::AlignHCenter, CellFormat::AsStored, false},
    {measurement::field::kTime, "Время", 65, Qt::AlignHCenter, CellFormat::AsStored, false},
    {measurement::field::kMode, "Режим", 61, Qt::AlignHCenter, CellFormat::AsStored, false},
    {measurement::field::kType, "Типы датчиков", 64, Qt::AlignHCenter, CellFormat::AsStored, false},
    {measurement::field::kTavis1, "q1, Вт/кв.м", 63, Qt::AlignRight, CellFormat::OneDecimal, false},
    {measurement::field::kTavis2, "q2, Вт/кв.м", 64, Qt::AlignRight, CellFormat::OneDecimal, false},
    {measurement::field::kTavis3, "q3, Вт/кв.м", 63, Qt::AlignRight, CellFormat::OneDecimal, false},
    {measurement::field::kTIn, "tв,°C", 63, Qt::AlignRight, CellFormat::AsStored, false},
    {measurement::field::kTExt, "tн,°C", 63, Qt::AlignRight, CellFormat::AsStored, false},
    {measurement::field::kComment, "Примечание", 64, Qt::AlignLeft, CellFormat::AsStored, true},
}};

struct ColumnLayout {
    QString field;  // matches a stored record to its column
    int width = 0;
    int position = 0;  // visual index in the grid
    SortIndicator sort = SortIndicator::None;
    std::optional<QColor> color;  // none: the grid's normal cell colours
    Qt::Alignment alignment = Qt::AlignLeft;
    QFont font;

    bool operator==(const ColumnLayout&) const = default;
};

// One line per column, each ending in CR LF:
//   FIELD;width;position;none|up|down;none|#rrggbb;left|center|right;<font description>
QString layoutText(const std::vector<ColumnLayout>& columns);
// Nothing when any line is malformed: a damaged value is dropped whole rather than half applied.
std::optional<std::vector<ColumnLayout>> parseLayoutText(const QString& text);

}  // namespace zond::app
