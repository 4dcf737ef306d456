// Pictures of the survey's details dialog and of the protocol for the documentation (run under
// xvfb-run by scripts/screenshots; not a test): five days of a three-channel wall of R = 3,2
// fetched from the emulator with "Создать", the organisation and the details filled in, the
// dialog grabbed and the protocol written as PDF (the script turns its first page into a picture).
// Usage: protocol_screenshot DIALOG.png PROTOCOL.pdf
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "app/resistance_window.h"
#include "app/survey_details_dialog.h"
#include "app_fixture.h"
#include "report/survey_details.h"

namespace {

void fill(QDialog& dialog, const char* key, const char* text) {
    QWidget* editor = dialog.findChild<QWidget*>(QString::fromLatin1(key));
    if (auto* box = qobject_cast<QPlainTextEdit*>(editor)) {
        box->setPlainText(QString::fromUtf8(text));
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(QString::fromUtf8(text));
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: protocol_screenshot DIALOG.png PROTOCOL.pdf\n");
        return 2;
    }
    QTemporaryDir work;
    zond::test::PrivateSettings settings;
    zond::test::Emulator instrument({QStringLiteral("--wall"), QStringLiteral("3.2"),
                                     QStringLiteral("--days"), QStringLiteral("5"),
                                     QStringLiteral("--sensors"), QStringLiteral("1,1,1")});
    settings.pointPortAt(1, instrument.device());
    zond::report::saveOrganisation(
        *settings.open(), {QStringLiteral("ООО «Теплоконтроль»"),
                           QStringLiteral("614000, г. Пермь, ул. Ленина, д. 1"),
                           QStringLiteral("Аттестат аккредитации № RA.RU.21ТК01 от 01.02.2024")});

    zond::test::ProgramWindows program;
    program.form1.show();
    program.dialogs.fileNames.push_back(work.filePath(QStringLiteral("Школа 5.db")));
    program.form1.findChild<QAction*>(QStringLiteral("N2"))->trigger();
    if (!program.form1.tableOpen()) {
        std::fprintf(stderr, "the table was not created\n");
        return 1;
    }
    program.form1.findChild<QAction*>(QStringLiteral("SurveyDetails"))->trigger();
    auto* dialog = program.form1.findChild<zond::app::SurveyDetailsDialog*>();
    fill(*dialog, "protocol_number", "17/2026");
    fill(*dialog, "object", "Школа № 5, учебный корпус");
    fill(*dialog, "address", "г. Пермь, ул. Мира, д. 12");
    fill(*dialog, "client", "МКУ «Управление капитального строительства»");
    fill(*dialog, "construction",
         "кирпич керамический 510 мм\nминераловатная плита 100 мм\nштукатурка 20 мм");
    fill(*dialog, "orientation", "север");
    fill(*dialog, "placement", "кабинет 204, наружная стена, 1,5 м от пола, 0,8 м от угла");
    fill(*dialog, "serial", "0815");
    fill(*dialog, "verification", "№ С-ВЯ/12-03-2026/123456 от 12.03.2026");
    fill(*dialog, "operator", "Иванов И. И.");
    fill(*dialog, "checker", "Петров П. П.");
    fill(*dialog, "weather", "пасмурно, от −8 до −2 °C, ветер С-З 3 м/с");
    fill(*dialog, "required_r0", "3,2");
    fill(*dialog, "notes", "Датчик q3 у оконного откоса.");
    dialog->resize(760, 720);
    if (!QTest::qWaitForWindowExposed(dialog)) {
        return 1;
    }
    QTest::qWait(300);
    const bool grabbed = dialog->grab().save(QString::fromLocal8Bit(argv[1]));
    dialog->accept();

    program.form1.findChild<QAction*>(QStringLiteral("Resistance1"))->trigger();
    program.dialogs.fileNames.push_back(QString::fromLocal8Bit(argv[2]));
    program.form1.resistanceWindow()->findChild<QPushButton*>(QStringLiteral("savePdf"))->click();
    const bool written = program.dialogs.messages.empty() && QFile::exists(argv[2]);
    std::printf("%s %s, %s %s\n", grabbed ? "wrote" : "could not write", argv[1],
                written ? "wrote" : "could not write", argv[2]);
    return grabbed && written ? 0 : 1;
}
