#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>
#include <system_error>

#include "app/about_window.h"
#include "app/command_images.h"
#include "app/export_command.h"
#include "app/grid/measurement_grid.h"
#include "app/help.h"
#include "app/port_settings_window.h"
#include "app/receive_window.h"
#include "app/resistance_window.h"
#include "app/survey_details_dialog.h"
#include "chart/chart_command.h"
#include "export/xls_export.h"
#include "link/communication_log.h"
#include "link/settings_store.h"
#include "measurement/channel_statistics.h"
#include "report/resistance_protocol.h"
#include "report/windows/report_commands.h"
#include "text/number_text.h"
#include "ui/user_dialogs.h"

using zond::app::CommandImage;
using zond::app::MeasurementGrid;
using zond::instrument::ImportMode;

namespace {

const QString kDefaultDirValue = QStringLiteral("Default_dir");
const QString kGridLayoutValue = QStringLiteral("Table_1");

// Results of the receive window.
constexpr int kTransferDone = 1;
constexpr int kTransferFailed = 2;

char systemDecimalSeparator() {
    const QLocale locale = QLocale::system();
    return zond::text::decimalSeparatorFromLocale(locale.decimalPoint().toStdU16String(),
                                                  locale.groupSeparator().toStdU16String());
}

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

}  // namespace

MainWindow::MainWindow(zond::ui::UserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs),
      grid_(new MeasurementGrid),
      resistance_(new zond::app::ResistanceWindow(dialogs, systemDecimalSeparator(), this)),
      report_(std::make_unique<zond::report::ReportCommands>(dialogs)),
      exports_(std::make_unique<zond::app::ExportCommand>(dialogs)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ProductCaption);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 3, 0, 0);  // tool bar 29, grid from y = 32
    layout->addWidget(grid_);
    // Until a table is open, the empty window says what to do first.
    startHint_ = new QLabel(
        QStringLiteral("<p style=\"font-size:11pt\">Чтобы начать работу:</p>"
                       "<p style=\"font-size:11pt\"><b>Создать</b> (Ctrl+N) — прочитать память "
                       "прибора в новую таблицу;<br><b>Открыть</b> (Ctrl+O) — открыть сохранённую "
                       "таблицу.</p>"),
        client);
    startHint_->setObjectName(QStringLiteral("startHint"));
    startHint_->setAlignment(Qt::AlignCenter);
    startHint_->setForegroundRole(QPalette::BrightText);
    layout->addWidget(startHint_, 1);
    setCentralWidget(client);

    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setDialogs(&dialogs_);
    // The exports read the rows in file order; the grid shows them so afterwards.
    exports_->setBeforeWriting([this] { grid_->clearSort(); });
    grid_->setDecimalSeparator(QLatin1Char(systemDecimalSeparator()));
    connect(grid_, &MeasurementGrid::editStarted, this, [this] {
        tableModified_ = true;
        keepRemovedRows(std::nullopt);  // the file changes: the deleted rows' places are gone
    });
    report_->setHelp([this](QWidget*) { onHelp(); });

    buildCommands();
    startWithoutTable();
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::addCommand(QMenu* menu, const char* name, const QString& text,
                                void (MainWindow::*handler)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    if (handler != nullptr) {
        connect(action, &QAction::triggered, this,
                [this, handler] { runGuarded([=, this] { (this->*handler)(); }); });
    }
    if (menu != nullptr) {
        menu->addAction(action);
    }
    return action;
}

void MainWindow::buildCommands() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto addMenu = [bar](const char* name, const QString& title) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    const auto addSeparator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    QMenu* file = addMenu("N1", QStringLiteral("Файл"));
    QAction* createAction =
        addCommand(file, "N2", QStringLiteral("Создать"), &MainWindow::onCreateTable);
    createAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    createAction->setIcon(commandImage(CommandImage::Create));
    QAction* openAction =
        addCommand(file, "N3", QStringLiteral("Открыть"), &MainWindow::onOpenTable);
    openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    openAction->setIcon(commandImage(CommandImage::Open));
    QAction* appendAction =
        addCommand(file, "N4", QStringLiteral("Дополнить"), &MainWindow::onAppend);
    QAction* saveAction = addCommand(file, "N5", QStringLiteral("Сохранить"), &MainWindow::onSave);
    saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveAction->setIcon(commandImage(CommandImage::Save));
    QAction* closeAction =
        addCommand(file, "N7", QStringLiteral("Закрыть"), &MainWindow::onCloseTable);
    addSeparator(file, "N6");
    QAction* previewAction =
        addCommand(file, "N8", QStringLiteral("Предварительный просмотр"), &MainWindow::onPreview);
    previewAction->setIcon(commandImage(CommandImage::Preview));
    QAction* printAction = addCommand(file, "N9", QStringLiteral("Печать"), &MainWindow::onPrint);
    printAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    printAction->setIcon(commandImage(CommandImage::Print));
    addSeparator(file, "N10");
    addCommand(file, "N11", QStringLiteral("Выход"), &MainWindow::onExit);

    QMenu* view = addMenu("N12", QStringLiteral("Вид"));
    QAction* equalizeAction = addCommand(view, "N27", QStringLiteral("Выровнять столбцы"),
                                         &MainWindow::onEqualizeColumns);
    addSeparator(view, "N28");
    QAction* setColorAction =
        addCommand(view, "N29", QStringLiteral("Задать цвет"), &MainWindow::onSetColumnColor);
    QAction* clearColorAction =
        addCommand(view, "N30", QStringLiteral("Убрать цвет"), &MainWindow::onClearColumnColor);
    QAction* clearColorsAction = addCommand(view, "N31", QStringLiteral("Убрать все цвета"),
                                            &MainWindow::onClearColumnColors);
    addSeparator(view, "N32");
    QAction* clearSortAction =
        addCommand(view, "N33", QStringLiteral("Убрать сортировку"), &MainWindow::onClearSort);

    QMenu* edit = addMenu("N13", QStringLiteral("Правка"));
    QAction* deleteRowsAction =
        addCommand(edit, "N34", QStringLiteral("Удалить строки"), &MainWindow::onDeleteRows);
    deleteRowsAction->setIcon(commandImage(CommandImage::DeleteRows));
    undoDeleteAction_ = addCommand(edit, "undoDelete", QStringLiteral("Отменить удаление"),
                                   &MainWindow::onUndoDelete);
    undoDeleteAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undoDeleteAction_->setEnabled(false);
    QAction* selectAllAction =
        addCommand(edit, "SelectAll", QStringLiteral("Выделить все"), &MainWindow::onSelectAll);
    selectAllAction->setShortcut(QKeySequence::SelectAll);

    QMenu* service = addMenu("N35", QStringLiteral("Сервис"));
    QAction* exportAction =
        addCommand(service, "Excel1", QStringLiteral("Экспорт в Excel"), &MainWindow::onExport);
    QAction* exportAsAction =
        addCommand(service, "ExportAs", QStringLiteral("Экспорт…"), &MainWindow::onExportAs);
    QAction* renumberAction = addCommand(service, "N37", QStringLiteral("Перенумеровать строки"),
                                         &MainWindow::onRenumber);
    QAction* chartAction =
        addCommand(service, "N36", QStringLiteral("Построить график"), &MainWindow::onChart);
    const QString resistanceText = QStringLiteral("Термическое сопротивление…");
    QAction* resistanceAction =
        addCommand(service, "Resistance1", resistanceText, &MainWindow::onResistance);
    QAction* surveyAction =
        addCommand(service, "SurveyDetails", QStringLiteral("Сведения об обследовании…"),
                   &MainWindow::onSurveyDetails);
    addCommand(service, "Organisation", QStringLiteral("Организация…"),
               &MainWindow::onOrganisation);
    service->addSeparator();
    addCommand(service, "PortSettings", QStringLiteral("Настройка связи…"),
               &MainWindow::onPortSettings);

    QMenu* help = addMenu("N14", QStringLiteral("Справка"));
    QAction* helpAction = addCommand(help, "N24", QStringLiteral("Помощь"), &MainWindow::onHelp);
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    helpAction->setShortcutContext(Qt::WindowShortcut);
    helpAction->setIcon(commandImage(CommandImage::Help));
    addCommand(help, "CommunicationLog", QStringLiteral("Журнал обмена…"),
               &MainWindow::onCommunicationLog);
    addSeparator(help, "N25");
    addCommand(help, "N26", QStringLiteral("О программе"), &MainWindow::onAbout);

    gridMenu_ = new QMenu(this);
    gridMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    addCommand(gridMenu_, "N15", QStringLiteral("График"), &MainWindow::onChart);
    addCommand(gridMenu_, "N22", QStringLiteral("Печать"), &MainWindow::onPrint);
    QAction* gridResistanceAction =
        addCommand(gridMenu_, "Resistance2", resistanceText, &MainWindow::onResistance);
    addSeparator(gridMenu_, "N16");
    addCommand(gridMenu_, "N17", QStringLiteral("Задать цвет"), &MainWindow::onSetColumnColor);
    addCommand(gridMenu_, "N18", QStringLiteral("Убрать цвет"), &MainWindow::onClearColumnColor);
    addCommand(gridMenu_, "N19", QStringLiteral("Убрать все цвета"),
               &MainWindow::onClearColumnColors);
    addSeparator(gridMenu_, "N38");
    addCommand(gridMenu_, "N23", QStringLiteral("Выровнять столбцы"),
               &MainWindow::onEqualizeColumns);
    addSeparator(gridMenu_, "N20");
    gridMenu_->addAction(selectAllAction);
    addCommand(gridMenu_, "N21", QStringLiteral("Удалить"), &MainWindow::onDeleteRows);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { gridMenu_->popup(grid_->mapToGlobal(at)); });

    // The tool buttons are commands of their own: Создать and Открыть stay enabled with the
    // menu items, the others follow the table.
    QToolBar* tools = addToolBar(QStringLiteral("ToolBar1"));
    tools->setObjectName(QStringLiteral("ToolBar1"));
    tools->setMovable(false);
    tools->setFloatable(false);
    tools->setFixedHeight(29);
    tools->setIconSize(QSize(16, 16));
    tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tools->setContextMenuPolicy(Qt::PreventContextMenu);
    const auto addButton = [&](const char* name, QAction* like, void (MainWindow::*handler)()) {
        QAction* button = addCommand(nullptr, name, like->text(), handler);
        button->setIcon(like->icon());
        tools->addAction(button);
        return button;
    };
    addButton("ToolButton1", createAction, &MainWindow::onCreateTable);
    addButton("ToolButton2", openAction, &MainWindow::onOpenTable);
    QAction* saveButton = addButton("ToolButton3", saveAction, &MainWindow::onSave);
    QAction* previewButton = addButton("ToolButton4", previewAction, &MainWindow::onPreview);
    QAction* printButton = addButton("ToolButton5", printAction, &MainWindow::onPrint);
    addButton("ToolButton6", helpAction, &MainWindow::onHelp);

    tableCommands_ = {appendAction,         saveAction,      closeAction,      previewAction,
                      printAction,          equalizeAction,  setColorAction,   clearColorAction,
                      clearColorsAction,    clearSortAction, deleteRowsAction, chartAction,
                      renumberAction,       exportAction,    exportAsAction,   resistanceAction,
                      gridResistanceAction, saveButton,      previewButton,    printButton,
                      surveyAction,         selectAllAction};
}

void MainWindow::startWithoutTable() {
    // The whole screen also where no window manager maximises it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(screen->availableGeometry());
    }
    setWindowState(Qt::WindowMaximized);
    setTableBackground(false);

    settings_ = zond::link::openProgramSettings();
    if (settings_->contains(kDefaultDirValue)) {
        rememberedFolder_ = settings_->value(kDefaultDirValue).toString();
    } else {
        rememberedFolder_ = QDir::currentPath();
        settings_->setValue(kDefaultDirValue, rememberedFolder_);
        settings_->sync();
    }
    dialogFolder_ = rememberedFolder_;

    table_.close();
    tableOpen_ = false;
    grid_->setTable(nullptr);
    grid_->setColumnCaption(MeasurementGrid::ColTExt, QStringLiteral("tн,°C"));
    grid_->setColumnCaption(MeasurementGrid::ColTIn, QStringLiteral("tв,°C"));
    grid_->clearSort();
    setTableCommandsEnabled(false);
    grid_->hideColumns();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    runGuarded([this] { finishSession(); });
    event->accept();
}

void MainWindow::finishSession() {
    settings_->setValue(kDefaultDirValue, rememberedFolder_);
    closeTable();
    settings_->sync();
}

void MainWindow::runGuarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        dialogs_.message(this, QString::fromUtf8(error.what()),
                         QGuiApplication::applicationDisplayName(), zond::ui::MessageIcon::Error,
                         QMessageBox::Ok);
    }
}

void MainWindow::setTableCommandsEnabled(bool enabled) {
    for (QAction* command : tableCommands_) {
        command->setEnabled(enabled);
    }
    undoDeleteAction_->setEnabled(enabled && removedRows_.has_value());
}

void MainWindow::keepRemovedRows(std::optional<zond::dbf::RemovedRecords> removed) {
    removedRows_ = std::move(removed);
    if (removedRows_ && removedRows_->empty()) {
        removedRows_.reset();
    }
    undoDeleteAction_->setEnabled(removedRows_.has_value() && table_.isOpen());
}

void MainWindow::setTableBackground(bool open) {
    startHint_->setVisible(!open);
    QWidget* client = centralWidget();
    QPalette palette = client->palette();
    palette.setColor(QPalette::Window,
                     QApplication::palette().color(open ? QPalette::Button : QPalette::Dark));
    client->setPalette(palette);
}

void MainWindow::setTitle(const QString& title) {
    QGuiApplication::setApplicationDisplayName(title);
    setWindowTitle(title);
}

QString MainWindow::currentTablePath() const {
    return QString::fromStdU16String(table_.path().u16string());
}

void MainWindow::openTableFile(const std::filesystem::path& path) {
    fields_ = zond::measurement::openMeasurementTable(table_, path);
    grid_->setTable(&table_);
}

void MainWindow::showTableCommandsAndGrid() {
    setTableCommandsEnabled(true);
    grid_->showColumns();
    grid_->loadLayout(kGridLayoutValue);
}

zond::ui::FileDialogRequest MainWindow::fileDialogRequest(const QString& title,
                                                          const QString& filter,
                                                          const QString& suffix) const {
    zond::ui::FileDialogRequest request;
    request.title = title;
    request.directory = dialogFolder_;
    request.filter = filter;
    request.defaultSuffix = suffix;
    return request;
}

// --- Open, Save, Close ---------------------------------------------------------------------

void MainWindow::onOpenTable() {
    const QString path = dialogs_.openFileName(
        this, fileDialogRequest(QStringLiteral("Открыть"), QStringLiteral("Базы данных (*.db)"),
                                QStringLiteral("db")));
    if (path.isEmpty()) {
        return;
    }
    if (tableOpen_) {
        closeTable();
    }
    rememberedFolder_ = QFileInfo(path).absolutePath();
    openTable(path);
}

void MainWindow::openTable(const QString& path) {
    if (tableOpen_) {
        closeTable();
    }
    try {
        openTableFile(toPath(path));
    } catch (const std::exception&) {
        table_.close();
        dialogs_.error(this, QStringLiteral("База данных повреждена !"));
        return;
    }
    newTableLanguage_.noteOpened(table_);
    tableOpen_ = true;
    refreshStatistics();
    table_.first();
    setTableBackground(true);
    showTableCommandsAndGrid();
    setTitle(QFileInfo(path).completeBaseName() + QStringLiteral(" - ") + ProductCaption);
    tableModified_ = false;
}

void MainWindow::onSave() {
    saveTable();
}

void MainWindow::saveTable() {
    if (!tableOpen_) {
        return;
    }
    if (table_.isOpen()) {
        grid_->commitCellEdit();
        // Closing writes everything through; opening again rereads the file.
        const std::filesystem::path path = table_.path();
        const std::optional<std::string> index = table_.selectedIndex();
        grid_->keepViewWhile([&] {
            table_.close();
            fields_ = zond::measurement::openMeasurementTable(table_, path);
            if (index) {
                table_.selectIndex(*index);
            }
        });
    }
    tableModified_ = false;
}

void MainWindow::onCloseTable() {
    closeTable();
}

void MainWindow::closeTable() {
    if (tableModified_ &&
        dialogs_.message(this, QStringLiteral("Сохранить изменения в таблицах ?"), ProductCaption,
                         zond::ui::MessageIcon::Question,
                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
        saveTable();
    }
    grid_->saveLayout(kGridLayoutValue);
    tableOpen_ = false;
    tableModified_ = false;
    keepRemovedRows(std::nullopt);
    if (table_.isOpen()) {
        std::filesystem::path index = table_.path();
        grid_->setTable(nullptr);
        table_.close();
        std::error_code ignored;
        std::filesystem::remove(index.replace_extension(".mdx"), ignored);
    }
    setTableCommandsEnabled(false);
    grid_->hideColumns();
    resistance_->hide();  // it shows the rows of the table closed
    setTitle(ProductCaption);
    setTableBackground(false);
}

void MainWindow::refreshStatistics() {
    if (!table_.isOpen()) {
        return;
    }
    statistics_ = zond::measurement::computeChannelStatistics(table_, fields_);
    grid_->setTableStatistics(statistics_);
}

// --- Create and Append ----------------------------------------------------------------------

void MainWindow::setReceiveWindow(ReceiveWindow* window) {
    receiveWindow_ = window;
    receiveWindow_->setPortSettings([this] { onPortSettings(); });
}

int MainWindow::showReceiveWindow() {
    return receiveWindow_ != nullptr ? receiveWindow_->runTransfer() : kTransferFailed;
}

void MainWindow::onCreateTable() {
    if (tableOpen_) {
        closeTable();
    }
    const QString path = dialogs_.saveFileName(
        this, fileDialogRequest(QStringLiteral("Сохранить как"),
                                QStringLiteral("Файлы данных (*.db)"), QStringLiteral("db")));
    if (path.isEmpty()) {
        return;
    }
    zond::measurement::checkNewTableTarget(toPath(path));
    if (showReceiveWindow() != kTransferDone) {
        return;
    }
    createPath_ = path;
    createTable();
}

void MainWindow::createTable() {
    tableOpen_ = false;
    tableModified_ = false;
    grid_->setTable(nullptr);
    table_.close();
    // The new table takes the file's name only when the import is complete, or stopped at a bad
    // record with the rows before it: any other failure leaves the old table (or no file), and no
    // table open.
    try {
        zond::measurement::createMeasurementTable(
            table_, toPath(createPath_), newTableLanguage_.id(),
            [this](const zond::measurement::MeasurementFieldIndexes& fields) {
                fields_ = fields;
                grid_->setTable(&table_);
                tableOpen_ = true;
                setTableBackground(true);
                importDeviceImage(ImportMode::Create);
            });
    } catch (const zond::measurement::FillStoppedError&) {
        showCreatedTable();
        throw;
    } catch (...) {
        grid_->setTable(nullptr);
        tableOpen_ = false;
        setTableBackground(false);
        throw;
    }
    showCreatedTable();
}

void MainWindow::showCreatedTable() {
    refreshStatistics();
    showTableCommandsAndGrid();
    tableModified_ = false;
}

void MainWindow::onAppend() {
    if (showReceiveWindow() == kTransferFailed) {
        return;
    }
    keepRemovedRows(std::nullopt);
    if (table_.isOpen()) {
        grid_->clearSort();
    }
    importDeviceImage(ImportMode::Append);
    tableOpen_ = true;
    saveTable();
    refreshStatistics();
    grid_->showColumns();
}

void MainWindow::importDeviceImage(ImportMode mode) {
    if (!table_.isOpen() || receiveWindow_ == nullptr) {
        return;
    }
    const auto image = receiveWindow_->deviceImage().assembled();
    if (const std::string warning = zond::instrument::shortImageWarning(image); !warning.empty()) {
        dialogs_.message(this, QString::fromStdString(warning), ProductCaption,
                         zond::ui::MessageIcon::Warning, QMessageBox::Ok);
    }
    zond::instrument::ImportResult result;
    try {
        result = zond::instrument::importRecords(table_, fields_, receiveWindow_->deviceInfo(),
                                                 image, mode, systemDecimalSeparator());
    } catch (...) {
        // The rows written before the failure are in the file: show them.
        grid_->reload();
        refreshStatistics();
        throw;
    }
    grid_->reload();
    if (mode == ImportMode::Append) {
        dialogs_.information(
            this,
            QStringLiteral("Добавлено записей в базовый метод: ") + QString::number(result.added),
            QStringLiteral("Дополнение"));
    }
}

// --- Export ---------------------------------------------------------------------------------

void MainWindow::onExport() {
    if (tableOpen_ && table_.isOpen()) {
        exportToXls();
    }
}

void MainWindow::exportToXls() {
    if (!table_.isOpen()) {
        return;
    }
    const QString path = dialogs_.saveFileName(
        this, fileDialogRequest(QStringLiteral("Сохранить как"),
                                QStringLiteral("Книга Excel (*.xls)"), QStringLiteral("xls")));
    if (path.isEmpty()) {
        return;
    }
    // The sheet takes the rows in file order; the grid shows them so afterwards.
    grid_->clearSort();
    const std::filesystem::path file = toPath(path);
    if (zond::exporting::exportTableToXls(table_, file)) {
        dialogs_.information(this, QString::fromStdString(zond::exporting::exportSuccessText(file)),
                             QString::fromUtf8(zond::exporting::kExportCaption.data(),
                                               qsizetype(zond::exporting::kExportCaption.size())));
    }
}

void MainWindow::onExportAs() {
    if (tableOpen_) {
        exports_->run(this, table_, dialogFolder_);
    }
}

// --- Report -------------------------------------------------------------------------------

void MainWindow::onPreview() {
    report_->preview(this, &table_);
}

void MainWindow::onPrint() {
    report_->print(this, &table_);
}

// --- Exit, help, about ----------------------------------------------------------------------

void MainWindow::onExit() {
    // The same way out as the close box: the folder, the save question, the layout, the index.
    close();
}

void MainWindow::onHelp() {
    if (zond::app::showHelpContents()) {
        return;
    }
    if (helpViewer_ == nullptr) {
        helpViewer_ = new zond::app::HelpViewer(this);
    }
    if (!helpViewer_->showGuide(zond::app::applicationHelpFile())) {
        dialogs_.error(this, QStringLiteral("Не удалось открыть справку: ") +
                                 zond::app::applicationHelpFile());
    }
}

void MainWindow::onPortSettings() {
    PortSettingsWindow window(this);
    window.exec();
}

void MainWindow::onCommunicationLog() {
    const QString caption = QStringLiteral("Журнал обмена");
    const QString last = zond::link::lastCommunicationLog();
    if (last.isEmpty()) {
        dialogs_.information(this,
                             QStringLiteral("Журналов обмена пока нет: журнал пишется при "
                                            "каждом приеме данных из прибора."),
                             caption);
        return;
    }
    const QString folder = zond::link::communicationLogFolder();
    const auto answer = dialogs_.message(
        this,
        QStringLiteral("Журналы обмена с прибором (последние %1 передач) хранятся в папке\n%2\n\n"
                       "Открыть папку или сохранить последний журнал в другое место?")
            .arg(zond::link::kKeptLogs)
            .arg(QDir::toNativeSeparators(folder)),
        caption, zond::ui::MessageIcon::Question,
        QMessageBox::Open | QMessageBox::Save | QMessageBox::Cancel);
    if (answer == QMessageBox::Open) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    } else if (answer == QMessageBox::Save) {
        saveCommunicationLog(last);
    }
}

void MainWindow::saveCommunicationLog(const QString& log) {
    auto request =
        fileDialogRequest(QStringLiteral("Сохранить журнал обмена"),
                          QStringLiteral("Журналы обмена (*.log)"), QStringLiteral("log"));
    request.fileName = QFileInfo(log).fileName();
    const QString target = dialogs_.saveFileName(this, request);
    if (target.isEmpty()) {
        return;
    }
    QFile::remove(target);
    if (!QFile::copy(log, target)) {
        dialogs_.error(this, QStringLiteral("Не удалось сохранить журнал обмена: ") + target);
    }
}

void MainWindow::onAbout() {
    if (aboutWindow_ != nullptr) {
        aboutWindow_->exec();
    }
}

// --- Grid commands --------------------------------------------------------------------------

void MainWindow::withOpenTable(void (MeasurementGrid::*operation)()) {
    if (table_.isOpen()) {
        (grid_->*operation)();
    }
}

void MainWindow::onSetColumnColor() {
    withOpenTable(&MeasurementGrid::chooseCurrentColumnColor);
}

void MainWindow::onClearColumnColor() {
    withOpenTable(&MeasurementGrid::clearCurrentColumnColor);
}

void MainWindow::onClearColumnColors() {
    withOpenTable(&MeasurementGrid::clearColumnColors);
}

void MainWindow::onEqualizeColumns() {
    withOpenTable(&MeasurementGrid::equalizeColumns);
}

void MainWindow::onClearSort() {
    grid_->clearSort();
}

void MainWindow::onDeleteRows() {
    if (table_.isOpen()) {
        keepRemovedRows(grid_->deleteSelectedRows());
        tableModified_ = false;
    }
    refreshStatistics();
}

void MainWindow::onUndoDelete() {
    if (!removedRows_ || !table_.isOpen()) {
        return;
    }
    grid_->restoreRemovedRows(*removedRows_);  // all or nothing: kept when it fails
    keepRemovedRows(std::nullopt);
    refreshStatistics();
}

void MainWindow::setChartCommand(zond::chart::ChartCommand* charts) {
    charts_ = charts;
    charts_->setDecimalSeparator(systemDecimalSeparator());
}

void MainWindow::onChart() {
    if (charts_ != nullptr && table_.isOpen()) {
        charts_->run(table_, grid_->chartRecords(), zond::app::chartFooters(*grid_),
                     grid_->currentEnCh());
    }
}

void MainWindow::onSelectAll() {
    withOpenTable(&MeasurementGrid::selectAll);
}

void MainWindow::onRenumber() {
    if (tableOpen_) {
        keepRemovedRows(std::nullopt);
        grid_->renumberRows();
    }
}

void MainWindow::onResistance() {
    if (table_.isOpen()) {
        resistance_->analyse(table_, fields_, grid_->selection());
        resistance_->show();
        resistance_->raise();
        resistance_->activateWindow();
    }
}

void MainWindow::onSurveyDetails() {
    if (!table_.isOpen()) {
        return;
    }
    if (surveyDialog_ == nullptr) {
        surveyDialog_ = new zond::app::SurveyDetailsDialog(dialogs_, this);
    }
    surveyDialog_->load(table_.path(), zond::report::tableSensorTypes(table_, fields_));
    surveyDialog_->open();
}

void MainWindow::onOrganisation() {
    if (organisationDialog_ == nullptr) {
        organisationDialog_ = new zond::app::OrganisationDialog(this);
    }
    organisationDialog_->load();
    organisationDialog_->open();
}
