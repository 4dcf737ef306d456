// The one-page A4 protocol of a resistance analysis: the table, period, interval, rows, the
// coefficients, per channel R₀/Rк/U and the criteria, the convergence chart and the date of the
// calculation. Window-free: the analysis window prints it and zond8t-cli writes it as a PDF.
#pragma once

#include <QDateTime>
#include <QString>
#include <filesystem>

#include "analysis/wall_resistance.h"

class QPagedPaintDevice;

namespace zond::report {

struct ProtocolHeading {
    QString tableName;
    QDateTime calculatedAt;
    char decimalSeparator = ',';
};

// Paints the protocol on an A4 portrait sheet of `device` (a printer or a PDF writer). Throws
// ReportOutputError when the device cannot be painted on or fails to finish.
void paintResistanceProtocol(QPagedPaintDevice& device, const analysis::AnalysisResult& result,
                             const ProtocolHeading& heading);

// Writes the protocol as a PDF file; the target is replaced only by a complete file. Throws
// fileio::FileWriteError or ReportOutputError with the text for the user.
void writeResistanceProtocolPdf(const std::filesystem::path& target,
                                const analysis::AnalysisResult& result,
                                const ProtocolHeading& heading);

}  // namespace zond::report
