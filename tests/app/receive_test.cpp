// The receive window against zond-sim on a pseudo-terminal, reached as COM1 through the settings.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/receive_window.h"
#include "link/serial_port_driver.h"
#include "link/settings_store.h"
#include "scripted_dialogs.h"
#include "sim_process.h"

using zond::testing::SimProcess;

namespace {

void mapPorts(const QString& com1, const QString& com2) {
    auto settings = zond::link::openProgramSettings();
    settings->setValue(QStringLiteral("Ports/COM1"), com1);
    settings->setValue(QStringLiteral("Ports/COM2"), com2);
}

const QString kNowhere = QStringLiteral("/dev/zond-test-no-port");

}  // namespace

class ReceiveWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir work_;

  private slots:
    void fetchesTheWholeMemoryAndShowsTheInstrument() {
        const QString written = work_.filePath(QStringLiteral("served.img"));
        SimProcess sim(QStringLiteral(ZOND_SIM_PATH),
                       {"--records", "120", "--sensors", "1,0,3", "--write-image", written});
        QVERIFY(!sim.device().isEmpty());
        mapPorts(sim.device(), kNowhere);

        zond::test::ScriptedDialogs dialogs;
        ReceiveWindow form(dialogs);
        QCOMPARE(form.runTransfer(), 1);
        QVERIFY(dialogs.messages.empty());
        QCOMPARE(form.windowTitle(), QStringLiteral("Прием данных"));
        QCOMPARE(form.statusLabel()->text(), QStringLiteral("Идет прием информации ..."));
        QCOMPARE(form.instrumentLabel()->text(),
                 QStringLiteral("ЗОНД-8Т \"Тавис\" - трехканальный"));
        QCOMPARE(form.versionLabel()->text(), QStringLiteral("18.08.09"));
        QCOMPARE(form.recordCountLabel()->text(), QStringLiteral("120"));
        QVERIFY(!form.driver()->isOpen());
        QVERIFY(!form.responseTimer()->isActive());

        QFile served(written);
        QVERIFY(served.open(QIODevice::ReadOnly));
        const QByteArray expected = served.readAll();
        const auto image = form.deviceImage().assembled();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(image.data()), image.size()), expected);
        QCOMPARE(form.deviceInfo().channelCount, 2);

        // Shown again, the window starts afresh and fetches again.
        QCOMPARE(form.runTransfer(), 1);
        QCOMPARE(form.deviceImage().assembledLength, static_cast<std::size_t>(expected.size()));
    }

    void cancelClosesThePortWithoutAMessage() {
        SimProcess sim(QStringLiteral(ZOND_SIM_PATH), {"--fault", "silent"});
        mapPorts(sim.device(), kNowhere);
        zond::test::ScriptedDialogs dialogs;
        ReceiveWindow form(dialogs);
        bool wasOpen = false;
        QTimer::singleShot(300, &form, [&] {
            wasOpen = form.driver()->isOpen();
            QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
        });
        QCOMPARE(form.runTransfer(), 2);
        QVERIFY(wasOpen);
        QVERIFY(dialogs.messages.empty());
        QVERIFY(!form.driver()->isOpen());
        QCOMPARE(form.progressBar()->value(), 0);
    }

    void wrongInstrumentIsRefused() {
        SimProcess sim(QStringLiteral(ZOND_SIM_PATH), {"--generation", "4"});
        mapPorts(sim.device(), kNowhere);
        zond::test::ScriptedDialogs dialogs;
        ReceiveWindow form(dialogs);
        QCOMPARE(form.runTransfer(), 2);
        QCOMPARE(dialogs.messageTexts(),
                 QStringList{QStringLiteral("Вы подключили не тот прибор !")});
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error"));
        QCOMPARE(dialogs.messages[0].icon, zond::ui::MessageIcon::Error);
        QVERIFY(!form.driver()->isOpen());
    }

    void undecodableDataWaitsForCancel() {
        SimProcess sim(QStringLiteral(ZOND_SIM_PATH), {"--records", "3", "--fault", "bad-data"});
        mapPorts(sim.device(), kNowhere);
        zond::test::ScriptedDialogs dialogs;
        ReceiveWindow form(dialogs);
        QTimer::singleShot(1500, &form, [&] { form.cancelButton()->click(); });
        QCOMPARE(form.runTransfer(), 2);
        QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Range check error")});
        QVERIFY(dialogs.messages[0].details.contains(QStringLiteral("не удалось расшифровать")));
    }

    // Real message boxes: the header's error box is still open when the timer, running on,
    // ends the transfer with its own box; answering that one closes both.
    void theEndOfATransferClosesItsErrorBoxStillOpen() {
        SimProcess sim(QStringLiteral(ZOND_SIM_PATH), {"--fault", "bad-header"});
        mapPorts(sim.device(), kNowhere);
        zond::ui::StandardDialogs dialogs;
        ReceiveWindow form(dialogs);
        QStringList seen;
        bool stuck = false;  // a box left open after the end, answered here so the test ends
        QElapsedTimer clock;
        clock.start();
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (auto* box : form.findChildren<QMessageBox*>()) {
                if (!box->isVisible()) {
                    continue;
                }
                if (!seen.contains(box->text())) {
                    seen << box->text();
                }
                stuck = stuck || clock.elapsed() > 15000;
                if (stuck || box->text().startsWith(QStringLiteral("Прибор"))) {
                    box->button(QMessageBox::Ok)->click();
                }
            }
        });
        answer.start(100);
        QCOMPARE(form.runTransfer(), 2);
        QVERIFY(!stuck);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0], QStringLiteral("Range check error"));
    }

    void noInstrumentOnEitherPort() {
        mapPorts(kNowhere, kNowhere);
        zond::test::ScriptedDialogs dialogs;
        ReceiveWindow form(dialogs);
        QCOMPARE(form.runTransfer(), 2);  // 3 s on each port
        QCOMPARE(dialogs.messages.size(), std::size_t{1});
        QVERIFY(dialogs.messages[0].text.startsWith(QStringLiteral("Прибор не обнаружен!")));
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(dialogs.messages[0].details,
                 QStringLiteral("COM1 (/dev/zond-test-no-port): устройство не существует\n"
                                "COM2 (/dev/zond-test-no-port): устройство не существует"));
        QCOMPARE(form.driver()->portName(), QStringLiteral("\\\\.\\COM1"));
    }

    // Without an instrument the window names the port it searches; the message then gives each
    // port's reason and offers the port settings.
    void noInstrumentNamesThePortsAndOffersTheSettings() {
        mapPorts(kNowhere, kNowhere);
        zond::test::ScriptedDialogs dialogs;
        dialogs.actionChoices = {true};
        ReceiveWindow form(dialogs);
        int settingsOpened = 0;
        form.setPortSettings([&] { ++settingsOpened; });
        QStringList searched;
        QTimer watch;
        connect(&watch, &QTimer::timeout, &form, [&] {
            const QString text = form.progressLabel()->text();
            if (!text.isEmpty() && !searched.contains(text)) {
                searched << text;
            }
        });
        watch.start(100);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(form.runTransfer(), 2);
        QVERIFY(clock.elapsed() >= 5500);  // still 3 s on each port
        QCOMPARE(searched, QStringList({"Поиск прибора на COM1 (/dev/zond-test-no-port)…",
                                        "Поиск прибора на COM2 (/dev/zond-test-no-port)…"}));
        QCOMPARE(dialogs.messages.size(), std::size_t{1});
        const auto& shown = dialogs.messages[0];
        QVERIFY(shown.text.startsWith(QStringLiteral("Прибор не обнаружен!")));
        QVERIFY(
            shown.text.endsWith("\n\nCOM1 (/dev/zond-test-no-port): устройство не существует\n"
                                "COM2 (/dev/zond-test-no-port): устройство не существует"));
        QCOMPARE(shown.caption, QStringLiteral("Ошибка"));
        QCOMPARE(shown.action, QStringLiteral("Настройка связи…"));
        QCOMPARE(settingsOpened, 1);
    }

    // During the data: records received of those announced, the percentage and the time left.
    void transferShowsRecordsOfTheAnnouncedCount() {
        SimProcess sim(QStringLiteral(ZOND_SIM_PATH), {"--records", "3854", "--baud", "9600"});
        QVERIFY(!sim.device().isEmpty());
        mapPorts(sim.device(), kNowhere);
        zond::test::ScriptedDialogs dialogs;
        ReceiveWindow form(dialogs);
        QStringList seen;
        QTimer watch;
        QElapsedTimer clock;
        clock.start();
        connect(&watch, &QTimer::timeout, &form, [&] {
            seen << form.progressLabel()->text().replace(QChar(0xa0), QLatin1Char(' '));
            if (seen.back().contains(QStringLiteral("осталось")) || clock.elapsed() > 15000) {
                form.cancelButton()->click();
            }
        });
        watch.start(200);
        QCOMPARE(form.runTransfer(), 2);
        const QRegularExpression shown(
            QStringLiteral("^(\\d{1,3}(?: \\d{3})?) из 3 854 \\((\\d+) %\\), осталось около (\\d+ "
                           "с|\\d+ мин \\d\\d с)$"));
        const auto match = shown.match(seen.back());
        QVERIFY2(match.hasMatch(), qPrintable(seen.join('|')));
        const int received = match.captured(1).remove(' ').toInt();
        QVERIFY(received > 0 && received < 3854);
        QCOMPARE(match.captured(2).toInt(), received * 100 / 3854);
        // 3854 records of 34 characters at 960 characters a second: about two minutes in all.
        QVERIFY2(match.captured(3).contains(QStringLiteral("мин")), qPrintable(seen.back()));
    }

    void stalledDataShowsTheSecondsSinceTheLastCharacter() {
        // The block never ends: the protocol waits until "Отмена".
        SimProcess sim(QStringLiteral(ZOND_SIM_PATH), {"--records", "3", "--fault", "no-end"});
        mapPorts(sim.device(), kNowhere);
        zond::test::ScriptedDialogs dialogs;
        ReceiveWindow form(dialogs);
        QString early;
        QString later;
        QTimer::singleShot(500, &form, [&] { early = form.stallLabel()->text(); });
        QTimer::singleShot(4000, &form, [&] {
            later = form.stallLabel()->text();
            form.cancelButton()->click();
        });
        QCOMPARE(form.runTransfer(), 2);
        QCOMPARE(early, QString());
        // The block came within the first second; the label follows twice a second.
        const QRegularExpression shown(QStringLiteral("^Нет данных от прибора уже ([234]) с$"));
        QVERIFY2(shown.match(later).hasMatch(), qPrintable(later));
        QVERIFY(dialogs.messages.empty());
    }

    void lostLineEndsTheTransferAtOnce() {
        auto sim = std::make_unique<SimProcess>(QStringLiteral(ZOND_SIM_PATH),
                                                QStringList{"--records", "3854", "--baud", "9600"});
        mapPorts(sim->device(), kNowhere);
        zond::test::ScriptedDialogs dialogs;
        ReceiveWindow form(dialogs);
        // The emulator goes away mid-block, as a pulled adapter does.
        QTimer::singleShot(1000, &form, [&] { sim.reset(); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(form.runTransfer(), 2);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(dialogs.messages.size(), std::size_t{1});
        QVERIFY(dialogs.messages[0].text.startsWith(
            QStringLiteral("Связь с прибором прервана: устройство /dev/")));
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(!form.driver()->isOpen());
    }
};

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    ReceiveWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "receive_test.moc"
