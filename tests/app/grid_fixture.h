// What the grid's tests share: measurement tables written row by row, a private settings folder,
// and a grid over an open table with clicks on its cells and titles.
#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <vector>

#include "app/grid/measurement_grid.h"
#include "dbf/dbf_table.h"
#include "scripted_dialogs.h"

namespace zond::test {

struct TestRow {
    int n = 0;
    QString date = QStringLiteral("01.01.2020");
    QString time = QStringLiteral("12:00:00");
    double q1 = 0;
    double q2 = 0;
    double q3 = 0;
    int enCh = 3;
    QString type = QStringLiteral("12X80/20X80/40X80");
    QString tIn = QStringLiteral("21,5");
    QString tExt = QStringLiteral("-5,0");
    QString comment;
};

// A row with its number and heat fluxes; the other fields keep their defaults.
TestRow fluxRow(int n, double q1, double q2 = 0, double q3 = 0);

std::filesystem::path writeTable(const QString& folder, const QString& name,
                                 const std::vector<TestRow>& rows);

// The program's settings under a folder of the test's own.
void usePrivateSettings(const QString& folder);

// A grid test's folders: the program's settings, taken over from the start, and its tables.
class GridTestFolders {
  public:
    GridTestFolders() { usePrivateSettings(settings_.path()); }
    QString tables() const { return tables_.path(); }

  private:
    QTemporaryDir settings_;
    QTemporaryDir tables_;
};

// Rows read back by python3-dbfread: one list of "N|TAVIS_1|COMMENT" texts in file order.
QStringList rowsOnDisk(const std::filesystem::path& path);

// Types text into a widget one key at a time, any character (QTest's own typing is Latin-1 only).
void typeText(QWidget* widget, const QString& text);

struct GridHarness {
    ScriptedDialogs dialogs;
    dbf::DbfTable table;
    app::MeasurementGrid grid;

    GridHarness();
    // As the main window opens a table: statistics, visibility rule, stored layout.
    void open(const std::filesystem::path& path);
    // As it closes one: layout stored, table closed, grid hidden.
    void close();

    void clickCell(int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void clickTitle(int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // The shown texts of one column, top to bottom.
    QStringList columnTexts(int column) const;
};

}  // namespace zond::test
