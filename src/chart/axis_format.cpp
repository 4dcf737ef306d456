#include "chart/axis_format.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLocale>
#include <array>
#include <cmath>

namespace zond::chart {

namespace {

constexpr double kMinuteMs = 60'000;
constexpr double kHourMs = 60 * kMinuteMs;
constexpr double kDayMs = 24 * kHourMs;
constexpr double kWantedSteps = 6;

// Steps a reader counts in: 1, 2, 5, 10, 15, 30 minutes; 1, 2, 3, 6, 12 hours; then days.
constexpr std::array<double, 11> kClockSteps = {
    kMinuteMs, 2 * kMinuteMs, 5 * kMinuteMs, 10 * kMinuteMs, 15 * kMinuteMs, 30 * kMinuteMs,
    kHourMs,   2 * kHourMs,   3 * kHourMs,   6 * kHourMs,    12 * kHourMs};

// Whole days: 1, 2, 5, 10, 20, 50 … days.
double daySteps(double span) {
    double days = 1;
    for (double power = 1;; power *= 10) {
        for (const double factor : {1.0, 2.0, 5.0}) {
            days = factor * power;
            if (span / (days * kDayMs) <= kWantedSteps) {
                return days;
            }
        }
    }
}

double localMidnight(double moment) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(moment));
    return static_cast<double>(at.date().startOfDay().toMSecsSinceEpoch());
}

}  // namespace

TimeTicks roundTimeTicks(double from, double to, bool wholeDays) {
    const double span = std::max(to - from, kMinuteMs);
    double step = 0;
    if (!wholeDays) {
        for (const double clock : kClockSteps) {
            if (span / clock <= kWantedSteps) {
                step = clock;
                break;
            }
        }
    }
    TimeTicks ticks;
    const double midnight = localMidnight(from);
    if (step == 0) {
        step = daySteps(span) * kDayMs;
        ticks.from = midnight;
    } else {
        ticks.from = midnight + std::floor((from - midnight) / step) * step;
    }
    const double steps = std::max(1.0, std::ceil((to - ticks.from) / step));
    ticks.to = ticks.from + steps * step;
    ticks.count = static_cast<int>(steps) + 1;
    return ticks;
}

void setTimeTicks(QDateTimeAxis& axis, const TimeTicks& ticks) {
    axis.setTickCount(ticks.count);
    axis.setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ticks.from)),
                  QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ticks.to)));
}

void useDecimalComma(QChart& chart) {
    QLocale russian(QLocale::Russian, QLocale::Russia);
    russian.setNumberOptions(QLocale::OmitGroupSeparator);
    chart.setLocale(russian);
    chart.setLocalizeNumbers(true);
}

}  // namespace zond::chart
