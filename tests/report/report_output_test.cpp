// Pages written to PDF and printed, read back by poppler's tools.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "fake_rows.h"
#include "report/report_layout.h"
#include "report/report_painter.h"
#include "report/windows/report_printing.h"
#include "report_test_support.h"

namespace zond::report {

using testing::FakeRows;
using testing::PdfPrinters;

// A4 landscape: 297 x 210 mm = 841.89 x 595.28 points, as pdfinfo prints it.
const QRegularExpression kA4Landscape("Page size:\\s+(841\\.8\\d*|842) x (595\\.2\\d*|595) pts");

class ReportOutputTest : public QObject {
    Q_OBJECT

  private:
    static ReportDocument layOut(int rows) {
        FakeRows source(testing::numberedRows(rows));
        return *layoutReport(measurementReportTemplate(), source);
    }

    QTemporaryDir folder_;

  private slots:
    void pdfHoldsTheTextsOnA4LandscapePages() {
        const QString path = folder_.filePath("report.pdf");
        writePdf(layOut(30), path);

        const QString info = testing::runTool("pdfinfo", {path});
        QVERIFY2(info.contains(QRegularExpression("Pages:\\s+3\\n")), qPrintable(info));
        QVERIFY2(info.contains(kA4Landscape), qPrintable(info));

        const QStringList pages = testing::pdfPages(path);
        QCOMPARE(pages.size(), 3);
        QVERIFY(pages[0].contains(QStringLiteral("ЗОНД-8Т.05 \"ТАВИС\"")));
        QVERIFY(!pages[1].contains(QStringLiteral("ТАВИС")));
        QList<int> numbers;
        for (int page = 0; page < 3; ++page) {
            const QString& text = pages[page];
            for (const char* heading : {"Дата", "Время", "Режим", "q1, Вт/кв.м", "Примеч."}) {
                QVERIFY2(text.contains(QString::fromUtf8(heading)), heading);
            }
            QVERIFY(text.contains(QStringLiteral("Стр. %1 из 3").arg(page + 1)));
            numbers << testing::rowNumbersIn(text);
        }
        QList<int> expected;  // the table's order
        for (int n = 1; n <= 30; ++n) {
            expected << n;
        }
        QCOMPARE(numbers, expected);
        QVERIFY(pages[0].contains(QStringLiteral("12,5")));
    }

    void pdfEmbedsMetricCompatibleFonts() {
        const QString path = folder_.filePath("fonts.pdf");
        writePdf(layOut(1), path);
        const QString fonts = testing::runTool("pdffonts", {path});
        QVERIFY2(fonts.contains("LiberationSans-Bold"), qPrintable(fonts));
        QVERIFY2(fonts.contains("LiberationSans"), qPrintable(fonts));
        for (const QString& line : fonts.split('\n').mid(2)) {
            if (!line.trimmed().isEmpty()) {
                // Columns: name type encoding emb sub uni object ID.
                QVERIFY2(line.contains(QRegularExpression("\\s+yes\\s+(yes|no)\\s+yes\\s+")),
                         qPrintable(line));
            }
        }
    }

    void printsTheChosenPagesAndCopiesWhateverThePrintersPaper() {
        PdfPrinters printers;
        printers.outputPath = folder_.filePath("printed.pdf");
        printers.answer->pageNumbers = QStringLiteral("1,3");
        printers.answer->copies = 2;
        printers.answer->collate = true;
        testing::FakeDialogs dialogs;
        printDocument(nullptr, layOut(30), printers, dialogs);

        const QStringList pages = testing::pdfPages(printers.outputPath);
        QCOMPARE(pages.size(), 4);
        const int order[] = {1, 3, 1, 3};
        for (int sheet = 0; sheet < 4; ++sheet) {
            QVERIFY(pages[sheet].contains(QStringLiteral("Стр. %1 из 3").arg(order[sheet])));
        }
        const QString info = testing::runTool("pdfinfo", {printers.outputPath});
        QVERIFY2(info.contains(kA4Landscape), qPrintable(info));
        QVERIFY(dialogs.messages.empty());
    }

    void cancelledOrPrinterlessJobsPrintNothing() {
        testing::FakeDialogs dialogs;
        PdfPrinters cancelled;
        cancelled.outputPath = folder_.filePath("cancelled.pdf");
        cancelled.answer.reset();
        printDocument(nullptr, layOut(5), cancelled, dialogs);
        QCOMPARE(cancelled.dialogsShown, 1);
        QVERIFY(!QFile::exists(cancelled.outputPath));

        PdfPrinters none;
        none.names.clear();
        none.outputPath = folder_.filePath("none.pdf");
        printDocument(nullptr, layOut(5), none, dialogs);
        QCOMPARE(none.dialogsShown, 0);
        QVERIFY(!QFile::exists(none.outputPath));

        PdfPrinters evenOfOne;  // a range without pages
        evenOfOne.outputPath = folder_.filePath("even.pdf");
        evenOfOne.answer->parity = PageParity::Even;
        printDocument(nullptr, layOut(5), evenOfOne, dialogs);
        QVERIFY(!QFile::exists(evenOfOne.outputPath));
        QVERIFY(dialogs.messages.empty());
    }

    void unwritablePdfIsReported() {
        QVERIFY_THROWS_EXCEPTION(ReportOutputError,
                                 writePdf(layOut(1), folder_.filePath("no/such/folder.pdf")));
    }

    // A disk that fills up while the PDF is written: the cause is named, the old file stays and
    // no temporary is left.
    void pdfOnAFullDiskKeepsTheOldFile() {
        const QString path = folder_.filePath("full.pdf");
        writePdf(layOut(1), path);
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        const QByteArray before = old.readAll();
        const ReportDocument longer = layOut(400);
        const pid_t child = fork();
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{20000, 20000};
            setrlimit(RLIMIT_FSIZE, &limit);
            try {
                writePdf(longer, path);
            } catch (const ReportOutputError& error) {
                const std::string expected =
                    "Файл \"" + path.toStdString() + "\" не записан: на диске не хватает места.";
                _exit(error.what() == expected ? 0 : 2);
            }
            _exit(1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        QCOMPARE(WEXITSTATUS(status), 0);
        QFile now(path);
        QVERIFY(now.open(QIODevice::ReadOnly));
        QCOMPARE(now.readAll(), before);
        QVERIFY(
            QDir(folder_.path()).entryList({".full.pdf*"}, QDir::Files | QDir::Hidden).isEmpty());
    }
};

}  // namespace zond::report

QTEST_MAIN(zond::report::ReportOutputTest)
#include "report_output_test.moc"
