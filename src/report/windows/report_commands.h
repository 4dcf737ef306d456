// The report commands of the main window: preview and print the open table.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "report/report_document.h"
#include "report/report_layout.h"

class QWidget;

namespace zond::dbf {
class DbfTable;
}
namespace zond::ui {
class UserDialogs;
}

namespace zond::report {

class PrinterAccess;

class ReportCommands {
  public:
    using ProgressFactory = std::function<std::unique_ptr<LayoutProgress>(QWidget* parent)>;

    // Without `printers`, the machine's own printers and print dialog are used.
    explicit ReportCommands(ui::UserDialogs& dialogs, PrinterAccess* printers = nullptr);
    ~ReportCommands();

    // The "Подготовка отчета" window by default.
    void setProgressFactory(ProgressFactory factory) { progressFactory_ = std::move(factory); }
    // What "Показать справку" in the preview opens.
    void setHelp(std::function<void(QWidget*)> help) { help_ = std::move(help); }

    // "Предварительный просмотр": lays the report out and shows it in the modal preview window.
    void preview(QWidget* parent, const dbf::DbfTable* table);
    // "Печать" of the menu, the tool bar and the grid's context menu: lays the report out and
    // prints it through the print dialog. With no printer installed nothing happens.
    void print(QWidget* parent, const dbf::DbfTable* table);

  private:
    // Lays the whole table out; nothing when cancelled or failed (the failure is shown).
    std::optional<ReportDocument> layOut(QWidget* parent, const dbf::DbfTable& table);

    ui::UserDialogs& dialogs_;
    std::unique_ptr<PrinterAccess> ownPrinters_;
    PrinterAccess& printers_;
    ProgressFactory progressFactory_;
    std::function<void(QWidget*)> help_;
};

}  // namespace zond::report
