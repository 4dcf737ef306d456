// "Экспорт…" of the Сервис menu: the open table to an Excel 97 workbook, an Excel 2007+ workbook
// or a CSV file, the type chosen in the save dialog.
#pragma once

#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

#include "export/table_exports.h"

class QWidget;

namespace zond::dbf {
class DbfTable;
}
namespace zond::ui {
class UserDialogs;
}

namespace zond::app {

// The save dialog's types, in the order offered.
inline const QString kExportFilter =
    QStringLiteral("Excel 97-2003 (*.xls);;Excel 2007+ (*.xlsx);;CSV (*.csv)");

class ExportCommand {
  public:
    // Asks for the CSV options, starting from `initial`; nothing when the user cancels.
    using CsvOptionsAsker = std::function<std::optional<exporting::CsvOptions>(
        QWidget* parent, const exporting::CsvOptions& initial)>;

    explicit ExportCommand(ui::UserDialogs& dialogs);

    // The CSV options dialog by default.
    void setCsvOptionsAsker(CsvOptionsAsker asker) { askCsvOptions_ = std::move(asker); }
    // Runs once the file and the options are chosen, before the table is read (the export reads
    // the rows in file order, so a sorted view must let go of its order).
    void setBeforeWriting(std::function<void()> step) { beforeWriting_ = std::move(step); }
    // How long an export runs before its progress window shows.
    void setProgressDelay(std::chrono::milliseconds delay) { progressDelay_ = delay; }

    // Asks for the file (the dialog opens in `folder`) and the options, writes the file with a
    // progress window that can cancel, and tells the rows written or what went wrong.
    void run(QWidget* parent, dbf::DbfTable& table, const QString& folder);

  private:
    // The options for the chosen file; nothing when the user cancels or the type is unknown.
    std::optional<exporting::ExportOptions> chooseOptions(QWidget* parent,
                                                          const std::filesystem::path& file);
    void write(QWidget* parent, dbf::DbfTable& table, const std::filesystem::path& file,
               const exporting::ExportOptions& options);

    ui::UserDialogs& dialogs_;
    CsvOptionsAsker askCsvOptions_;
    std::function<void()> beforeWriting_;
    std::chrono::milliseconds progressDelay_{500};
};

}  // namespace zond::app
