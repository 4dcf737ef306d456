// The serial driver against a real pseudo-terminal: the emulator's master side plays the far end.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

#include <unistd.h>

#include "link/port_discovery.h"
#include "link/port_mapping.h"
#include "link/serial_port_driver.h"
#include "link/settings_store.h"
#include "sim/pseudo_terminal.h"

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

void collectInto(SerialPortDriver& driver, Received& received) {
    driver.setReceiveHandler([&received](SerialPortDriver*, const char* data, quint32 size) {
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

class SerialPortDriverTest : public QObject {
    Q_OBJECT

  private slots:
    void defaultsAreTheComponentDefaults() {
        SerialPortDriver driver;
        QCOMPARE(driver.portName(), QStringLiteral("\\\\.\\COM2"));
        QCOMPARE(driver.port(), PortNumber::Com2);
        QCOMPARE(driver.baudRateValue(), 9600u);
        QCOMPARE(driver.inputBufferSize(), 2048u);
        QCOMPARE(driver.pollingDelay(), quint16{50});
        QVERIFY(driver.enableDtrOnOpen());
        QCOMPARE(driver.outputTimeout(), quint16{500});
        QVERIFY(!driver.isOpen());
    }

    void settersFollowTheirRules() {
        SerialPortDriver driver;
        driver.setInputBufferSize(100);
        QCOMPARE(driver.inputBufferSize(), 128u);
        driver.setInputBufferSize(10000);
        QCOMPARE(driver.inputBufferSize(), 8192u);
        driver.setOutputBufferSize(1);
        QCOMPARE(driver.outputBufferSize(), 128u);
        driver.setPollingDelay(2);
        QCOMPARE(driver.pollingDelay(), quint16{5});

        driver.setPort(PortNumber::Com7);
        QCOMPARE(driver.portName(), QStringLiteral("\\\\.\\COM7"));
        driver.setPort(PortNumber::Custom);
        QCOMPARE(driver.portName(), QStringLiteral("\\\\.\\COM7"));
        driver.setPort(PortNumber::Com3);
        driver.setPortName(QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(driver.port(), PortNumber::Custom);

        driver.setBaudRate(BaudRate::Baud115200);
        QCOMPARE(driver.baudRateValue(), 115200u);
        driver.setBaudRateValue(31250);
        QCOMPARE(driver.baudRate(), BaudRate::Custom);
        QCOMPARE(driver.baudRateValue(), 31250u);
    }

    void openPortKeepsItsNameAndBufferSize() {
        PseudoTerminal far;
        SerialPortDriver driver;
        driver.setPortName(slaveOf(far));
        driver.setInputBufferSize(4096);
        QVERIFY(driver.open());
        QVERIFY(driver.open());  // already open: still true
        driver.setPortName(QStringLiteral("/dev/null"));
        driver.setPort(PortNumber::Com1);
        driver.setInputBufferSize(256);
        QCOMPARE(driver.portName(), slaveOf(far));
        QCOMPARE(driver.inputBufferSize(), 4096u);
        driver.close();
        QVERIFY(!driver.isOpen());
        driver.close();  // closed already: nothing happens
    }

    void missingDeviceDoesNotConnect() {
        SerialPortDriver driver;
        driver.setPortName(QStringLiteral("/dev/zond-no-such-port"));
        QVERIFY(!driver.open());
        QVERIFY(!driver.isOpen());
    }

    void sendingOnAClosedPortSendsNothing() {
        SerialPortDriver driver;
        QVERIFY(!driver.sendByte('V'));
        QCOMPARE(driver.sendBlock("VN", 2, 100), 0u);
    }

    void bytesGoOutAndComeIn() {
        PseudoTerminal far;
        SerialPortDriver driver;
        Received received;
        collectInto(driver, received);
        driver.setPortName(slaveOf(far));
        QVERIFY(driver.open());
        QVERIFY(driver.sendByte('V'));
        QCOMPARE(far.readFor(std::chrono::milliseconds(500)), std::string("V"));
        QVERIFY(far.writeAll("5055"));
        QTRY_COMPARE_WITH_TIMEOUT(received.all(), QByteArray("5055"), 2000);
    }

    void waitingBytesAreDeliveredWithoutTheEventLoop() {
        PseudoTerminal far;
        SerialPortDriver driver;
        Received received;
        collectInto(driver, received);
        driver.setPortName(slaveOf(far));
        QVERIFY(driver.open());
        driver.pollInput();
        QVERIFY(received.blocks.isEmpty());  // an empty tick raises no event
        QVERIFY(far.writeAll("S0000P"));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        driver.pollInput();  // no event was processed since the write
        QCOMPARE(received.all(), QByteArray("S0000P"));
    }

    void moreThanInputBufferArrivesOverSeveralTicks() {
        PseudoTerminal far;
        SerialPortDriver driver;
        Received received;
        collectInto(driver, received);
        driver.setPortName(slaveOf(far));
        driver.setInputBufferSize(128);
        driver.setPollingDelay(1000);  // ticks only when the test says so
        QVERIFY(driver.open());
        const QByteArray sent = pattern(1000);
        QVERIFY(far.writeAll(sent.toStdString()));
        QTest::qWait(50);  // let Qt take everything from the descriptor
        for (int tick = 0; tick < 20 && received.all().size() < sent.size(); ++tick) {
            driver.pollInput();
        }
        QCOMPARE(received.all(), sent);
        QCOMPARE(received.blocks.size(), 8);  // 7 full blocks and the rest
        for (const auto& block : received.blocks) {
            QVERIFY(block.size() <= 128);
        }
    }

    void handlerIsNotEnteredAgainWhileItRuns() {
        PseudoTerminal far;
        SerialPortDriver driver;
        int depth = 0;
        int deepest = 0;
        QByteArray all;
        driver.setReceiveHandler([&](SerialPortDriver*, const char* data, quint32 size) {
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
        driver.setPortName(slaveOf(far));
        driver.setPollingDelay(10);
        QVERIFY(driver.open());
        QVERIFY(far.writeAll("A"));
        QTRY_COMPARE_WITH_TIMEOUT(all, QByteArray("ABCD"), 3000);
        QCOMPARE(deepest, 1);
    }

    void handlerMayCloseThePort() {
        PseudoTerminal far;
        SerialPortDriver driver;
        int calls = 0;
        driver.setReceiveHandler([&](SerialPortDriver* sender, const char*, quint32) {
            ++calls;
            sender->close();
        });
        driver.setPortName(slaveOf(far));
        driver.setInputBufferSize(128);
        QVERIFY(driver.open());
        QVERIFY(far.writeAll(pattern(1000).toStdString()));
        QTRY_VERIFY_WITH_TIMEOUT(!driver.isOpen(), 2000);
        QTest::qWait(150);
        QCOMPARE(calls, 1);
    }

    void largeBlockGoesOutThroughASmallQueue() {
        PseudoTerminal far;
        SerialPortDriver driver;
        driver.setPortName(slaveOf(far));
        driver.setOutputBufferSize(128);
        QVERIFY(driver.open());
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
        const quint32 sent = driver.sendBlock(block.constData(), 400000, 250);
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
        SerialPortDriver driver;
        driver.setPortName(slaveOf(far));
        QVERIFY(driver.open());
        const QByteArray block = pattern(1 << 20);
        QElapsedTimer clock;
        clock.start();
        const quint32 sent = driver.sendBlock(block.constData(), 1u << 20, 100);
        QVERIFY(sent > 0);
        QVERIFY(sent < (1u << 20));
        QVERIFY(clock.elapsed() >= 100);
    }

    void handlerThatThrowsDoesNotStopDelivery() {
        PseudoTerminal far;
        SerialPortDriver driver;
        QByteArray all;
        driver.setReceiveHandler([&](SerialPortDriver*, const char* data, quint32 size) {
            all += QByteArray(data, static_cast<qsizetype>(size));
            if (all == "A") {
                throw std::runtime_error("first block refused");
            }
        });
        driver.setPortName(slaveOf(far));
        driver.setPollingDelay(1000);  // ticks only when the test says so
        QVERIFY(driver.open());
        QVERIFY(far.writeAll("A"));
        QTest::qWait(50);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, driver.pollInput());
        QVERIFY(far.writeAll("B"));
        QTest::qWait(50);
        driver.pollInput();
        QCOMPARE(all, QByteArray("AB"));
    }

    void hungUpLineIsClosedAndReportedOnce() {
        auto far = std::make_unique<PseudoTerminal>();
        SerialPortDriver driver;
        QStringList reasons;
        driver.setPortErrorHandler([&](const QString& reason) { reasons << reason; });
        Received received;
        collectInto(driver, received);
        driver.setPortName(slaveOf(*far));
        driver.setPollingDelay(10);
        QVERIFY(driver.open());
        far.reset();  // the far end goes away, as a pulled adapter does
        QTRY_VERIFY_WITH_TIMEOUT(!driver.isOpen(), 2000);
        QTest::qWait(200);
        QCOMPARE(reasons.size(), 1);
        QVERIFY(!reasons[0].isEmpty());
    }

    void listedNamesStandForTheirDevices() {
        SerialDevice adapter;
        adapter.path = QStringLiteral("/dev/ttyUSB1");
        adapter.portName = QStringLiteral("ttyUSB1");
        adapter.stableName =
            QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
        const std::vector<SerialDevice> devices{adapter};
        QCOMPARE(resolveDeviceName(QStringLiteral("ttyUSB1"), devices), adapter.path);
        QCOMPARE(resolveDeviceName(QStringLiteral("usb-FTDI_FT232R_A50285BI-if00-port0"), devices),
                 adapter.path);
        QCOMPARE(resolveDeviceName(QStringLiteral("ttyUSB7"), devices), QStringLiteral("ttyUSB7"));
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
        SerialPortDriver driver;
        driver.setPort(PortNumber::Com1);
        QVERIFY(driver.open());
        QVERIFY(driver.sendByte('N'));
        QCOMPARE(far.readFor(std::chrono::milliseconds(500)), std::string("N"));
    }
};

int main(int argc, char** argv) {
    // Settings go to a folder of the test's own, never the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    SerialPortDriverTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "serial_port_driver_test.moc"
