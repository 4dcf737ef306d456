// The port settings window under offscreen Qt: the chosen device becomes Ports/COM1 for the next
// "Создать", "Проверить связь" names the instrument that answers, and "Журнал обмена…" saves the
// log of the last transfer.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "app/port_settings_window.h"
#include "app_fixture.h"
#include "link/communication_log.h"

using zond::test::Emulator;
using zond::test::PrivateSettings;
using zond::test::ProgramWindows;

namespace {

const QString kNowhere = QStringLiteral("/dev/zond-test-no-port");

QString checkOn(PortSettingsWindow& window, const QString& device) {
    window.deviceBox(1)->setCurrentText(device);
    window.checkButton(1)->click();
    // The check ends within the instrument's 3 s response time.
    if (!QTest::qWaitFor([&] { return window.checkButton(2)->isEnabled(); }, 5000)) {
        return QStringLiteral("the check did not end");
    }
    return window.checkResult(1)->text();
}

}  // namespace

class PortSettingsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { settings_ = std::make_unique<PrivateSettings>(); }
    void cleanup() { settings_.reset(); }

    void chosenDeviceServesTheNextCreateAndItsLogCanBeSaved() {
        Emulator instrument({"--records", "12"});
        PortSettingsWindow window;
        window.deviceBox(1)->setCurrentText(instrument.device());
        window.deviceBox(2)->setCurrentText(kNowhere);
        window.accept();
        const auto stored = settings_->open();
        QCOMPARE(stored->value("Ports/COM1").toString(), instrument.device());
        QCOMPARE(stored->value("Ports/COM2").toString(), kNowhere);

        ProgramWindows program;
        program.dialogs.fileNames.push_back(work_.filePath("created.db"));
        program.form1.findChild<QAction*>("N2")->trigger();
        QVERIFY(program.dialogs.messages.empty());
        QCOMPARE(program.form1.table().recordCount(), 12u);

        const QString saved = work_.filePath("copy.log");
        program.dialogs.answers.push_back(QMessageBox::Save);
        program.dialogs.fileNames.push_back(saved);
        program.form1.findChild<QAction*>("CommunicationLog")->trigger();
        QFile last(zond::link::lastCommunicationLog());
        QFile copy(saved);
        QVERIFY(last.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
        const QByteArray log = copy.readAll();
        QCOMPARE(log, last.readAll());
        QVERIFY(log.contains(" > 56\n"));  // 'V'
        QVERIFY(log.contains(" > 4E\n"));  // 'N'
    }

    void checkNamesTheInstrumentOrWhatWentWrong() {
        Emulator instrument({"--sensors", "1,0,3", "--version", "1.2.3"});
        PortSettingsWindow window;
        // Nothing stored: the default device is called so, not a path typed by hand.
        if (!QFile::exists(QStringLiteral("/dev/ttyUSB0"))) {
            QCOMPARE(window.findChild<QLabel*>("details1")->text(),
                     QStringLiteral("Нет среди подключенных устройств: путь по умолчанию"));
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QSize size = window.size();
        window.checkButton(1)->setFocus();
        QCOMPARE(checkOn(window, instrument.device()),
                 QStringLiteral("Прибор ответил: ЗОНД-8Т \"Тавис\" - трехканальный, версия ПО "
                                "03.02.01"));
        QCOMPARE(checkOn(window, kNowhere),
                 kNowhere + QStringLiteral(": устройство не существует"));

        Emulator silent({"--fault", "silent"});
        QCOMPARE(checkOn(window, silent.device()),
                 silent.device() + QStringLiteral(": открыто, но нет ответа в течение 3 с"));
        // The results did not resize the window or move the focus to the other port.
        QCOMPARE(window.size(), size);
        QCOMPARE(window.focusWidget(), window.checkButton(1));
        // Nothing was stored without OK.
        QVERIFY(!settings_->open()->contains("Ports/COM1"));
    }

  private:
    std::unique_ptr<PrivateSettings> settings_;
    QTemporaryDir work_;
};

QTEST_MAIN(PortSettingsTest)
#include "port_settings_test.moc"
