// The main window driven as a user would: commands, table life, Create and Append through the
// receive window and the emulator, closing and exit.
#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>
#include <QTextBrowser>
#include <QToolBar>
#include <QtTest>
#include <cmath>

#include "app/grid/measurement_grid.h"
#include "app/help.h"
#include "app_fixture.h"
#include "chart/chart_command.h"
#include "measurement/measurement_schema.h"

using zond::test::Emulator;
using zond::test::PrivateSettings;
using zond::test::ProgramWindows;

namespace {

const QStringList kTableCommands = {
    "N4",          "N5",          "N7",       "N8",          "N9",          "N27",
    "N29",         "N30",         "N31",      "N33",         "N34",         "N36",
    "N37",         "Excel1",      "ExportAs", "ToolButton3", "ToolButton4", "ToolButton5",
    "Resistance1", "Resistance2", "SelectAll"};
const QStringList kAlwaysEnabled = {
    "N2",  "N3",  "N11", "N24", "N26", "ToolButton1", "ToolButton2",  "ToolButton6",     "N15",
    "N22", "N17", "N18", "N19", "N23", "N21",         "PortSettings", "CommunicationLog"};
const QString kDamaged = QStringLiteral("База данных повреждена !");

QAction* command(MainWindow& form, const QString& name) {
    auto* action = form.findChild<QAction*>(name);
    if (action == nullptr) {
        qFatal("no command %s", qPrintable(name));
    }
    return action;
}

struct Row {
    double q1, q2, q3;
    const char* date;
    const char* time;
};

// A measurement table written through the table layer, row by row.
void writeTable(const QString& path, const std::vector<Row>& rows) {
    namespace field = zond::measurement::field;
    zond::measurement::createMeasurementTable(path.toStdString());
    zond::dbf::DbfTable table;
    table.open(path.toStdString());
    int n = 0;
    for (const Row& row : rows) {
        auto record = table.blankRecord();
        record.setInteger(table.fieldIndex(field::kN), ++n);
        record.setInteger(table.fieldIndex(field::kEnCh), 3);
        record.setDouble(table.fieldIndex(field::kTavis1), row.q1);
        record.setDouble(table.fieldIndex(field::kTavis2), row.q2);
        record.setDouble(table.fieldIndex(field::kTavis3), row.q3);
        record.setText(table.fieldIndex(field::kDate), row.date);
        record.setText(table.fieldIndex(field::kTime), row.time);
        table.append(record);
    }
    table.close();
}

// Two rows ten minutes apart; q1 of the second row as given.
std::vector<Row> sampleRows(double secondQ1 = 4) {
    return {{1, 2, 3, "01.02.2009", "10:00:00"}, {secondQ1, 5, 6, "01.02.2009", "10:10:00"}};
}

// One field of every record, as python3-dbfread reads the file.
QStringList readWithDbfread(const QString& path, const QString& fieldName) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys\nfrom dbfread import DBF\n"
                                 "for r in DBF(sys.argv[1], encoding='cp1251'):\n"
                                 "    print(r[sys.argv[2]])\n"),
                  path, fieldName});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qFatal("dbfread failed: %s", python.readAllStandardError().constData());
    }
    return QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// min / rounded average / max of one column, worked out here from the values dbfread gives.
std::array<double, 3> expectedFigures(const QStringList& values) {
    double low = values.first().toDouble(), high = low, sum = 0;
    for (const QString& text : values) {
        const double v = text.toDouble();
        low = std::min(low, v);
        high = std::max(high, v);
        sum += v;
    }
    const double average = std::trunc(sum / values.size() / 0.1 + 0.5) * 0.1;
    return {low, average, high};
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int gridRows(MainWindow& form) {
    return form.grid()->tableView()->model()->rowCount();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        settings_ = std::make_unique<PrivateSettings>();
        QVERIFY(work_.isValid());
    }
    void cleanup() { settings_.reset(); }

    void commandsFollowTheTableState() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        const auto checkState = [&](bool open) {
            for (const QString& name : kTableCommands) {
                QVERIFY2(command(form, name)->isEnabled() == open, qPrintable(name));
            }
            for (const QString& name : kAlwaysEnabled) {
                QVERIFY2(command(form, name)->isEnabled(), qPrintable(name));
            }
            QCOMPARE(form.grid()->isVisibleTo(&form), open);
            QCOMPARE(form.centralWidget()->palette().color(QPalette::Window),
                     QApplication::palette().color(open ? QPalette::Button : QPalette::Dark));
        };
        // The chart command stays enabled but offers its choice only over an open table.
        zond::chart::ChartCommand charts(&form, &program.dialogs);
        form.setChartCommand(&charts);
        const auto chartChoiceShown = [&] {
            bool shown = false;
            QTimer::singleShot(0, [&] {
                shown = charts.choiceDialog().isVisible();
                charts.choiceDialog().reject();
            });
            command(form, "N15")->trigger();
            QCoreApplication::processEvents();
            return shown;
        };
        checkState(false);
        QCOMPARE(form.windowTitle(), ProductCaption);
        QVERIFY(form.windowState() & Qt::WindowMaximized);
        QVERIFY(!chartChoiceShown());

        openNewTable(form, QStringLiteral("state.db"));
        checkState(true);
        QVERIFY(chartChoiceShown());
        command(form, "N7")->trigger();
        checkState(false);
        QCOMPARE(form.windowTitle(), ProductCaption);
        QVERIFY(program.dialogs.messages.empty());
    }

    void commandMapShortcutsAndToolBar() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        QCOMPARE(command(form, "N2")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(command(form, "N3")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(command(form, "N5")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(command(form, "N9")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
        QCOMPARE(command(form, "N24")->shortcut(), QKeySequence(Qt::Key_F1));
        auto* tools = form.findChild<QToolBar*>(QStringLiteral("ToolBar1"));
        QVERIFY(tools != nullptr);
        QStringList order;
        for (QAction* action : tools->actions()) {
            order << action->objectName();
            QVERIFY(!action->icon().isNull());
        }
        QCOMPARE(order, QStringList({"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton4",
                                     "ToolButton5", "ToolButton6"}));
    }

    void helpOpensTheSameFileFromF1TheMenuAndTheToolButton() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        zond::app::setApplicationHelpFile(work_.filePath("guide.html"));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F1);
        command(form, "N24")->trigger();
        command(form, "ToolButton6")->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        const QUrl expected = QUrl::fromLocalFile(work_.filePath("guide.html"));
        QCOMPARE(opened_, QList<QUrl>({expected, expected, expected}));
    }

    // With nothing on PATH to open the guide, F1 shows it in the program's own viewer.
    void helpWithoutAViewerOpensTheBuiltInOne() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        QFile guide(work_.filePath("guide.html"));
        QVERIFY(guide.open(QIODevice::WriteOnly));
        guide.write("<html><body><h1>Руководство пользователя</h1></body></html>");
        guide.close();
        zond::app::setApplicationHelpFile(guide.fileName());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", work_.path().toLocal8Bit());  // no xdg-open, no browser
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F1);
        qputenv("PATH", path);
        QVERIFY(program.dialogs.messages.empty());
        zond::app::HelpViewer* viewer = form.helpViewer();
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->isVisible());
        QVERIFY(viewer->browser()->toPlainText().contains("Руководство пользователя"));
        QVERIFY(QTest::qWaitForWindowActive(viewer));
        QTest::keyClick(viewer->browser(), Qt::Key_Escape);
        QVERIFY(!viewer->isVisible());
    }

    // Ctrl+A and "Выделить все" take every row; Сохранить keeps the selection and the place.
    void selectAllTakesEveryRowAndSaveKeepsIt() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        std::vector<Row> rows;
        for (int i = 0; i < 300; ++i) {
            rows.push_back(
                {i % 3 == 0 ? 1.0 : (i % 3 == 1 ? 4.0 : 7.0), 0, 0, "01.02.2009", "10:00:00"});
        }
        openNewTable(form, QStringLiteral("all.db"), rows);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTableView* view = form.grid()->tableView();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(form.grid()->selection().size(), std::size_t(300));
        // Minimum, average and maximum of the whole table: 1, 4, 7.
        QCOMPARE(form.grid()->footerText(zond::app::MeasurementGrid::ColQ1), QString("1/4/7"));

        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
        const int scrolled = view->verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        command(form, "N5")->trigger();
        QCOMPARE(form.grid()->selection().size(), std::size_t(300));
        QCOMPARE(view->verticalScrollBar()->value(), scrolled);

        // The grid's menu has it too.
        form.grid()->setTable(&form.table());  // as a sort does: no row selected
        QVERIFY(form.grid()->selection().empty());
        command(form, "SelectAll")->trigger();
        QCOMPARE(form.grid()->selection().size(), std::size_t(300));
        QCOMPARE(command(form, "SelectAll")->text(), QString("Выделить все"));
    }

    void firstStartWritesTheFolderAndClosingStoresTheTablesFolder() {
        QVERIFY(!settings_->open()->contains("Default_dir"));
        {
            ProgramWindows program;
            QCOMPARE(settings_->open()->value("Default_dir").toString(), QDir::currentPath());
            QDir(work_.path()).mkdir("other");
            const QString path = work_.filePath("other/obj1.db");
            writeTable(path, {sampleRows().front()});
            program.dialogs.fileNames.push_back(path);
            command(program.form1, "N3")->trigger();
            QCOMPARE(program.dialogs.openRequests.front().directory, QDir::currentPath());
            program.form1.close();
        }
        QCOMPARE(settings_->open()->value("Default_dir").toString(), work_.filePath("other"));
        ProgramWindows next;
        next.dialogs.fileNames.push_back(QString());
        command(next.form1, "N3")->trigger();
        QCOMPARE(next.dialogs.openRequests.front().directory, work_.filePath("other"));
    }

    void openShowsTheFileNameAndTheFigures() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        const QString path = work_.filePath("obj1.db");
        writeTable(path, {{1.2, -5, 10, "01.02.2009", "10:00:00"},
                          {1.32, -7, 30, "01.02.2009", "10:10:00"}});
        program.dialogs.fileNames.push_back(path);
        command(form, "N3")->trigger();
        const auto& request = program.dialogs.openRequests.at(0);
        QVERIFY(request.filter.contains("*.db"));
        QCOMPARE(request.defaultSuffix, QStringLiteral("db"));
        QVERIFY(form.tableOpen());
        QCOMPARE(form.windowTitle(), QStringLiteral("obj1 - ЗОНД-8Т \"Тавис\""));
        QCOMPARE(QGuiApplication::applicationDisplayName(), form.windowTitle());
        const auto& figures = form.channelStatistics();
        QCOMPARE(figures.minimum[0], 1.2);
        QCOMPARE(figures.maximum[0], 1.32);
        QVERIFY(std::abs(figures.average[0] - 1.3) < 1e-9);
        // -6 rounds toward zero after adding 0.5: trunc(-59.5) / 10.
        QVERIFY(std::abs(figures.average[1] - -5.9) < 1e-9);
        QVERIFY(std::abs(figures.average[2] - 20.0) < 1e-9);
        QCOMPARE(gridRows(form), 2);
        // The settings hold a column layout once a table was shown.
        QVERIFY(settings_->open()->contains("Table_1"));
    }

    void exportWritesAWorkbookAndSaysSo() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        const QString path = work_.filePath("obj1.db");
        writeTable(path, {{1.5, 2, 3, "01.02.2009", "10:00:00"},
                          {4.5, 5, 6, "01.02.2009", "10:10:00"},
                          {7.5, 8, 9, "01.02.2009", "10:20:00"}});
        form.openTable(path);
        const QString book = work_.filePath("obj1.xls");
        program.dialogs.fileNames.push_back(book);
        command(form, "Excel1")->trigger();
        QVERIFY(program.dialogs.saveRequests.at(0).filter.contains("*.xls"));
        QCOMPARE(program.dialogs.messageTexts(),
                 QStringList({"Эксторт в Excel в файл obj1.xls завершен успешно."}));
        QCOMPARE(program.dialogs.messages[0].caption, QStringLiteral("Экспорт в Excel"));

        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import sys, xlrd\nsheet = xlrd.open_workbook(sys.argv[1])"
                                     ".sheet_by_index(0)\nprint(sheet.nrows)\n"
                                     "print(sheet.cell_value(3, 5))\n"),
                      book});
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).split('\n').mid(0, 2),
                 QStringList({"4", "7.5"}));
        QVERIFY(form.tableOpen());
    }

    void saveKeepsTheSortAndCloseRemovesItsIndex() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        openNewTable(form, QStringLiteral("sorted.db"), sampleRows(9));
        form.table().addSortIndex("tab1", "TAVIS_1", true);
        form.table().selectIndex("tab1");
        command(form, "N5")->trigger();
        QVERIFY(form.table().isOpen());
        QCOMPARE(form.table().selectedIndex().value_or(""), std::string("tab1"));
        QVERIFY(QFile::exists(work_.filePath("sorted.mdx")));
        command(form, "N7")->trigger();
        QVERIFY(!QFile::exists(work_.filePath("sorted.mdx")));
        QVERIFY(program.dialogs.messages.empty());
    }

    void contextMenuOpensOverTheGrid() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        openNewTable(form, QStringLiteral("menu.db"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* popup = form.findChild<QMenu*>(QStringLiteral("PopupMenu1"));
        QVERIFY(popup != nullptr);
        QStringList items;
        for (QAction* action : popup->actions()) {
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QCOMPARE(items, QStringList({"График", "Печать", "Термическое сопротивление…", "-",
                                     "Задать цвет", "Убрать цвет", "Убрать все цвета", "-",
                                     "Выровнять столбцы", "-", "Выделить все", "Удалить"}));
        QWidget* rows = form.grid()->tableView()->viewport();
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                                rows->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(rows, &click);
        QTRY_VERIFY(popup->isVisible());
        popup->close();
    }

    void cancellingOpenKeepsTheTableAndAsksNothing() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        openNewTable(form, QStringLiteral("kept.db"));
        program.form1.grid()->editStarted();
        program.dialogs.fileNames.push_back(QString());
        command(form, "N3")->trigger();
        QVERIFY(form.tableOpen());
        QVERIFY(program.dialogs.messages.empty());
    }

    void damagedOrHeldFilesAreRefused() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        const QString good = work_.filePath("good.db");
        writeTable(good, {sampleRows().front()});

        const QString damaged = work_.filePath("damaged.db");
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(300, '\x07'));
        file.close();

        form.openTable(good);
        QVERIFY(form.tableOpen());
        form.openTable(damaged);
        QVERIFY(!form.tableOpen());
        QVERIFY(!form.table().isOpen());
        QVERIFY(!command(form, "N5")->isEnabled());
        QCOMPARE(form.windowTitle(), ProductCaption);
        QCOMPARE(program.dialogs.messages.size(), std::size_t(1));
        QCOMPARE(program.dialogs.messages[0].text, kDamaged);
        QCOMPARE(program.dialogs.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(program.dialogs.messages[0].icon, zond::ui::MessageIcon::Error);

        // Another process holds the file.
        QProcess holder;
        holder.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import fcntl, sys\nf = open(sys.argv[1], 'r+b')\n"
                                     "fcntl.flock(f, fcntl.LOCK_EX)\nprint('held', flush=True)\n"
                                     "sys.stdin.read()\n"),
                      good});
        QVERIFY(holder.waitForReadyRead(10000));
        form.openTable(good);
        QVERIFY(!form.tableOpen());
        QCOMPARE(program.dialogs.messageTexts(), QStringList({kDamaged, kDamaged}));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        form.openTable(good);
        QVERIFY(form.tableOpen());
    }

    void closeAsksOnlyAfterACellEdit() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        const QString path = openNewTable(form, QStringLiteral("edit.db"), sampleRows());
        command(form, "N7")->trigger();
        QVERIFY(program.dialogs.messages.empty());

        // Yes keeps the comment being typed; No loses it.
        for (const auto answer : {QMessageBox::Yes, QMessageBox::No}) {
            program.dialogs.clear();
            form.openTable(path);
            QVERIFY(!form.tableModified());
            typeComment(form, answer == QMessageBox::Yes ? "да" : "нет");
            QVERIFY(form.tableModified());
            program.dialogs.answers.push_back(answer);
            command(form, "N7")->trigger();
            QCOMPARE(program.dialogs.messages.size(), std::size_t(1));
            QCOMPARE(program.dialogs.messages[0].text,
                     QStringLiteral("Сохранить изменения в таблицах ?"));
            QCOMPARE(program.dialogs.messages[0].caption, ProductCaption);
            QCOMPARE(program.dialogs.messages[0].icon, zond::ui::MessageIcon::Question);
            QCOMPARE(program.dialogs.messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
            QVERIFY(!form.tableOpen());
            QCOMPARE(readWithDbfread(path, "COMMENT").value(0), QStringLiteral("да"));
        }
    }

    void exitTakesTheClosingPath() {
        const QString path = work_.filePath("exit/obj1.db");
        QDir(work_.path()).mkdir("exit");
        writeTable(path, {sampleRows().front()});
        QFile index(work_.filePath("exit/obj1.mdx"));
        {
            ProgramWindows program;
            program.dialogs.fileNames.push_back(path);
            command(program.form1, "N3")->trigger();
            QVERIFY(index.open(QIODevice::WriteOnly));
            index.close();
            typeComment(program.form1, "комментарий");
            program.dialogs.answers.push_back(QMessageBox::Yes);
            program.form1.show();
            command(program.form1, "N11")->trigger();
            QVERIFY(!program.form1.isVisible());
            QCOMPARE(program.dialogs.messages.size(), std::size_t(1));
        }
        QVERIFY(!index.exists());
        QCOMPARE(settings_->open()->value("Default_dir").toString(), work_.filePath("exit"));
        QCOMPARE(readWithDbfread(path, "COMMENT"), QStringList({"комментарий"}));
    }

    void createFetchesTheInstrumentIntoANewTable() {
        Emulator instrument({"--records", "37", "--seed", "5"});
        settings_->pointPortAt(1, instrument.device());
        ProgramWindows program;
        MainWindow& form = program.form1;
        const QString path = work_.filePath("created.db");
        program.dialogs.fileNames.push_back(path);
        command(form, "N2")->trigger();

        const auto& request = program.dialogs.saveRequests.at(0);
        QVERIFY(request.filter.contains("*.db"));
        QVERIFY(request.fileName.isEmpty());
        QVERIFY(program.dialogs.messages.empty());
        QVERIFY(form.tableOpen());
        QVERIFY(!form.tableModified());
        QCOMPARE(form.windowTitle(), ProductCaption);
        QVERIFY(command(form, "N4")->isEnabled());
        QCOMPARE(gridRows(form), 37);
        QVERIFY(form.grid()->isVisibleTo(&form));

        form.closeTable();
        QCOMPARE(readWithDbfread(path, "N").size(), 37);
        for (int channel = 0; channel < 3; ++channel) {
            const auto expected =
                expectedFigures(readWithDbfread(path, QStringLiteral("TAVIS_%1").arg(channel + 1)));
            const auto& figures = form.channelStatistics();
            QCOMPARE(figures.minimum[channel], expected[0]);
            QVERIFY(std::abs(figures.average[channel] - expected[1]) < 1e-9);
            QCOMPARE(figures.maximum[channel], expected[2]);
        }
    }

    void createKeepsTheRowsBeforeAnImpossibleRecord() {
        // Three records of one memory, the second dated 31 April.
        QByteArray image("\x03\x00", 2);
        for (const int day : {30, 31, 30}) {
            const char record[17] = {0, 0x29, 0x09, char(0x9C), char(0xFF), 0, 0, 10, char(day),
                                     4, 9,    1,    0,          0,          0, 0, 0};
            image.append(record, sizeof record);
        }
        QFile stored(work_.filePath("stored.img"));
        QVERIFY(stored.open(QIODevice::WriteOnly) && stored.write(image) == image.size());
        stored.close();
        Emulator instrument({"--image", stored.fileName(), "--sensors", "1,0,0"});
        settings_->pointPortAt(1, instrument.device());
        ProgramWindows program;
        MainWindow& form = program.form1;
        const QString path = work_.filePath("kept.db");
        program.dialogs.fileNames.push_back(path);
        command(form, "N2")->trigger();

        QCOMPARE(program.dialogs.messages.size(), std::size_t(1));
        const QString& text = program.dialogs.messages[0].text;
        QVERIFY2(text.contains("записи № 2 (31.04.2009 10:00:00)"), qPrintable(text));
        QVERIFY2(text.contains("Сохранено записей до неё: 1."), qPrintable(text));
        QVERIFY(form.tableOpen());
        QCOMPARE(gridRows(form), 1);
        QVERIFY(command(form, "N4")->isEnabled());
        form.closeTable();
        QCOMPARE(readWithDbfread(path, "N"), QStringList({"1"}));
    }

    void appendAddsWhatIsNewAndSaysHowMany() {
        const QStringList timeline = {"--start", "01.03.2009 08:00:00", "--interval", "600"};
        const QString path = work_.filePath("append.db");
        ProgramWindows program;
        MainWindow& form = program.form1;
        {
            Emulator instrument(QStringList({"--records", "10"}) + timeline);
            settings_->pointPortAt(1, instrument.device());
            program.dialogs.fileNames.push_back(path);
            command(form, "N2")->trigger();
            QCOMPARE(gridRows(form), 10);
        }
        Emulator instrument(QStringList({"--records", "14"}) + timeline);
        settings_->pointPortAt(1, instrument.device());
        command(form, "N4")->trigger();
        command(form, "N4")->trigger();
        QCOMPARE(program.dialogs.messageTexts(),
                 QStringList({"Добавлено записей в базовый метод: 4",
                              "Добавлено записей в базовый метод: 0"}));
        QCOMPARE(program.dialogs.messages[0].caption, QStringLiteral("Дополнение"));
        QCOMPARE(program.dialogs.messages[0].icon, zond::ui::MessageIcon::Information);
        QCOMPARE(gridRows(form), 14);
        QVERIFY(!form.tableModified());
        // Saved: another reader sees the appended rows while the table is still open.
        form.closeTable();
        QCOMPARE(readWithDbfread(path, "N").size(), 14);
        QCOMPARE(form.channelStatistics().maximum[0],
                 expectedFigures(readWithDbfread(path, "TAVIS_1"))[2]);
    }

    void createClosesTheOpenTableBeforeTheDialog() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        openNewTable(form, QStringLiteral("before.db"), sampleRows());
        form.grid()->editStarted();
        program.dialogs.answers.push_back(QMessageBox::No);
        program.dialogs.fileNames.push_back(QString());
        command(form, "N2")->trigger();
        QCOMPARE(program.dialogs.messageTexts(), QStringList({"Сохранить изменения в таблицах ?"}));
        QCOMPARE(program.dialogs.saveRequests.size(), std::size_t(1));
        QVERIFY(!form.tableOpen());
        QVERIFY(!form.table().isOpen());
        QCOMPARE(form.windowTitle(), ProductCaption);
    }

    void appendAfterASortBringsFileOrderBack() {
        const QString path = work_.filePath("sorted-append.db");
        ProgramWindows program;
        MainWindow& form = program.form1;
        {
            Emulator instrument({"--records", "6"});
            settings_->pointPortAt(1, instrument.device());
            program.dialogs.fileNames.push_back(path);
            command(form, "N2")->trigger();
        }
        form.table().addSortIndex("tab1", "TAVIS_1", false);
        form.table().selectIndex("tab1");
        Emulator instrument({"--records", "9"});
        settings_->pointPortAt(1, instrument.device());
        command(form, "N4")->trigger();
        QCOMPARE(program.dialogs.messageTexts(),
                 QStringList({"Добавлено записей в базовый метод: 3"}));
        QVERIFY(!form.table().selectedIndex());
        QCOMPARE(gridRows(form), 9);
        // The figures cover the appended rows.
        const auto expected = expectedFigures(readWithDbfread(path, "TAVIS_1"));
        QCOMPARE(form.channelStatistics().minimum[0], expected[0]);
        QVERIFY(std::abs(form.channelStatistics().average[0] - expected[1]) < 1e-9);
        QCOMPARE(form.channelStatistics().maximum[0], expected[2]);
    }

    void undoPutsDeletedRowsBackInTheirFilePlaces() {
        ProgramWindows program;
        MainWindow& form = program.form1;
        const QString path = work_.filePath("undo.db");
        std::vector<Row> rows;
        const char* const times[] = {"10:00:00", "10:10:00", "10:20:00", "10:30:00",
                                     "10:40:00", "10:50:00", "11:00:00"};
        for (int i = 0; i < 7; ++i) {
            rows.push_back({i + 1.0, 0, 0, "01.02.2009", times[i]});
        }
        writeTable(path, rows);
        const QByteArray before = fileBytes(path);
        program.dialogs.fileNames.push_back(path);
        command(form, "N3")->trigger();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!command(form, "undoDelete")->isEnabled());
        const QString footer = form.grid()->footerText(zond::app::MeasurementGrid::ColQ1);

        // Three scattered rows, the largest q1 among them.
        QTableView* view = form.grid()->tableView();
        for (const int row : {1, 3, 6}) {
            const QRect cell = view->visualRect(view->model()->index(row, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
        }
        command(form, "N34")->trigger();
        QCOMPARE(gridRows(form), 4);
        QCOMPARE(form.channelStatistics().maximum[0], 6.0);
        QVERIFY(command(form, "undoDelete")->isEnabled());
        QCOMPARE(command(form, "undoDelete")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));

        command(form, "undoDelete")->trigger();
        QVERIFY(program.dialogs.messages.empty());
        QCOMPARE(gridRows(form), 7);
        QCOMPARE(form.channelStatistics().maximum[0], 7.0);
        QCOMPARE(form.grid()->footerText(zond::app::MeasurementGrid::ColQ1), footer);
        QVERIFY(!command(form, "undoDelete")->isEnabled());
        // Every record in its former place, byte for byte; the header differs in its date only.
        const QByteArray after = fileBytes(path);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.left(1), before.left(1));
        QCOMPARE(after.mid(4), before.mid(4));
    }

    void createIntoAFolderThatIsNotThereIsRefusedBeforeTheTransfer() {
        Emulator instrument({"--records", "3", "--log", work_.filePath("sim.log")});
        settings_->pointPortAt(1, instrument.device());
        ProgramWindows program;
        MainWindow& form = program.form1;
        program.dialogs.fileNames.push_back(work_.filePath("missing/folder/new.db"));
        command(form, "N2")->trigger();
        QVERIFY(!form.tableOpen());
        QVERIFY(!command(form, "N5")->isEnabled());
        QCOMPARE(program.dialogs.messages.size(), std::size_t(1));
        QCOMPARE(program.dialogs.messages[0].icon, zond::ui::MessageIcon::Error);
        QVERIFY(program.dialogs.messages[0].text.contains("missing/folder"));
        QFile log(work_.filePath("sim.log"));  // the instrument was never asked
        QVERIFY(!log.open(QIODevice::ReadOnly) || !log.readAll().contains('V'));
    }

    void createWithoutAnInstrumentMakesNothing() {
        Emulator first({"--fault", "silent", "--log", work_.filePath("com1.log")});
        Emulator second({"--fault", "silent", "--log", work_.filePath("com2.log")});
        settings_->pointPortAt(1, first.device());
        settings_->pointPortAt(2, second.device());
        ProgramWindows program;
        MainWindow& form = program.form1;
        const QString path = work_.filePath("nothing.db");
        program.dialogs.fileNames.push_back(path);
        command(form, "N2")->trigger();

        QVERIFY(!form.tableOpen());
        QVERIFY(!form.table().isOpen());
        QVERIFY(!QFile::exists(path));
        QVERIFY(!command(form, "N5")->isEnabled());
        QCOMPARE(program.dialogs.messages.size(), std::size_t(1));
        QVERIFY(program.dialogs.messages[0].text.startsWith("Прибор не обнаружен!"));
        for (const char* log : {"com1.log", "com2.log"}) {
            QFile file(work_.filePath(log));
            QVERIFY2(file.open(QIODevice::ReadOnly), log);
            QVERIFY2(file.readAll().contains('V'), log);
        }
    }

  public slots:
    void recordUrl(const QUrl& url) { opened_ << url; }

  private:
    // Writes a table of the given rows into the work folder and opens it in the window.
    QString openNewTable(MainWindow& form, const QString& name,
                         const std::vector<Row>& rows = {sampleRows().front()}) {
        const QString path = work_.filePath(name);
        writeTable(path, rows);
        form.openTable(path);
        return path;
    }

    // Starts the comment editor on the first row, types text and leaves the edit in progress.
    static void typeComment(MainWindow& form, const QString& text) {
        QTableView* view = form.grid()->tableView();
        const QAbstractItemModel* model = view->model();
        int commentColumn = -1;
        for (int c = 0; c < model->columnCount(); ++c) {
            if (model->flags(model->index(0, c)) & Qt::ItemIsEditable) {
                commentColumn = c;
            }
        }
        QVERIFY(commentColumn >= 0);
        view->setCurrentIndex(model->index(0, commentColumn));
        view->edit(view->currentIndex());
        auto* editor = view->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        editor->setText(text);
    }

    std::unique_ptr<PrivateSettings> settings_;
    QTemporaryDir work_;
    QList<QUrl> opened_;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
