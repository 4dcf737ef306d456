// zond8t-cli resistance: the thermal resistance of the wall by the average method, with its
// validity criteria, as a Russian summary or one JSON object.
#include <QDateTime>
#include <QString>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "analysis/reading_loader.h"
#include "analysis/resistance_text.h"
#include "analysis/wall_resistance.h"
#include "cli/commands.h"
#include "measurement/measurement_schema.h"
#include "report/resistance_protocol.h"
#include "text/number_text.h"

namespace zond::cli {

namespace {

using analysis::AnalysisResult;
using analysis::ChannelResult;
using analysis::Resistance;

double positiveCoefficient(const ParsedArgs& parsed, std::string_view name, double fallback) {
    if (!parsed.has(name)) {
        return fallback;
    }
    const std::string text = parsed.option(name);
    const auto value = text::parseNumber(text, ',');
    if (!value || !(*value > 0) || !std::isfinite(*value)) {
        throw CliError(std::string(name) + " wants a number above zero, not '" + text + "'");
    }
    return *value;
}

// Appends JSON values to one line of text; keys and texts here need no escapes but quotes.
class JsonOut {
  public:
    std::string str() const { return out_.str(); }

    JsonOut& key(std::string_view name) {
        comma();
        out_ << '"' << name << "\":";
        fresh_ = true;
        return *this;
    }
    JsonOut& number(double value) {
        comma();
        if (std::isfinite(value)) {
            out_ << text::roundTripText(value);
        } else {
            out_ << "null";
        }
        return *this;
    }
    JsonOut& number(const std::optional<double>& value) {
        return number(value.value_or(std::nan("")));
    }
    JsonOut& number(const Resistance& r) { return number(r.defined() ? r.value : std::nan("")); }
    JsonOut& integer(long long value) {
        comma();
        out_ << value;
        return *this;
    }
    JsonOut& boolean(bool value) {
        comma();
        out_ << (value ? "true" : "false");
        return *this;
    }
    JsonOut& string(std::string_view value) {
        comma();
        out_ << '"';
        for (const char c : value) {
            out_ << (c == '"' || c == '\\' ? "\\" : "") << c;
        }
        out_ << '"';
        return *this;
    }
    JsonOut& null() {
        comma();
        out_ << "null";
        return *this;
    }
    JsonOut& open(char bracket) {
        comma();
        out_ << bracket;
        fresh_ = true;
        return *this;
    }
    JsonOut& close(char bracket) {
        out_ << bracket;
        fresh_ = false;
        return *this;
    }

  private:
    void comma() {
        if (!fresh_) {
            out_ << ',';
        }
        fresh_ = false;
    }

    std::ostringstream out_;
    bool fresh_ = true;
};

void writeCriteria(JsonOut& json, const analysis::Criteria& c) {
    json.key("criteria").open('{');
    json.key("duration").open('{').key("days").integer(c.duration.days);
    json.key("pass").boolean(c.duration.pass).close('}');
    json.key("last_day").open('{').key("deviation").number(c.lastDay.deviation);
    json.key("pass").boolean(c.lastDay.pass).close('}');
    json.key("thirds").open('{').key("deviation").number(c.thirds.deviation);
    json.key("pass").boolean(c.thirds.pass).close('}');
    json.key("conforms").boolean(c.conforms).close('}');
}

void writeChannel(JsonOut& json, const ChannelResult& channel) {
    json.open('{').key("channel").string(analysis::channelName(channel.channel));
    json.key("R0").number(channel.r0).key("U").number(channel.u).key("Rk").number(channel.rk);
    const bool any = channel.rows > 0;
    json.key("mean_tin").number(any ? channel.meanTIn : std::nan(""));
    json.key("mean_text").number(any ? channel.meanTExt : std::nan(""));
    json.key("mean_dt").number(any ? channel.meanDifference : std::nan(""));
    json.key("mean_q").number(any ? channel.meanFlux : std::nan(""));
    json.key("daily").open('[');
    for (const auto& day : channel.daily) {
        json.number(day.r);
    }
    json.close(']').key("cumulative").open('[');
    for (const double r : channel.cumulative) {
        json.number(r);
    }
    json.close(']');
    writeCriteria(json, channel.criteria);
    json.close('}');
}

void writeLongest(JsonOut& json, const AnalysisResult& result) {
    json.key("longest");
    if (!result.longest) {
        json.null();
        return;
    }
    const auto& period = *result.longest;
    json.open('{').key("from").string(analysis::dateTimeText(period.from));
    json.key("to").string(analysis::dateTimeText(period.to));
    json.key("days")
        .integer(period.days)
        .key("rows_used")
        .integer(static_cast<long long>(period.rows));
    json.key("channels").open('[');
    for (std::size_t k = 0; k < period.r0.size(); ++k) {
        json.open('{').key("channel").string(analysis::channelName(result.channels[k].channel));
        json.key("R0").number(period.r0[k]).close('}');
    }
    json.close(']').close('}');
}

std::string jsonOf(const AnalysisResult& result) {
    JsonOut json;
    json.open('{');
    json.key("rows_used").integer(static_cast<long long>(result.rowsUsed));
    json.key("rows_excluded").integer(static_cast<long long>(result.rowsLeftOut));
    json.key("interval_s").number(result.interval);
    json.key("days").integer(result.days);
    json.key("window");
    if (result.windowFrom) {
        json.open('{').key("from").string(analysis::dateTimeText(*result.windowFrom));
        json.key("to").string(analysis::dateTimeText(*result.windowTo)).close('}');
    } else {
        json.null();
    }
    json.key("alpha_in").number(result.alphaIn).key("alpha_out").number(result.alphaOut);
    json.key("channels").open('[');
    for (const auto& channel : result.channels) {
        writeChannel(json, channel);
    }
    json.close(']');
    writeLongest(json, result);
    json.key("warnings").open('[');
    for (const auto& warning : result.warnings) {
        json.string(warning.text);
    }
    json.close(']').close('}');
    return json.str();
}

void printChannel(std::ostream& out, const ChannelResult& channel, char separator) {
    out << '\n'
        << analysis::channelName(channel.channel) << ": "
        << analysis::channelFiguresText(channel, separator)
        << "\n  средние: " << analysis::channelMeansText(channel, separator) << '\n';
    if (!channel.daily.empty()) {
        out << "  R по суткам:";
        for (const auto& day : channel.daily) {
            out << ' ' << analysis::resistanceText(day.r, separator);
        }
        out << '\n';
    }
    for (const auto& line : analysis::criterionLines(channel.criteria)) {
        out << "  " << analysis::passMark(line.pass) << ' ' << line.title << ": "
            << line.explanation << '\n';
    }
    out << "  " << analysis::verdictText(channel.criteria.conforms) << '\n';
}

void printSummary(std::ostream& out, const AnalysisResult& result, char separator) {
    out << "Термическое сопротивление стены (метод средних)\n"
        << "Строк в расчёте: " << result.rowsUsed << ", пропущено: " << result.rowsLeftOut << '\n'
        << "Интервал: " << analysis::intervalText(result) << ", полных суток: " << result.days
        << '\n';
    if (result.windowFrom) {
        out << "Период: " << analysis::windowText(result) << '\n';
    }
    out << "αв = " << text::generalNumberText(result.alphaIn, separator)
        << ", αн = " << text::generalNumberText(result.alphaOut, separator) << " Вт/(м²·К)\n";
    if (result.channels.empty()) {
        out << "\nНет каналов теплового потока с показаниями\n";
    }
    for (const auto& channel : result.channels) {
        printChannel(out, channel, separator);
    }
    out << '\n' << analysis::storageHeatNote() << '\n';
    if (result.longestSearched) {
        out << "\nНаиболее длинный соответствующий период: "
            << analysis::longestPeriodText(result, separator) << '\n';
    }
    if (!result.warnings.empty()) {
        out << "\nПредупреждения:\n";
        for (const auto& warning : result.warnings) {
            out << "  " << warning.text << '\n';
        }
    }
}

// Points of the protocol's convergence chart: about its width in pixels.
constexpr std::size_t kProtocolChartPoints = 900;

void writeProtocol(const ParsedArgs& parsed, const AnalysisResult& result, char separator) {
    const std::filesystem::path table = parsed.file(0);
    const report::ProtocolHeading heading{QString::fromStdU16String(table.stem().u16string()),
                                          QDateTime::currentDateTime(), separator};
    try {
        report::writeResistanceProtocolPdf(parsed.optionFile("--pdf"), result, heading);
    } catch (const std::exception& error) {
        throw CliError(error.what(), kExitError);
    }
}

analysis::Readings readRows(const ParsedArgs& parsed) {
    dbf::DbfTable table;
    try {
        const auto fields =
            measurement::openMeasurementTable(table, parsed.file(0), dbf::OpenMode::ReadOnly);
        if (!parsed.has("--rows")) {
            return analysis::loadAllReadings(table, fields);
        }
        const RowRange range = rowRange(parsed, table.rowCount());
        return analysis::loadReadingRange(table, fields, range.first, range.last);
    } catch (const CliError&) {
        throw;
    } catch (const std::exception& error) {
        throw CliError(error.what(), kExitTableUnreadable);
    }
}

int runResistance(std::span<const std::string> args) {
    const ParsedArgs parsed =
        parseArgs(args, {"--rows", "--alpha-in", "--alpha-out", "--decimal-separator", "--pdf"},
                  {"--longest", "--json"});
    expectPositionals(parsed, 1, 1);
    analysis::AnalysisOptions options;
    options.alphaIn = positiveCoefficient(parsed, "--alpha-in", options.alphaIn);
    options.alphaOut = positiveCoefficient(parsed, "--alpha-out", options.alphaOut);
    options.findLongest = parsed.has("--longest");
    options.decimalSeparator = decimalSeparator(parsed);
    const bool json = parsed.has("--json");
    const bool pdf = parsed.has("--pdf");
    // The summary shows no series; the protocol's chart needs no more points than its width.
    options.cumulativePoints = json ? 0 : (pdf ? kProtocolChartPoints : 1);

    const AnalysisResult result = analysis::analyseResistance(readRows(parsed), options);
    if (pdf) {
        writeProtocol(parsed, result, options.decimalSeparator);
    }
    if (json) {
        std::cout << jsonOf(result) << '\n';
    } else {
        printSummary(std::cout, result, options.decimalSeparator);
    }
    return kExitOk;
}

}  // namespace

const Command kResistanceCommand{
    "resistance",
    "thermal resistance of the wall by the average method, with its validity criteria",
    "usage: zond8t-cli resistance FILE [--rows A-B] [--alpha-in X] [--alpha-out Y]\n"
    "                             [--decimal-separator C] [--longest] [--json] [--pdf OUT.pdf]\n"
    "\n"
    "Computes R0 = sum(tв - tн) / sum(q) over the last whole days of the readings, per heat-flux\n"
    "channel of the rows (EN_CH), with U = 1/R0, Rk = R0 - 1/αв - 1/αн, the R of each day, the\n"
    "cumulative R and the criteria: at least 3 days (C1), R without the last day within 5 % (C2),\n"
    "R of the first and the last two thirds within 5 % of R0 (C3). Rows are taken in time order;\n"
    "rows whose date, time or a temperature cannot be read are left out and counted.\n"
    "\n"
    "  --rows A-B           rows A to B (1-based, file order; default all rows)\n"
    "  --alpha-in X         inside surface coefficient αв, W/(m²·K) (default 8.7)\n"
    "  --alpha-out Y        outside surface coefficient αн, W/(m²·K) (default 23)\n"
    "  --decimal-separator C  in the summary's numbers (default: the user's locale)\n"
    "  --longest            also find the longest run of whole days, ending at any reading,\n"
    "                       that passes C1-C3 (the latest of equally long ones)\n"
    "  --json               one JSON object instead of the Russian summary; deviations are\n"
    "                       fractions, undefined values null\n"
    "  --pdf OUT.pdf        also write the one-page A4 protocol: table, period, interval, rows,\n"
    "                       coefficients, R0/Rk/U and the criteria per channel, the chart of the\n"
    "                       cumulative R with the ±5 % band around R0, the date of the "
    "calculation\n"
    "\n"
    "Exit status: 0 when the analysis ran (whatever it found), 1 for a usage error, 2 when the\n"
    "table cannot be read.\n",
    runResistance,
};

}  // namespace zond::cli
