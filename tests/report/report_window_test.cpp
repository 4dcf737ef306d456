// The report's windows and commands, driven as a user would, answers given by stand-ins.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "fake_rows.h"
#include "report/report_file.h"
#include "report/windows/page_view.h"
#include "report/windows/preview_window.h"
#include "report/windows/print_dialog.h"
#include "report/windows/progress_window.h"
#include "report/windows/report_commands.h"
#include "report_test_support.h"

namespace zond::report {

using testing::FakeDialogs;
using testing::MeasurementRow;
using testing::PdfPrinters;

namespace {

ReportDocument layOut(int rows) {
    testing::FakeRows source(testing::numberedRows(rows));
    return *layoutReport(measurementReportTemplate(), source);
}

// Texts of the tool bar's buttons, in order.
QStringList toolBarTexts(const QToolBar& bar) {
    QStringList texts;
    for (QAction* action : bar.actions()) {
        if (auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(action))) {
            texts << button->text();
        }
    }
    return texts;
}

// Watches for the modal preview a command opens, notes what it shows and closes it. It polls,
// since the progress window lets events run while the pages are laid out.
class PreviewWatch {
  public:
    bool shown = false;
    QString title;
    ReportDocument document;
    std::function<void(PreviewWindow&)> onShown;  // runs before the window is closed

    PreviewWatch() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* window = qobject_cast<PreviewWindow*>(QApplication::activeModalWidget())) {
                shown = true;
                title = window->windowTitle();
                document = window->document();
                if (onShown) {
                    onShown(*window);
                }
                window->accept();
            }
        });
        timer_.start();
    }

  private:
    QTimer timer_;
};

// Runs the preview and the print command on a table; true when either showed or printed anything.
bool commandsShowOrPrint(ReportCommands& commands, const dbf::DbfTable* table,
                         const PdfPrinters& printers) {
    PreviewWatch watch;
    commands.preview(nullptr, table);
    commands.print(nullptr, table);
    QTest::qWait(10);
    return watch.shown || printers.dialogsShown > 0 || QFile::exists(printers.outputPath);
}

class CancellingProgress final : public LayoutProgress {
  public:
    bool step(LayoutPass, int) override { return false; }
};

}  // namespace

class ReportWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;

    std::filesystem::path tablePath(const char* name) const {
        return folder_.filePath(QString::fromLatin1(name)).toStdString();
    }

    // Writes the rows into a new measurement table of that name and opens it in `table`.
    void openNewTable(dbf::DbfTable& table, const char* name,
                      const std::vector<MeasurementRow>& rows) const {
        const auto path = tablePath(name);
        testing::writeMeasurementTable(path, rows);
        measurement::openMeasurementTable(table, path);
    }

  private slots:
    void progressWindowShowsThePassesAndCancels() {
        ProgressWindow window(nullptr);
        QCOMPARE(window.windowTitle(), QStringLiteral("Подготовка отчета"));
        QVERIFY(window.step(LayoutPass::Counting, 3));
        QCOMPARE(window.stageText(), QStringLiteral("Выполняется 1-й проход:"));
        QCOMPARE(window.numberText(), QStringLiteral("3"));
        QVERIFY(window.step(LayoutPass::Producing, 2));
        QCOMPARE(window.stageText(), QStringLiteral("Формируется страница:"));
        QCOMPARE(window.numberText(), QStringLiteral("2"));
        window.cancelButton()->click();
        QVERIFY(!window.step(LayoutPass::Producing, 3));
    }

    void printDialogOffersPrintersCopiesAndPageLists() {
        PrintDialog dialog({"Первый", "Второй"}, "Второй", std::nullopt, nullptr);
        QVERIFY(!dialog.currentPageButton());  // not offered without a current page
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Печать"));
        QCOMPARE(dialog.printerBox()->currentText(), QStringLiteral("Второй"));
        QVERIFY(dialog.allPagesButton()->isChecked());
        QCOMPARE(dialog.copiesBox()->value(), 1);
        PrintRequest request = dialog.request();
        QVERIFY(request.pageNumbers.isEmpty());
        QCOMPARE(request.parity, PageParity::All);

        QTest::keyClicks(dialog.pageNumbersEdit(), "1,3,5-");
        QVERIFY(dialog.pageNumbersButton()->isChecked());
        QVERIFY(!dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.pageNumbersEdit(), "12");
        QVERIFY(dialog.okButton()->isEnabled());
        dialog.copiesBox()->setValue(3);
        dialog.collateBox()->setChecked(false);
        dialog.parityBox()->setCurrentIndex(2);
        dialog.printerBox()->setCurrentIndex(0);
        request = dialog.request();
        QCOMPARE(request.printerName, QStringLiteral("Первый"));
        QCOMPARE(request.pageNumbers, QStringLiteral("1,3,5-12"));
        QCOMPARE(request.copies, 3);
        QVERIFY(!request.collate);
        QCOMPARE(request.parity, PageParity::Even);

        dialog.allPagesButton()->setChecked(true);  // a half-typed list no longer matters
        QVERIFY(dialog.okButton()->isEnabled());
        QVERIFY(dialog.request().pageNumbers.isEmpty());
    }

    void printDialogOffersTheCurrentPageWhenThereIsOne() {
        PrintDialog dialog({"Первый"}, "Первый", 4, nullptr);
        QVERIFY(dialog.currentPageButton());
        QCOMPARE(dialog.currentPageButton()->text(), QStringLiteral("Текущая"));
        dialog.currentPageButton()->setChecked(true);
        QVERIFY(dialog.okButton()->isEnabled());
        QCOMPARE(dialog.request().pageNumbers, QStringLiteral("4"));
    }

    void previewToolBarFollowsTheCommandOrder() {
        FakeDialogs dialogs;
        PdfPrinters printers;
        PreviewWindow window(layOut(3), printers, dialogs, nullptr);
        QCOMPARE(window.windowTitle(), QStringLiteral("Предварительный просмотр"));
        QVERIFY(window.isModal());
        const QStringList expected = {
            "Масштаб",       "Открыть отчет", "Сохранить отчет в файле", "Сохранить как PDF…",
            "Печать отчета", "Поиск",         "Показать справку",        "Выход"};
        QCOMPARE(toolBarTexts(*window.toolBar()), expected);

        auto* zoom = qobject_cast<QToolButton*>(
            window.toolBar()->widgetForAction(window.toolBar()->actions().first()));
        QStringList zoomTexts;
        for (QAction* action : zoom->menu()->actions()) {
            zoomTexts << action->text();
        }
        QCOMPARE(zoomTexts,
                 QStringList({"200 %", "150 %", "100 %", "75 %", "50 %", "25 %", "10 %",
                              "По ширине страницы", "Страница целиком", "Две страницы"}));
        zoom->menu()->actions()[4]->trigger();
        QCOMPARE(window.pageView()->zoom(), 0.5);
        zoom->menu()->actions()[9]->trigger();
        QCOMPARE(window.pageView()->pagesPerRow(), 2);
        zoom->menu()->actions()[0]->trigger();
        QCOMPARE(window.pageView()->zoom(), 2.0);
        QCOMPARE(window.pageView()->pagesPerRow(), 1);
    }

    void previewPaintsOnlyThePagesInView() {
        FakeDialogs dialogs;
        PdfPrinters printers;
        PreviewWindow window(layOut(1000), printers, dialogs, nullptr);
        window.setZoom(PreviewWindow::ZoomMode::WholePage);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.pageView()->paintedPages() >= 1);
        QVERIFY(window.pageView()->paintedPages() <= 4);
        QCOMPARE(window.currentPage(), 0);
    }

    void searchShowsWhereTheTextIs() {
        FakeDialogs dialogs;
        PdfPrinters printers;
        PreviewWindow window(layOut(100), printers, dialogs, nullptr);
        window.setZoom(PreviewWindow::ZoomMode::Percent, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        window.toolBar()->actions()[5]->trigger();  // "Поиск" opens the search line
        QVERIFY(window.searchEdit()->isVisible());
        QTest::keyClicks(window.searchEdit(), "57");
        QTest::keyClick(window.searchEdit(), Qt::Key_Return);
        QVERIFY(window.lastFound().has_value());
        // Row 57 is on page 5: pages 1-4 hold 12 + 14 + 14 + 14 = 54 rows.
        QCOMPARE(window.lastFound()->page, 4);
        const QRect found = window.pageView()->itemRect(*window.lastFound());
        QVERIFY(window.pageView()->visibleRegion().boundingRect().contains(found));

        QVERIFY(!window.findNext(QStringLiteral("нет такого текста")));
        QCOMPARE(dialogs.messages.size(), 1u);
        QCOMPARE(dialogs.messages[0].text, QStringLiteral("Текст не найден"));
    }

    void previewSavesOpensAndRefusesDamagedReports() {
        FakeDialogs dialogs;
        PdfPrinters printers;
        const ReportDocument original = layOut(20);
        PreviewWindow window(original, printers, dialogs, nullptr);

        dialogs.nextSaveName = folder_.filePath("saved.frp");
        window.saveReport();
        QCOMPARE(loadReport(dialogs.nextSaveName), original);

        QFile damaged(folder_.filePath("damaged.frp"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        QByteArray bytes = serializeReport(layOut(3));
        bytes[100] = static_cast<char>(bytes[100] + 1);
        damaged.write(bytes);
        damaged.close();
        dialogs.nextOpenName = damaged.fileName();
        window.openReport();
        QCOMPARE(dialogs.messages.size(), 1u);
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(window.document(), original);  // still showing what it showed

        const ReportDocument other = layOut(50);
        saveReport(other, folder_.filePath("other.frp"));
        dialogs.nextOpenName = folder_.filePath("other.frp");
        window.openReport();
        QCOMPARE(window.document(), other);

        dialogs.nextSaveName = folder_.filePath("preview.pdf");
        window.savePdf();
        QCOMPARE(testing::pdfPages(dialogs.nextSaveName).size(), 4);  // 12 + 14 + 14 + 10 rows

        printers.outputPath = folder_.filePath("from-preview.pdf");
        window.printReport();
        QCOMPARE(printers.offeredCurrentPage, 1);
        QCOMPARE(testing::pdfPages(printers.outputPath).size(), 4);
        QCOMPARE(dialogs.messages.size(), 1u);
    }

    void commandsDoNothingWithoutATable() {
        FakeDialogs dialogs;
        PdfPrinters printers;
        printers.outputPath = folder_.filePath("never.pdf");
        ReportCommands commands(dialogs, &printers);
        int progressWindows = 0;
        commands.setProgressFactory([&](QWidget*) {
            ++progressWindows;
            return std::make_unique<CancellingProgress>();
        });
        dbf::DbfTable closed;
        QVERIFY(!commandsShowOrPrint(commands, nullptr, printers));
        QVERIFY(!commandsShowOrPrint(commands, &closed, printers));
        QCOMPARE(progressWindows, 0);
        QVERIFY(dialogs.messages.empty());
    }

    void previewShowsTheWholeTableInItsCurrentOrder() {
        std::vector<MeasurementRow> rows;
        for (int n = 1; n <= 30; ++n) {
            rows.push_back({n, n * 1.5, "20.5", ">320.0", {}});
        }
        rows[4].q1 = 12.46;
        dbf::DbfTable table;
        openNewTable(table, "sorted.db", rows);
        table.addSortIndex("tab1", "TAVIS_1", true);
        table.selectIndex("tab1");

        FakeDialogs dialogs;
        PdfPrinters printers;
        ReportCommands commands(dialogs, &printers);
        PreviewWatch watch;
        watch.onShown = [](PreviewWindow& window) {
            window.savePdf();  // cancelled: only the dialog's start is looked at
            window.saveReport();
        };
        commands.preview(nullptr, &table);
        QVERIFY(watch.shown);
        QCOMPARE(watch.title, QStringLiteral("Предварительный просмотр"));
        // The save dialogs start beside the table, named after it.
        QCOMPARE(dialogs.saveRequests.size(), 2u);
        QCOMPARE(dialogs.saveRequests[0].directory, folder_.path());
        QCOMPARE(dialogs.saveRequests[0].fileName, QStringLiteral("sorted_отчёт.pdf"));
        QCOMPARE(dialogs.saveRequests[1].fileName, QStringLiteral("sorted_отчёт.frp"));
        QCOMPARE(watch.document.pages.size(), 3u);
        QVERIFY(findText(watch.document, QStringLiteral("12,5")).has_value());
        QVERIFY(findText(watch.document, QStringLiteral(">320.0")).has_value());

        // Printing reads the same rows: every row, largest q1 first.
        printers.outputPath = folder_.filePath("sorted.pdf");
        commands.print(nullptr, &table);
        QVERIFY(!printers.offeredCurrentPage);  // no "Текущая" from the main window
        QList<int> expected;
        for (int n = 30; n >= 1; --n) {
            if (n != 5) {
                expected << n;
            }
        }
        expected.insert(expected.indexOf(8), 5);  // 12.46 sorts between 13.5 (n=9) and 12 (n=8)
        QCOMPARE(testing::rowNumbersIn(testing::pdfText(printers.outputPath)), expected);
        QVERIFY(dialogs.messages.empty());
    }

    void printRightAfterOpeningPrintsThatTable() {
        dbf::DbfTable table;
        openNewTable(table, "fresh.db", {{1, 7.25, "1", "2", {}}, {2, 8.0, "1", "2", {}}});
        FakeDialogs dialogs;
        PdfPrinters printers;
        printers.outputPath = folder_.filePath("fresh.pdf");
        ReportCommands commands(dialogs, &printers);
        commands.print(nullptr, &table);
        const QString text = testing::pdfText(printers.outputPath);
        QCOMPARE(testing::rowNumbersIn(text), QList<int>({1, 2}));
        QVERIFY(text.contains(QStringLiteral("7,3")));  // 7.25 rounds half away from zero
        QVERIFY(text.contains(QStringLiteral("Стр. 1 из 1")));
    }

    void cancellingTheProgressWindowStopsTheCommand() {
        dbf::DbfTable table;
        openNewTable(table, "cancel.db", {{1, 1.0, "1", "2", {}}, {2, 2.0, "1", "2", {}}});

        FakeDialogs dialogs;
        PdfPrinters printers;
        printers.outputPath = folder_.filePath("cancelled.pdf");
        ReportCommands commands(dialogs, &printers);
        commands.setProgressFactory([](QWidget* parent) {
            auto window = std::make_unique<ProgressWindow>(parent);
            window->cancelButton()->click();
            return window;
        });
        QVERIFY(!commandsShowOrPrint(commands, &table, printers));
        QVERIFY(dialogs.messages.empty());
    }

    void layoutErrorIsShownAndNothingElse() {
        // A table without the comment field cannot fill the report.
        const auto path = tablePath("partial.db");
        const dbf::FieldSpec fields[] = {{"N", dbf::FieldKind::SmallInt, 0},
                                         {"DATE", dbf::FieldKind::Text, 10}};
        dbf::DbfTable::create(path, fields, measurement::kProgramLanguageId);
        dbf::DbfTable table;
        table.open(path);

        FakeDialogs dialogs;
        PdfPrinters printers;
        printers.outputPath = folder_.filePath("error.pdf");
        ReportCommands commands(dialogs, &printers);
        QVERIFY(!commandsShowOrPrint(commands, &table, printers));
        QCOMPARE(dialogs.messages.size(), 2u);
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(!dialogs.messages[0].text.isEmpty());
    }

    void printWithoutPrintersDoesNothing() {
        dbf::DbfTable table;
        openNewTable(table, "noprinter.db", {{1, 1.0, "1", "2", {}}});
        FakeDialogs dialogs;
        PdfPrinters printers;
        printers.names.clear();
        ReportCommands commands(dialogs, &printers);
        int progressWindows = 0;
        commands.setProgressFactory([&](QWidget*) {
            ++progressWindows;
            return std::make_unique<CancellingProgress>();
        });
        commands.print(nullptr, &table);
        QCOMPARE(progressWindows, 0);
        QCOMPARE(printers.dialogsShown, 0);
        QVERIFY(dialogs.messages.empty());
    }
};

}  // namespace zond::report

QTEST_MAIN(zond::report::ReportWindowTest)
#include "report_window_test.moc"
