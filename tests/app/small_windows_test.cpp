// The splash and about windows, the CSV options dialog and the command images.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/about_window.h"
#include "app/command_images.h"
#include "app/csv_options_dialog.h"
#include "app/qt_translations.h"
#include "app/splash_window.h"

class SmallWindowsTest : public QObject {
    Q_OBJECT

  private slots:
    void splashStaysUntilTheFirstTickThenCloses() {
        SplashWindow splash;
        QCOMPARE(splash.size(), QSize(400, 77));
        QVERIFY(!splash.timer()->isActive());  // armed only by showing
        QSignalSpy finished(&splash, &QDialog::finished);
        splash.show();
        QVERIFY(splash.timer()->isActive());
        QCOMPARE(splash.timer()->interval(), 3000);
        QTest::qWait(2700);
        QVERIFY(splash.isVisible());
        QCOMPARE(finished.count(), 0);
        QVERIFY(finished.wait(1500));
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
        QVERIFY(!splash.isVisible());
    }

    void logoIsOurOwnPictureOfTheGivenSize() {
        const QPixmap logo = makerLogo();
        QCOMPARE(logo.size(), QSize(400, 78));
        // Not a blank picture: the corners and the title area differ.
        const QImage image = logo.toImage();
        QVERIFY(image.pixel(2, 2) != image.pixel(397, 75));
    }

    void aboutShowsTheBuildVersionOnceShown() {
        AboutWindow about;
        auto* version = about.findChild<QLabel*>(QStringLiteral("StaticText3"));
        QVERIFY(version != nullptr);
        QCOMPARE(version->text(), QStringLiteral("Версия 1.0"));
        QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(about.size(), QSize(515, 151));
        about.show();
        QCOMPARE(version->text(), QStringLiteral("Версия 1.0.0.19"));
        auto* ok = about.findChild<QWidget*>(QStringLiteral("Button1"));
        QVERIFY(ok != nullptr);
        QCOMPARE(ok->geometry(), QRect(434, 116, 75, 25));
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void missingOrShortVersionFallsBackToZeros() {
        QCOMPARE(versionLine(QString()), QStringLiteral("Версия 0.0.0.0"));
        QCOMPARE(versionLine(QStringLiteral("7")), QStringLiteral("Версия 0.0.0.0"));
        QCOMPARE(versionLine(QStringLiteral("2.1")), QStringLiteral("Версия 2.1"));
    }

    void qtsOwnTextsSpeakRussian() {
        QVERIFY(zond::app::installQtTranslations());
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Да"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove('&'), QStringLiteral("Нет"));
        // The file dialogs' file types, which Qt 6 asks for under a context of its own.
        QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Drive"),
                 QStringLiteral("Диск"));
    }

    void csvOptionsStartFromTheLastChoiceAndRefuseAClash() {
        using zond::exporting::CsvEncoding;
        zond::app::CsvOptionsDialog dialog({'\t', '.', CsvEncoding::Cp1251});
        const auto options = [&] { return dialog.options(); };
        QCOMPARE(options().delimiter, '\t');
        QCOMPARE(options().decimalSeparator, '.');
        QCOMPARE(options().encoding, CsvEncoding::Cp1251);

        const auto choose = [&](const char* box, char value) {
            auto* combo = dialog.findChild<QComboBox*>(QLatin1String(box));
            combo->setCurrentIndex(combo->findData(int(value)));
        };
        QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        auto* problem = dialog.findChild<QLabel*>(QStringLiteral("problem"));
        choose("delimiter", ',');
        choose("decimalSeparator", ',');
        QVERIFY(!ok->isEnabled());
        QVERIFY(problem->text().startsWith(
            "Десятичный разделитель не может совпадать с разделителем полей"));
        choose("decimalSeparator", '.');
        QVERIFY(ok->isEnabled());
        QVERIFY(problem->text().isEmpty());
        QCOMPARE(options().delimiter, ',');
        QCOMPARE(options().decimalSeparator, '.');
    }

    void everyCommandImageHasASixteenPixelPicture() {
        using zond::app::CommandImage;
        for (auto image :
             {CommandImage::Create, CommandImage::Open, CommandImage::Save, CommandImage::Preview,
              CommandImage::Print, CommandImage::Help, CommandImage::DeleteRows}) {
            const QPixmap pixmap = zond::app::commandImage(image).pixmap(16, 16);
            QVERIFY(!pixmap.isNull());
            QCOMPARE(pixmap.size(), QSize(16, 16));
        }
    }
};

QTEST_MAIN(SmallWindowsTest)
#include "small_windows_test.moc"
