// The chart window's picture for the documentation, taken on a real display (run under
// xvfb-run; not a test): a day of readings every 20 minutes, all five series, markers shown.
// Usage: chart_screenshot OUTPUT.png
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QTest>
#include <cmath>
#include <cstdio>

#include "chart/chart_window.h"
#include "chart_test_rows.h"

namespace {

std::vector<zond::chart::testing::RowValues> dayOfReadings() {
    std::vector<zond::chart::testing::RowValues> rows;
    const QDateTime start(QDate(2024, 1, 15), QTime(8, 0));
    for (int i = 0; i < 72; ++i) {
        const QDateTime moment = start.addSecs(20 * 60 * i);
        const double night = std::cos((i - 36) * M_PI / 36);  // coldest at the end of the night
        const double outside = -12 - 6 * night;
        const double inside = 20.5 - 0.8 * night;
        const double flux = (inside - outside) * 1.6;
        auto number = [](double v) { return QString::number(v, 'f', 1).toStdString(); };
        rows.push_back({moment.toString("dd.MM.yyyy").toStdString(),
                        moment.toString("hh:mm:ss").toStdString(), number(flux),
                        number(flux * 0.8 + 3), number(flux * 1.15 - 2), number(inside),
                        number(outside)});
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: chart_screenshot OUTPUT.png\n");
        return 2;
    }
    zond::chart::ChartWindow form;
    form.findChild<QCheckBox*>("markersBox_")->setChecked(true);
    const auto rows = zond::chart::testing::tableOf(dayOfReadings());
    form.setInput({&rows->table,
                   rows->records,
                   {true, true, true, true, true},
                   {"38,4/46,5/53,8", "33,7/40,2/46", "42,2/51,5/59,9", "", ""},
                   '.'});
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        return 1;
    }
    QTest::qWait(300);
    const bool saved = form.grab().save(QString::fromLocal8Bit(argv[1]));
    std::printf("%s %s\n", saved ? "wrote" : "could not write", argv[1]);
    return saved ? 0 : 1;
}
