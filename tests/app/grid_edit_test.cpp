// What the grid changes in the table file: deleting rows, renumbering, and editing comments.
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "grid_fixture.h"
#include "measurement/measurement_schema.h"

using zond::app::MeasurementGrid;
using zond::test::fluxRow;
using zond::test::GridHarness;
using zond::test::rowsOnDisk;
using zond::test::TestRow;
using zond::test::writeTable;

class GridEditTest : public QObject {
    Q_OBJECT

  private slots:

    void deletingSelectedRowsPacksTheFile();
    void deletingWithNothingSelectedKeepsEveryRow();
    void renumberingFollowsTheDisplayedOrder();
    void renumberingMoreRowsThanTheFieldHoldsIsRefused();
    void commentEditIsCommittedByEnterAndByMovingRows();
    void commentEditIsCancelledByEscape();
    void commentEditorRefusesWhatTheTableCannotHold();

  private:
    QString folder() const { return folders_.tables(); }

    zond::test::GridTestFolders folders_;
};

namespace {

std::vector<TestRow> numberedRows(int count) {
    std::vector<TestRow> rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back(fluxRow(std::min(i, 9999), i * 1.5));
    }
    return rows;
}

// Record length of the measurement table: the flag byte and the fields.
constexpr qint64 kRecordLength = 1 + 4 + 11 + 4 + 4 + 10 + 8 + 20 + 50 + 18 * 3 + 6 + 6 + 50;
constexpr qint64 kHeaderLength = 32 + 32 * 14 + 1;

qint64 fileSize(const std::filesystem::path& path) {
    return QFileInfo(QString::fromStdString(path.string())).size();
}

QByteArray fileHash(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString commentOnDisk(const std::filesystem::path& path, int row) {
    return rowsOnDisk(path).value(row).section(u'|', 2);
}

// Closed editors linger hidden until deleted; the open one is shown.
QLineEdit* openEditor(const QTableView& view) {
    for (QLineEdit* editor : view.viewport()->findChildren<QLineEdit*>()) {
        if (editor->isVisible()) {
            return editor;
        }
    }
    return nullptr;
}

// Puts the cell cursor on a row's comment and presses Enter; returns the editor that opened.
QLineEdit* editCommentWithEnter(QTableView* view, int row) {
    view->setFocus();
    view->setCurrentIndex(view->model()->index(row, MeasurementGrid::ColComment));
    QTest::keyClick(view, Qt::Key_Return);
    return openEditor(*view);
}

}  // namespace

void GridEditTest::deletingSelectedRowsPacksTheFile() {
    GridHarness h;
    const auto path = writeTable(folder(), QStringLiteral("delete.db"), numberedRows(6));
    QCOMPARE(fileSize(path), kHeaderLength + 6 * kRecordLength + 1);
    h.open(path);
    // Selected while sorted: the sort goes first, the rows go by record.
    h.clickTitle(MeasurementGrid::ColQ1);
    h.clickCell(0, MeasurementGrid::ColN);                       // N 6
    h.clickCell(3, MeasurementGrid::ColN, Qt::ControlModifier);  // N 3
    h.clickCell(5, MeasurementGrid::ColN, Qt::ControlModifier);  // N 1
    QSignalSpy changed(&h.grid, &MeasurementGrid::rowsChanged);

    h.grid.deleteSelectedRows();

    QCOMPARE(changed.count(), 1);
    QVERIFY(h.grid.selection().empty());
    QVERIFY(h.table.isOpen());
    QVERIFY(!h.table.selectedIndex());
    QCOMPARE(h.columnTexts(MeasurementGrid::ColN), QStringList({"2", "4", "5"}));
    QCOMPARE(fileSize(path), kHeaderLength + 3 * kRecordLength + 1);
    h.table.close();
    QCOMPARE(rowsOnDisk(path), QStringList({"2|3.0|", "4|6.0|", "5|7.5|"}));
}

void GridEditTest::deletingWithNothingSelectedKeepsEveryRow() {
    GridHarness h;
    const auto path = writeTable(folder(), QStringLiteral("keep.db"), numberedRows(3));
    h.open(path);
    h.grid.deleteSelectedRows();
    QVERIFY(h.table.isOpen());
    QCOMPARE(h.columnTexts(MeasurementGrid::ColN), QStringList({"1", "2", "3"}));
    QCOMPARE(fileSize(path), kHeaderLength + 3 * kRecordLength + 1);
    h.table.close();
    QCOMPARE(rowsOnDisk(path).size(), 3);
}

void GridEditTest::renumberingFollowsTheDisplayedOrder() {
    GridHarness h;
    const auto path = writeTable(folder(), QStringLiteral("renumber.db"),
                                 {fluxRow(10, 5), fluxRow(20, 50), fluxRow(30, -5)});
    h.open(path);
    h.clickTitle(MeasurementGrid::ColQ1);  // 50, 5, -5
    h.grid.renumberRows();
    QVERIFY(h.table.isOpen());
    QCOMPARE(h.table.selectedIndex().value_or(""), std::string("tab1"));
    QCOMPARE(h.columnTexts(MeasurementGrid::ColN), QStringList({"1", "2", "3"}));
    QCOMPARE(h.columnTexts(MeasurementGrid::ColQ1), QStringList({"50,0", "5,0", "-5,0"}));
    QVERIFY(h.dialogs.messages.empty());

    // Sorted by N itself: every row still gets its place in the order shown before.
    h.clickTitle(MeasurementGrid::ColN);
    h.clickTitle(MeasurementGrid::ColN);  // ascending: 1 2 3 -> q1 50 5 -5
    h.clickTitle(MeasurementGrid::ColN);  // descending: q1 -5 5 50
    h.grid.renumberRows();
    h.table.close();
    QCOMPARE(rowsOnDisk(path), QStringList({"2|5.0|", "3|50.0|", "1|-5.0|"}));
}

void GridEditTest::renumberingMoreRowsThanTheFieldHoldsIsRefused() {
    GridHarness h;
    const auto path = writeTable(folder(), QStringLiteral("big.db"), numberedRows(10000));
    const QByteArray before = fileHash(path);
    h.open(path);
    h.grid.renumberRows();
    QCOMPARE(h.dialogs.messages.size(), std::size_t(1));
    QVERIFY(h.dialogs.messages[0].text.contains(QStringLiteral("9999")));
    QCOMPARE(h.dialogs.messages[0].caption, QStringLiteral("Ошибка"));
    h.table.close();
    QCOMPARE(fileHash(path), before);
}

void GridEditTest::commentEditIsCommittedByEnterAndByMovingRows() {
    GridHarness h;
    const auto path = writeTable(folder(), QStringLiteral("comment.db"), numberedRows(3));
    h.open(path);
    QTableView* view = h.grid.tableView();
    QSignalSpy started(&h.grid, &MeasurementGrid::editStarted);

    QLineEdit* editor = editCommentWithEnter(view, 0);
    QCOMPARE(started.count(), 1);
    QVERIFY(editor);
    zond::test::typeText(editor, QStringLiteral("окно"));
    QTest::keyClick(editor, Qt::Key_Return);  // the editor commits once the key is through
    QTRY_COMPARE(h.columnTexts(MeasurementGrid::ColComment).value(0), QStringLiteral("окно"));

    // Typing starts an edit too; moving to the next row commits it.
    view->setCurrentIndex(view->model()->index(1, MeasurementGrid::ColComment));
    zond::test::typeText(view, QStringLiteral("у"));
    QCOMPARE(started.count(), 2);
    editor = openEditor(*view);
    QVERIFY(editor);
    zond::test::typeText(editor, QStringLiteral("гол"));
    QTest::keyClick(editor, Qt::Key_Down);
    QCOMPARE(view->currentIndex().row(), 2);
    QCOMPARE(h.columnTexts(MeasurementGrid::ColComment).value(1), QStringLiteral("угол"));

    // An edit still open is written by commitCellEdit (Save, Delete, Renumber).
    h.clickCell(2, MeasurementGrid::ColComment);  // on the current cell: starts an edit
    QCOMPARE(started.count(), 3);
    editor = openEditor(*view);
    QVERIFY(editor);
    zond::test::typeText(editor, QStringLiteral("пол"));
    h.grid.commitCellEdit();
    h.table.close();
    QCOMPARE(commentOnDisk(path, 0), QStringLiteral("окно"));
    QCOMPARE(commentOnDisk(path, 1), QStringLiteral("угол"));
    QCOMPARE(commentOnDisk(path, 2), QStringLiteral("пол"));
}

void GridEditTest::commentEditIsCancelledByEscape() {
    GridHarness h;
    std::vector<TestRow> rows = {fluxRow(1, 0)};
    rows[0].comment = QStringLiteral("было");
    const auto path = writeTable(folder(), QStringLiteral("escape.db"), rows);
    h.open(path);
    QTableView* view = h.grid.tableView();
    QSignalSpy started(&h.grid, &MeasurementGrid::editStarted);
    QLineEdit* editor = editCommentWithEnter(view, 0);
    QVERIFY(editor);
    editor->selectAll();
    zond::test::typeText(editor, QStringLiteral("стало"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(started.count(), 1);  // the table counts as modified all the same
    h.grid.commitCellEdit();
    QCOMPARE(h.columnTexts(MeasurementGrid::ColComment).value(0), QStringLiteral("было"));

    // Other columns do not edit.
    view->setCurrentIndex(view->model()->index(0, MeasurementGrid::ColQ1));
    QTest::keyClick(view, Qt::Key_Return);
    zond::test::typeText(view, QStringLiteral("7"));
    QCOMPARE(started.count(), 1);
    h.table.close();
    QCOMPARE(commentOnDisk(path, 0), QStringLiteral("было"));
}

void GridEditTest::commentEditorRefusesWhatTheTableCannotHold() {
    GridHarness h;
    const auto path = writeTable(folder(), QStringLiteral("refuse.db"), numberedRows(1));
    h.open(path);
    QLineEdit* editor = editCommentWithEnter(h.grid.tableView(), 0);
    QVERIFY(editor);
    zond::test::typeText(editor, QStringLiteral("a中b€ß"));
    QCOMPARE(editor->text(), QStringLiteral("ab€"));  // € is in 1251, 中 and ß are not
    editor->clear();
    zond::test::typeText(editor, QString(60, u'ж'));
    QCOMPARE(editor->text().size(), zond::measurement::kCommentLength);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(h.columnTexts(MeasurementGrid::ColComment).value(0), QString(50, u'ж'));
    h.table.close();
    QCOMPARE(commentOnDisk(path, 0), QString(50, u'ж'));
}

QTEST_MAIN(GridEditTest)
#include "grid_edit_test.moc"
