// The protocol of a heat-flux survey: the organisation, the survey's details, the instrument, the
// method, the measurement, the results per channel, the daily R with the convergence chart, the
// conclusion and the signatures. Built once as a document model and written from it to A4 pages
// (a printer or PDF, "Стр. N из M" on each) and to an editable OpenDocument text. Window-free:
// the analysis window and zond8t-cli use it alike. Numbers always have decimal commas.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "analysis/wall_resistance.h"
#include "report/survey_details.h"

class QPagedPaintDevice;
class QTextDocument;

namespace zond::dbf {
class DbfTable;
}
namespace zond::measurement {
struct MeasurementFieldIndexes;
}

namespace zond::report {

struct ProtocolInput {
    QString tableName;
    QDateTime calculatedAt;
    SurveyDetails survey;
    Organisation organisation;
    QStringList sensorTypes;  // the sensor types the table's rows name
    // Times of the first and last readable rows, the whole recorded period.
    std::optional<std::int64_t> recordedFrom;
    std::optional<std::int64_t> recordedTo;
};

// What the protocol takes from the table itself: the sensor types its rows name.
QStringList tableSensorTypes(const dbf::DbfTable& table,
                             const measurement::MeasurementFieldIndexes& fields);

// The recorded period of the readings the analysis was given.
void setRecordedPeriod(ProtocolInput& input, const analysis::Readings& readings);

// The document model. Needs a QApplication (the chart is drawn by the chart's widgets).
std::unique_ptr<QTextDocument> buildResistanceProtocol(const analysis::AnalysisResult& result,
                                                       const ProtocolInput& input);

// Lays the model out on A4 portrait sheets of `device` (a printer or a PDF writer) and paints
// them with their page numbers. Throws ReportOutputError when the device cannot be painted on.
void paintResistanceProtocol(QPagedPaintDevice& device, const QTextDocument& protocol);

// The protocol as a PDF file with embedded fonts, or as an OpenDocument text; the target is
// replaced only by a complete file. Throw fileio::FileWriteError or ReportOutputError with the
// text for the user.
void writeResistanceProtocolPdf(const std::filesystem::path& target, const QTextDocument& protocol);
void writeResistanceProtocolOdt(const std::filesystem::path& target, const QTextDocument& protocol);

}  // namespace zond::report
