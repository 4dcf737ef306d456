#include "report/windows/report_commands.h"

#include <exception>

#include "dbf/dbf_table.h"
#include "report/report_painter.h"
#include "report/report_template.h"
#include "report/table_report_rows.h"
#include "report/windows/preview_window.h"
#include "report/windows/progress_window.h"
#include "report/windows/report_printing.h"
#include "ui/user_dialogs.h"

namespace zond::report {

namespace {

bool isOpen(const dbf::DbfTable* table) {
    return table != nullptr && table->isOpen();
}

}  // namespace

ReportCommands::ReportCommands(ui::UserDialogs& dialogs, PrinterAccess* printers)
    : dialogs_(dialogs),
      ownPrinters_(printers ? nullptr : std::make_unique<SystemPrinters>()),
      printers_(printers ? *printers : *ownPrinters_),
      progressFactory_([](QWidget* parent) { return std::make_unique<ProgressWindow>(parent); }) {}

ReportCommands::~ReportCommands() = default;

std::optional<ReportDocument> ReportCommands::layOut(QWidget* parent, const dbf::DbfTable& table) {
    std::unique_ptr<LayoutProgress> progress = progressFactory_(parent);
    try {
        TableReportRows rows(table);
        return layoutReport(measurementReportTemplate(), rows, progress.get(), paintedTextHeight());
    } catch (const std::exception& error) {
        progress.reset();
        dialogs_.error(parent, QString::fromStdString(error.what()));
        return std::nullopt;
    }
}

void ReportCommands::preview(QWidget* parent, const dbf::DbfTable* table) {
    if (!isOpen(table)) {
        return;
    }
    std::optional<ReportDocument> document = layOut(parent, *table);
    if (!document) {
        return;
    }
    PreviewWindow window(std::move(*document), printers_, dialogs_, parent);
    window.setHelp(help_);
    window.setSuggestedFile(ui::namedAfter(table->path(), QStringLiteral("_отчёт")));
    window.exec();
}

void ReportCommands::print(QWidget* parent, const dbf::DbfTable* table) {
    if (!isOpen(table) || printers_.printerNames().isEmpty()) {
        return;
    }
    if (const std::optional<ReportDocument> document = layOut(parent, *table)) {
        printDocument(parent, *document, printers_, dialogs_);
    }
}

}  // namespace zond::report
