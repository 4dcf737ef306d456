// The save dialog of Create and of the export asks before it replaces an existing file: a slip of
// the mouse must not wipe a table whose records may no longer be in the instrument.
#include <QAbstractProxyModel>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "ui/user_dialogs.h"

namespace {

// Runs `step` on the modal window that is up next, once it is up.
void whenModalShows(const std::function<void(QWidget*)>& step) {
    QTimer::singleShot(50, [step] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            whenModalShows(step);
            return;
        }
        step(modal);
    });
}

// A dialog request in `dir`, where the file `existing` is already there.
zond::ui::FileDialogRequest requestBeside(const QTemporaryDir& dir, const QString& existing,
                                          const QString& filter) {
    QFile file(dir.filePath(existing));
    if (!file.open(QIODevice::WriteOnly)) {
        qFatal("cannot create %s", qPrintable(file.fileName()));
    }
    zond::ui::FileDialogRequest request;
    request.directory = dir.path();
    request.filter = filter;
    return request;
}

}  // namespace

class SaveDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void existingFileIsReplacedOnlyAfterYes() {
        QTemporaryDir dir;
        auto request = requestBeside(dir, "table.db", QStringLiteral("Файлы данных (*.db)"));
        request.defaultSuffix = QStringLiteral("db");

        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            QString question;
            whenModalShows([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                QVERIFY(dialog != nullptr);
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                name->setText(QStringLiteral("table"));  // the default suffix completes it
                whenModalShows([&, dialog](QWidget* asking) {
                    auto* box = qobject_cast<QMessageBox*>(asking);
                    if (box == nullptr) {
                        dialog->reject();  // no question came
                        return;
                    }
                    question = box->text();
                    box->button(answer)->click();
                    if (answer == QMessageBox::No) {
                        // The dialog stays open after No; leave it.
                        whenModalShows([](QWidget* again) { again->close(); });
                    }
                });
                QTest::keyClick(name, Qt::Key_Return);
            });
            zond::ui::StandardDialogs dialogs;
            const QString chosen = dialogs.saveFileName(nullptr, request);
            QVERIFY2(question.contains(QStringLiteral("table.db")), qPrintable(question));
            QCOMPARE(chosen, answer == QMessageBox::Yes ? dir.filePath("table.db") : QString());
        }
    }

    // Several types and no fixed suffix: a bare name takes the suffix of the type chosen, and
    // the overwrite question is asked for that file.
    void aBareNameTakesTheChosenTypesSuffix() {
        QTemporaryDir dir;
        const auto request =
            requestBeside(dir, "table.csv", QStringLiteral("Книга (*.xls);;CSV (*.csv)"));

        QString question;
        whenModalShows([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QTest::keyClick(types, Qt::Key_Down);  // as the user picks the second type
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(QStringLiteral("table"));
            whenModalShows([&, dialog](QWidget* asking) {
                auto* box = qobject_cast<QMessageBox*>(asking);
                if (box == nullptr) {
                    dialog->reject();
                    return;
                }
                question = box->text();
                box->button(QMessageBox::Yes)->click();
            });
            QTest::keyClick(name, Qt::Key_Return);
        });
        zond::ui::StandardDialogs dialogs;
        QCOMPARE(dialogs.saveFileName(nullptr, request), dir.filePath("table.csv"));
        QVERIFY2(question.contains(QStringLiteral("table.csv")), qPrintable(question));
    }

    // Sizes in the dialog's detail view read as Russian, not as "KiB".
    void fileSizesAreRussian() {
        QTemporaryDir dir;
        QFile file(dir.filePath("table.db"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(123456));
        file.close();
        zond::ui::FileDialogRequest request;
        request.directory = dir.path();
        request.filter = QStringLiteral("Базы данных (*.db)");
        QString size;
        whenModalShows([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            QAbstractItemModel* model = dialog->proxyModel();
            QVERIFY(model != nullptr);
            auto* files = qobject_cast<QFileSystemModel*>(
                static_cast<QAbstractProxyModel*>(model)->sourceModel());
            QTRY_VERIFY(files->index(file.fileName()).isValid() &&
                        files->size(files->index(file.fileName())) == 123456);
            const QModelIndex shown = static_cast<QAbstractProxyModel*>(model)->mapFromSource(
                files->index(file.fileName(), 1));
            size = model->data(shown).toString();
            dialog->reject();
        });
        zond::ui::StandardDialogs dialogs;
        QCOMPARE(dialogs.openFileName(nullptr, request), QString());
        QCOMPARE(size, QStringLiteral("120,6 кБ"));  // 123456 / 1024
    }
};

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
