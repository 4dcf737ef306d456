// The chart's content worked out from table rows: moments, values, order, skipping, styles, and
// the points a line draws.
#include <QTest>
#include <algorithm>
#include <cmath>

#include "chart/chart_data.h"
#include "chart_test_rows.h"

using namespace zond::chart;
using zond::chart::testing::msecs;
using zond::chart::testing::RowValues;

namespace {

constexpr SeriesFlags kAll = {true, true, true, true, true};

ChartData build(const std::vector<RowValues>& rows, const SeriesFlags& checked, char separator) {
    const auto written = zond::chart::testing::tableOf(rows);
    return buildChartData(written->table, written->records, checked, separator);
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
        const std::vector<RowValues> rows = {
            RowValues{"02.01.2024", "10:00:00", "30", "31", "32", "23,5", "-3"},
            RowValues{"01.01.2024", "12:00:00", "20", "21", "22", "22", ">320.0"},
            RowValues{"01.01.2024", "09:30:15", "10.5", "11", "12", "21", "-1,5"},
        };
        const ChartData data = build(rows, kAll, ',');
        QCOMPARE(data.skippedRows, 0);
        const double x0 = msecs(2024, 1, 1, 9, 30, 15);
        const double x1 = msecs(2024, 1, 1, 12, 0, 0);
        const double x2 = msecs(2024, 1, 2, 10, 0, 0);
        const QList<QPointF> q1 = {{x0, 10.5}, {x1, 20}, {x2, 30}};
        QCOMPARE(allPoints(data, ChartSeries::Q1), q1);
        const QList<QPointF> q3 = {{x0, 12}, {x1, 22}, {x2, 32}};
        QCOMPARE(allPoints(data, ChartSeries::Q3), q3);
        // tн is T_EXT, tв is T_IN.
        const QList<QPointF> tExt = {{x0, -1.5}, {x1, 320.1}, {x2, -3}};
        QCOMPARE(allPoints(data, ChartSeries::TExt), tExt);
        const QList<QPointF> tIn = {{x0, 21}, {x1, 22}, {x2, 23.5}};
        QCOMPARE(allPoints(data, ChartSeries::TIn), tIn);

        QVERIFY(data.bounds.has_value());
        QCOMPARE(data.bounds->left(), x0);
        QCOMPARE(data.bounds->right(), x2);
        QCOMPARE(data.bounds->top(), -3.0);
        QCOMPARE(data.bounds->bottom(), 320.1);
    }

    void onlyCheckedSeriesGetPointsAndBounds() {
        const std::vector<RowValues> rows = {
            RowValues{"01.01.2024", "10:00:00", "5", "500", "600", "20", "-7"},
            RowValues{"01.01.2024", "11:00:00", "6", "500", "600", "21", "-8"},
        };
        const SeriesFlags q1AndTIn = {true, false, false, false, true};
        const ChartData data = build(rows, q1AndTIn, '.');
        QCOMPARE(allPoints(data, ChartSeries::Q1).size(), 2);
        QCOMPARE(allPoints(data, ChartSeries::TIn).size(), 2);
        QVERIFY(allPoints(data, ChartSeries::Q2).isEmpty());
        QVERIFY(allPoints(data, ChartSeries::Q3).isEmpty());
        QVERIFY(allPoints(data, ChartSeries::TExt).isEmpty());
        QCOMPARE(data.bounds->top(), 5.0);  // q2, q3 and tн do not stretch the axis
        QCOMPARE(data.bounds->bottom(), 21.0);
    }

    void unreadableMomentsSkipRowsAndUnreadableValuesOnlyTheirPoint() {
        const std::vector<RowValues> rows = {
            RowValues{"01.01.2024", "10:00:00"},
            RowValues{"31.02.2024", "10:00:00"},                              // no such day
            RowValues{"01.01.2024", "1O:00:00"},                              // letter O
            RowValues{"01.01.2024", "11:00:00", "1", "2", "3", "20", "n/a"},  // tн not a number
            RowValues{"01.01.2024", "12:00:00", ""},                          // q1 null
            RowValues{"01.01.2024", "12:30:00", "1", "2", "3", "inf"},        // tв infinite
            RowValues{"01.01.2024", "12:40:00", ""},                          // q1 null again
            RowValues{"01.01.2024", "13:00:00"},
        };
        const ChartData all = build(rows, kAll, '.');
        QCOMPARE(all.skippedRows, 2);
        QCOMPARE(all.skippedPoints, 4);
        QCOMPARE(allPoints(all, ChartSeries::Q1).size(), 4);
        QCOMPARE(allPoints(all, ChartSeries::Q2).size(), 6);
        QCOMPARE(allPoints(all, ChartSeries::TIn).size(), 5);
        QCOMPARE(allPoints(all, ChartSeries::TExt).size(), 5);
        // The row whose tн is unreadable still plots its tв of 20 at 11:00.
        const QPointF tIn = allPoints(all, ChartSeries::TIn)[1];
        QCOMPARE(tIn.y(), 20.0);
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(qint64(tIn.x())).time(), QTime(11, 0));

        // A value that is not plotted is not counted.
        const SeriesFlags q2Only = {false, true, false, false, false};
        const ChartData q2 = build(rows, q2Only, '.');
        QCOMPARE(q2.skippedRows, 2);
        QCOMPARE(q2.skippedPoints, 0);
        QCOMPARE(allPoints(q2, ChartSeries::Q2).size(), 6);
    }

    void singleRowAndNoRows() {
        const std::vector<RowValues> rows = {RowValues{"01.01.2024", "10:00:00"}};
        const ChartData one = build(rows, kAll, '.');
        for (const ChartSeries series : kAllChartSeries) {
            QCOMPARE(allPoints(one, series).size(), 1);
        }
        QCOMPARE(one.bounds->width(), 0.0);

        const ChartData none = build({}, kAll, '.');
        QVERIFY(!none.bounds.has_value());
        QCOMPARE(none.skippedRows, 0);
    }

    // A long series reaches the chart as at most four points a pixel column, with each column's
    // lowest and highest reading among them; a short one, or a zoomed stretch, point by point.
    void longSeriesAreReducedToWhatEachColumnShows() {
        ChartData data;
        constexpr int kCount = 100'000;
        auto& q1 = data.values[indexOf(ChartSeries::Q1)];
        for (int k = 0; k < kCount; ++k) {
            data.moments.push_back(1000.0 * k);
            q1.push_back(k % 977 == 0 ? 500.0 - k % 3 : std::sin(k * 0.37) * 10);
        }
        constexpr int kColumns = 640;
        const double from = 0;
        const double to = data.moments.back();
        const QList<QPointF> reduced = reducedPoints(data, ChartSeries::Q1, from, to, kColumns);
        QVERIFY(reduced.size() <= 4 * kColumns + 2);
        QVERIFY(std::is_sorted(reduced.begin(), reduced.end(),
                               [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
        const double width = (to - from) / kColumns;
        for (int column = 0; column < kColumns; ++column) {
            double low = 1e9;
            double high = -1e9;
            double shownLow = 1e9;
            double shownHigh = -1e9;
            for (int k = 0; k < kCount; ++k) {
                if (static_cast<int>((data.moments[k] - from) / width) == column) {
                    low = std::min(low, q1[k]);
                    high = std::max(high, q1[k]);
                }
            }
            for (const QPointF& p : reduced) {
                if (static_cast<int>((p.x() - from) / width) == column) {
                    shownLow = std::min(shownLow, p.y());
                    shownHigh = std::max(shownHigh, p.y());
                }
            }
            QCOMPARE(shownLow, low);
            QCOMPARE(shownHigh, high);
        }
        QCOMPARE(reduced.front(), QPointF(0, q1.front()));
        QCOMPARE(reduced.back(), QPointF(to, q1.back()));

        // Zoomed to 200 readings: every one of them, and one beyond each end.
        const QList<QPointF> zoomed =
            reducedPoints(data, ChartSeries::Q1, 1000.0 * 5000, 1000.0 * 5199, kColumns);
        QCOMPARE(zoomed.size(), 202);
        QCOMPARE(zoomed.front().x(), 1000.0 * 4999);
        QCOMPARE(zoomed.back().x(), 1000.0 * 5200);
    }
};

QTEST_GUILESS_MAIN(ChartDataTest)
#include "chart_data_test.moc"
