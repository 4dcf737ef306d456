// The grid as the user sees it: columns, footers, selection, sorting, colours and column layout.
#include <QHeaderView>
#include <QKeyEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>
#include <algorithm>
#include <numeric>

#include "app/grid/column_layout.h"
#include "grid_fixture.h"
#include "link/settings_store.h"

using zond::app::ColumnLayout;
using zond::app::MeasurementGrid;
using zond::app::SortIndicator;
using zond::test::fluxRow;
using zond::test::GridHarness;
using zond::test::TestRow;
using zond::test::writeTable;

class GridViewTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { zond::link::openProgramSettings()->remove(QStringLiteral("Table_1")); }

    void secondAndThirdFluxFollowTheFirstRowsChannelCount();
    void cellsShowStoredValuesAndOneDecimalFluxes();
    void footersShowTableOrSelectionFigures();
    void clicksBuildTheSelectionInFileOrder();
    void titleClicksSortDescendingAscendingAndNone();
    void dateSortsByItsText();
    void colourStaysWithTheColumnAcrossTablesAndRuns();
    void equalizeGivesEveryColumnAnEleventhOfTheWidth();
    void unreadableStoredLayoutIsReplaced();
    void layoutTextReadsBackAsWritten();
    void ctrlKeyMovesTheCursorLikeTab();

  private:
    QString folder() const { return folders_.tables(); }

    zond::test::GridTestFolders folders_;
};

namespace {

std::vector<TestRow> threeRows() {
    std::vector<TestRow> rows = {fluxRow(1, 10, -4, 1.5), fluxRow(2, 20, 5, 2),
                                 fluxRow(3, 31, 6.5, 3)};
    rows[0].date = QStringLiteral("05.03.2021");
    rows[1].date = QStringLiteral("17.01.2021");
    rows[2].date = QStringLiteral("02.12.2020");
    return rows;
}

SortIndicator sortOf(const MeasurementGrid& grid, int column) {
    return grid.columnLayouts()[static_cast<std::size_t>(column)].sort;
}

}  // namespace

void GridViewTest::secondAndThirdFluxFollowTheFirstRowsChannelCount() {
    for (const int channels : {0, 1, 2, 3}) {
        GridHarness h;
        std::vector<TestRow> rows = threeRows();
        rows[0].enCh = channels;
        rows[1].enCh = 3;  // only the first row counts
        h.open(writeTable(folder(), QStringLiteral("en%1.db").arg(channels), rows));
        QTableView* view = h.grid.tableView();
        QCOMPARE(view->isColumnHidden(MeasurementGrid::ColQ2), channels <= 1);
        QCOMPARE(view->isColumnHidden(MeasurementGrid::ColQ3), channels <= 1);
        QVERIFY(!view->isColumnHidden(MeasurementGrid::ColQ1));
        QVERIFY(h.grid.isVisible());
        // Hidden columns leave no stub: the visible ones end at the view's right edge.
        QCOMPARE(view->horizontalHeader()->length(), view->viewport()->width());

        h.close();
        QVERIFY(!view->isColumnHidden(MeasurementGrid::ColQ2));
        QVERIFY(!view->isColumnHidden(MeasurementGrid::ColQ3));
        QVERIFY(!h.grid.isVisible());
        QCOMPARE(view->model()->rowCount(), 0);
    }
}

void GridViewTest::cellsShowStoredValuesAndOneDecimalFluxes() {
    GridHarness h;
    std::vector<TestRow> rows = {fluxRow(7, 12.5, -3, 0.04), fluxRow(1234, 1e6)};
    rows[0].comment = QStringLiteral("дверь");
    rows[1].enCh = 2;
    h.open(writeTable(folder(), QStringLiteral("cells.db"), rows));
    QCOMPARE(h.columnTexts(MeasurementGrid::ColN), QStringList({"7", "1234"}));
    // The chart asks for the channel count of the row under the cursor.
    QTableView* view = h.grid.tableView();
    view->setCurrentIndex(view->model()->index(1, MeasurementGrid::ColDate));
    QCOMPARE(h.grid.currentEnCh(), 2);
    view->setCurrentIndex(view->model()->index(0, MeasurementGrid::ColDate));
    QCOMPARE(h.grid.currentEnCh(), 3);
    QCOMPARE(h.columnTexts(MeasurementGrid::ColQ1), QStringList({"12,5", "1000000,0"}));
    QCOMPARE(h.columnTexts(MeasurementGrid::ColQ2), QStringList({"-3,0", "0,0"}));
    QCOMPARE(h.columnTexts(MeasurementGrid::ColQ3), QStringList({"0,0", "0,0"}));
    QCOMPARE(h.columnTexts(MeasurementGrid::ColTIn), QStringList({"21,5", "21,5"}));
    QCOMPARE(h.columnTexts(MeasurementGrid::ColMode), QStringList({"Оперативный", "Оперативный"}));
    QCOMPARE(h.columnTexts(MeasurementGrid::ColComment), QStringList({"дверь", ""}));

    const QAbstractItemModel* model = view->model();
    const auto alignment = [&](int column) {
        return model->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask;
    };
    QCOMPARE(alignment(MeasurementGrid::ColN), Qt::AlignHCenter);
    QCOMPARE(alignment(MeasurementGrid::ColQ1), Qt::AlignRight);
    QCOMPARE(alignment(MeasurementGrid::ColComment), Qt::AlignLeft);
    QVERIFY(model->flags(model->index(0, MeasurementGrid::ColComment)) & Qt::ItemIsEditable);
    QVERIFY(!(model->flags(model->index(0, MeasurementGrid::ColQ1)) & Qt::ItemIsEditable));

    h.grid.setColumnCaption(MeasurementGrid::ColTExt, QStringLiteral("tн,°C"));
    QCOMPARE(model->headerData(MeasurementGrid::ColTExt, Qt::Horizontal).toString(),
             QStringLiteral("tн,°C"));
    QCOMPARE(model->headerData(MeasurementGrid::ColQ1, Qt::Horizontal).toString(),
             QStringLiteral("q1, Вт/кв.м"));
    // Two text lines of title.
    QVERIFY(h.grid.tableView()->horizontalHeader()->height() >=
            2 * h.grid.tableView()->horizontalHeader()->fontMetrics().height());
}

void GridViewTest::footersShowTableOrSelectionFigures() {
    GridHarness h;
    h.open(writeTable(folder(), QStringLiteral("footers.db"), threeRows()));
    // Whole-table figures come from the owner; mark them so they cannot be mistaken.
    zond::measurement::ChannelStatistics table;
    table.minimum = {1, 2, 3};
    table.average = {4.5, 5, 6};
    table.maximum = {7, 8, 9.25};
    h.grid.setTableStatistics(table);
    QCOMPARE(h.grid.footerText(MeasurementGrid::ColQ1), QStringLiteral("1/4,5/7"));
    QCOMPARE(h.grid.footerText(MeasurementGrid::ColQ3), QStringLiteral("3/6/9,25"));
    QCOMPARE(h.grid.footerText(MeasurementGrid::ColN), QString());

    h.clickCell(0, MeasurementGrid::ColN);
    QCOMPARE(h.grid.selection().size(), std::size_t(1));
    QCOMPARE(h.grid.footerText(MeasurementGrid::ColQ1), QStringLiteral("1/4,5/7"));

    h.clickCell(1, MeasurementGrid::ColN, Qt::ControlModifier);
    QCOMPARE(h.grid.selection().size(), std::size_t(2));
    QCOMPARE(h.grid.footerText(MeasurementGrid::ColQ1), QStringLiteral("10/15/20"));
    QCOMPARE(h.grid.footerText(MeasurementGrid::ColQ2), QStringLiteral("-4/0,5/5"));

    h.clickCell(2, MeasurementGrid::ColN, Qt::ControlModifier);
    QCOMPARE(h.grid.footerText(MeasurementGrid::ColQ1), QStringLiteral("10/20,3/31"));
    // (1.5 + 2 + 3) / 3 = 2.1666… rounds to 2.2
    QCOMPARE(h.grid.footerText(MeasurementGrid::ColQ3), QStringLiteral("1,5/2,2/3"));

    // Hidden q2/q3 columns still get their footers.
    GridHarness single;
    std::vector<TestRow> rows = threeRows();
    for (TestRow& row : rows) {
        row.enCh = 1;
    }
    single.open(writeTable(folder(), QStringLiteral("single.db"), rows));
    single.clickCell(0, MeasurementGrid::ColN);
    single.clickCell(2, MeasurementGrid::ColN, Qt::ShiftModifier);
    QVERIFY(single.grid.tableView()->isColumnHidden(MeasurementGrid::ColQ2));
    QCOMPARE(single.grid.footerText(MeasurementGrid::ColQ2), QStringLiteral("-4/2,5/6,5"));
}

void GridViewTest::clicksBuildTheSelectionInFileOrder() {
    GridHarness h;
    std::vector<TestRow> rows;
    for (int i = 1; i <= 8; ++i) {
        rows.push_back(fluxRow(i, i * 10 % 7));
    }
    h.open(writeTable(folder(), QStringLiteral("selection.db"), rows));
    QSignalSpy changed(&h.grid, &MeasurementGrid::selectionChanged);
    const auto selectedRecords = [&] {
        QList<std::uint32_t> records;
        for (const auto& snapshot : h.grid.selection()) {
            records << snapshot.record;
        }
        return records;
    };

    h.clickCell(5, MeasurementGrid::ColDate);
    h.clickCell(2, MeasurementGrid::ColDate, Qt::ShiftModifier);
    QCOMPARE(selectedRecords(), QList<std::uint32_t>({3, 4, 5, 6}));
    h.clickCell(4, MeasurementGrid::ColDate, Qt::ControlModifier);
    QCOMPARE(selectedRecords(), QList<std::uint32_t>({3, 4, 6}));
    h.clickCell(7, MeasurementGrid::ColDate, Qt::ControlModifier);
    QCOMPARE(selectedRecords(), QList<std::uint32_t>({3, 4, 6, 8}));
    h.clickCell(1, MeasurementGrid::ColDate);
    QCOMPARE(selectedRecords(), QList<std::uint32_t>({2}));
    QCOMPARE(changed.count(), 5);

    // While sorted, the selection still lists the rows in file order.
    h.clickTitle(MeasurementGrid::ColQ1);
    h.clickCell(0, MeasurementGrid::ColDate);
    h.clickCell(3, MeasurementGrid::ColDate, Qt::ShiftModifier);
    QStringList sortedN = h.columnTexts(MeasurementGrid::ColN).mid(0, 4);
    QList<std::uint32_t> expected;
    for (const QString& n : sortedN) {
        expected << n.toUInt();
    }
    std::sort(expected.begin(), expected.end());
    QCOMPARE(selectedRecords(), expected);

    const auto& snapshot = h.grid.selection().front();
    const TestRow& source = rows[snapshot.record - 1];
    QCOMPARE(QString::fromStdString(snapshot.values[0]), QString::number(source.q1));
    QCOMPARE(QString::fromStdString(snapshot.values[5]), QString::number(1000 + source.n));
    QCOMPARE(QString::fromStdString(snapshot.values[6]), source.date);
    QCOMPARE(QString::fromStdString(snapshot.values[7]), source.time);
    QCOMPARE(QString::fromStdString(snapshot.values[3]), QStringLiteral("21,5"));
}

void GridViewTest::titleClicksSortDescendingAscendingAndNone() {
    GridHarness h;
    h.open(writeTable(folder(), QStringLiteral("sort.db"),
                      {fluxRow(1, 5), fluxRow(2, -20), fluxRow(3, 100), fluxRow(4, 9)}));
    const auto order = [&] { return h.columnTexts(MeasurementGrid::ColN); };

    h.clickTitle(MeasurementGrid::ColQ1);
    QCOMPARE(sortOf(h.grid, MeasurementGrid::ColQ1), SortIndicator::Up);
    QCOMPARE(order(), QStringList({"3", "4", "1", "2"}));  // numeric, largest first
    QCOMPARE(h.table.selectedIndex().value_or(""), std::string("tab1"));

    h.clickTitle(MeasurementGrid::ColQ1);
    QCOMPARE(sortOf(h.grid, MeasurementGrid::ColQ1), SortIndicator::Down);
    QCOMPARE(order(), QStringList({"2", "1", "4", "3"}));

    h.clickTitle(MeasurementGrid::ColQ1);
    QCOMPARE(sortOf(h.grid, MeasurementGrid::ColQ1), SortIndicator::Up);
    QCOMPARE(order(), QStringList({"3", "4", "1", "2"}));

    h.clickTitle(MeasurementGrid::ColQ1, Qt::ControlModifier);
    QCOMPARE(sortOf(h.grid, MeasurementGrid::ColQ1), SortIndicator::None);
    QCOMPARE(order(), QStringList({"1", "2", "3", "4"}));
    QVERIFY(!h.table.selectedIndex());

    h.clickTitle(MeasurementGrid::ColQ1);
    h.clickTitle(MeasurementGrid::ColN);
    QCOMPARE(sortOf(h.grid, MeasurementGrid::ColQ1), SortIndicator::None);
    QCOMPARE(sortOf(h.grid, MeasurementGrid::ColN), SortIndicator::Up);
    QCOMPARE(order(), QStringList({"4", "3", "2", "1"}));

    h.grid.clearSort();
    QCOMPARE(sortOf(h.grid, MeasurementGrid::ColN), SortIndicator::None);
    QCOMPARE(order(), QStringList({"1", "2", "3", "4"}));
    QVERIFY(
        !std::filesystem::exists(std::filesystem::path(h.table.path()).replace_extension(".mdx")));
}

void GridViewTest::dateSortsByItsText() {
    GridHarness h;
    h.open(writeTable(folder(), QStringLiteral("dates.db"), threeRows()));
    h.clickTitle(MeasurementGrid::ColDate);
    h.clickTitle(MeasurementGrid::ColDate);  // ascending
    // Day of the month first: 02.12.2020, 05.03.2021, 17.01.2021.
    QCOMPARE(h.columnTexts(MeasurementGrid::ColDate),
             QStringList({"02.12.2020", "05.03.2021", "17.01.2021"}));
}

void GridViewTest::colourStaysWithTheColumnAcrossTablesAndRuns() {
    const QColor chosen(200, 30, 60);
    const auto cellColour = [](const GridHarness& h, int column) {
        return h.grid.tableView()
            ->model()
            ->index(0, column)
            .data(Qt::BackgroundRole)
            .value<QColor>();
    };
    {
        GridHarness h;
        h.open(writeTable(folder(), QStringLiteral("first.db"), threeRows()));
        QTableView* view = h.grid.tableView();
        view->setCurrentIndex(view->model()->index(1, MeasurementGrid::ColQ1));
        h.dialogs.colors.push_back(chosen);
        h.grid.chooseCurrentColumnColor();
        QCOMPARE(cellColour(h, MeasurementGrid::ColQ1), chosen);
        QVERIFY(!cellColour(h, MeasurementGrid::ColQ2).isValid());

        // A cancelled dialog changes nothing.
        view->setCurrentIndex(view->model()->index(1, MeasurementGrid::ColQ2));
        h.grid.chooseCurrentColumnColor();
        QVERIFY(!cellColour(h, MeasurementGrid::ColQ2).isValid());

        h.close();
        h.open(writeTable(folder(), QStringLiteral("second.db"), threeRows()));
        QCOMPARE(cellColour(h, MeasurementGrid::ColQ1), chosen);
        h.close();
    }
    // A new grid, as after a restart.
    GridHarness restarted;
    restarted.open(writeTable(folder(), QStringLiteral("third.db"), threeRows()));
    QCOMPARE(cellColour(restarted, MeasurementGrid::ColQ1), chosen);

    QTableView* view = restarted.grid.tableView();
    view->setCurrentIndex(view->model()->index(0, MeasurementGrid::ColQ1));
    restarted.grid.clearCurrentColumnColor();
    QVERIFY(!cellColour(restarted, MeasurementGrid::ColQ1).isValid());
    restarted.dialogs.colors = {Qt::blue, Qt::green};
    restarted.grid.chooseCurrentColumnColor();
    view->setCurrentIndex(view->model()->index(0, MeasurementGrid::ColN));
    restarted.grid.chooseCurrentColumnColor();
    restarted.grid.clearColumnColors();
    QVERIFY(!cellColour(restarted, MeasurementGrid::ColQ1).isValid());
    QVERIFY(!cellColour(restarted, MeasurementGrid::ColN).isValid());
}

void GridViewTest::equalizeGivesEveryColumnAnEleventhOfTheWidth() {
    GridHarness h;
    std::vector<TestRow> rows = threeRows();
    rows[0].enCh = 1;
    h.open(writeTable(folder(), QStringLiteral("equal.db"), rows));
    QCOMPARE(h.grid.width(), 693);
    h.grid.equalizeColumns();
    for (const ColumnLayout& column : h.grid.columnLayouts()) {
        QCOMPARE(column.width, 63);
    }
    // The nine visible columns are stretched alike to fill the grid.
    QHeaderView* header = h.grid.tableView()->horizontalHeader();
    std::vector<int> shown;
    const auto shownWidth = [&] {
        shown.clear();
        for (int column = 0; column < MeasurementGrid::ColumnCount; ++column) {
            if (!header->isSectionHidden(column)) {
                shown.push_back(header->sectionSize(column));
            }
        }
        return std::accumulate(shown.begin(), shown.end(), 0);
    };
    QCOMPARE(shownWidth(), h.grid.tableView()->viewport()->width());
    QCOMPARE(shown.size(), std::size_t(9));
    const auto [smallest, largest] = std::minmax_element(shown.begin(), shown.end());
    QVERIFY(*largest - *smallest <= 1);

    // A column dragged wider keeps its new width; the others give way and the grid stays filled.
    header->resizeSection(MeasurementGrid::ColType, 150);
    QVERIFY(std::abs(header->sectionSize(MeasurementGrid::ColType) - 150) <= 1);
    QCOMPARE(shownWidth(), h.grid.tableView()->viewport()->width());
    QVERIFY(h.grid.columnLayouts()[MeasurementGrid::ColType].width > 63);
    QCOMPARE(h.grid.columnLayouts()[MeasurementGrid::ColN].width, 63);

    // Narrower than the columns were: they shrink with it.
    h.grid.resize(400, 300);
    QTRY_COMPARE(h.grid.width(), 400);
    QCOMPARE(shownWidth(), h.grid.tableView()->viewport()->width());
}

void GridViewTest::unreadableStoredLayoutIsReplaced() {
    zond::link::openProgramSettings()->setValue(QStringLiteral("Table_1"),
                                                QStringLiteral("TAVIS_1;63;x;up\r\ngarbage"));
    GridHarness h;
    h.open(writeTable(folder(), QStringLiteral("garbage.db"), threeRows()));
    for (const ColumnLayout& column : h.grid.columnLayouts()) {
        QCOMPARE(column.width, 693 / 11);
        QCOMPARE(column.sort, SortIndicator::None);
    }
    const QString stored =
        zond::link::openProgramSettings()->value(QStringLiteral("Table_1")).toString();
    const auto parsed = zond::app::parseLayoutText(stored);
    QVERIFY(parsed);
    QCOMPARE(parsed->size(), std::size_t(MeasurementGrid::ColumnCount));
}

void GridViewTest::layoutTextReadsBackAsWritten() {
    ColumnLayout q1;
    q1.field = QStringLiteral("TAVIS_1");
    q1.width = 77;
    q1.position = 5;
    q1.sort = SortIndicator::Down;
    q1.color = QColor(0x12, 0x34, 0x56);
    q1.alignment = Qt::AlignRight;
    q1.font = QFont(QStringLiteral("Sans;Serif"), 11);
    ColumnLayout comment;
    comment.field = QStringLiteral("COMMENT");
    comment.width = 64;
    comment.position = 10;
    const QString text = zond::app::layoutText({q1, comment});
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(text.count(QStringLiteral("\r\n")), 2);
    const auto parsed = zond::app::parseLayoutText(text);
    QVERIFY(parsed);
    QCOMPARE(parsed->size(), std::size_t(2));
    QVERIFY((*parsed)[0] == q1);
    QVERIFY((*parsed)[1] == comment);

    // Each malformed item spoils the whole value.
    for (const QString& bad :
         {QStringLiteral("TAVIS_1;0;5;up;none;right;x"),
          QStringLiteral("TAVIS_1;63;11;up;none;right;Sans,9"),
          QStringLiteral("TAVIS_1;63;5;sideways;none;right;Sans,9"),
          QStringLiteral("TAVIS_1;63;5;up;red;right;Sans,9"),
          QStringLiteral("TAVIS_1;63;5;up;none;middle;Sans,9"),
          QStringLiteral(";63;5;up;none;right;Sans,9"), QStringLiteral("TAVIS_1;63;5;up;none")}) {
        QVERIFY2(!zond::app::parseLayoutText(text + bad + QStringLiteral("\r\n")), qPrintable(bad));
    }
    QVERIFY(!zond::app::parseLayoutText(QString()));

    // A stored record for a field the grid does not have is ignored; the others apply.
    ColumnLayout unknown = comment;
    unknown.field = QStringLiteral("NO_SUCH");
    zond::link::openProgramSettings()->setValue(QStringLiteral("Table_1"),
                                                zond::app::layoutText({q1, unknown}));
    GridHarness h;
    h.open(writeTable(folder(), QStringLiteral("layout.db"), threeRows()));
    const auto applied = h.grid.columnLayouts();
    QCOMPARE(applied[MeasurementGrid::ColQ1].width, 77);
    QCOMPARE(applied[MeasurementGrid::ColQ1].sort, SortIndicator::Down);
    QCOMPARE(applied[MeasurementGrid::ColQ1].color, q1.color);
    QCOMPARE(applied[MeasurementGrid::ColN].width, 49);
    // A restored indicator does not sort the rows.
    QVERIFY(!h.table.selectedIndex());
}

void GridViewTest::ctrlKeyMovesTheCursorLikeTab() {
    GridHarness h;
    std::vector<TestRow> rows = threeRows();
    rows[0].enCh = 1;  // q2 and q3 hidden: skipped like Tab skips them
    h.open(writeTable(folder(), QStringLiteral("ctrl.db"), rows));
    QTableView* view = h.grid.tableView();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, MeasurementGrid::ColQ1));
    // Pressing Ctrl sends one key-down of the Ctrl key itself.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QApplication::sendEvent(view, &press);
    QCOMPARE(view->currentIndex().column(), int(MeasurementGrid::ColTIn));
    view->setCurrentIndex(view->model()->index(0, MeasurementGrid::ColComment));
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, QString(), true);
    QApplication::sendEvent(view, &repeat);
    QCOMPARE(view->currentIndex().row(), 1);
    QCOMPARE(view->currentIndex().column(), int(MeasurementGrid::ColN));
}

QTEST_MAIN(GridViewTest)
#include "grid_view_test.moc"
