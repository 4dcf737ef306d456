// zond8t-cli report: the printed report of a table, written as a PDF file.
#include <QString>
#include <iostream>

#include "cli/commands.h"
#include "measurement/measurement_schema.h"
#include "report/report_layout.h"
#include "report/report_painter.h"
#include "report/report_template.h"
#include "report/table_report_rows.h"

namespace zond::cli {

namespace {

int runReport(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 2, 2);
    checkOutput(parsed.positionals[1], {parsed.positionals[0]});
    dbf::DbfTable table;
    measurement::openMeasurementTable(table, parsed.positionals[0], dbf::OpenMode::ReadOnly);
    report::TableReportRows rows(table);
    const auto document = report::layoutReport(report::measurementReportTemplate(), rows, nullptr,
                                               report::paintedTextHeight());
    const QString output = QString::fromStdString(parsed.positionals[1]);
    report::writePdf(*document, output);
    std::cout << document->pages.size() << " pages\n";
    return kExitOk;
}

}  // namespace

const Command kReportCommand{
    "report",
    "write the printed report of a table as a PDF file",
    "usage: zond8t-cli report FILE OUT.pdf\n"
    "\n"
    "Lays out the report that the program prints for the table FILE: A4 landscape, the title on\n"
    "the first page, the column headings on every page, one line per row in file order, and\n"
    "\"Стр. k из n\" in every footer. Writes the pages to OUT.pdf with their fonts embedded and\n"
    "prints the page count. Needs no display.\n",
    runReport,
};

}  // namespace zond::cli
