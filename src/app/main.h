// TForm1: the main window. It holds the one open measurement table and the grid over it, and
// carries every command of the program (main menu, the grid's context menu, tool bar).
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "dbf/dbf_table.h"
#include "instrument/record_import.h"
#include "measurement/channel_statistics.h"
#include "measurement/measurement_schema.h"

class QAction;
class QMenu;
class QSettings;
class TForm2;
class Tform6;

namespace zond::app {
class ChartCommand;
class MeasurementGrid;
}  // namespace zond::app
namespace zond::report {
class ReportCommands;
}
namespace zond::ui {
class UserDialogs;
struct FileDialogRequest;
}  // namespace zond::ui

// Window title and caption of its questions.
inline const QString ProductCaption = QStringLiteral("ЗОНД-8Т \"Тавис\"");

class TForm1 : public QMainWindow {
    Q_OBJECT

  public:
    explicit TForm1(zond::ui::UserDialogs& dialogs, QWidget* parent = nullptr);
    ~TForm1() override;

    // Windows created after this one at start-up that its commands show.
    void setReceiveWindow(TForm2* window) { receiveWindow_ = window; }
    void setAboutWindow(Tform6* window) { aboutWindow_ = window; }
    void setChartCommand(zond::app::ChartCommand* charts);

    void Open_DB(const QString& path);
    void Save_DB();
    void Close_DB();
    void Create_DB();
    void find_mma();
    void flash2zond05(zond::instrument::ImportMode mode);
    void enable_button();
    void disable_button();

    bool tableOpen() const { return TableOpen; }
    bool tableModified() const { return TableModified; }
    const zond::measurement::ChannelStatistics& channelStatistics() const { return statistics_; }
    zond::dbf::DbfTable& table() { return Dbf1; }
    zond::app::MeasurementGrid* grid() const { return DBGridPro1; }
    QString rememberedFolder() const { return rememberedFolder_; }

    // Command handlers (menu items and tool buttons).
    void N2Click();
    void N3Click();
    void N4Click();
    void N5Click();
    void N7Click();
    void N8Click();
    void N9Click();
    void N11Click();
    void N15Click();
    void N17Click();
    void N18Click();
    void N19Click();
    void N21Click();
    void N22Click();
    void N23Click();
    void N24Click();
    void N26Click();
    void N33Click();
    void N37Click();
    void ToolButton6Click();
    void Excel1Click();
    void exp2excel();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void FormClose();
    void buildCommands();
    QAction* addCommand(QMenu* menu, const char* name, const QString& text,
                        void (TForm1::*handler)());
    // Runs a command; an error it throws reaches the standard error box.
    void runGuarded(const std::function<void()>& command);
    // The grid's column commands act only while the table layer has the table open.
    void withOpenTable(void (zond::app::MeasurementGrid::*operation)());
    void setTableBackground(bool open);
    void setTitle(const QString& title);
    void openTableFile(const std::filesystem::path& path);
    // Enables the table commands and shows the grid's columns in their saved layout.
    void showTableCommandsAndGrid();
    // A file dialog in the dialogs' folder for files of one kind.
    zond::ui::FileDialogRequest fileDialogRequest(const QString& title, const QString& filter,
                                                  const QString& suffix) const;
    QString currentTablePath() const;
    int showReceiveWindow();

    zond::ui::UserDialogs& dialogs_;
    std::unique_ptr<QSettings> settings_;
    zond::dbf::DbfTable Dbf1;
    // Where the measurement fields stand in the open table.
    zond::measurement::MeasurementFieldIndexes fields_;
    zond::app::MeasurementGrid* DBGridPro1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    TForm2* receiveWindow_ = nullptr;
    Tform6* aboutWindow_ = nullptr;
    zond::app::ChartCommand* charts_ = nullptr;
    std::unique_ptr<zond::report::ReportCommands> report_;

    // The commands that need a table: enable_button / disable_button switch exactly these.
    std::vector<QAction*> tableCommands_;

    bool TableOpen = false;
    bool TableModified = false;
    zond::measurement::ChannelStatistics statistics_;
    // New tables write their text in the code page of the table opened last.
    zond::measurement::NewTableLanguage newTableLanguage_;
    QString rememberedFolder_;
    // Where the file dialogs open: the remembered folder as it was at creation.
    QString dialogFolder_;
    // The file chosen in the save dialog of the last Create.
    QString createPath_;
};
