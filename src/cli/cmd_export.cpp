// zond8t-cli export: a table written to an Excel 97 workbook (as the menu command "Экспорт в
// Excel" writes it), an Excel 2007+ workbook or a CSV file, chosen by the output's extension.
#include <iostream>

#include "cli/commands.h"
#include "export/table_exports.h"
#include "export/xls_export.h"
#include "measurement/measurement_schema.h"

namespace zond::cli {

namespace {

using exporting::ExportFormat;

constexpr std::string_view kDelimiter = "--delimiter";
constexpr std::string_view kDecimalSeparator = "--decimal-separator";
constexpr std::string_view kEncoding = "--encoding";

char delimiterOption(const std::string& value) {
    if (value == ";" || value == "," || value == "\t") {
        return value[0];
    }
    if (value == "tab") {
        return '\t';
    }
    throw CliError("--delimiter takes ';', ',' or 'tab'");
}

exporting::CsvOptions csvOptions(const ParsedArgs& parsed) {
    exporting::CsvOptions options;
    if (parsed.has(kDelimiter)) {
        options.delimiter = delimiterOption(parsed.option(kDelimiter));
    }
    if (parsed.has(kDecimalSeparator)) {
        const std::string value = parsed.option(kDecimalSeparator);
        if (value != "," && value != ".") {
            throw CliError("--decimal-separator takes ',' or '.'");
        }
        options.decimalSeparator = value[0];
    }
    const std::string encoding = parsed.option(kEncoding, "utf-8");
    if (encoding != "utf-8" && encoding != "cp1251") {
        throw CliError("--encoding takes utf-8 or cp1251");
    }
    options.encoding =
        encoding == "cp1251" ? exporting::CsvEncoding::Cp1251 : exporting::CsvEncoding::Utf8WithBom;
    return options;
}

exporting::ExportOptions exportOptions(const ParsedArgs& parsed,
                                       const std::filesystem::path& target) {
    const auto format = exporting::formatOfPath(target);
    if (!format) {
        throw CliError("OUT must end in .xls, .xlsx or .csv");
    }
    exporting::ExportOptions options;
    options.format = *format;
    if (*format == ExportFormat::Csv) {
        options.csv = csvOptions(parsed);
        exporting::validate(options.csv);
    } else if (parsed.has(kDelimiter) || parsed.has(kDecimalSeparator) || parsed.has(kEncoding)) {
        throw CliError("--delimiter, --decimal-separator and --encoding are for .csv only");
    }
    return options;
}

int runExport(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {kDelimiter, kDecimalSeparator, kEncoding});
    expectPositionals(parsed, 2, 2);
    const std::filesystem::path target = parsed.positionals[1];
    const auto options = exportOptions(parsed, target);
    // The Excel 97 export names a file it may not replace in its own words (a share violation
    // for a file in use), so only the input is checked for it here.
    if (options.format == ExportFormat::Xls) {
        checkNotInput(target, {parsed.positionals[0]});
    } else {
        checkOutput(target, {parsed.positionals[0]});
    }
    dbf::DbfTable table;
    measurement::openMeasurementTable(table, parsed.positionals[0], dbf::OpenMode::ReadOnly);
    const auto rows = exporting::exportTable(table, target, options);
    std::cout << (options.format == ExportFormat::Xls
                      ? exporting::exportSuccessText(target)
                      : exporting::exportResultText(target, rows.value_or(0)))
              << '\n';
    return kExitOk;
}

}  // namespace

const Command kExportCommand{
    "export",
    "write a table to an Excel workbook (.xls, .xlsx) or a CSV file",
    "usage: zond8t-cli export FILE.db OUT [--delimiter ';'|','|tab] [--decimal-separator ','|'.']\n"
    "                         [--encoding utf-8|cp1251]\n"
    "\n"
    "Writes the live rows of the table FILE.db, in file order, under a heading row with the\n"
    "columns N, Дата, Время, Режим, Типы датчиков, q1, q2, q3, tв, tн and Примечание. The format\n"
    "follows the extension of OUT:\n"
    "  .xls   Excel 97-2003 workbook, as the program's \"Экспорт в Excel\" writes it: one sheet\n"
    "         \"ЗОНД-8Т.05 \"Тавис\"\", temperatures, dates and times as texts; a table of more\n"
    "         than 65535 rows does not fit one sheet and is refused.\n"
    "  .xlsx  Excel 2007+ workbook: dates and times as date and time cells, q1-q3 and the\n"
    "         temperatures as numbers with one decimal, a bold frozen heading row with a filter;\n"
    "         every 1048575 rows a further sheet continues the table.\n"
    "  .csv   text, one line per row ending in CR LF, fields quoted when they hold the delimiter,\n"
    "         a quote or a line break; numbers (the temperatures too, except texts such as\n"
    "         \">320.0\") written with the decimal separator; a text starting with =, +, - or @\n"
    "         gets a leading apostrophe, so spreadsheets show it as text, not as a formula;\n"
    "         q2 and q3 of channels the row did not measure (EN_CH) are empty, in .xlsx too.\n"
    "\n"
    "Options for .csv only:\n"
    "  --delimiter ';'|','|tab      field separator (default ';', what a Russian- or "
    "German-locale\n"
    "                               spreadsheet expects)\n"
    "  --decimal-separator ','|'.'  decimal separator (default ','); it must differ from the\n"
    "                               field separator\n"
    "  --encoding utf-8|cp1251      UTF-8 with a byte-order mark so spreadsheets detect it\n"
    "                               (default), or the Windows code page 1251\n"
    "\n"
    "An existing OUT is replaced only once the new file is complete; when writing fails it stays\n"
    "as it was and no partial file is left behind. OUT is refused when it is a measurement\n"
    "table, a file another program holds, a folder, device or pipe; a link is written through.\n",
    runExport,
};

}  // namespace zond::cli
