#include "main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QToolBar>
#include <QVBoxLayout>
#include <exception>
#include <system_error>

#include "about.h"
#include "chart_command.h"
#include "command_images.h"
#include "grid/measurement_grid.h"
#include "help.h"
#include "link/settings_store.h"
#include "measurement/statistics.h"
#include "measurement/table_export.h"
#include "receive.h"
#include "report_commands.h"
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
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? '.' : point.front().toLatin1();
}

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

}  // namespace

TForm1::TForm1(zond::ui::UserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs),
      DBGridPro1(new MeasurementGrid),
      report_(std::make_unique<zond::report::ReportCommands>(dialogs)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ProductCaption);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 3, 0, 0);  // tool bar 29, grid from y = 32
    layout->addWidget(DBGridPro1);
    setCentralWidget(client);

    DBGridPro1->setObjectName(QStringLiteral("DBGridPro1"));
    DBGridPro1->setDialogs(&dialogs_);
    DBGridPro1->setDecimalSeparator(QLatin1Char(systemDecimalSeparator()));
    connect(DBGridPro1, &MeasurementGrid::editStarted, this, [this] { TableModified = true; });
    report_->setHelp([this](QWidget*) { N24Click(); });

    buildCommands();
    FormCreate();
}

TForm1::~TForm1() = default;

QAction* TForm1::addCommand(QMenu* menu, const char* name, const QString& text,
                            void (TForm1::*handler)()) {
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

void TForm1::buildCommands() {
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
    QAction* N2 = addCommand(file, "N2", QStringLiteral("Создать"), &TForm1::N2Click);
    N2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    N2->setIcon(commandImage(CommandImage::Create));
    QAction* N3 = addCommand(file, "N3", QStringLiteral("Открыть"), &TForm1::N3Click);
    N3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    N3->setIcon(commandImage(CommandImage::Open));
    QAction* N4 = addCommand(file, "N4", QStringLiteral("Дополнить"), &TForm1::N4Click);
    QAction* N5 = addCommand(file, "N5", QStringLiteral("Сохранить"), &TForm1::N5Click);
    N5->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    N5->setIcon(commandImage(CommandImage::Save));
    QAction* N7 = addCommand(file, "N7", QStringLiteral("Закрыть"), &TForm1::N7Click);
    addSeparator(file, "N6");
    QAction* N8 =
        addCommand(file, "N8", QStringLiteral("Предварительный просмотр"), &TForm1::N8Click);
    N8->setIcon(commandImage(CommandImage::Preview));
    QAction* N9 = addCommand(file, "N9", QStringLiteral("Печать"), &TForm1::N9Click);
    N9->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    N9->setIcon(commandImage(CommandImage::Print));
    addSeparator(file, "N10");
    addCommand(file, "N11", QStringLiteral("Выход"), &TForm1::N11Click);

    QMenu* view = addMenu("N12", QStringLiteral("Вид"));
    QAction* N27 = addCommand(view, "N27", QStringLiteral("Выровнять столбцы"), &TForm1::N23Click);
    addSeparator(view, "N28");
    QAction* N29 = addCommand(view, "N29", QStringLiteral("Задать цвет"), &TForm1::N17Click);
    QAction* N30 = addCommand(view, "N30", QStringLiteral("Убрать цвет"), &TForm1::N18Click);
    QAction* N31 = addCommand(view, "N31", QStringLiteral("Убрать все цвета"), &TForm1::N19Click);
    addSeparator(view, "N32");
    QAction* N33 = addCommand(view, "N33", QStringLiteral("Убрать сортировку"), &TForm1::N33Click);

    QMenu* edit = addMenu("N13", QStringLiteral("Правка"));
    QAction* N34 = addCommand(edit, "N34", QStringLiteral("Удалить строки"), &TForm1::N21Click);
    N34->setIcon(commandImage(CommandImage::DeleteRows));

    QMenu* service = addMenu("N35", QStringLiteral("Сервис"));
    QAction* Excel1 =
        addCommand(service, "Excel1", QStringLiteral("Экспорт в Excel"), &TForm1::Excel1Click);
    QAction* N37 =
        addCommand(service, "N37", QStringLiteral("Перенумеровать строки"), &TForm1::N37Click);
    QAction* N36 =
        addCommand(service, "N36", QStringLiteral("Построить график"), &TForm1::N15Click);

    QMenu* help = addMenu("N14", QStringLiteral("Справка"));
    QAction* N24 = addCommand(help, "N24", QStringLiteral("Помощь"), &TForm1::N24Click);
    N24->setShortcut(QKeySequence(Qt::Key_F1));
    N24->setShortcutContext(Qt::WindowShortcut);
    N24->setIcon(commandImage(CommandImage::Help));
    addSeparator(help, "N25");
    addCommand(help, "N26", QStringLiteral("О программе"), &TForm1::N26Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addCommand(PopupMenu1, "N15", QStringLiteral("График"), &TForm1::N15Click);
    addCommand(PopupMenu1, "N22", QStringLiteral("Печать"), &TForm1::N22Click);
    addSeparator(PopupMenu1, "N16");
    addCommand(PopupMenu1, "N17", QStringLiteral("Задать цвет"), &TForm1::N17Click);
    addCommand(PopupMenu1, "N18", QStringLiteral("Убрать цвет"), &TForm1::N18Click);
    addCommand(PopupMenu1, "N19", QStringLiteral("Убрать все цвета"), &TForm1::N19Click);
    addSeparator(PopupMenu1, "N38");
    addCommand(PopupMenu1, "N23", QStringLiteral("Выровнять столбцы"), &TForm1::N23Click);
    addSeparator(PopupMenu1, "N20");
    addCommand(PopupMenu1, "N21", QStringLiteral("Удалить"), &TForm1::N21Click);
    DBGridPro1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridPro1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(DBGridPro1->mapToGlobal(at)); });

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
    const auto addButton = [&](const char* name, QAction* like, void (TForm1::*handler)()) {
        QAction* button = addCommand(nullptr, name, like->text(), handler);
        button->setIcon(like->icon());
        tools->addAction(button);
        return button;
    };
    addButton("ToolButton1", N2, &TForm1::N2Click);
    addButton("ToolButton2", N3, &TForm1::N3Click);
    QAction* ToolButton3 = addButton("ToolButton3", N5, &TForm1::N5Click);
    QAction* ToolButton4 = addButton("ToolButton4", N8, &TForm1::N8Click);
    QAction* ToolButton5 = addButton("ToolButton5", N9, &TForm1::N9Click);
    addButton("ToolButton6", N24, &TForm1::ToolButton6Click);

    tableCommands_ = {N4,  N5,  N7,  N8,  N9,     N27,         N29,         N30,        N31,
                      N33, N34, N36, N37, Excel1, ToolButton3, ToolButton4, ToolButton5};
}

void TForm1::FormCreate() {
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

    Dbf1.close();
    TableOpen = false;
    DBGridPro1->setTable(nullptr);
    DBGridPro1->setColumnCaption(MeasurementGrid::ColTExt, QStringLiteral("tн,°C"));
    DBGridPro1->setColumnCaption(MeasurementGrid::ColTIn, QStringLiteral("tв,°C"));
    DBGridPro1->ClearSort();
    disable_button();
    DBGridPro1->tab_vis_dis();
}

void TForm1::closeEvent(QCloseEvent* event) {
    runGuarded([this] { FormClose(); });
    event->accept();
}

void TForm1::FormClose() {
    settings_->setValue(kDefaultDirValue, rememberedFolder_);
    Close_DB();
    settings_->sync();
}

void TForm1::runGuarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        dialogs_.message(this, QString::fromUtf8(error.what()),
                         QGuiApplication::applicationDisplayName(), zond::ui::MessageIcon::Error,
                         QMessageBox::Ok);
    }
}

void TForm1::enable_button() {
    for (QAction* command : tableCommands_) {
        command->setEnabled(true);
    }
}

void TForm1::disable_button() {
    for (QAction* command : tableCommands_) {
        command->setEnabled(false);
    }
}

void TForm1::setTableBackground(bool open) {
    QWidget* client = centralWidget();
    QPalette palette = client->palette();
    palette.setColor(QPalette::Window,
                     QApplication::palette().color(open ? QPalette::Button : QPalette::Dark));
    client->setPalette(palette);
}

void TForm1::setTitle(const QString& title) {
    QGuiApplication::setApplicationDisplayName(title);
    setWindowTitle(title);
}

QString TForm1::currentTablePath() const {
    return QString::fromStdU16String(Dbf1.path().u16string());
}

void TForm1::openTableFile(const std::filesystem::path& path) {
    fields_ = zond::measurement::openMeasurementTable(Dbf1, path);
    DBGridPro1->setTable(&Dbf1);
}

void TForm1::showTableCommandsAndGrid() {
    enable_button();
    DBGridPro1->tab_vis_en();
    DBGridPro1->LoadGridLayout(kGridLayoutValue);
}

zond::ui::FileDialogRequest TForm1::fileDialogRequest(const QString& title, const QString& filter,
                                                      const QString& suffix) const {
    zond::ui::FileDialogRequest request;
    request.title = title;
    request.directory = dialogFolder_;
    request.filter = filter;
    request.defaultSuffix = suffix;
    return request;
}

// --- Open, Save, Close ---------------------------------------------------------------------

void TForm1::N3Click() {
    const QString path = dialogs_.openFileName(
        this, fileDialogRequest(QStringLiteral("Открыть"), QStringLiteral("Базы данных (*.db)"),
                                QStringLiteral("db")));
    if (path.isEmpty()) {
        return;
    }
    if (TableOpen) {
        Close_DB();
    }
    rememberedFolder_ = QFileInfo(path).absolutePath();
    Open_DB(path);
}

void TForm1::Open_DB(const QString& path) {
    if (TableOpen) {
        Close_DB();
    }
    try {
        openTableFile(toPath(path));
    } catch (const std::exception&) {
        Dbf1.close();
        dialogs_.error(this, QStringLiteral("База данных повреждена !"));
        return;
    }
    newTableLanguage_.noteOpened(Dbf1);
    TableOpen = true;
    find_mma();
    Dbf1.first();
    setTableBackground(true);
    showTableCommandsAndGrid();
    setTitle(QFileInfo(path).completeBaseName() + QStringLiteral(" - ") + ProductCaption);
    TableModified = false;
}

void TForm1::N5Click() {
    Save_DB();
}

void TForm1::Save_DB() {
    if (!TableOpen) {
        return;
    }
    if (Dbf1.isOpen()) {
        DBGridPro1->CommitCellEdit();
        // Closing writes everything through; opening again rereads the file.
        const std::filesystem::path path = Dbf1.path();
        const std::optional<std::string> index = Dbf1.selectedIndex();
        DBGridPro1->setTable(nullptr);
        Dbf1.close();
        openTableFile(path);
        if (index) {
            Dbf1.selectIndex(*index);
            DBGridPro1->reload();
        }
    }
    TableModified = false;
}

void TForm1::N7Click() {
    Close_DB();
}

void TForm1::Close_DB() {
    if (TableModified && dialogs_.message(this, QStringLiteral("Сохранить изменения в таблицах ?"),
                                          ProductCaption, zond::ui::MessageIcon::Question,
                                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
        Save_DB();
    }
    DBGridPro1->SaveGridLayout(kGridLayoutValue);
    TableOpen = false;
    TableModified = false;
    if (Dbf1.isOpen()) {
        std::filesystem::path index = Dbf1.path();
        DBGridPro1->setTable(nullptr);
        Dbf1.close();
        std::error_code ignored;
        std::filesystem::remove(index.replace_extension(".mdx"), ignored);
    }
    disable_button();
    DBGridPro1->tab_vis_dis();
    setTitle(ProductCaption);
    setTableBackground(false);
}

void TForm1::find_mma() {
    if (!Dbf1.isOpen()) {
        return;
    }
    statistics_ = zond::measurement::find_mma(Dbf1, fields_);
    DBGridPro1->setTableStatistics(statistics_);
}

// --- Create and Append ----------------------------------------------------------------------

int TForm1::showReceiveWindow() {
    return receiveWindow_ != nullptr ? receiveWindow_->runTransfer() : kTransferFailed;
}

void TForm1::N2Click() {
    if (TableOpen) {
        Close_DB();
    }
    const QString path = dialogs_.saveFileName(
        this, fileDialogRequest(QStringLiteral("Сохранить как"),
                                QStringLiteral("Файлы данных (*.db)"), QStringLiteral("db")));
    if (path.isEmpty()) {
        return;
    }
    if (showReceiveWindow() != kTransferDone) {
        return;
    }
    createPath_ = path;
    Create_DB();
}

void TForm1::Create_DB() {
    TableOpen = false;
    TableModified = false;
    DBGridPro1->setTable(nullptr);
    Dbf1.close();
    const std::filesystem::path path = toPath(createPath_);
    zond::measurement::createMeasurementTable(path, newTableLanguage_.id());
    openTableFile(path);
    TableOpen = true;
    setTableBackground(true);
    flash2zond05(ImportMode::Create);
    find_mma();
    showTableCommandsAndGrid();
    TableModified = false;
}

void TForm1::N4Click() {
    if (showReceiveWindow() == kTransferFailed) {
        return;
    }
    if (Dbf1.isOpen()) {
        DBGridPro1->ClearSort();
    }
    flash2zond05(ImportMode::Append);
    TableOpen = true;
    Save_DB();
    find_mma();
    DBGridPro1->tab_vis_en();
}

void TForm1::flash2zond05(ImportMode mode) {
    if (!Dbf1.isOpen() || receiveWindow_ == nullptr) {
        return;
    }
    const auto result = zond::instrument::importRecords(Dbf1, fields_, receiveWindow_->deviceInfo(),
                                                        receiveWindow_->deviceImage().assembled(),
                                                        mode, systemDecimalSeparator());
    DBGridPro1->reload();
    if (mode == ImportMode::Append) {
        dialogs_.information(
            this,
            QStringLiteral("Добавлено записей в базовый метод: ") + QString::number(result.added),
            QStringLiteral("Дополнение"));
    }
}

// --- Export ---------------------------------------------------------------------------------

void TForm1::Excel1Click() {
    if (TableOpen && Dbf1.isOpen()) {
        exp2excel();
    }
}

void TForm1::exp2excel() {
    if (!Dbf1.isOpen()) {
        return;
    }
    const QString path = dialogs_.saveFileName(
        this, fileDialogRequest(QStringLiteral("Сохранить как"),
                                QStringLiteral("Книга Excel (*.xls)"), QStringLiteral("xls")));
    if (path.isEmpty()) {
        return;
    }
    // The sheet takes the rows in file order; the grid shows them so afterwards.
    DBGridPro1->ClearSort();
    const std::filesystem::path file = toPath(path);
    if (zond::measurement::exp2excel(Dbf1, file)) {
        dialogs_.information(
            this, QString::fromStdString(zond::measurement::exportSuccessText(file)),
            QString::fromUtf8(zond::measurement::kExportCaption.data(),
                              qsizetype(zond::measurement::kExportCaption.size())));
    }
}

// --- Report -------------------------------------------------------------------------------

void TForm1::N8Click() {
    report_->preview(this, &Dbf1);
}

void TForm1::N9Click() {
    report_->print(this, &Dbf1);
}

void TForm1::N22Click() {
    N9Click();
}

// --- Exit, help, about ----------------------------------------------------------------------

void TForm1::N11Click() {
    // The same way out as the close box: the folder, the save question, the layout, the index.
    close();
}

void TForm1::N24Click() {
    if (!zond::app::showHelpContents()) {
        dialogs_.error(this, QStringLiteral("Не удалось открыть справку: ") +
                                 zond::app::applicationHelpFile());
    }
}

void TForm1::ToolButton6Click() {
    N24Click();
}

void TForm1::N26Click() {
    if (aboutWindow_ != nullptr) {
        aboutWindow_->exec();
    }
}

// --- Grid commands --------------------------------------------------------------------------

void TForm1::withOpenTable(void (MeasurementGrid::*operation)()) {
    if (Dbf1.isOpen()) {
        (DBGridPro1->*operation)();
    }
}

void TForm1::N17Click() {
    withOpenTable(&MeasurementGrid::ChooseCurrentColumnColor);
}

void TForm1::N18Click() {
    withOpenTable(&MeasurementGrid::ClearCurrentColumnColor);
}

void TForm1::N19Click() {
    withOpenTable(&MeasurementGrid::ClearColumnColors);
}

void TForm1::N23Click() {
    withOpenTable(&MeasurementGrid::EqualizeColumns);
}

void TForm1::N33Click() {
    DBGridPro1->ClearSort();
}

void TForm1::N21Click() {
    if (Dbf1.isOpen()) {
        DBGridPro1->DeleteSelectedRows();
        TableModified = false;
    }
    find_mma();
}

void TForm1::setChartCommand(zond::app::ChartCommand* charts) {
    charts_ = charts;
    charts_->setDecimalSeparator(systemDecimalSeparator());
}

void TForm1::N15Click() {
    if (charts_ != nullptr && Dbf1.isOpen()) {
        charts_->N15Click(DBGridPro1->selection(), zond::app::chartFooters(*DBGridPro1),
                          DBGridPro1->currentEnCh());
    }
}

void TForm1::N37Click() {
    if (TableOpen) {
        DBGridPro1->RenumberRows();
    }
}
