// Сервис → "Экспорт…": the file type from the save dialog, the CSV options asked and remembered,
// the result message, cancel from the progress window. The files are read back by Python.
#include <QAction>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>
#include <vector>

#include "app/export_command.h"
#include "app_fixture.h"
#include "export_table.h"

using zond::exporting::CsvEncoding;
using zond::exporting::CsvOptions;
using zond::test::PrivateSettings;
using zond::test::ProgramWindows;

namespace {

// What /usr/bin/python3 prints for `script` run on `file`.
QString python(const QString& script, const QString& file) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, file});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qFatal("python3 failed: %s", process.readAllStandardError().constData());
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

void triggerExport(MainWindow& form) {
    form.findChild<QAction*>(QStringLiteral("ExportAs"))->trigger();
}

bool sameOptions(const CsvOptions& a, const CsvOptions& b) {
    return a.delimiter == b.delimiter && a.decimalSeparator == b.decimalSeparator &&
           a.encoding == b.encoding;
}

}  // namespace

class ExportCommandTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        settings_ = std::make_unique<PrivateSettings>();
        work_ = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        work_.reset();
        settings_.reset();
    }

    void csvTakesTheChosenOptionsAndTheNextExportOffersThem() {
        const CsvOptions chosen{',', '.', CsvEncoding::Cp1251};
        std::vector<CsvOptions> offered;
        {
            ProgramWindows program;
            openTable(program.form1, twoRows());
            program.form1.exportCommand().setCsvOptionsAsker(
                [&](QWidget*, const CsvOptions& initial) {
                    offered.push_back(initial);
                    return std::optional(chosen);
                });
            program.dialogs.fileNames.push_back(work_->filePath("out.csv"));
            triggerExport(program.form1);
            QCOMPARE(program.dialogs.saveRequests.at(0).filter, zond::app::kExportFilter);
            QCOMPARE(program.dialogs.messageTexts(),
                     QStringList({"Экспорт в файл out.csv завершен, строк записано: 2."}));
        }
        QCOMPARE(offered.size(), std::size_t(1));
        QVERIFY(sameOptions(offered[0], CsvOptions{}));
        // Comma-separated, decimal point, code page 1251, CR LF, fields with a comma or a quote
        // quoted.
        QCOMPARE(python(QStringLiteral("import sys\n"
                                       "sys.stdout.write(repr(open(sys.argv[1], encoding='cp1251',"
                                       " newline='').read()))"),
                        work_->filePath("out.csv")),
                 QStringLiteral("'N,Дата,Время,Режим,Типы датчиков,\"q1, Вт/кв.м\",\"q2, Вт/кв.м\","
                                "\"q3, Вт/кв.м\",\"tв,°C\",\"tн,°C\",Примечание\\r\\n"
                                "1,01.02.2009,10:00:00,Оперативный,диам. 27 мм,1.5,-2,0,19.8,-5.25,"
                                "\"Замер \"\"1\"\", угол\"\\r\\n"
                                "2,01.02.2009,10:10:00,Наблюдения,диам. 27 мм,-0.5,3,4.25,>320.0,,"
                                "\\r\\n'"));

        // After a restart the dialog starts from the last choice; cancelling it writes nothing.
        ProgramWindows again;
        openTable(again.form1, twoRows());
        again.form1.exportCommand().setCsvOptionsAsker([&](QWidget*, const CsvOptions& initial) {
            offered.push_back(initial);
            return std::optional<CsvOptions>();
        });
        again.dialogs.fileNames.push_back(work_->filePath("again.csv"));
        triggerExport(again.form1);
        QCOMPARE(offered.size(), std::size_t(2));
        QVERIFY(sameOptions(offered[1], chosen));
        QVERIFY(!QFile::exists(work_->filePath("again.csv")));
        QVERIFY(again.dialogs.messages.empty());
    }

    void xlsxIsAWorkbookWithDateCellsAndUnknownTypesOrFoldersAreRefused() {
        ProgramWindows program;
        openTable(program.form1, twoRows());
        bool asked = false;
        program.form1.exportCommand().setCsvOptionsAsker([&](QWidget*, const CsvOptions&) {
            asked = true;
            return std::optional<CsvOptions>();
        });
        program.dialogs.fileNames.push_back(work_->filePath("out.xlsx"));
        program.dialogs.fileNames.push_back(work_->filePath("out.txt"));
        const QString missing = work_->filePath("missing/out.xls");
        program.dialogs.fileNames.push_back(missing);
        for (int i = 0; i < 3; ++i) {
            triggerExport(program.form1);
        }
        QVERIFY(!asked);
        QCOMPARE(program.dialogs.messageTexts(),
                 QStringList({"Экспорт в файл out.xlsx завершен, строк записано: 2.",
                              "Выберите тип файла: Excel 97-2003 (.xls), Excel 2007+ (.xlsx) или "
                              "CSV (.csv).",
                              "Файл \"" + missing +
                                  "\" не записан (StgCreateDocFile error -2147287037)."}));
        QVERIFY(!QFile::exists(work_->filePath("out.txt")));
        QCOMPARE(python(QStringLiteral("import sys, openpyxl\n"
                                       "s = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                                       "print(s.max_row, s['A1'].value, s['F2'].value, "
                                       "s['B3'].value, s['I3'].value)"),
                        work_->filePath("out.xlsx")),
                 QStringLiteral("3 N 1.5 2009-02-01 00:00:00 >320.0\n"));
    }

    void cancelInTheProgressWindowLeavesNoFile() {
        ProgramWindows program;
        openTable(program.form1, zond::testing::sampleMeasurementRows(4000));
        program.form1.exportCommand().setProgressDelay(std::chrono::milliseconds(0));
        program.dialogs.fileNames.push_back(work_->filePath("big.xlsx"));
        bool cancelled = false;
        // The window lets events through once it shows; the first it lets through cancels.
        std::function<void()> cancel = [&] {
            auto* progress = program.form1.findChild<QProgressDialog*>();
            if (progress == nullptr || !progress->isVisible()) {
                QTimer::singleShot(0, cancel);
                return;
            }
            QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
            cancelled = true;
        };
        QTimer::singleShot(0, cancel);
        triggerExport(program.form1);
        QVERIFY(cancelled);
        QVERIFY(!QFile::exists(work_->filePath("big.xlsx")));
        QVERIFY(program.dialogs.messages.empty());
        QCOMPARE(QDir(work_->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"table.db"}));
    }

  private:
    static std::vector<zond::testing::MeasurementRow> twoRows() {
        return {{1, "Оперативный", "01.02.2009", "10:00:00", "диам. 27 мм", 1.5, -2, 0, "19,8",
                 "-5,25", "Замер \"1\", угол"},
                {2, "Наблюдения", "01.02.2009", "10:10:00", "диам. 27 мм", -0.5, 3, 4.25, ">320.0",
                 "", ""}};
    }

    void openTable(MainWindow& form, const std::vector<zond::testing::MeasurementRow>& rows) {
        const QString path = work_->filePath("table.db");
        zond::testing::writeMeasurementTable(path.toStdString(), rows);
        form.openTable(path);
        QVERIFY(form.tableOpen());
    }

    std::unique_ptr<PrivateSettings> settings_;
    std::unique_ptr<QTemporaryDir> work_;
};

QTEST_MAIN(ExportCommandTest)
#include "export_command_test.moc"
