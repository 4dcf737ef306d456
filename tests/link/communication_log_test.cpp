// The communication log's lines and the program's folder of the last logs.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "link/communication_log.h"

using namespace zond::link;

class CommunicationLogTest : public QObject {
    Q_OBJECT

  private slots:
    void linesCarryTimeDirectionAndHexBytes() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.log"));
        {
            CommunicationLog log;
            QVERIFY(log.open(path));
            log.sent(std::span<const char>("V", 1));
            log.received(std::span<const char>("S0\xff", 3));
            log.note("порт открыт");
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);  // three lines and the end of the last
        const QString time = QStringLiteral(R"(^\d\d:\d\d:\d\d\.\d\d\d )");
        QVERIFY(QRegularExpression(time + QStringLiteral("> 56$")).match(lines[0]).hasMatch());
        QVERIFY(
            QRegularExpression(time + QStringLiteral("< 53 30 FF$")).match(lines[1]).hasMatch());
        QVERIFY(
            QRegularExpression(time + QStringLiteral("# порт открыт$")).match(lines[2]).hasMatch());
    }

    void folderKeepsTheLastTwentyLogs() {
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        QCOMPARE(communicationLogFolder(), state.path() + QStringLiteral("/zond8t/logs"));
        QVERIFY(lastCommunicationLog().isEmpty());
        QDir folder(communicationLogFolder());
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        for (int i = 0; i < 25; ++i) {
            QFile old(folder.filePath(QStringLiteral("transfer-2020%1.log").arg(i + 10)));
            QVERIFY(old.open(QIODevice::WriteOnly));
        }
        const QString next = newCommunicationLogPath();
        CommunicationLog log;
        QVERIFY(log.open(next));
        const QStringList kept = folder.entryList(QDir::Files, QDir::Name);
        QCOMPARE(kept.size(), kKeptLogs);
        QCOMPARE(kept.first(), QStringLiteral("transfer-202016.log"));  // the six oldest went
        QCOMPARE(lastCommunicationLog(), next);
    }
};

QTEST_GUILESS_MAIN(CommunicationLogTest)
#include "communication_log_test.moc"
