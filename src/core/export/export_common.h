// What the table exports share: the headings, progress reporting and errors.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zond::exporting {

// The grid's column captions, in the order of measurement::kExportColumns.
inline constexpr std::array<std::string_view, 11> kTableHeadings = {
    "N",           "Дата",        "Время", "Режим", "Типы датчиков", "q1, Вт/кв.м",
    "q2, Вт/кв.м", "q3, Вт/кв.м", "tв,°C", "tн,°C", "Примечание"};

// Rows done of all rows; returning false cancels the export.
using Progress = std::function<bool(std::size_t done, std::size_t total)>;

// A failure the user must see; what() is the Russian text. Failures of the file itself come as
// fileio::FileWriteError, table errors as dbf::DbfError.
class ExportError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The number a temperature text stands for; nothing for an empty, over-range or unreadable text.
std::optional<double> temperatureValue(std::string_view text);

// "Экспорт в файл <name without folder> завершен, строк записано: <rows>."
std::string exportResultText(const std::filesystem::path& file, std::size_t rows);

}  // namespace zond::exporting
