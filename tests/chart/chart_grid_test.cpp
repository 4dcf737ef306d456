// The chart command over the real grid: the rows clicked in the grid, its footers and its current
// row's EN_CH reach the chart choice and the chart.
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "chart/chart_command.h"
#include "chart/measurement_chart.h"
#include "chart_test_rows.h"
#include "grid_fixture.h"

using namespace zond::chart;
using zond::app::chartFooters;
using zond::app::MeasurementGrid;
using zond::chart::testing::yValues;
using zond::test::GridHarness;
using zond::test::TestRow;

namespace {

// Runs the chart command, ticking the given boxes of the choice dialog and closing the chart when
// shown.
struct ChoiceResult {
    bool q2Enabled = false;
    bool chartShown = false;
};

ChoiceResult runChart(ChartCommand& command, const GridHarness& h, QStringList boxesToTick) {
    ChoiceResult result;
    QTimer::singleShot(0, [&] {
        ChartChoiceDialog& choice = command.choiceDialog();
        result.q2Enabled = choice.findChild<QCheckBox*>("CheckBox7")->isEnabled();
        for (const QString& name : boxesToTick) {
            choice.findChild<QCheckBox*>(name)->click();
        }
        QTimer::singleShot(0, [&] {
            result.chartShown = command.chartWindow().isVisible();
            command.chartWindow().accept();
        });
        auto* build = choice.findChild<QPushButton*>("Button1");
        if (build->isEnabled()) {
            build->click();
        } else {
            choice.reject();
        }
    });
    command.run(h.table, h.grid.chartRecords(), chartFooters(h.grid), h.grid.currentEnCh());
    return result;
}

}  // namespace

class ChartGridTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        zond::test::usePrivateSettings(folder_.path());
    }

    void selectedRowsAndFootersMakeTheChart() {
        std::vector<TestRow> rows(4);
        const double q1[] = {31, 10, 20, 99};
        const char* times[] = {"12:00:00", "10:00:00", "11:00:00", "13:00:00"};
        const char* outside[] = {"-3,5", ">320.0", "-1", "0"};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i].n = static_cast<int>(i + 1);
            rows[i].time = times[i];
            rows[i].q1 = q1[i];
            rows[i].tExt = outside[i];
            rows[i].tIn = "20,5";
        }
        GridHarness h;
        h.open(zond::test::writeTable(folder_.path(), "rows.db", rows));
        h.clickCell(0, MeasurementGrid::ColN);
        h.clickCell(2, MeasurementGrid::ColN, Qt::ShiftModifier);  // rows 1 … 3

        QWidget mainWindow;
        ChartCommand command(&mainWindow, &h.dialogs);
        command.setDecimalSeparator(',');
        const ChoiceResult shown = runChart(command, h, {"CheckBox6", "CheckBox9"});
        QVERIFY(shown.q2Enabled);  // EN_CH 3
        QVERIFY(shown.chartShown);

        const MeasurementChart& chart = *command.chartWindow().chart();
        QCOMPARE(yValues(chart.line(ChartSeries::Q1)), QList<qreal>({10, 20, 31}));
        QCOMPARE(yValues(chart.line(ChartSeries::TExt)), QList<qreal>({320.1, -1, -3.5}));
        QCOMPARE(chart.line(ChartSeries::Q1)->name(), QString("q1, Вт/кв.м.  10/20,3/31"));
        QCOMPARE(chart.line(ChartSeries::TExt)->name(), QString("tн, C"));
        QVERIFY(!chart.isListed(ChartSeries::TIn));
    }

    // Without a selection (after a sort or Сохранить) the chart shows the whole table.
    void noSelectionPlotsEveryRow() {
        std::vector<TestRow> rows(5);
        const double q1[] = {4, 1, 5, 2, 3};
        const char* times[] = {"14:00:00", "11:00:00", "15:00:00", "12:00:00", "13:00:00"};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i].n = static_cast<int>(i + 1);
            rows[i].time = times[i];
            rows[i].q1 = q1[i];
        }
        GridHarness h;
        h.open(zond::test::writeTable(folder_.path(), "whole.db", rows));
        h.clickTitle(MeasurementGrid::ColQ1);  // a sort leaves no row selected
        QVERIFY(h.grid.selection().empty());

        QWidget mainWindow;
        ChartCommand command(&mainWindow, &h.dialogs);
        QVERIFY(runChart(command, h, {"CheckBox6"}).chartShown);
        const MeasurementChart& chart = *command.chartWindow().chart();
        QCOMPARE(yValues(chart.line(ChartSeries::Q1)), QList<qreal>({1, 2, 3, 4, 5}));
        QCOMPARE(chart.timeAxis()->min().time(), QTime(11, 0));
        QCOMPARE(chart.timeAxis()->max().time(), QTime(15, 0));

        // One selected row still gives its one point.
        h.clickCell(0, MeasurementGrid::ColN);
        QVERIFY(runChart(command, h, {}).chartShown);
        QCOMPARE(chart.line(ChartSeries::Q1)->count(), 1);
    }

    void singleChannelTableOffersNoQ2() {
        std::vector<TestRow> rows(2);
        for (TestRow& row : rows) {
            row.enCh = 1;
        }
        GridHarness h;
        h.open(zond::test::writeTable(folder_.path(), "single.db", rows));
        h.clickCell(1, MeasurementGrid::ColN);

        QWidget mainWindow;
        ChartCommand command(&mainWindow, &h.dialogs);
        const ChoiceResult shown = runChart(command, h, {"CheckBox7"});
        QVERIFY(!shown.q2Enabled);
        QVERIFY(!shown.chartShown);  // the disabled box stayed clear, so nothing to build
    }

  private:
    QTemporaryDir folder_;
};

QTEST_MAIN(ChartGridTest)
#include "chart_grid_test.moc"
