#include "report/windows/report_printing.h"

#include <QPrinter>
#include <QPrinterInfo>

#include "report/report_painter.h"
#include "report/windows/print_dialog.h"
#include "ui/user_dialogs.h"

namespace zond::report {

QStringList SystemPrinters::printerNames() const {
    return QPrinterInfo::availablePrinterNames();
}

std::optional<PrintJob> SystemPrinters::choose(QWidget* parent, std::optional<int> currentPage) {
    PrintDialog dialog(printerNames(), QPrinterInfo::defaultPrinterName(), currentPage, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    PrintJob job{dialog.request(), dialog.takePrinter()};
    if (!job.printer) {
        return std::nullopt;
    }
    return job;
}

void printDocument(QWidget* parent, const ReportDocument& document, PrinterAccess& printers,
                   ui::UserDialogs& dialogs, std::optional<int> currentPage) {
    if (printers.printerNames().isEmpty()) {
        return;
    }
    std::optional<PrintJob> job = printers.choose(parent, currentPage);
    if (!job) {
        return;
    }
    const std::vector<int> sequence =
        printSequence(job->request, static_cast<int>(document.pages.size()));
    if (sequence.empty()) {
        return;
    }
    // Copies and collation are laid out here, so the printer makes one of each sheet.
    job->printer->setCopyCount(1);
    job->printer->setCollateCopies(false);
    job->printer->setFullPage(true);
    try {
        paintPages(*job->printer, document, sequence);
    } catch (const ReportOutputError& error) {
        dialogs.error(parent, QString::fromStdString(error.what()));
    }
}

}  // namespace zond::report
