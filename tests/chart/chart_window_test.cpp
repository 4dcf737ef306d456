// The chart-choice dialog and the chart window, read back from the built chart.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

#include "chart/chart_choice_dialog.h"
#include "chart/chart_command.h"
#include "chart/chart_view.h"
#include "chart/chart_window.h"
#include "chart/image_size_dialog.h"
#include "chart/measurement_chart.h"
#include "chart_test_rows.h"
#include "scripted_dialogs.h"

using namespace zond::chart;
using zond::chart::testing::msecs;
using zond::chart::testing::RowValues;
using zond::chart::testing::yValues;
using zond::test::ScriptedDialogs;

namespace {

QCheckBox* box(QWidget& form, const char* name) {
    auto* found = form.findChild<QCheckBox*>(name);
    Q_ASSERT(found != nullptr);
    return found;
}

QPushButton* button(QWidget& form, const char* name) {
    auto* found = form.findChild<QPushButton*>(name);
    Q_ASSERT(found != nullptr);
    return found;
}

// Three rows, newest first; the middle one's tн is over range.
const zond::chart::testing::RowTable& descendingRows() {
    static const auto rows = zond::chart::testing::tableOf({
        RowValues{"02.01.2024", "10:00:00", "30", "31", "32", "23.5", "-3"},
        RowValues{"01.01.2024", "12:00:00", "20", "21", "22", "22", ">320.0"},
        RowValues{"01.01.2024", "09:30:15", "10.5", "11", "12", "21", "-1.5"},
    });
    return *rows;
}

ChartInput inputOf(SeriesFlags checked) {
    const auto& rows = descendingRows();
    return {
        &rows.table, rows.records, checked, {"10,5/20,2/30", "11/21/31", "12/22/32", "", ""}, '.'};
}

// Shows the window with the three rows of the checked series and waits until it is on screen.
bool showExposed(ChartWindow& form, SeriesFlags checked) {
    form.setInput(inputOf(checked));
    form.show();
    return QTest::qWaitForWindowExposed(&form);
}

QString runTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// "Page size:      841.89 x 595.28 pts (A4)" from pdfinfo.
QSizeF pdfPageSize(const QString& path) {
    const QString info = runTool("pdfinfo", {path});
    for (const QString& line : info.split('\n')) {
        if (line.startsWith("Page size:")) {
            const QStringList parts = line.mid(10).simplified().split(' ');
            return {parts.value(0).toDouble(), parts.value(2).toDouble()};
        }
    }
    return {};
}

}  // namespace

class ChartWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void choiceDialogStartsEmptyWithBuildDisabled() {
        ChartChoiceDialog form;
        form.setCurrentEnCh(3);
        form.show();
        QCOMPARE(form.windowTitle(), QString("Построение графиков"));
        const QStringList captions = {"q1, Вт/кв.м.", "q2, Вт/кв.м.", "q3, Вт/кв.м.", "tн, C",
                                      "tв, C"};
        for (int i = 0; i < 5; ++i) {
            QCheckBox* check = box(form, qPrintable(QString("CheckBox%1").arg(6 + i)));
            QCOMPARE(check->text(), captions[i]);
            QVERIFY(!check->isChecked());
        }
        QPushButton* build = button(form, "Button1");
        QCOMPARE(build->text(), QString("Построить"));
        QVERIFY(!build->isEnabled());

        // Every box re-applies the rule.
        box(form, "CheckBox10")->click();
        QVERIFY(build->isEnabled());
        box(form, "CheckBox8")->click();
        box(form, "CheckBox10")->click();
        QVERIFY(build->isEnabled());
        box(form, "CheckBox8")->click();
        QVERIFY(!build->isEnabled());
    }

    void buildReturnsOkWithTheChosenSeries() {
        ChartChoiceDialog form;
        form.setCurrentEnCh(2);
        form.show();
        box(form, "CheckBox7")->click();
        box(form, "CheckBox9")->click();
        QTest::mouseClick(button(form, "Button1"), Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        const SeriesFlags expected = {false, true, false, true, false};
        QCOMPARE(form.checkedSeries(), expected);
        // Kept for the next showing.
        form.show();
        QCOMPARE(form.checkedSeries(), expected);
        form.reject();
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    void singleChannelRowDisablesAndClearsQ2AndQ3() {
        ChartChoiceDialog form;
        form.setCurrentEnCh(3);
        form.show();
        box(form, "CheckBox7")->click();
        box(form, "CheckBox8")->click();
        form.hide();

        form.setCurrentEnCh(1);
        form.show();
        for (const char* name : {"CheckBox7", "CheckBox8"}) {
            QVERIFY(!box(form, name)->isEnabled());
            QVERIFY(!box(form, name)->isChecked());
        }
        QVERIFY(box(form, "CheckBox6")->isEnabled());
        QVERIFY(!button(form, "Button1")->isEnabled());  // nothing else was checked
        form.hide();

        // Enabled again, with the state the last showing left: cleared.
        form.setCurrentEnCh(3);
        form.show();
        for (const char* name : {"CheckBox7", "CheckBox8"}) {
            QVERIFY(box(form, name)->isEnabled());
            QVERIFY(!box(form, name)->isChecked());
        }
        box(form, "CheckBox8")->click();
        form.hide();
        form.setCurrentEnCh(2);
        form.show();
        QVERIFY(box(form, "CheckBox8")->isChecked());  // two channels keep it
        QVERIFY(button(form, "Button1")->isEnabled());
    }

    void chartShowsCheckedSeriesInTimeOrder() {
        ChartWindow form;
        form.setInput(inputOf({true, false, true, true, false}));
        form.show();
        QCOMPARE(form.windowTitle(), QString("Графики"));
        MeasurementChart& chart = *form.chart();

        const QList<QAbstractSeries*> all = chart.series();
        QCOMPARE(all.size(), 5);
        const SeriesFlags listed = {true, false, true, true, false};
        for (const ChartSeries series : kAllChartSeries) {
            const bool on = listed[indexOf(series)];
            QCOMPARE(chart.isListed(series), on);
            QCOMPARE(chart.line(series)->isVisible(), on);
            QCOMPARE(chart.line(series)->count(), on ? 3 : 0);
        }
        int shownMarkers = 0;
        for (QLegendMarker* marker : chart.legend()->markers()) {
            shownMarkers += marker->isVisible() ? 1 : 0;
        }
        QCOMPARE(shownMarkers, 3);
        QCOMPARE(chart.legend()->alignment(), Qt::AlignBottom);

        const QList<qreal> xs = {msecs(2024, 1, 1, 9, 30, 15), msecs(2024, 1, 1, 12, 0, 0),
                                 msecs(2024, 1, 2, 10, 0, 0)};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(chart.line(ChartSeries::Q1)->at(i).x(), xs[i]);
            QCOMPARE(chart.line(ChartSeries::TExt)->at(i).x(), xs[i]);
        }
        QCOMPARE(yValues(chart.line(ChartSeries::Q1)), QList<qreal>({10.5, 20, 30}));
        QCOMPARE(yValues(chart.line(ChartSeries::Q3)), QList<qreal>({12, 22, 32}));
        QCOMPARE(yValues(chart.line(ChartSeries::TExt)), QList<qreal>({-1.5, 320.1, -3}));

        QCOMPARE(chart.line(ChartSeries::Q1)->color(), QColor(255, 0, 0));
        QCOMPARE(chart.line(ChartSeries::Q2)->color(), QColor(0, 0, 255));
        QCOMPARE(chart.line(ChartSeries::Q3)->color(), QColor(0, 128, 0));
        QCOMPARE(chart.line(ChartSeries::TExt)->color(), QColor(255, 0, 0));
        QCOMPARE(chart.line(ChartSeries::TIn)->color(), QColor(0, 128, 0));

        QCOMPARE(chart.line(ChartSeries::Q1)->name(), QString("q1, Вт/кв.м.  10,5/20,2/30"));
        QCOMPARE(chart.line(ChartSeries::Q3)->name(), QString("q3, Вт/кв.м.  12/22/32"));
        QCOMPARE(chart.line(ChartSeries::TExt)->name(), QString("tн, C"));

        // One axis of each kind, shared by all series and scaled to the points.
        QCOMPARE(chart.axes(Qt::Horizontal).size(), 1);
        QCOMPARE(chart.axes(Qt::Vertical).size(), 1);
        for (QAbstractSeries* series : all) {
            QCOMPARE(series->attachedAxes().size(), 2);
        }
        QDateTimeAxis* time = chart.timeAxis();
        QCOMPARE(time->format(), QString("hh:mm:ss'<br>'dd.MM.yy"));
        // 09:30:15 … 10:00:00 next day: ticks every 6 hours at whole hours, 06:00 … 12:00.
        QCOMPARE(double(time->min().toMSecsSinceEpoch()), msecs(2024, 1, 1, 6, 0, 0));
        QCOMPARE(double(time->max().toMSecsSinceEpoch()), msecs(2024, 1, 2, 12, 0, 0));
        QCOMPARE(time->tickCount(), 6);
        QValueAxis* value = chart.valueAxis();
        QCOMPARE(chart.axes(Qt::Vertical, chart.line(ChartSeries::TExt)).front(), value);
        QVERIFY(value->min() <= -3 && value->min() > -3 - 0.1 * 323.1);
        QVERIFY(value->max() >= 320.1 && value->max() < 320.1 + 0.1 * 323.1);
    }

    void uncheckedSeriesKeepTheirEarlierTitles() {
        ChartWindow form;
        form.setInput(inputOf({true, true, false, false, false}));
        form.show();
        form.hide();
        ChartInput next = inputOf({true, false, false, false, false});
        next.footers = {"1/1/1", "9/9/9", "", "", ""};
        form.setInput(next);
        form.show();
        QCOMPARE(form.chart()->line(ChartSeries::Q1)->name(), QString("q1, Вт/кв.м.  1/1/1"));
        QCOMPARE(form.chart()->line(ChartSeries::Q2)->name(), QString("q2, Вт/кв.м.  11/21/31"));
        QVERIFY(!form.chart()->isListed(ChartSeries::Q2));
        QCOMPARE(form.chart()->line(ChartSeries::Q2)->count(), 0);
    }

    void singleRowGivesOnePointPerSeries() {
        ChartWindow form;
        ChartInput input = inputOf({true, true, true, true, true});
        input.records.resize(1);
        form.setInput(input);
        form.show();
        for (const ChartSeries series : kAllChartSeries) {
            QCOMPARE(form.chart()->line(series)->count(), 1);
            QCOMPARE(form.chart()->line(series)->at(0).x(), msecs(2024, 1, 2, 10, 0, 0));
        }
        // The axis still has an extent around the one moment.
        QVERIFY(form.chart()->timeAxis()->min() < form.chart()->timeAxis()->max());
    }

    void markerSettingActsAtOnceAndIsKept() {
        ChartWindow form;
        form.setInput(inputOf({true, false, false, true, true}));
        form.show();
        QCheckBox* markers = box(form, "markersBox_");
        QCOMPARE(markers->text(), QString("Показывать точки данных"));
        QVERIFY(!markers->isChecked());
        for (const ChartSeries series : kAllChartSeries) {
            QVERIFY(form.chart()->line(series)->lightMarker().isNull());
        }
        markers->click();
        for (const ChartSeries series : kAllChartSeries) {
            const QImage marker = form.chart()->line(series)->lightMarker();
            QVERIFY(!marker.isNull());
            QCOMPARE(marker.width(), marker.height());  // a small square
            QCOMPARE(marker.pixelColor(marker.width() / 2, marker.height() / 2),
                     seriesColor(series));
        }
        form.hide();
        form.setInput(inputOf({false, true, false, false, false}));
        form.show();
        QVERIFY(markers->isChecked());
        QVERIFY(!form.chart()->line(ChartSeries::Q2)->lightMarker().isNull());
    }

    void skippedRowsAndValuesAreCountedInTheWindow() {
        ChartWindow form;
        const auto rows = zond::chart::testing::tableOf({
            RowValues{"02.01.2024", "10:00:00", "30", "31", "32", "23.5", "-3"},
            RowValues{"01.01.2024", "12:00:00", "20", "21", "22", "22", ">320.0"},
            RowValues{"01.01.2024", "09:30:15", "10.5", "11", "12", "21", "-1.5"},
            RowValues{"30.02.2024", "10:00:00"},
            RowValues{"01.03.2024", "10:00:00", "1", "2", "3", "20", "--"},
        });
        ChartInput input = inputOf({true, false, false, true, false});
        input.table = &rows->table;
        input.records = rows->records;
        form.setInput(input);
        form.show();
        QCOMPARE(form.skippedRows(), 1);
        QCOMPARE(form.skippedPoints(), 1);
        auto* label = form.findChild<QLabel*>("SkippedLabel");
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(),
                 QStringLiteral("Пропущено строк с неверными датой или временем: 1, неверных "
                                "значений: 1"));
        // The row with an unreadable tн keeps its q1.
        QCOMPARE(form.chart()->line(ChartSeries::Q1)->count(), 4);

        form.hide();
        form.setInput(inputOf({true, false, false, false, false}));
        form.show();
        QVERIFY(!label->isVisible());
    }

    void printsLandscapeOnTheGivenPrinter() {
        QTemporaryDir dir;
        const QString path = dir.filePath("chart.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPageOrientation(QPageLayout::Portrait);

        ChartWindow form;
        ScriptedDialogs dialogs;
        form.setDialogs(&dialogs);
        form.setPrinter(&printer);
        QVERIFY(showExposed(form, {true, false, true, false, false}));
        QPushButton* print = button(form, "printButton_");
        QCOMPARE(print->text(), QString("Печать"));
        QTest::mouseClick(print, Qt::LeftButton);
        QVERIFY(dialogs.messages.empty());

        const QSizeF page = pdfPageSize(path);
        QVERIFY2(page.width() > page.height(), qPrintable(runTool("pdfinfo", {path})));
        const QString text = runTool("pdftotext", {path, "-"});
        QVERIFY2(text.contains("q1, Вт/кв.м."), qPrintable(text));
        QVERIFY(text.contains("q3, Вт/кв.м."));
        QVERIFY(!text.contains("q2, Вт/кв.м."));

        // The picture is stretched to the page, leaving 4 % margins.
        const QString png = dir.filePath("page");
        QVERIFY(QProcess::execute("pdftoppm", {"-r", "30", "-png", "-singlefile", path, png}) == 0);
        QImage image(png + ".png");
        QVERIFY(!image.isNull());
        QRect inked;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y).lightness() < 200) {
                    inked |= QRect(x, y, 1, 1);
                }
            }
        }
        const double w = image.width();
        const double h = image.height();
        QVERIFY2(inked.left() >= 0.04 * w - 1 && inked.right() <= 0.96 * w + 1,
                 qPrintable(QString("%1..%2 of %3").arg(inked.left()).arg(inked.right()).arg(w)));
        QVERIFY(inked.top() >= 0.04 * h - 1 && inked.bottom() <= 0.96 * h + 1);
        QVERIFY2(inked.width() > 0.75 * w && inked.height() > 0.65 * h,
                 qPrintable(QString("%1 x %2").arg(inked.width()).arg(inked.height())));
    }

    void printerThatCannotStartIsReported() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName("/nonexistent-folder/chart.pdf");
        ChartWindow form;
        ScriptedDialogs dialogs;
        form.setDialogs(&dialogs);
        form.setPrinter(&printer);
        form.setInput(inputOf({true, false, false, false, false}));
        form.show();
        form.print();
        QCOMPARE(dialogs.messages.size(), std::size_t(1));
        QCOMPARE(dialogs.messages.front().icon, zond::ui::MessageIcon::Error);
    }

    void hoverNamesTheNearestPoint() {
        ChartWindow form;
        QVERIFY(showExposed(form, {true, false, false, false, false}));
        ChartView& view = *form.chartView();
        MeasurementChart& chart = *form.chart();
        QLineSeries* q1 = chart.line(ChartSeries::Q1);
        const QPointF scenePos = chart.mapToScene(chart.mapToPosition(q1->at(1), q1));
        const QPointF viewPos = view.mapFromScene(scenePos);
        const QString text = view.pointTextAt(viewPos + QPointF(2, 1));
        QVERIFY2(text.startsWith("q1, Вт/кв.м.: 20\n"), qPrintable(text));
        QVERIFY(text.endsWith("12:00:00 01.01.2024"));
        QVERIFY(view.pointTextAt(QPointF(1, 1)).isEmpty());

        // The tн point plotted at 320.1 names what the table holds.
        form.setInput(inputOf({false, false, false, true, false}));
        form.rebuildChart();
        QApplication::processEvents();
        QLineSeries* tExt = chart.line(ChartSeries::TExt);
        const QPointF over =
            view.mapFromScene(chart.mapToScene(chart.mapToPosition(tExt->at(1), tExt)));
        QVERIFY2(view.pointTextAt(over).startsWith("tн, C: >320.0\n"),
                 qPrintable(view.pointTextAt(over)));
    }

    void zoomAndBackToTheWholeChart() {
        ChartWindow form;
        QVERIFY(showExposed(form, {true, false, false, false, false}));
        ChartView& view = *form.chartView();
        MeasurementChart& chart = *form.chart();
        const qint64 whole = chart.timeAxis()->min().msecsTo(chart.timeAxis()->max());
        const QPointF centre = view.mapFromScene(chart.mapToScene(chart.plotArea().center()));
        view.zoomAround(centre, 0.5);
        QVERIFY(chart.isZoomed());
        const qint64 zoomed = chart.timeAxis()->min().msecsTo(chart.timeAxis()->max());
        QVERIFY2(qAbs(zoomed * 2 - whole) < whole / 50, qPrintable(QString::number(zoomed)));

        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, centre.toPoint());
        QVERIFY(!chart.isZoomed());
        QCOMPARE(chart.timeAxis()->min().msecsTo(chart.timeAxis()->max()), whole);
    }

    void savesThePictureAsPngOrPdf() {
        QTemporaryDir dir;
        ChartWindow form;
        ScriptedDialogs dialogs;
        form.setDialogs(&dialogs);
        QVERIFY(showExposed(form, {true, true, true, true, true}));
        const QSizeF size = form.chart()->size();
        form.chartView()->setImageSizeAsker([](QWidget*, QSize offered) { return offered; });

        // The button beside "Печать"; the dialog opens beside the table with a name for the
        // picture.
        dialogs.fileNames = {dir.filePath("chart.png")};
        QPushButton* save = button(form, "saveButton_");
        QCOMPARE(save->text(), QString("Сохранить изображение…"));
        save->click();
        const QImage image(dir.filePath("chart.png"));
        QCOMPARE(image.size(), QSize(1600, 1000));  // larger than the window
        QCOMPARE(image.pixelColor(2, 2), QColor(Qt::white));
        QCOMPARE(form.chart()->size(), size);
        const QFileInfo table(QString::fromStdU16String(descendingRows().table.path().u16string()));
        QCOMPARE(dialogs.saveRequests.front().directory, table.absolutePath());
        QCOMPARE(dialogs.saveRequests.front().fileName, QString("rows_график.png"));

        dialogs.fileNames = {dir.filePath("chart.pdf")};
        form.chartView()->saveImage();
        const QSizeF page = pdfPageSize(dir.filePath("chart.pdf"));
        QVERIFY(qAbs(page.width() - 1600) < 1 && qAbs(page.height() - 1000) < 1);
        QVERIFY(runTool("pdftotext", {dir.filePath("chart.pdf"), "-"}).contains("tв, C"));

        QCOMPARE(dialogs.saveRequests.front().filter,
                 QString("Рисунок PNG (*.png);;Документ PDF (*.pdf)"));
        dialogs.fileNames = {"/nonexistent-folder/chart.png"};
        form.chartView()->saveImage();
        QCOMPARE(dialogs.messages.size(), std::size_t(1));
        QCOMPARE(dialogs.messages.front().icon, zond::ui::MessageIcon::Error);
    }

    void thePictureTakesTheChosenSize() {
        ImageSizeDialog dialog(QSize(1600, 1000));
        QCOMPARE(dialog.windowTitle(), QString("Размер изображения"));
        QCOMPARE(dialog.imageSize(), QSize(1600, 1000));
        for (QSpinBox* box : {dialog.widthBox(), dialog.heightBox()}) {
            QVERIFY(!QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name).isEmpty());
        }
        dialog.widthBox()->setValue(800);
        dialog.heightBox()->setValue(99999);  // held to the largest side
        QCOMPARE(dialog.imageSize(), QSize(800, ImageSizeDialog::kLargestSide));

        QTemporaryDir dir;
        ChartWindow form;
        ScriptedDialogs dialogs;
        form.setDialogs(&dialogs);
        QVERIFY(showExposed(form, {true, false, false, false, false}));
        std::optional<QSize> answer = QSize(800, 500);
        form.chartView()->setImageSizeAsker([&](QWidget*, QSize) { return answer; });
        dialogs.fileNames = {dir.filePath("small.png")};
        form.chartView()->saveImage();
        QCOMPARE(QImage(dir.filePath("small.png")).size(), QSize(800, 500));

        answer.reset();  // cancelled: no file asked for, nothing written
        form.chartView()->saveImage();
        QCOMPARE(dialogs.saveRequests.size(), std::size_t(1));
    }

    // Value labels carry the decimal comma; time labels fall on whole hours.
    void axisLabelsUseTheCommaAndRoundTimes() {
        const auto rows = zond::chart::testing::tableOf({
            RowValues{"03.02.2024", "08:17:00", "0.12"},
            RowValues{"03.02.2024", "11:41:00", "0.47"},
        });
        QGraphicsScene scene;
        auto* chart = new MeasurementChart;
        scene.addItem(chart);
        chart->resize(800, 500);
        const SeriesFlags q1 = {true, false, false, false, false};
        chart->rebuild(buildChartData(rows->table, rows->records, q1, '.'), q1, {});
        QCoreApplication::processEvents();
        QTemporaryDir dir;
        writeChartImage(*chart, dir.filePath("labels.pdf"));
        const QString text = runTool("pdftotext", {dir.filePath("labels.pdf"), "-"});
        QVERIFY2(text.contains("0,2") && text.contains("0,4"), qPrintable(text));
        QVERIFY(!text.contains("0.2"));
        // 3 h 24 min: a tick every hour, 08:00 … 12:00.
        for (const char* hour : {"08:00:00", "09:00:00", "10:00:00", "11:00:00", "12:00:00"}) {
            QVERIFY2(text.contains(hour), hour);
        }
    }

    // The chart command: the choice dialog first, the chart only after "Построить".
    void commandRunsChoiceThenChart() {
        QWidget mainWindow;
        ScriptedDialogs dialogs;
        ChartCommand command(&mainWindow, &dialogs);
        const auto& rows = descendingRows();
        const SeriesTexts footers = {"a", "b", "c", "", ""};

        bool chartShown = false;
        bool q2Enabled = true;
        QTimer::singleShot(0, [&] {
            ChartChoiceDialog& choice = command.choiceDialog();
            q2Enabled = box(choice, "CheckBox7")->isEnabled();  // EN_CH 1
            box(choice, "CheckBox6")->click();
            QTimer::singleShot(0, [&] {
                chartShown = command.chartWindow().isVisible();
                command.chartWindow().accept();
            });
            button(choice, "Button1")->click();
        });
        command.run(rows.table, rows.records, footers, 1);
        QVERIFY(!q2Enabled);
        QVERIFY(chartShown);
        QCOMPARE(command.chartWindow().chart()->line(ChartSeries::Q1)->count(), 3);
        QCOMPARE(command.chartWindow().chart()->line(ChartSeries::Q1)->name(),
                 QString("q1, Вт/кв.м.  a"));

        // Closing the choice dialog shows no chart.
        chartShown = false;
        QTimer::singleShot(0, [&] { command.choiceDialog().reject(); });
        QTimer::singleShot(50, [&] { chartShown = command.chartWindow().isVisible(); });
        command.run(rows.table, {}, footers, 3);
        QVERIFY(!chartShown);
    }
};

QTEST_MAIN(ChartWindowTest)
#include "chart_window_test.moc"
