// zond8t-cli resistance: the thermal resistance of the wall by the average method, with its
// validity criteria and uncertainty, beside the dynamic method, as a Russian summary or one JSON
// object.
#include <QDateTime>
#include <QString>
#include <QTextDocument>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "analysis/reading_loader.h"
#include "analysis/resistance_text.h"
#include "analysis/wall_resistance.h"
#include "cli/commands.h"
#include "link/settings_store.h"
#include "measurement/measurement_schema.h"
#include "report/resistance_protocol.h"
#include "text/number_text.h"

namespace zond::cli {

namespace {

using analysis::AnalysisResult;
using analysis::ChannelResult;
using analysis::Resistance;

// The option's number (a decimal point or comma), above zero or, with `zeroAllowed`, from zero.
double optionNumber(const ParsedArgs& parsed, std::string_view name, double fallback,
                    bool zeroAllowed = false) {
    if (!parsed.has(name)) {
        return fallback;
    }
    const std::string text = parsed.option(name);
    const auto value = text::parseNumber(text, ',');
    if (!value || !std::isfinite(*value) || *value < 0 || (*value == 0 && !zeroAllowed)) {
        throw CliError(std::string(name) +
                       (zeroAllowed ? " wants a number from zero, not '"
                                    : " wants a number above zero, not '") +
                       text + "'");
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
    json.key("temperature_difference").open('{');
    json.key("mean_dt").number(c.difference.meanDifference);
    json.key("minimum").number(c.difference.minimum);
    json.key("pass").boolean(c.difference.pass).close('}');
    json.key("conforms").boolean(c.conforms).close('}');
}

void writeUncertainty(JsonOut& json, const ChannelResult& channel) {
    json.key("uncertainty");
    if (!channel.uncertainty) {
        json.null();
        return;
    }
    const analysis::Uncertainty& u = *channel.uncertainty;
    json.open('{').key("R0").number(u.expanded).key("relative").number(u.relative);
    json.key("components").open('{').key("flux").number(u.flux);
    json.key("temperature").number(u.temperature).key("scatter").number(u.scatter);
    json.close('}').close('}');
}

void writeDynamic(JsonOut& json, const ChannelResult& channel) {
    json.key("dynamic");
    const auto& outcome = channel.dynamic;
    if (!outcome.result) {
        json.null().key("dynamic_reason").string(outcome.reason);
        return;
    }
    const analysis::DynamicResult& d = *outcome.result;
    json.open('{').key("R0").number(d.r).key("low").number(d.low).key("high").number(d.high);
    json.key("time_constants_h").open('[');
    for (const double tau : d.timeConstants) {
        json.number(tau / 3600.0);
    }
    json.close(']').key("tau_on_edge").boolean(d.tauOnEdge);
    json.key("R_without_last_day").number(d.withoutLastDay);
    json.key("readings").integer(static_cast<long long>(d.equations));
    json.key("filled").integer(static_cast<long long>(d.filled));
    json.key("stride").integer(static_cast<long long>(d.stride));
    json.key("accepted").boolean(d.accepted).close('}');
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
    json.key("reversed").boolean(channel.r0.defined() && channel.r0.reversed);
    json.key("q_excluded").integer(static_cast<long long>(channel.fluxLeftOut));
    json.key("storage_drift").boolean(channel.storage.drift);
    writeUncertainty(json, channel);
    writeDynamic(json, channel);
    json.close('}');
}

void writeMean(JsonOut& json, const AnalysisResult& result) {
    json.key("mean");
    if (!result.mean) {
        json.null();
        return;
    }
    const analysis::ChannelMean& m = *result.mean;
    json.open('{').key("R0").number(m.r0).key("min").number(m.min).key("max").number(m.max);
    json.key("U").number(m.expanded).key("channels").integer(m.channels).close('}');
}

void writeLongest(JsonOut& json, const AnalysisResult& result) {
    json.key("longest_cut").boolean(result.longestCut).key("longest");
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
    json.key("min_dt").number(result.minDifference);
    json.key("window");
    if (result.windowFrom) {
        json.open('{').key("from").string(analysis::dateTimeText(*result.windowFrom));
        json.key("to").string(analysis::dateTimeText(*result.windowTo)).close('}');
    } else {
        json.null();
    }
    json.key("alpha_in").number(result.alphaIn).key("alpha_out").number(result.alphaOut);
    json.key("cumulative_times").open('[');
    for (const std::int64_t time : result.cumulativeTimes) {
        json.string(analysis::dateTimeText(time));
    }
    json.close(']').key("channels").open('[');
    for (const auto& channel : result.channels) {
        writeChannel(json, channel);
    }
    json.close(']');
    writeMean(json, result);
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
    for (const std::string& note : {std::string(analysis::reversedFluxNote(channel)),
                                    analysis::storageDriftText(channel, separator),
                                    analysis::uncertaintyText(channel, separator)}) {
        if (!note.empty()) {
            out << "  " << note << '\n';
        }
    }
    const std::string dynamic = analysis::dynamicText(channel, separator);
    if (!dynamic.empty()) {
        out << "  Динамический метод: " << dynamic << '\n';
    }
}

void printSummary(std::ostream& out, const AnalysisResult& result, char separator) {
    out << "Термическое сопротивление стены (метод средних и динамический метод)\n"
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
    if (result.mean) {
        out << '\n' << analysis::meanText(result, separator) << '\n';
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

// Points of the protocol's convergence chart: about its width in pixels; of the JSON's series:
// enough for any chart, a small part of a long table's text.
constexpr std::size_t kProtocolChartPoints = 900;
constexpr std::size_t kJsonSeriesPoints = 2000;

// The protocol with the details stored beside the table and the organisation setting.
report::ProtocolInput protocolInput(const ParsedArgs& parsed, const analysis::Readings& readings) {
    const std::filesystem::path path = parsed.positionals[0];
    report::ProtocolInput input;
    input.tableName = QString::fromStdU16String(path.stem().u16string());
    input.calculatedAt = QDateTime::currentDateTime();
    report::SurveyLoad survey = report::loadSurveyDetails(path);
    if (!survey.problem.isEmpty()) {
        std::cerr << "zond8t-cli resistance: " << survey.problem.toStdString() << '\n';
    }
    input.survey = std::move(survey.details);
    input.organisation = report::loadOrganisation(*link::openProgramSettings());
    dbf::DbfTable table;
    const auto fields = measurement::openMeasurementTable(table, path, dbf::OpenMode::ReadOnly);
    input.sensorTypes = report::tableSensorTypes(table, fields);
    report::setRecordedPeriod(input, readings);
    return input;
}

void writeProtocol(const ParsedArgs& parsed, const AnalysisResult& result,
                   const analysis::Readings& readings) {
    try {
        const auto protocol =
            report::buildResistanceProtocol(result, protocolInput(parsed, readings));
        if (parsed.has("--pdf")) {
            report::writeResistanceProtocolPdf(parsed.option("--pdf"), *protocol);
        }
        if (parsed.has("--odt")) {
            report::writeResistanceProtocolOdt(parsed.option("--odt"), *protocol);
        }
    } catch (const std::exception& error) {
        throw CliError(error.what(), kExitError);
    }
}

analysis::Readings readRows(const ParsedArgs& parsed) {
    dbf::DbfTable table;
    try {
        const auto fields = measurement::openMeasurementTable(table, parsed.positionals[0],
                                                              dbf::OpenMode::ReadOnly);
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
        parseArgs(args,
                  {"--rows", "--alpha-in", "--alpha-out", "--decimal-separator", "--pdf", "--odt",
                   "--min-dt", "--flux-uncertainty", "--temperature-uncertainty"},
                  {"--longest", "--json", "--full-series", "--no-dynamic"});
    expectPositionals(parsed, 1, 1);
    analysis::AnalysisOptions options;
    options.alphaIn = optionNumber(parsed, "--alpha-in", options.alphaIn);
    options.alphaOut = optionNumber(parsed, "--alpha-out", options.alphaOut);
    options.minDifference = optionNumber(parsed, "--min-dt", options.minDifference, true);
    options.fluxUncertainty =
        optionNumber(parsed, "--flux-uncertainty", options.fluxUncertainty * 100, true) / 100;
    options.temperatureUncertainty =
        optionNumber(parsed, "--temperature-uncertainty", options.temperatureUncertainty, true);
    options.dynamic = !parsed.has("--no-dynamic");
    options.findLongest = parsed.has("--longest");
    options.decimalSeparator = decimalSeparator(parsed);
    const bool json = parsed.has("--json");
    const bool protocol = parsed.has("--pdf") || parsed.has("--odt");
    for (const char* output : {"--pdf", "--odt"}) {
        if (parsed.has(output)) {
            checkOutput(parsed.option(output), {parsed.positionals[0]});
        }
    }
    // The summary shows no series; the protocol's chart needs no more points than its width.
    options.cumulativePoints = json ? (parsed.has("--full-series") ? 0 : kJsonSeriesPoints)
                                    : (protocol ? kProtocolChartPoints : 1);

    const analysis::Readings readings = readRows(parsed);
    const AnalysisResult result = analysis::analyseResistance(readings, options);
    if (protocol) {
        writeProtocol(parsed, result, readings);
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
    "thermal resistance of the wall by the average and the dynamic method, with the criteria",
    "usage: zond8t-cli resistance FILE [--rows A-B] [--alpha-in X] [--alpha-out Y] [--min-dt K]\n"
    "                             [--flux-uncertainty P] [--temperature-uncertainty K]\n"
    "                             [--decimal-separator C] [--longest] [--no-dynamic]\n"
    "                             [--json [--full-series]] [--pdf OUT.pdf] [--odt OUT.odt]\n"
    "\n"
    "Average method: R0 = sum(tв - tн) / sum(q) over the last D whole days, D = (t_last - t_first\n"
    "+ interval) / 24 h rounded down, per heat-flux channel of the rows (EN_CH); both sums\n"
    "negative (heat flowing outwards) also give R0. With U = 1/R0, Rk = R0 - 1/αв - 1/αн, the R "
    "of\n"
    "each day, the cumulative R and the criteria in the words of ISO 9869-1: at least 3 days "
    "(C1);\n"
    "R at the end within 5 % of the R 24 h before (C2); R of the first 2D/3 days within 5 % of\n"
    "that of the last 2D/3 days (C3); and the mean |tв - tн| at least the minimum. The expanded\n"
    "uncertainty of R0 (k = 2) combines the flux sensor's calibration, the temperature sensors "
    "and\n"
    "the standard error of the daily R. A channel is flagged for storage drift when its daily R\n"
    "move one way over the last 3 or more days by more than 5 % of R0, or the accepted dynamic R\n"
    "differs from R0 by more than 5 %. With two or more defined channels: their mean R0.\n"
    "\n"
    "Dynamic method (ISO 9869-1, Annex B, with sums over the whole record and two terms for the\n"
    "wall's state when logging started): R with its 95 % interval, the time constants, and "
    "whether\n"
    "it is accepted (interval and the change against the record without its last 24 h within\n"
    "5 %). It needs readings at one interval: gaps of a few readings are filled, longer ones give\n"
    "the reason instead.\n"
    "\n"
    "Rows are taken in time order; rows whose date, time or a temperature cannot be read or lies\n"
    "beyond the instrument's range (-40 to 320 °C) are left out and counted, and so is a q that\n"
    "cannot be read or lies beyond 65535 W/m², for its channel alone.\n"
    "\n"
    "  --rows A-B           rows A to B (1-based, file order; default all rows)\n"
    "  --alpha-in X         inside surface coefficient αв, W/(m²·K) (default 8.7)\n"
    "  --alpha-out Y        outside surface coefficient αн, W/(m²·K) (default 23)\n"
    "  --min-dt K           the least mean |tв - tн| that conforms, K (default 10)\n"
    "  --flux-uncertainty P the flux sensor's calibration uncertainty, % (default 5)\n"
    "  --temperature-uncertainty K  each temperature sensor's uncertainty, K (default 0.5)\n"
    "  --decimal-separator C  in the summary's numbers (default: the user's locale)\n"
    "  --longest            also find the longest run of whole days, ending at any reading,\n"
    "                       that conforms; of equally long ones the one with the smallest\n"
    "                       largest C2/C3 deviation\n"
    "  --no-dynamic         leave the dynamic method out\n"
    "  --json               one JSON object instead of the Russian summary; deviations are\n"
    "                       fractions, undefined values null. The cumulative series holds at\n"
    "                       most 2000 evenly spread points ending at the last row, their times\n"
    "                       in \"cumulative_times\"\n"
    "  --full-series        with --json: one cumulative point per row of the window\n"
    "  --pdf OUT.pdf        also write the A4 protocol: the organisation, the survey's details\n"
    "                       (see 'zond8t-cli survey'), instrument, method, measurement, results\n"
    "                       per channel and their mean with both methods, the daily R, the\n"
    "                       convergence chart, the conclusion against R0тр and the signatures\n"
    "  --odt OUT.odt        also write the same protocol as an OpenDocument text to edit\n"
    "\n"
    "Exit status: 0 when the analysis ran (whatever it found), 1 for a usage error, 2 when the\n"
    "table cannot be read.\n",
    runResistance,
};

}  // namespace zond::cli
