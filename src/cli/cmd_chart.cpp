// zond8t-cli chart: the chart of a range of rows, drawn as the chart window draws it, into a PNG
// picture or a PDF page.
#include <QCoreApplication>
#include <QGraphicsScene>
#include <filesystem>
#include <iostream>

#include "chart/chart_data.h"
#include "chart/measurement_chart.h"
#include "cli/commands.h"
#include "measurement/channel_statistics.h"
#include "measurement/measurement_schema.h"
#include "measurement/row_selection.h"

namespace zond::cli {

namespace {

chart::SeriesFlags seriesFlags(const ParsedArgs& parsed) {
    if (!parsed.has("--series")) {
        return {true, true, true, true, true};
    }
    // Names as on the chart, with Latin spellings for keyboards without Cyrillic.
    const std::pair<std::string_view, chart::ChartSeries> names[] = {
        {"q1", chart::ChartSeries::Q1},   {"q2", chart::ChartSeries::Q2},
        {"q3", chart::ChartSeries::Q3},   {"tн", chart::ChartSeries::TExt},
        {"tn", chart::ChartSeries::TExt}, {"tв", chart::ChartSeries::TIn},
        {"tv", chart::ChartSeries::TIn},
    };
    chart::SeriesFlags flags{};
    const std::string list = parsed.option("--series");
    std::size_t from = 0;
    while (from <= list.size()) {
        const auto comma = std::min(list.find(',', from), list.size());
        const std::string_view name = std::string_view(list).substr(from, comma - from);
        const auto* found =
            std::ranges::find(names, name, &std::pair<std::string_view, chart::ChartSeries>::first);
        if (found == std::end(names)) {
            throw CliError("unknown series '" + std::string(name) + "' (q1, q2, q3, tн, tв)");
        }
        flags[chart::indexOf(found->second)] = true;
        from = comma + 1;
    }
    return flags;
}

QSizeF pictureSize(const ParsedArgs& parsed) {
    const std::string text = parsed.option("--size", "1000x700");
    const auto x = text.find('x');
    const auto width = positiveNumber(std::string_view(text).substr(0, x));
    const auto height = x == std::string::npos
                            ? std::nullopt
                            : positiveNumber(std::string_view(text).substr(x + 1));
    if (!width || !height || *width > 10000 || *height > 10000) {
        throw CliError("--size wants WxH in pixels, each at most 10000, not '" + text + "'");
    }
    return QSizeF(static_cast<qreal>(*width), static_cast<qreal>(*height));
}

int runChart(std::span<const std::string> args) {
    const ParsedArgs parsed =
        parseArgs(args, {"--rows", "--series", "--size", "--decimal-separator"});
    expectPositionals(parsed, 2, 2);
    const std::filesystem::path output = parsed.positionals[1];
    checkOutput(output, {parsed.positionals[0]});
    const std::string extension = output.extension().string();
    if (extension != ".png" && extension != ".pdf") {
        throw CliError("the picture must be a .png or .pdf file");
    }
    const chart::SeriesFlags checked = seriesFlags(parsed);
    const QSizeF size = pictureSize(parsed);
    const char separator = decimalSeparator(parsed);

    dbf::DbfTable table;
    const auto fields =
        measurement::openMeasurementTable(table, parsed.positionals[0], dbf::OpenMode::ReadOnly);
    const RowRange range = rowRange(parsed, table.rowCount());
    measurement::RowSelection selection;
    selection.bind(table);
    selection.addDisplayRange(table, range.first - 1, range.last - 1);

    // The footers the grid would show for this selection.
    const measurement::ChannelStatistics statistics =
        selection.size() >= 2 ? selection.statistics()
                              : measurement::computeChannelStatistics(table, fields);
    chart::SeriesTexts footers;
    for (int channel = 0; channel < 3; ++channel) {
        footers[static_cast<std::size_t>(channel)] =
            QString::fromStdString(measurement::footerText(statistics, channel, separator));
    }

    std::vector<std::uint32_t> records;
    records.reserve(selection.size());
    for (const auto& row : selection.rows()) {
        records.push_back(row.record);
    }
    chart::ChartData data = chart::buildChartData(table, records, checked, separator);
    const int skippedRows = data.skippedRows;
    const int skippedPoints = data.skippedPoints;
    QGraphicsScene scene;
    auto* chart = new chart::MeasurementChart;
    scene.addItem(chart);  // the scene owns it
    chart->resize(size);
    chart->rebuild(std::move(data), checked, footers);
    QCoreApplication::processEvents();  // lays out the legend and axes
    chart::writeChartImage(*chart, QString::fromStdString(output.string()));
    if (skippedRows > 0 || skippedPoints > 0) {
        std::cerr << "zond8t-cli chart: " << skippedRows
                  << " rows skipped (date or time unreadable), " << skippedPoints
                  << " values skipped (unreadable)\n";
    }
    return kExitOk;
}

}  // namespace

const Command kChartCommand{
    "chart",
    "draw the chart of a range of rows into a PNG or PDF file",
    "usage: zond8t-cli chart FILE [--rows A-B] [--series LIST] [--size WxH]\n"
    "                        [--decimal-separator C] OUT.png|OUT.pdf\n"
    "\n"
    "Draws the rows A to B of the table (1-based, file order; default all rows) against time, as\n"
    "the chart window draws the selected rows. LIST names the series, separated by commas: q1,\n"
    "q2, q3, tн (outside temperature, also 'tn') and tв (inside temperature, also 'tv'); default\n"
    "all five. The legend shows the heat-flux figures of the selected rows, as the table window's\n"
    "footers do. The picture is WxH pixels (default 1000x700); a PDF page has the same\n"
    "proportions. Temperature texts are read with the decimal separator C (default: the user's\n"
    "locale), a full stop or a comma. Rows whose date or time cannot be read, and values that\n"
    "cannot be read, are left out and counted on stderr.\n",
    runChart,
};

}  // namespace zond::cli
