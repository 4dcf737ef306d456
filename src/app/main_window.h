// MainWindow: the main window. It holds the one open measurement table and the grid over it, and
// carries every command of the program (main menu, the grid's context menu, tool bar).
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "dbf/dbf_table.h"
#include "instrument/record_import.h"
#include "measurement/channel_statistics.h"
#include "measurement/measurement_schema.h"

class QAction;
class QLabel;
class QMenu;
class QSettings;
class ReceiveWindow;
class AboutWindow;

namespace zond::app {
class ExportCommand;
class MeasurementGrid;
class HelpViewer;
class OrganisationDialog;
class ResistanceWindow;
class SurveyDetailsDialog;
}  // namespace zond::app
namespace zond::chart {
class ChartCommand;
}
namespace zond::report {
class ReportCommands;
}
namespace zond::ui {
class UserDialogs;
struct FileDialogRequest;
}  // namespace zond::ui

// Window title and caption of its questions.
inline const QString ProductCaption = QStringLiteral("ЗОНД-8Т \"Тавис\"");

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(zond::ui::UserDialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Windows created after this one at start-up that its commands show.
    // Also lets the receive window offer "Настройка связи…" when no instrument answers.
    void setReceiveWindow(ReceiveWindow* window);
    void setAboutWindow(AboutWindow* window) { aboutWindow_ = window; }
    void setChartCommand(zond::chart::ChartCommand* charts);

    void openTable(const QString& path);
    void saveTable();
    void closeTable();
    void createTable();
    void refreshStatistics();
    void importDeviceImage(zond::instrument::ImportMode mode);
    void setTableCommandsEnabled(bool enabled);

    bool tableOpen() const { return tableOpen_; }
    bool tableModified() const { return tableModified_; }
    const zond::measurement::ChannelStatistics& channelStatistics() const { return statistics_; }
    zond::dbf::DbfTable& table() { return table_; }
    zond::app::MeasurementGrid* grid() const { return grid_; }
    zond::app::ResistanceWindow* resistanceWindow() const { return resistance_; }
    // The built-in guide window, once F1 found no viewer for the guide.
    zond::app::HelpViewer* helpViewer() const { return helpViewer_; }
    QString rememberedFolder() const { return rememberedFolder_; }
    zond::app::ExportCommand& exportCommand() { return *exports_; }

    // Command handlers (menu items and tool buttons).
    void onCreateTable();
    void onOpenTable();
    void onAppend();
    void onSave();
    void onCloseTable();
    void onPreview();
    void onPrint();
    void onExit();
    void onChart();
    void onResistance();
    void onSetColumnColor();
    void onClearColumnColor();
    void onClearColumnColors();
    void onDeleteRows();
    // Puts back the rows the last deletion removed, while the file has not changed since.
    void onUndoDelete();
    void onEqualizeColumns();
    void onHelp();
    void onAbout();
    void onClearSort();
    void onSelectAll();
    void onRenumber();
    void onExport();
    void onPortSettings();
    void onCommunicationLog();
    void exportToXls();
    void onExportAs();
    void onSurveyDetails();
    void onOrganisation();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void startWithoutTable();
    void finishSession();
    void buildCommands();
    void saveCommunicationLog(const QString& log);
    QAction* addCommand(QMenu* menu, const char* name, const QString& text,
                        void (MainWindow::*handler)());
    // Runs a command; an error it throws reaches the standard error box.
    void runGuarded(const std::function<void()>& command);
    // The grid's column commands act only while the table layer has the table open.
    void withOpenTable(void (zond::app::MeasurementGrid::*operation)());
    void setTableBackground(bool open);
    void setTitle(const QString& title);
    void openTableFile(const std::filesystem::path& path);
    // Enables the table commands and shows the grid's columns in their saved layout.
    void showTableCommandsAndGrid();
    // After Создать: the footers, the commands and the grid for the table just built.
    void showCreatedTable();
    // A file dialog in the dialogs' folder for files of one kind.
    zond::ui::FileDialogRequest fileDialogRequest(const QString& title, const QString& filter,
                                                  const QString& suffix) const;
    QString currentTablePath() const;
    int showReceiveWindow();
    // The rows the last deletion removed, kept for its undo; std::nullopt forgets them.
    void keepRemovedRows(std::optional<zond::dbf::RemovedRecords> removed);

    zond::ui::UserDialogs& dialogs_;
    std::unique_ptr<QSettings> settings_;
    zond::dbf::DbfTable table_;
    // Where the measurement fields stand in the open table.
    zond::measurement::MeasurementFieldIndexes fields_;
    zond::app::MeasurementGrid* grid_ = nullptr;
    QMenu* gridMenu_ = nullptr;
    ReceiveWindow* receiveWindow_ = nullptr;
    AboutWindow* aboutWindow_ = nullptr;
    zond::app::HelpViewer* helpViewer_ = nullptr;
    QLabel* startHint_ = nullptr;  // made at the first F1 that needs it
    zond::chart::ChartCommand* charts_ = nullptr;
    zond::app::ResistanceWindow* resistance_ = nullptr;
    zond::app::SurveyDetailsDialog* surveyDialog_ = nullptr;
    zond::app::OrganisationDialog* organisationDialog_ = nullptr;
    std::unique_ptr<zond::report::ReportCommands> report_;
    std::unique_ptr<zond::app::ExportCommand> exports_;

    // The commands that need a table: setTableCommandsEnabled switches exactly these.
    std::vector<QAction*> tableCommands_;
    QAction* undoDeleteAction_ = nullptr;
    std::optional<zond::dbf::RemovedRecords> removedRows_;

    bool tableOpen_ = false;
    bool tableModified_ = false;
    zond::measurement::ChannelStatistics statistics_;
    // New tables write their text in the code page of the table opened last.
    zond::measurement::NewTableLanguage newTableLanguage_;
    QString rememberedFolder_;
    // Where the file dialogs open: the remembered folder as it was at creation.
    QString dialogFolder_;
    // The file chosen in the save dialog of the last Create.
    QString createPath_;
};
