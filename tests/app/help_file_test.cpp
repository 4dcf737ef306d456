// Where the program finds its user guide: a build folder, an installation, the source tree.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/help.h"

namespace {

void writeGuide(const QString& path) {
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class HelpFileTest : public QObject {
    Q_OBJECT

  private slots:
    void theGuideIsFoundBesideTheProgramThenInTheDataFolderThenInTheSources() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString bin = root.filePath("usr/bin");
        QVERIFY(QDir().mkpath(bin));
        const QString sources = root.filePath("src/docs/help/zond_tavis.html");

        QCOMPARE(zond::app::findHelpFile(bin, sources), sources);

        const QString installed = root.filePath("usr/share/zond8t/zond_tavis.html");
        writeGuide(installed);
        QCOMPARE(zond::app::findHelpFile(bin, sources), installed);

        const QString beside = root.filePath("usr/bin/zond_tavis.html");
        writeGuide(beside);
        QCOMPARE(zond::app::findHelpFile(bin, sources), beside);
    }
};

QTEST_GUILESS_MAIN(HelpFileTest)
#include "help_file_test.moc"
