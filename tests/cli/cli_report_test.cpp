// zond8t-cli report run as a program without a display; its PDF read back by poppler's tools.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "report_test_support.h"

namespace zond::report {

class CliReportTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;

    static QProcess* runCli(const QStringList& arguments, QObject* owner) {
        auto* process = new QProcess(owner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(ZOND_CLI), arguments);
        process->waitForFinished(60000);
        return process;
    }

  private slots:
    void writesTheReportPagesAsPdf() {
        const QString table = folder_.filePath("table.db");
        std::vector<testing::MeasurementRow> rows;
        for (int n = 1; n <= 20; ++n) {
            rows.push_back({n, n == 3 ? 12.46 : n, "21.0", n == 2 ? ">320.0" : "-4.5",
                            n == 1 ? "первая" : QString()});
        }
        testing::writeMeasurementTable(table.toStdString(), rows);
        const QString pdf = folder_.filePath("report.pdf");

        QProcess* process = runCli({"report", table, pdf}, this);
        QCOMPARE(process->exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process->readAllStandardOutput()), QStringLiteral("2 pages\n"));

        const QStringList pages = testing::pdfPages(pdf);
        QCOMPARE(pages.size(), 2);
        QVERIFY(pages[0].contains(QStringLiteral("ЗОНД-8Т.05 \"ТАВИС\"")));
        for (int page = 0; page < 2; ++page) {
            for (const char* heading : {"Дата", "Время", "Тип", "q1, Вт/кв.м", "q3, Вт/кв.м",
                                        "в, C", "н, C", "Примеч."}) {
                QVERIFY2(pages[page].contains(QString::fromUtf8(heading)), heading);
            }
            QVERIFY(pages[page].contains(QStringLiteral("Стр. %1 из 2").arg(page + 1)));
        }
        const QString all = pages.join(QString());
        QList<int> expected;
        for (int n = 1; n <= 20; ++n) {
            expected << n;
        }
        QCOMPARE(testing::rowNumbersIn(all), expected);
        QVERIFY(all.contains(QStringLiteral("12,5")));
        QVERIFY(all.contains(QStringLiteral("20,0")));
        QVERIFY(all.contains(QStringLiteral(">320.0")));
        QVERIFY(all.contains(QStringLiteral("первая")));

        const QString fonts = testing::runTool("pdffonts", {pdf});
        QVERIFY2(fonts.contains("LiberationSans-Bold") && fonts.contains("LiberationSans "),
                 qPrintable(fonts));
    }

    // Rows grow to hold their wrapped comments; a word longer than its cell breaks inside.
    void longCommentsAppearWhole() {
        const QString table = folder_.filePath("comments.db");
        const QString sentence =
            QStringLiteral("Северная стена, второй этаж, у окна над лестницей.");
        const QString word(50, QChar(u'Ж'));
        QCOMPARE(sentence.size(), 50);
        testing::writeMeasurementTable(
            table.toStdString(), {{1, 1, "20.0", "-5.0", sentence}, {2, 2, "20.0", "-5.0", word}});
        const QString pdf = folder_.filePath("comments.pdf");
        QCOMPARE(runCli({"report", table, pdf}, this)->exitCode(), 0);

        // poppler reads the wrapped lines between the other cells of the row: every word in
        // order, and all fifty letters of the long one.
        const QString text = testing::pdfPages(pdf).join(QString());
        QStringList words = sentence.split(QLatin1Char(' '));
        for (QString& w : words) {
            w = QRegularExpression::escape(w);
        }
        QVERIFY2(text.contains(QRegularExpression(words.join(QStringLiteral(".*")),
                                                  QRegularExpression::DotMatchesEverythingOption)),
                 qPrintable(text));
        QCOMPARE(text.count(QChar(u'Ж')), 50);
    }

    void refusesWhatIsNotAMeasurementTable() {
        const QString bogus = folder_.filePath("bogus.db");
        QFile file(bogus);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a table");
        file.close();
        QProcess* process = runCli({"report", bogus, folder_.filePath("bogus.pdf")}, this);
        QCOMPARE(process->exitCode(), 1);
        QVERIFY(!QFile::exists(folder_.filePath("bogus.pdf")));
        QVERIFY(process->readAllStandardError().contains("zond8t-cli report: "));

        QCOMPARE(runCli({"report", bogus}, this)->exitCode(), 1);  // output missing
    }
};

}  // namespace zond::report

QTEST_MAIN(zond::report::CliReportTest)
#include "cli_report_test.moc"
