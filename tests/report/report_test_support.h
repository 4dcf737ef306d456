// Stand-ins for the user's answers and the machine's printers, and readers of written PDF files.
#pragma once

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"
#include "report/windows/report_printing.h"
#include "ui/user_dialogs.h"

namespace zond::report::testing {

struct ShownMessage {
    QString text;
    QString caption;
};

class FakeDialogs final : public ui::UserDialogs {
  public:
    std::vector<ShownMessage> messages;
    QString nextOpenName;
    QString nextSaveName;
    std::vector<ui::FileDialogRequest> saveRequests;

    using ui::UserDialogs::message;
    QMessageBox::StandardButton message(QWidget*, const QString& text, const QString& caption,
                                        ui::MessageIcon, QMessageBox::StandardButtons,
                                        const QString&) override {
        messages.push_back({text, caption});
        return QMessageBox::Ok;
    }
    QString openFileName(QWidget*, const ui::FileDialogRequest&) override { return nextOpenName; }
    QString saveFileName(QWidget*, const ui::FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return nextSaveName;
    }
    std::optional<QColor> color(QWidget*, const QColor&) override { return std::nullopt; }
};

// Printers that print into a PDF file, answering the print dialog with a fixed request.
class PdfPrinters final : public PrinterAccess {
  public:
    QStringList names = {QStringLiteral("Тестовый принтер")};
    std::optional<PrintRequest> answer = PrintRequest{};
    QString outputPath;
    int dialogsShown = 0;
    std::optional<int> offeredCurrentPage;

    QStringList printerNames() const override { return names; }
    std::optional<PrintJob> choose(QWidget*, std::optional<int> currentPage) override {
        ++dialogsShown;
        offeredCurrentPage = currentPage;
        if (!answer) {
            return std::nullopt;
        }
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(outputPath);
        // The report sets its own paper whatever the printer's setting.
        printer->setPageSize(QPageSize(QPageSize::Letter));
        printer->setPageOrientation(QPageLayout::Portrait);
        return PrintJob{*answer, std::move(printer)};
    }
};

inline QString runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline QString pdfText(const QString& path) {
    return runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, "-"});
}

// The text of each page, split at form feeds.
inline QStringList pdfPages(const QString& path) {
    QStringList pages = pdfText(path).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) {
        pages.removeLast();
    }
    return pages;
}

// The row numbers of the data lines of pdftotext's text: those lines start with N and the date
// every test row carries.
inline QList<int> rowNumbersIn(const QString& text) {
    static const QRegularExpression rowLine("^\\s*(\\d+)\\s+01\\.02\\.2024",
                                            QRegularExpression::MultilineOption);
    QList<int> numbers;
    for (auto match = rowLine.globalMatch(text); match.hasNext();) {
        numbers << match.next().captured(1).toInt();
    }
    return numbers;
}

struct MeasurementRow {
    int n = 0;
    double q1 = 0;
    QString tIn;
    QString tExt;
    QString comment;
};

// A measurement table file holding the given rows in this order.
inline void writeMeasurementTable(const std::filesystem::path& path,
                                  const std::vector<MeasurementRow>& rows) {
    measurement::createMeasurementTable(path);
    dbf::DbfTable table;
    const auto fields = measurement::openMeasurementTable(table, path);
    for (const MeasurementRow& row : rows) {
        dbf::DbfRecord record = table.blankRecord();
        record.setInteger(fields.n, row.n);
        record.setText(fields.mode, "Режим 1");
        record.setInteger(fields.channel, 1);
        record.setInteger(fields.enCh, 1);
        record.setText(fields.date, "01.02.2024");
        record.setText(fields.time, "10:20:30");
        record.setText(fields.type, "ПТП-1");
        record.setDouble(fields.tavis1, row.q1);
        record.setText(fields.tIn, row.tIn.toStdString());
        record.setText(fields.tExt, row.tExt.toStdString());
        record.setText(fields.comment, row.comment.toStdString());
        table.append(record);
    }
    table.close();
}

}  // namespace zond::report::testing
