#include "export/export_common.h"

#include <cmath>

#include "text/number_text.h"
#include "text/path_text.h"

namespace zond::exporting {

std::optional<double> temperatureValue(std::string_view text) {
    const auto value = text::parseNumber(text, ',');
    if (value && std::isfinite(*value)) {
        return value;
    }
    return std::nullopt;
}

std::string exportResultText(const std::filesystem::path& file, std::size_t rows) {
    return "Экспорт в файл " + text::pathText(file.filename()) +
           " завершен, строк записано: " + std::to_string(rows) + ".";
}

}  // namespace zond::exporting
