// zond8t-cli chart, run as a user runs it, its pictures read back by poppler and ImageMagick.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    Run result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit) {
        result.status = process.exitCode();
    }
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

Run cli(const QStringList& args) {
    return run(ZOND_CLI, QStringList{"chart"} + args);
}

struct Row {
    const char* date;
    const char* time;
    double q1;
    double q2;
    const char* tIn;
    const char* tExt;
};

// Rows in file order; the moments run backwards, as after "Дополнить" of an older memory.
void writeTable(const QString& path) {
    const Row rows[] = {
        {"01.01.2024", "12:00:00", 5, 50, "20", "-1"},
        {"01.01.2024", "11:00:00", 10, 60, "21", ">320.0"},
        {"01.01.2024", "10:00:00", 20, 70, "22", "-3"},
        {"31.02.2024", "09:00:00", 31, 80, "23", "-4"},  // no such day
        {"01.01.2024", "08:00:00", 31, 90, "24", "-5"},
    };
    zond::measurement::createMeasurementTable(path.toStdString());
    zond::dbf::DbfTable table;
    const auto f = zond::measurement::openMeasurementTable(table, path.toStdString());
    for (const Row& r : rows) {
        auto record = table.blankRecord();
        record.setInteger(f.enCh, 3);
        record.setText(f.date, r.date);
        record.setText(f.time, r.time);
        record.setDouble(f.tavis1, r.q1);
        record.setDouble(f.tavis2, r.q2);
        record.setDouble(f.tavis3, 0);
        record.setText(f.tIn, r.tIn);
        record.setText(f.tExt, r.tExt);
        table.append(record);
    }
}

}  // namespace

class CliChartTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        table_ = dir_.filePath("wall.db");
        writeTable(table_);
    }

    // The legend carries the footers the grid shows for those rows: q1 10, 20, 31 and 31 (the
    // unreadable row counts there, as in the grid) give 10/23/31.
    void pdfLegendShowsSelectedSeriesWithFooters() {
        const QString pdf = dir_.filePath("rows.pdf");
        const Run chart = cli({table_, "--rows", "2-5", "--series", "q1,tн", "--size", "800x500",
                               "--decimal-separator", ",", pdf});
        QCOMPARE(chart.status, 0);
        QVERIFY2(chart.err.endsWith("zond8t-cli chart: 1 rows skipped (date or time unreadable), 0 "
                                    "values skipped (unreadable)\n"),
                 qPrintable(chart.err));
        const QString info = run("pdfinfo", {pdf}).out;
        QVERIFY2(info.simplified().contains("Page size: 800 x 500 pts"), qPrintable(info));
        const QString text = run("pdftotext", {pdf, "-"}).out;
        QVERIFY2(text.simplified().contains("q1, Вт/кв.м. 10/23/31"), qPrintable(text));
        QVERIFY(text.contains("tн, C"));
        QVERIFY(!text.contains("q2"));
        QVERIFY(!text.contains("tв"));
        // The time axis runs from 08:00 to 11:00 of that day, the >320.0 point sets the top.
        QVERIFY(text.contains("08:00:00"));
        QVERIFY(text.contains("11:00:00"));
        QVERIFY(!text.contains("12:00:00"));
    }

    void pngHasTheSeriesColours() {
        const QString png = dir_.filePath("all.png");
        const Run chart = cli({table_, "--series", "q2,tв", png});
        QCOMPARE(chart.status, 0);
        QCOMPARE(run("identify", {"-format", "%m %wx%h", png}).out, QString("PNG 1000x700"));
        const QString colours =
            run("convert", {png, "-format", "%c", "histogram:info:-"}).out.toLower();
        QVERIFY2(colours.contains("#0000ff"), qPrintable(colours));  // q2 blue
        QVERIFY(colours.contains("#008000"));                        // tв green
        QVERIFY(!colours.contains("#ff0000"));                       // no q1 or tн
    }

    void refusesWhatItCannotDraw() {
        const QString png = dir_.filePath("x.png");
        QCOMPARE(cli({table_, "--rows", "0-2", png}).status, 1);
        QCOMPARE(cli({table_, "--rows", "3-2", png}).status, 1);
        const Run tooMany = cli({table_, "--rows", "2-6", png});
        QCOMPARE(tooMany.status, 1);
        QVERIFY(tooMany.err.contains("5 rows"));
        QCOMPARE(cli({table_, "--series", "q4", png}).status, 1);
        QCOMPARE(cli({table_, dir_.filePath("x.jpg")}).status, 1);
        QCOMPARE(cli({dir_.filePath("missing.db"), png}).status, 1);
        QCOMPARE(cli({table_, "/nonexistent-folder/x.png"}).status, 1);
        QVERIFY(!QFile::exists(png));
    }

  private:
    QTemporaryDir dir_;
    QString table_;
};

QTEST_GUILESS_MAIN(CliChartTest)
#include "cli_chart_test.moc"
