#include "export/export_common.h"

#include <cmath>

#include "text/number_text.h"

namespace zond::exporting {

std::optional<double> temperatureValue(std::string_view text) {
    const auto value = text::parseNumber(text, ',');
    if (value && std::isfinite(*value)) {
        return value;
    }
    return std::nullopt;
}

std::string exportResultText(const std::filesystem::path& file, std::size_t rows) {
    return "Экспорт в файл " + file.filename().string() +
           " завершен, строк записано: " + std::to_string(rows) + ".";
}

}  // namespace zond::exporting
