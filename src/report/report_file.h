// The saved form of laid-out pages (".frp"): opened again later exactly as saved. Files come from
// anywhere, so reading checks every count, index and number before trusting it.
#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

#include "report/report_document.h"

namespace zond::report {

class ReportFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

QByteArray serializeReport(const ReportDocument& document);
// Throws ReportFileError for anything that is not an intact saved report.
ReportDocument parseReport(const QByteArray& bytes);

void saveReport(const ReportDocument& document, const QString& path);
ReportDocument loadReport(const QString& path);

}  // namespace zond::report
