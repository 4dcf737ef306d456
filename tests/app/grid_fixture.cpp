#include "grid_fixture.h"

#include <QHeaderView>
#include <QProcess>
#include <QSettings>
#include <QTableView>
#include <QtTest>

#include "measurement/channel_statistics.h"
#include "measurement/measurement_schema.h"

namespace zond::test {

namespace field = measurement::field;

TestRow fluxRow(int n, double q1, double q2, double q3) {
    TestRow row;
    row.n = n;
    row.q1 = q1;
    row.q2 = q2;
    row.q3 = q3;
    return row;
}

std::filesystem::path writeTable(const QString& folder, const QString& name,
                                 const std::vector<TestRow>& rows) {
    const std::filesystem::path path =
        std::filesystem::path(folder.toStdString()) / name.toStdString();
    measurement::createMeasurementTable(path);
    dbf::DbfTable table;
    table.open(path);
    for (const TestRow& row : rows) {
        dbf::DbfRecord record = table.blankRecord();
        record.setInteger(table.requireField(field::kN), row.n);
        record.setText(table.requireField(field::kMode), "Оперативный");
        record.setInteger(table.requireField(field::kEnCh), row.enCh);
        record.setText(table.requireField(field::kDate), row.date.toStdString());
        record.setText(table.requireField(field::kTime), row.time.toStdString());
        record.setText(table.requireField(field::kTimeSec), std::to_string(1000 + row.n));
        record.setDouble(table.requireField(field::kTavis1), row.q1);
        record.setDouble(table.requireField(field::kTavis2), row.q2);
        record.setDouble(table.requireField(field::kTavis3), row.q3);
        record.setText(table.requireField(field::kType), row.type.toStdString());
        record.setText(table.requireField(field::kTIn), row.tIn.toStdString());
        record.setText(table.requireField(field::kTExt), row.tExt.toStdString());
        record.setText(table.requireField(field::kComment), row.comment.toStdString());
        table.append(record);
    }
    table.close();
    return path;
}

void usePrivateSettings(const QString& folder) {
    qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

QStringList rowsOnDisk(const std::filesystem::path& path) {
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, dbfread\n"
                                 "for r in dbfread.DBF(sys.argv[1], encoding='cp1251'):\n"
                                 "    print('%s|%s|%s' % (r['N'], r['TAVIS_1'], r['COMMENT']))\n"),
                  QString::fromStdString(path.string())});
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0) {
        qWarning() << reader.readAllStandardError();
        return {QStringLiteral("<dbfread failed>")};
    }
    return QString::fromUtf8(reader.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

void typeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        const auto key = static_cast<Qt::Key>(ch.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(ch), Qt::NoModifier);
    }
}

GridHarness::GridHarness() {
    grid.setDialogs(&dialogs);
    grid.setTable(&table);
    grid.setDecimalSeparator(u',');
    grid.resize(693, 400);
}

void GridHarness::open(const std::filesystem::path& path) {
    const auto fields = measurement::openMeasurementTable(table, path);
    grid.setTableStatistics(measurement::computeChannelStatistics(table, fields));
    grid.showColumns();
    grid.loadLayout(QStringLiteral("Table_1"));
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
}

void GridHarness::close() {
    grid.saveLayout(QStringLiteral("Table_1"));
    table.close();
    grid.hideColumns();
}

void GridHarness::clickCell(int row, int column, Qt::KeyboardModifiers modifiers) {
    QTableView* view = grid.tableView();
    const QRect cell = view->visualRect(view->model()->index(row, column));
    QVERIFY2(cell.isValid(), "the cell is not on screen");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, cell.center());
}

void GridHarness::clickTitle(int column, Qt::KeyboardModifiers modifiers) {
    QHeaderView* header = grid.tableView()->horizontalHeader();
    const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, centre);
}

QStringList GridHarness::columnTexts(int column) const {
    const QAbstractItemModel* model = grid.tableView()->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row) {
        texts << model->index(row, column).data().toString();
    }
    return texts;
}

}  // namespace zond::test
