// What both charts' axes share: ticks at round moments on the time axis and the decimal comma on
// the value axis.
#pragma once

class QChart;
class QDateTimeAxis;

namespace zond::chart {

// A time axis stretched to round moments around a span, with a tick at each step.
struct TimeTicks {
    double from = 0;  // milliseconds since the epoch, local moments
    double to = 0;
    int count = 2;  // ticks, both ends included
};

// About six steps of whole minutes, hours or days (at local midnight) that cover [from, to]; with
// `wholeDays`, steps of whole days however short the span.
TimeTicks roundTimeTicks(double from, double to, bool wholeDays);

// Sets the axis to the ticks' range and count.
void setTimeTicks(QDateTimeAxis& axis, const TimeTicks& ticks);

// Value labels with the decimal comma and no digit grouping, whatever the system's locale.
void useDecimalComma(QChart& chart);

}  // namespace zond::chart
