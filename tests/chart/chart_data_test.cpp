// The chart's content worked out from snapshots: moments, values, order, skipping, styles.
#include <QTest>

#include "chart/chart_data.h"
#include "chart_test_rows.h"

using namespace zond::chart;
using zond::chart::testing::msecs;
using zond::chart::testing::snapshot;

namespace {

constexpr SeriesFlags kAll = {true, true, true, true, true};

int at(ChartSeries series) {
    return indexOf(series);
}

}  // namespace

class ChartDataTest : public QObject {
    Q_OBJECT

  private slots:
    void momentsAreLocalDateAndTime() {
        const auto moment = measurementMoment("05.03.2024", "07:08:09");
        QVERIFY(moment.has_value());
        QCOMPARE(moment->date(), QDate(2024, 3, 5));
        QCOMPARE(moment->time(), QTime(7, 8, 9));
        QCOMPARE(moment->timeSpec(), Qt::LocalTime);
        QVERIFY(measurementMoment("29.02.2024", "23:59:59").has_value());
    }

    void impossibleMomentsAreRefused() {
        QVERIFY(!measurementMoment("29.02.2023", "12:00:00"));  // no leap day
        QVERIFY(!measurementMoment("31.04.2024", "12:00:00"));
        QVERIFY(!measurementMoment("01.13.2024", "12:00:00"));
        QVERIFY(!measurementMoment("01.01.2024", "24:00:00"));
        QVERIFY(!measurementMoment("01.01.2024", "12:60:00"));
        QVERIFY(!measurementMoment("1.1.2024", "12:00:00"));
        QVERIFY(!measurementMoment("01/01/2024", "12:00:00"));
        QVERIFY(!measurementMoment("01.01.2024", "12-00-00"));
        QVERIFY(!measurementMoment("01.0x.2024", "12:00:00"));
        QVERIFY(!measurementMoment("", ""));
    }

    void temperatureTexts() {
        QCOMPARE(temperatureValue(">320.0", ',').value_or(-999.0), 320.1);
        QCOMPARE(temperatureValue("23,5", ',').value_or(-999.0), 23.5);
        QCOMPARE(temperatureValue("23.5", ',').value_or(-999.0), 23.5);
        QCOMPARE(temperatureValue("-40", '.').value_or(-999.0), -40.0);
        QCOMPARE(temperatureValue("23,5", '.').value_or(-999.0), 23.5);  // filled elsewhere
        QCOMPARE(temperatureValue("-39,9", ',').value_or(-999.0), -39.9);
        QVERIFY(!temperatureValue(">320", '.'));
        QVERIFY(!temperatureValue("abc", '.'));
        QVERIFY(!temperatureValue("", '.'));
    }

    void seriesStyles() {
        QCOMPARE(seriesColor(ChartSeries::Q1), QColor(255, 0, 0));
        QCOMPARE(seriesColor(ChartSeries::Q2), QColor(0, 0, 255));
        QCOMPARE(seriesColor(ChartSeries::Q3), QColor(0, 128, 0));
        QCOMPARE(seriesColor(ChartSeries::TExt), QColor(255, 0, 0));
        QCOMPARE(seriesColor(ChartSeries::TIn), QColor(0, 128, 0));

        QCOMPARE(seriesTitle(ChartSeries::Q1, "1,5/2/3"), QString("q1, Вт/кв.м.  1,5/2/3"));
        QCOMPARE(seriesTitle(ChartSeries::Q3, ""), QString("q3, Вт/кв.м.  "));
        QCOMPARE(seriesTitle(ChartSeries::TExt, "x"), QString("tн, Cx"));
        QCOMPARE(seriesTitle(ChartSeries::TIn, ""), QString("tв, C"));
    }

    // Rows picked newest first still give every series its points oldest first.
    void pointsFollowTimeWhateverTheSelectionOrder() {
        const std::vector rows = {
            snapshot({"02.01.2024", "10:00:00", "30", "31", "32", "23,5", "-3"}),
            snapshot({"01.01.2024", "12:00:00", "20", "21", "22", "22", ">320.0"}),
            snapshot({"01.01.2024", "09:30:15", "10.5", "11", "12", "21", "-1,5"}),
        };
        const ChartData data = buildChartData(rows, kAll, ',');
        QCOMPARE(data.skippedRows, 0);
        const double x0 = msecs(2024, 1, 1, 9, 30, 15);
        const double x1 = msecs(2024, 1, 1, 12, 0, 0);
        const double x2 = msecs(2024, 1, 2, 10, 0, 0);
        const QList<QPointF> q1 = {{x0, 10.5}, {x1, 20}, {x2, 30}};
        QCOMPARE(data.points[at(ChartSeries::Q1)], q1);
        const QList<QPointF> q3 = {{x0, 12}, {x1, 22}, {x2, 32}};
        QCOMPARE(data.points[at(ChartSeries::Q3)], q3);
        // tн is T_EXT, tв is T_IN.
        const QList<QPointF> tExt = {{x0, -1.5}, {x1, 320.1}, {x2, -3}};
        QCOMPARE(data.points[at(ChartSeries::TExt)], tExt);
        const QList<QPointF> tIn = {{x0, 21}, {x1, 22}, {x2, 23.5}};
        QCOMPARE(data.points[at(ChartSeries::TIn)], tIn);

        QVERIFY(data.bounds.has_value());
        QCOMPARE(data.bounds->left(), x0);
        QCOMPARE(data.bounds->right(), x2);
        QCOMPARE(data.bounds->top(), -3.0);
        QCOMPARE(data.bounds->bottom(), 320.1);
    }

    void onlyCheckedSeriesGetPointsAndBounds() {
        const std::vector rows = {
            snapshot({"01.01.2024", "10:00:00", "5", "500", "600", "20", "-7"}),
            snapshot({"01.01.2024", "11:00:00", "6", "500", "600", "21", "-8"}),
        };
        const SeriesFlags q1AndTIn = {true, false, false, false, true};
        const ChartData data = buildChartData(rows, q1AndTIn, '.');
        QCOMPARE(data.points[at(ChartSeries::Q1)].size(), 2);
        QCOMPARE(data.points[at(ChartSeries::TIn)].size(), 2);
        QVERIFY(data.points[at(ChartSeries::Q2)].isEmpty());
        QVERIFY(data.points[at(ChartSeries::Q3)].isEmpty());
        QVERIFY(data.points[at(ChartSeries::TExt)].isEmpty());
        QCOMPARE(data.bounds->top(), 5.0);  // q2, q3 and tн do not stretch the axis
        QCOMPARE(data.bounds->bottom(), 21.0);
    }

    void unreadableMomentsSkipRowsAndUnreadableValuesOnlyTheirPoint() {
        const std::vector rows = {
            snapshot({"01.01.2024", "10:00:00"}),
            snapshot({"31.02.2024", "10:00:00"}),                              // no such day
            snapshot({"01.01.2024", "1O:00:00"}),                              // letter O
            snapshot({"01.01.2024", "11:00:00", "1", "2", "3", "20", "n/a"}),  // tн not a number
            snapshot({"01.01.2024", "12:00:00", ""}),                          // q1 null
            snapshot({"01.01.2024", "12:30:00", "1", "2", "3", "inf"}),        // tв infinite
            snapshot({"01.01.2024", "12:40:00", "nan"}),                       // q1 not a number
            snapshot({"01.01.2024", "13:00:00"}),
        };
        const ChartData all = buildChartData(rows, kAll, '.');
        QCOMPARE(all.skippedRows, 2);
        QCOMPARE(all.skippedPoints, 4);
        QCOMPARE(all.points[at(ChartSeries::Q1)].size(), 4);
        QCOMPARE(all.points[at(ChartSeries::Q2)].size(), 6);
        QCOMPARE(all.points[at(ChartSeries::TIn)].size(), 5);
        QCOMPARE(all.points[at(ChartSeries::TExt)].size(), 5);
        // The row whose tн is unreadable still plots its tв of 20 at 11:00.
        const QPointF tIn = all.points[at(ChartSeries::TIn)][1];
        QCOMPARE(tIn.y(), 20.0);
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(qint64(tIn.x())).time(), QTime(11, 0));

        // A value that is not plotted is not counted.
        const SeriesFlags q2Only = {false, true, false, false, false};
        const ChartData q2 = buildChartData(rows, q2Only, '.');
        QCOMPARE(q2.skippedRows, 2);
        QCOMPARE(q2.skippedPoints, 0);
        QCOMPARE(q2.points[at(ChartSeries::Q2)].size(), 6);
    }

    void singleRowAndNoRows() {
        const std::vector rows = {snapshot({"01.01.2024", "10:00:00"})};
        const ChartData one = buildChartData(rows, kAll, '.');
        for (const ChartSeries series : kAllChartSeries) {
            QCOMPARE(one.points[at(series)].size(), 1);
        }
        QCOMPARE(one.bounds->width(), 0.0);

        const ChartData none = buildChartData({}, kAll, '.');
        QVERIFY(!none.bounds.has_value());
        QCOMPARE(none.skippedRows, 0);
    }
};

QTEST_GUILESS_MAIN(ChartDataTest)
#include "chart_data_test.moc"
