// Printing laid-out pages: the machine's printers behind an interface (tests print to PDF), the
// print dialog, and the job itself.
#pragma once

#include <QPrinter>
#include <QStringList>
#include <memory>
#include <optional>

#include "report/page_selection.h"
#include "report/report_document.h"

class QWidget;

namespace zond::ui {
class UserDialogs;
}

namespace zond::report {

struct PrintJob {
    PrintRequest request;
    std::unique_ptr<QPrinter> printer;
};

class PrinterAccess {
  public:
    virtual ~PrinterAccess() = default;

    virtual QStringList printerNames() const = 0;
    // Asks which printer, copies and pages; nothing when the user cancels. With a current page
    // (1-based) the dialog offers it too.
    virtual std::optional<PrintJob> choose(QWidget* parent, std::optional<int> currentPage) = 0;
};

// The installed printers and the "Печать" dialog.
class SystemPrinters final : public PrinterAccess {
  public:
    QStringList printerNames() const override;
    std::optional<PrintJob> choose(QWidget* parent, std::optional<int> currentPage) override;
};

// Asks for a print job and prints it: no printer installed or the dialog cancelled, nothing
// happens; a failure of the printer is reported in an error box.
void printDocument(QWidget* parent, const ReportDocument& document, PrinterAccess& printers,
                   ui::UserDialogs& dialogs, std::optional<int> currentPage = std::nullopt);

}  // namespace zond::report
