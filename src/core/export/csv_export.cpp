#include "export/csv_export.h"

#include <charconv>
#include <string>
#include <string_view>

#include "fileio/atomic_file.h"
#include "measurement/export_rows.h"
#include "text/codepage.h"
#include "text/number_text.h"

namespace zond::exporting {

namespace {

using measurement::ExportColumnKind;
using measurement::kExportColumns;

constexpr std::size_t kProgressStep = 1024;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
void appendField(std::string& line, std::string_view text, char delimiter) {
    if (text.find_first_of(std::string{delimiter, '"', '\r', '\n'}) == std::string_view::npos) {
        line.append(text);
        return;
    }
    line += '"';
    for (const char c : text) {
        line += c;
        if (c == '"') {
            line += '"';
        }
    }
    line += '"';
}

// A text a spreadsheet would take for a formula (=HYPERLINK(...), +7 (812) ..., -, @) gets a
// leading apostrophe, as the usual advice against formula injection has it: spreadsheets then
// show it as text. Numbers never come here.
void appendText(std::string& line, std::string_view text, char delimiter) {
    if (!text.empty() &&
        std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
        std::string guarded = "'";
        guarded.append(text);
        appendField(line, guarded, delimiter);
    } else {
        appendField(line, text, delimiter);
    }
}

// The shortest text that reads back as the same value: the digits the table holds (its numbers
// and temperature texts are short decimals), without an exponent. std::to_chars is several times
// faster than the printf family, which matters at a million rows.
void appendNumber(std::string& line, std::optional<double> value, char decimalSeparator) {
    if (!value) {
        return;
    }
    char buffer[400];  // any double in fixed notation
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, *value + 0.0, std::chars_format::fixed);
    if (error != std::errc()) {
        line += text::generalNumberText(*value, decimalSeparator);
        return;
    }
    const std::size_t start = line.size();
    line.append(buffer, end);
    if (const auto point = line.find('.', start); point != std::string::npos) {
        line[point] = decimalSeparator;
    }
}

// One line in UTF-8, without its line end.
void appendRow(std::string& line, measurement::ExportRowReader& rows, const CsvOptions& options) {
    for (std::size_t c = 0; c < kExportColumns.size(); ++c) {
        if (c > 0) {
            line += options.delimiter;
        }
        switch (kExportColumns[c].kind) {
            case ExportColumnKind::Integer:
                line += std::to_string(rows.integer(c));
                break;
            case ExportColumnKind::Number:
                appendNumber(line, rows.measuredNumber(c), options.decimalSeparator);
                break;
            case ExportColumnKind::Temperature: {
                const std::string_view text = rows.text(c);
                if (const auto value = temperatureValue(text)) {
                    appendNumber(line, value, options.decimalSeparator);
                } else {
                    appendText(line, text, options.delimiter);
                }
                break;
            }
            case ExportColumnKind::Text:
                appendText(line, rows.text(c), options.delimiter);
                break;
        }
    }
}

class CsvSink {
  public:
    CsvSink(fileio::AtomicFile& file, CsvEncoding encoding)
        : file_(file),
          codePage_(encoding == CsvEncoding::Cp1251 ? &text::CodePage::get(1251) : nullptr) {
        if (!codePage_) {
            file_.write(kUtf8ByteOrderMark);
        }
    }
    // Characters 1251 has no place for become '?': comments typed in the table's own code page
    // always fit.
    void writeLine(std::string& line) {
        line += "\r\n";
        file_.write(codePage_ ? codePage_->encode(line).bytes : line);
        line.clear();
    }

  private:
    fileio::AtomicFile& file_;
    const text::CodePage* codePage_;
};

}  // namespace

void validate(const CsvOptions& options) {
    const char d = options.delimiter;
    if (d != ';' && d != ',' && d != '\t') {
        throw ExportError("Разделитель полей CSV может быть только \";\", \",\" или табуляцией.");
    }
    const char s = options.decimalSeparator;
    if (s != ',' && s != '.') {
        throw ExportError("Десятичный разделитель может быть только \",\" или \".\".");
    }
    if (s == d) {
        throw ExportError(
            "Десятичный разделитель не может совпадать с разделителем полей: выберите \";\" или "
            "табуляцию как разделитель полей либо \".\" как десятичный разделитель.");
    }
}

std::optional<std::size_t> exportTableToCsv(dbf::DbfTable& table,
                                            const std::filesystem::path& target,
                                            const CsvOptions& options, const Progress& progress) {
    validate(options);
    measurement::ExportRowReader rows(table);
    const std::size_t total = rows.rowCount();
    fileio::AtomicFile file(target);
    CsvSink sink(file, options.encoding);
    std::string line;
    for (std::size_t c = 0; c < kTableHeadings.size(); ++c) {
        if (c > 0) {
            line += options.delimiter;
        }
        appendField(line, kTableHeadings[c], options.delimiter);
    }
    sink.writeLine(line);
    while (rows.next()) {
        const std::size_t done = rows.rowsRead() - 1;
        if (progress && done % kProgressStep == 0 && !progress(done, total)) {
            return std::nullopt;
        }
        appendRow(line, rows, options);
        sink.writeLine(line);
    }
    if (progress && !progress(total, total)) {
        return std::nullopt;
    }
    file.commit();
    return total;
}

}  // namespace zond::exporting
