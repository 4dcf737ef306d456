// The thermal resistance window on the worked example's table: opened from the main window's
// menu, on a selection, with other coefficients; the survey's details typed in their dialog and
// the protocol saved as PDF and .odt, read back by pdftotext and LibreOffice.
#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTextBrowser>
#include <QtTest>

#include "analysis/wall_resistance.h"
#include "app/resistance_window.h"
#include "app/survey_details_dialog.h"
#include "app_fixture.h"
#include "grid_fixture.h"
#include "measurement/measurement_schema.h"
#include "report/windows/report_printing.h"
#include "wall_example.h"

using zond::app::ResistanceWindow;

namespace {

// The example's rows 1–18 and one row whose outside temperature is over the range.
std::filesystem::path writeExampleTable(const QString& folder) {
    std::vector<zond::test::TestRow> rows;
    const QDateTime start(QDate(2009, 10, 1), QTime(8, 0));
    int n = 0;
    for (const auto& example : zond::testing::kWallExample) {
        zond::test::TestRow row = zond::test::fluxRow(n + 1, example.q1, 2 * example.q1);
        const QDateTime moment = start.addSecs(3600LL * zond::testing::kWallExampleStepHours * n);
        row.date = moment.toString(QStringLiteral("dd.MM.yyyy"));
        row.time = moment.toString(QStringLiteral("hh:mm:ss"));
        row.enCh = 2;
        row.tIn = QStringLiteral("20,0");
        row.tExt = QString::number(example.tExt, 'f', 1).replace('.', ',');
        rows.push_back(row);
        ++n;
    }
    zond::test::TestRow overRange = rows.back();
    overRange.n = ++n;
    overRange.tExt = QStringLiteral(">320.0");
    rows.push_back(overRange);
    return zond::test::writeTable(folder, QStringLiteral("Стена.db"), rows);
}

// A window of its own, with private settings, over the example's table.
struct ExampleWindow {
    zond::test::PrivateSettings settings;
    QTemporaryDir tables;
    zond::dbf::DbfTable table;
    zond::measurement::MeasurementFieldIndexes fields =
        zond::measurement::openMeasurementTable(table, writeExampleTable(tables.path()));
    zond::test::ScriptedDialogs dialogs;
    ResistanceWindow window{dialogs, ','};
};

QString resultsText(const ResistanceWindow& window) {
    return window.findChild<QTextBrowser*>(QStringLiteral("results"))->toPlainText();
}

}  // namespace

class ResistanceWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void menuOpensTheWindowOnEveryRow();
    void selectionAndCoefficients();
    void fillsTheDetailsAndSavesTheProtocol();
    void damagedDetailsAreReportedAndLeftAlone();
    void serviceMenuEditsTheDetailsAndTheOrganisation();
    void printWithoutPrinterOffersThePdf();
};

void ResistanceWindowTest::menuOpensTheWindowOnEveryRow() {
    zond::test::PrivateSettings settings;
    QTemporaryDir tables;
    const auto path = writeExampleTable(tables.path());
    zond::test::ProgramWindows program;
    auto* command = program.form1.findChild<QAction*>(QStringLiteral("Resistance1"));
    QVERIFY(command != nullptr);
    QCOMPARE(command->text(), QStringLiteral("Термическое сопротивление…"));
    QVERIFY(!command->isEnabled());
    program.form1.openTable(QString::fromStdU16String(path.u16string()));
    QVERIFY(command->isEnabled());
    QVERIFY(program.form1.findChild<QAction*>(QStringLiteral("Resistance2"))->isEnabled());

    command->trigger();
    ResistanceWindow* window = program.form1.resistanceWindow();
    QVERIFY(window->isVisible());
    // The window writes numbers as the user's locale does.
    const QString point = QLocale::system().decimalPoint();
    const auto number = [&](QString text) {
        return text.replace(QRegularExpression("(\\d),(\\d)"), "\\1" + point + "\\2");
    };
    const QString text = resultsText(*window);
    QVERIFY2(text.contains(number("R₀ = 2,462 м²·К/Вт, Rк = 2,303 м²·К/Вт, U = 0,406 Вт/(м²·К)")),
             qPrintable(text));
    QVERIFY(text.contains(number("R₀ = 1,231 м²·К/Вт")));  // q2 = 2·q1
    QVERIFY(text.contains("✓ C1 продолжительность: 4 сут — не менее 3 сут (72 ч)"));
    QVERIFY(
        text.contains(number("✓ C2 последние сутки: R на 24 ч раньше 2,466, отклонение 0,17 % "
                             "не более 5 % от него")));
    QVERIFY(
        text.contains(number("✓ C3 трети: R первых 2 сут 2,500, последних 2 сут 2,424, "
                             "отклонение 3,1")));
    QVERIFY(
        text.contains(number("✓ Δt разность температур: в среднем 30,0 K по модулю — не "
                             "меньше 10 K")));
    // Both methods side by side; 18 readings are too few for the dynamic one, which says so.
    QVERIFY(text.contains("Метод средних") && text.contains("Динамический метод"));
    QVERIFY(text.contains(number("U = ±0,276 (11,2 %, k = 2)")));
    QVERIFY(text.contains("мало показаний"));
    QVERIFY(
        text.contains(number("Среднее по каналам (2): R₀ = 1,846 м²·К/Вт, от 1,231 до "
                             "2,462")));
    // Verdicts in the criteria and in the methods' tables.
    QCOMPARE(text.count("Измерение соответствует критериям"), 4);
    QVERIFY(text.contains("теплосодержания"));
    const QString heading = window->findChild<QLabel*>(QStringLiteral("heading"))->text();
    QVERIFY2(heading.contains("строк в расчёте: 16, пропущено: 1"), qPrintable(heading));
    QVERIFY(heading.contains("01.10.2009 20:00:00 — 05.10.2009 14:00:00"));

    const auto* daily = window->findChild<QTableWidget*>(QStringLiteral("daily"));
    QCOMPARE(daily->rowCount(), 4);
    QCOMPARE(daily->item(0, 1)->text(), QStringLiteral("01.10.2009 20:00:00"));
    QCOMPARE(daily->item(3, 2)->text(), QStringLiteral("05.10.2009 14:00:00"));
    QCOMPARE(daily->item(2, 3)->text(), number("2,400"));
    QCOMPARE(daily->item(3, 3)->text(), number("2,449"));

    program.form1.closeTable();
    QVERIFY(!window->isVisible());
}

void ResistanceWindowTest::selectionAndCoefficients() {
    ExampleWindow example;
    auto& [settings, tables, table, fields, dialogs, window] = example;

    // Rows 7–18: three whole days, Σ(tв − tн) = 360 over Σq = 147.
    std::vector<zond::measurement::RowSnapshot> selection;
    for (std::uint32_t record = 18; record >= 7; --record) {
        selection.push_back({record, {}});
    }
    window.analyse(table, fields, selection);
    QVERIFY2(resultsText(window).contains("R₀ = 2,449 м²·К/Вт"), qPrintable(resultsText(window)));
    QCOMPARE(window.result().rowsUsed, 12u);

    // One selected row is no selection: every row counts.
    window.analyse(table, fields, std::span(selection).first(1));
    QVERIFY(resultsText(window).contains("R₀ = 2,462 м²·К/Вт, Rк = 2,303 м²·К/Вт"));

    // αв = 10: Rк = 2,461538 − 0,1 − 1/23 at once, and remembered for the next window.
    window.findChild<QDoubleSpinBox*>(QStringLiteral("alphaIn"))->setValue(10);
    QVERIFY(resultsText(window).contains("Rк = 2,318 м²·К/Вт"));
    QCOMPARE(settings.open()->value("Resistance/AlphaIn").toDouble(), 10.0);
    ResistanceWindow next(dialogs, ',');
    QCOMPARE(next.findChild<QDoubleSpinBox*>(QStringLiteral("alphaIn"))->value(), 10.0);
    QCOMPARE(next.findChild<QDoubleSpinBox*>(QStringLiteral("alphaOut"))->value(), 23.0);

    // A minimum difference above the example's 30 K: the measurement no longer conforms.
    auto* minimum = window.findChild<QDoubleSpinBox*>(QStringLiteral("minDifference"));
    QCOMPARE(minimum->value(), 10.0);
    QCOMPARE(minimum->accessibleName(), QStringLiteral("Минимальная разность температур"));
    minimum->setValue(40);
    QVERIFY(
        resultsText(window).contains("✗ Δt разность температур: в среднем 30,0 K по модулю — "
                                     "меньше 40 K"));
    QVERIFY(!window.result().conforms);
    QCOMPARE(settings.open()->value("Resistance/MinDifference").toDouble(), 40.0);
    window.findChild<QDoubleSpinBox*>(QStringLiteral("fluxUncertainty"))->setValue(10);
    QCOMPARE(window.result().channels[0].uncertainty->flux, 0.1);
    QCOMPARE(next.findChild<QDoubleSpinBox*>(QStringLiteral("temperatureUncertainty"))->value(),
             0.5);
}

QString pdfText(const QString& pdf) {
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(reader.readAllStandardOutput()).simplified();
}

// LibreOffice's own conversion of an OpenDocument text to plain text.
QString odtText(const QString& odt, const QString& work) {
    QProcess office;
    office.start(
        QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=file://") + work + QStringLiteral("/lo"),
         QStringLiteral("--headless"), QStringLiteral("--convert-to"),
         QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("--outdir"), work, odt});
    if (!office.waitForFinished(180000)) {
        return {};
    }
    QFile text(work + QLatin1Char('/') + QFileInfo(odt).completeBaseName() +
               QStringLiteral(".txt"));
    return text.open(QIODevice::ReadOnly) ? QString::fromUtf8(text.readAll()).simplified()
                                          : QString();
}

void ResistanceWindowTest::fillsTheDetailsAndSavesTheProtocol() {
    ExampleWindow example;
    auto& [settings, tables, table, fields, dialogs, window] = example;
    window.analyse(table, fields, {});

    window.findChild<QPushButton*>(QStringLiteral("surveyDetails"))->click();
    auto* details = window.findChild<zond::app::SurveyDetailsDialog*>();
    QVERIFY(details != nullptr && details->isVisible());
    QVERIFY(
        details->findChild<QLabel*>(QStringLiteral("instrument"))->text().contains("ЗОНД-8Т.05"));
    details->findChild<QLineEdit*>(QStringLiteral("object"))->setText("Школа № 5");
    details->findChild<QPlainTextEdit*>(QStringLiteral("construction"))
        ->setPlainText("кирпич 380 мм\nпенополистирол 80 мм");
    details->findChild<QLineEdit*>(QStringLiteral("operator"))->setText("Сидоров С. С.");
    auto* required = details->findChild<QLineEdit*>(QStringLiteral("required_r0"));
    required->setText("много");
    details->accept();
    // A bad R₀тр keeps the dialog open with what was typed, and writes nothing.
    QCOMPARE(dialogs.messages.size(), 1u);
    QVERIFY(dialogs.messages.back().text.contains("R₀тр"));
    QVERIFY(details->isVisible());
    QVERIFY(!QFile::exists(tables.filePath("Стена.survey.json")));
    required->setText("2,5");
    details->accept();
    QVERIFY(!details->isVisible());
    QVERIFY(QFile::exists(tables.filePath("Стена.survey.json")));

    QTemporaryDir out;
    dialogs.fileNames.push_back(out.filePath(QStringLiteral("протокол.pdf")));
    window.findChild<QPushButton*>(QStringLiteral("savePdf"))->click();
    dialogs.fileNames.push_back(out.filePath(QStringLiteral("протокол.odt")));
    window.findChild<QPushButton*>(QStringLiteral("saveOdt"))->click();
    QCOMPARE(dialogs.messages.size(), 1u);
    QCOMPARE(dialogs.saveRequests.at(0).fileName, QStringLiteral("Стена.pdf"));
    QCOMPARE(dialogs.saveRequests.at(1).fileName, QStringLiteral("Стена.odt"));

    const QString pdf = pdfText(out.filePath(QStringLiteral("протокол.pdf")));
    const QString odt = odtText(out.filePath(QStringLiteral("протокол.odt")), out.path());
    for (const QString& text : {pdf, odt}) {
        for (const char* wanted :
             {"Объект Школа № 5", "кирпич 380 мм", "пенополистирол 80 мм",
              "Исполнитель ____________ / Сидоров С. С.", "Таблица измерений Стена",
              "Период анализа 01.10.2009 20:00:00 — 05.10.2009 14:00:00",
              "Строк не учтено 3: нечитаемых — 1, до начала периода анализа — 2",
              "м²·К/Вт 2,462 ± ", " 1,231 ± ", "Rк, м²·К/Вт 2,303",
              "αв = 8,7 Вт/(м²·К), αн = 23 Вт/(м²·К)", "Наименьшая разность температур: 10 K",
              "Динамический метод", "✓ C1 продолжительность",
              // q1 2,462 and q2 1,231: their mean 1,846 is below 2,5.
              "R₀ = 1,846 ± ",
              "(среднее по 2 каналам), что менее нормируемого "
              "R₀тр = 2,5 м²·К/Вт"}) {
            QVERIFY2(text.contains(QString::fromUtf8(wanted)),
                     qPrintable(QString::fromUtf8(wanted) + QStringLiteral("\n") + text));
        }
    }
}

void ResistanceWindowTest::damagedDetailsAreReportedAndLeftAlone() {
    ExampleWindow example;
    auto& [settings, tables, table, fields, dialogs, window] = example;
    window.analyse(table, fields, {});
    QFile file(tables.filePath(QStringLiteral("Стена.survey.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"object\": 12");
    file.close();

    window.findChild<QPushButton*>(QStringLiteral("surveyDetails"))->click();
    auto* details = window.findChild<zond::app::SurveyDetailsDialog*>();
    QCOMPARE(dialogs.messages.size(), 1u);
    QVERIFY2(dialogs.messages.back().text.contains("«Стена.survey.json» повреждён"),
             qPrintable(dialogs.messages.back().text));
    QVERIFY(details->findChild<QLineEdit*>(QStringLiteral("object"))->text().isEmpty());
    details->reject();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("{\"object\": 12"));
}

void ResistanceWindowTest::serviceMenuEditsTheDetailsAndTheOrganisation() {
    zond::test::PrivateSettings settings;
    QTemporaryDir tables;
    const auto path = writeExampleTable(tables.path());
    zond::test::ProgramWindows program;
    auto* details = program.form1.findChild<QAction*>(QStringLiteral("SurveyDetails"));
    QCOMPARE(details->text(), QStringLiteral("Сведения об обследовании…"));
    QVERIFY(!details->isEnabled());

    auto* organisation = program.form1.findChild<QAction*>(QStringLiteral("Organisation"));
    QCOMPARE(organisation->text(), QStringLiteral("Организация…"));
    organisation->trigger();
    auto* organisationDialog = program.form1.findChild<zond::app::OrganisationDialog*>();
    QVERIFY(organisationDialog->isVisible());
    organisationDialog->findChild<QLineEdit*>(QStringLiteral("organisationName"))
        ->setText("ООО «Тавис»");
    organisationDialog->accept();
    QCOMPARE(settings.open()->value("Organisation/Name").toString(), QStringLiteral("ООО «Тавис»"));

    program.form1.openTable(QString::fromStdU16String(path.u16string()));
    QVERIFY(details->isEnabled());
    details->trigger();
    auto* dialog = program.form1.findChild<zond::app::SurveyDetailsDialog*>();
    QVERIFY(dialog->isVisible());
    dialog->findChild<QLineEdit*>(QStringLiteral("client"))->setText("ГКУ \"Заказчик\"");
    dialog->accept();
    QVERIFY(program.dialogs.messages.empty());
    // Closing and opening the table again finds its details beside it.
    program.form1.closeTable();
    program.form1.openTable(QString::fromStdU16String(path.u16string()));
    details->trigger();
    QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("client"))->text(),
             QStringLiteral("ГКУ \"Заказчик\""));
    dialog->reject();
}

namespace {

class NoPrinters final : public zond::report::PrinterAccess {
  public:
    QStringList printerNames() const override { return {}; }
    std::optional<zond::report::PrintJob> choose(QWidget*, std::optional<int>) override {
        ++asked;
        return std::nullopt;
    }
    int asked = 0;
};

}  // namespace

void ResistanceWindowTest::printWithoutPrinterOffersThePdf() {
    ExampleWindow example;
    auto& [settings, tables, table, fields, dialogs, window] = example;
    auto printers = std::make_unique<NoPrinters>();
    const NoPrinters& seen = *printers;
    window.setPrinters(std::move(printers));
    window.analyse(table, fields, {});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Declined: nothing is written.
    dialogs.answers.push_back(QMessageBox::No);
    window.findChild<QPushButton*>(QStringLiteral("print"))->click();
    QCOMPARE(dialogs.messages.size(), std::size_t(1));
    QVERIFY(dialogs.messages.front().text.startsWith("Принтер не найден"));
    QCOMPARE(dialogs.messages.front().icon, zond::ui::MessageIcon::Question);
    QVERIFY(dialogs.saveRequests.empty());
    QCOMPARE(seen.asked, 0);  // no print dialog with an empty printer field

    // Accepted: the PDF dialog, beside the table.
    QTemporaryDir out;
    dialogs.answers.push_back(QMessageBox::Yes);
    dialogs.fileNames.push_back(out.filePath(QStringLiteral("протокол.pdf")));
    window.findChild<QPushButton*>(QStringLiteral("print"))->click();
    QCOMPARE(dialogs.saveRequests.size(), std::size_t(1));
    QCOMPARE(dialogs.saveRequests.front().directory, tables.path());
    QVERIFY(QFileInfo(out.filePath(QStringLiteral("протокол.pdf"))).size() > 0);

    // Esc closes the window.
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(ResistanceWindowTest)
#include "resistance_window_test.moc"
