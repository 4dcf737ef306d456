// The serial driver against a real pseudo-terminal: the emulator's master side plays the far end.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

#include <unistd.h>

#include "link/CPDrv.h"
#include "link/port_mapping.h"
#include "link/settings_store.h"
#include "pseudo_terminal.h"

using namespace zond::link;
using zond::sim::PseudoTerminal;

namespace {

// Everything the driver delivered, block by block.
struct Received {
    QList<QByteArray> blocks;
    QByteArray all() const {
        QByteArray joined;
        for (const auto& b : blocks) {
            joined += b;
        }
        return joined;
    }
};

void collectInto(CommPortDriver& driver, Received& received) {
    driver.SetOnReceiveData([&received](CommPortDriver*, const char* data, quint32 size) {
        received.blocks.append(QByteArray(data, static_cast<qsizetype>(size)));
    });
}

QString slaveOf(const PseudoTerminal& far) {
    return QString::fromStdString(far.slavePath());
}

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('A' + i % 26);
    }
    return bytes;
}

}  // namespace

class CommPortDriverTest : public QObject {
    Q_OBJECT

  private slots:
    void defaultsAreTheComponentDefaults() {
        CommPortDriver driver;
        QCOMPARE(driver.PortName(), QStringLiteral("\\\\.\\COM2"));
        QCOMPARE(driver.Port(), TPortNumber::pnCOM2);
        QCOMPARE(driver.BaudRateValue(), 9600u);
        QCOMPARE(driver.InBufSize(), 2048u);
        QCOMPARE(driver.PollingDelay(), quint16{50});
        QVERIFY(driver.EnableDTROnOpen());
        QCOMPARE(driver.OutputTimeout(), quint16{500});
        QVERIFY(!driver.IsConnected());
    }

    void settersFollowTheirRules() {
        CommPortDriver driver;
        driver.SetInBufSize(100);
        QCOMPARE(driver.InBufSize(), 128u);
        driver.SetInBufSize(10000);
        QCOMPARE(driver.InBufSize(), 8192u);
        driver.SetOutBufSize(1);
        QCOMPARE(driver.OutBufSize(), 128u);
        driver.SetPollingDelay(2);
        QCOMPARE(driver.PollingDelay(), quint16{5});

        driver.SetPort(TPortNumber::pnCOM7);
        QCOMPARE(driver.PortName(), QStringLiteral("\\\\.\\COM7"));
        driver.SetPort(TPortNumber::pnCustom);
        QCOMPARE(driver.PortName(), QStringLiteral("\\\\.\\COM7"));
        driver.SetPort(TPortNumber::pnCOM3);
        driver.SetPortName(QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(driver.Port(), TPortNumber::pnCustom);

        driver.SetBaudRate(TBaudRate::br115200);
        QCOMPARE(driver.BaudRateValue(), 115200u);
        driver.SetBaudRateValue(31250);
        QCOMPARE(driver.BaudRate(), TBaudRate::brCustom);
        QCOMPARE(driver.BaudRateValue(), 31250u);
    }

    void openPortKeepsItsNameAndBufferSize() {
        PseudoTerminal far;
        CommPortDriver driver;
        driver.SetPortName(slaveOf(far));
        driver.SetInBufSize(4096);
        QVERIFY(driver.Connect());
        QVERIFY(driver.Connect());  // already open: still true
        driver.SetPortName(QStringLiteral("/dev/null"));
        driver.SetPort(TPortNumber::pnCOM1);
        driver.SetInBufSize(256);
        QCOMPARE(driver.PortName(), slaveOf(far));
        QCOMPARE(driver.InBufSize(), 4096u);
        driver.Disconnect();
        QVERIFY(!driver.IsConnected());
        driver.Disconnect();  // closed already: nothing happens
    }

    void missingDeviceDoesNotConnect() {
        CommPortDriver driver;
        driver.SetPortName(QStringLiteral("/dev/zond-no-such-port"));
        QVERIFY(!driver.Connect());
        QVERIFY(!driver.IsConnected());
    }

    void sendingOnAClosedPortSendsNothing() {
        CommPortDriver driver;
        QVERIFY(!driver.SendByte('V'));
        QCOMPARE(driver.SendBlock("VN", 2, 100), 0u);
    }

    void bytesGoOutAndComeIn() {
        PseudoTerminal far;
        CommPortDriver driver;
        Received received;
        collectInto(driver, received);
        driver.SetPortName(slaveOf(far));
        QVERIFY(driver.Connect());
        QVERIFY(driver.SendByte('V'));
        QCOMPARE(far.readFor(std::chrono::milliseconds(500)), std::string("V"));
        QVERIFY(far.writeAll("5055"));
        QTRY_COMPARE_WITH_TIMEOUT(received.all(), QByteArray("5055"), 2000);
    }

    void waitingBytesAreDeliveredWithoutTheEventLoop() {
        PseudoTerminal far;
        CommPortDriver driver;
        Received received;
        collectInto(driver, received);
        driver.SetPortName(slaveOf(far));
        QVERIFY(driver.Connect());
        driver.PollInput();
        QVERIFY(received.blocks.isEmpty());  // an empty tick raises no event
        QVERIFY(far.writeAll("S0000P"));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        driver.PollInput();  // no event was processed since the write
        QCOMPARE(received.all(), QByteArray("S0000P"));
    }

    void moreThanInBufSizeArrivesOverSeveralTicks() {
        PseudoTerminal far;
        CommPortDriver driver;
        Received received;
        collectInto(driver, received);
        driver.SetPortName(slaveOf(far));
        driver.SetInBufSize(128);
        driver.SetPollingDelay(1000);  // ticks only when the test says so
        QVERIFY(driver.Connect());
        const QByteArray sent = pattern(1000);
        QVERIFY(far.writeAll(sent.toStdString()));
        QTest::qWait(50);  // let Qt take everything from the descriptor
        for (int tick = 0; tick < 20 && received.all().size() < sent.size(); ++tick) {
            driver.PollInput();
        }
        QCOMPARE(received.all(), sent);
        QCOMPARE(received.blocks.size(), 8);  // 7 full blocks and the rest
        for (const auto& block : received.blocks) {
            QVERIFY(block.size() <= 128);
        }
    }

    void handlerIsNotEnteredAgainWhileItRuns() {
        PseudoTerminal far;
        CommPortDriver driver;
        int depth = 0;
        int deepest = 0;
        QByteArray all;
        driver.SetOnReceiveData([&](CommPortDriver*, const char* data, quint32 size) {
            ++depth;
            deepest = std::max(deepest, depth);
            all += QByteArray(data, static_cast<qsizetype>(size));
            if (all.size() == 1) {
                // Like a modal message box: the event loop runs while the handler waits.
                far.writeAll("BCD");
                QTest::qWait(300);
            }
            --depth;
        });
        driver.SetPortName(slaveOf(far));
        driver.SetPollingDelay(10);
        QVERIFY(driver.Connect());
        QVERIFY(far.writeAll("A"));
        QTRY_COMPARE_WITH_TIMEOUT(all, QByteArray("ABCD"), 3000);
        QCOMPARE(deepest, 1);
    }

    void handlerMayCloseThePort() {
        PseudoTerminal far;
        CommPortDriver driver;
        int calls = 0;
        driver.SetOnReceiveData([&](CommPortDriver* sender, const char*, quint32) {
            ++calls;
            sender->Disconnect();
        });
        driver.SetPortName(slaveOf(far));
        driver.SetInBufSize(128);
        QVERIFY(driver.Connect());
        QVERIFY(far.writeAll(pattern(1000).toStdString()));
        QTRY_VERIFY_WITH_TIMEOUT(!driver.IsConnected(), 2000);
        QTest::qWait(150);
        QCOMPARE(calls, 1);
    }

    void largeBlockGoesOutThroughASmallQueue() {
        PseudoTerminal far;
        CommPortDriver driver;
        driver.SetPortName(slaveOf(far));
        driver.SetOutBufSize(128);
        QVERIFY(driver.Connect());
        // The far end reads in bursts with pauses shorter than the time-out, so the whole send
        // takes longer than the time-out but never stalls for that long.
        std::string farGot;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            while (!done) {
                // At most 64 KiB a burst.
                char chunk[4096];
                for (int i = 0; i < 16; ++i) {
                    const ssize_t n = ::read(far.masterFd(), chunk, sizeof chunk);
                    if (n <= 0) {
                        break;
                    }
                    farGot.append(chunk, static_cast<std::size_t>(n));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        const QByteArray block = pattern(400000);
        QElapsedTimer clock;
        clock.start();
        const quint32 sent = driver.SendBlock(block.constData(), 400000, 250);
        const qint64 took = clock.elapsed();
        QTest::qWait(400);
        done = true;
        reader.join();
        farGot += far.readFor(std::chrono::milliseconds(200));
        QCOMPARE(sent, 400000u);
        QVERIFY2(took > 250, qPrintable(QStringLiteral("took %1 ms").arg(took)));
        QCOMPARE(QByteArray::fromStdString(farGot), block);
    }

    void stalledLineStopsAfterTheTimeout() {
        PseudoTerminal far;  // never read: the line fills up
        CommPortDriver driver;
        driver.SetPortName(slaveOf(far));
        QVERIFY(driver.Connect());
        const QByteArray block = pattern(1 << 20);
        QElapsedTimer clock;
        clock.start();
        const quint32 sent = driver.SendBlock(block.constData(), 1u << 20, 100);
        QVERIFY(sent > 0);
        QVERIFY(sent < (1u << 20));
        QVERIFY(clock.elapsed() >= 100);
    }

    void programPortsMapThroughTheSettings() {
        QCOMPARE(deviceForPort(QStringLiteral("/dev/pts/9")), QStringLiteral("/dev/pts/9"));
#ifndef Q_OS_WIN
        QCOMPARE(deviceForPort(QStringLiteral("\\\\.\\COM1")), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(deviceForPort(QStringLiteral("\\\\.\\COM2")), QStringLiteral("/dev/ttyS0"));
#endif
        openProgramSettings()->setValue(QStringLiteral("Ports/COM2"), QStringLiteral("/dev/x"));
        QCOMPARE(deviceForPort(QStringLiteral("\\\\.\\COM2")), QStringLiteral("/dev/x"));

        PseudoTerminal far;
        openProgramSettings()->setValue(QStringLiteral("Ports/COM1"), slaveOf(far));
        CommPortDriver driver;
        driver.SetPort(TPortNumber::pnCOM1);
        QVERIFY(driver.Connect());
        QVERIFY(driver.SendByte('N'));
        QCOMPARE(far.readFor(std::chrono::milliseconds(500)), std::string("N"));
    }
};

int main(int argc, char** argv) {
    // Settings go to a folder of the test's own, never the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    CommPortDriverTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CPDrv_test.moc"
