// What the chart draws, worked out without windows: round ticks on the value
// and time axes, and each curve reduced to what its pixel columns show.
#pragma once

#include "chart/ChartTable.h"

#include <string>
#include <vector>

// Value ticks at multiples of `step` (1, 2 or 5 times a power of ten) from
// `first` while not above `hi`; [lo, hi] is the range widened to whole steps.
struct ValueTicks {
    double lo, hi, step;
    int decimals;  // as many as the step needs
};
ValueTicks MakeValueTicks(double lo, double hi, int maxTicks);

// Time ticks from a fixed ladder of steps (1 minute ... 10 years), the first
// that gives no more than `maxTicks` ticks in [t0, t1], at whole units.
struct TimeTicks {
    std::vector<ChartTime> at;
    bool dates;  // steps of a day or more: labelled "dd.mm.yyyy", else "hh:mm"
};
TimeTicks MakeTimeTicks(double t0, double t1, int maxTicks);
// Tick i's label: "hh:mm", with its date on a second line where the day changes; or the date.
std::string TickLabel(const TimeTicks& ticks, size_t i);

// A curve of one column in the time span [t0, t1] over `width` pixel columns
// from x = 0: per pixel column the first, the least, the greatest and the
// last reading, in their order (M4), which draw exactly what every reading
// would. Broken into polylines at gaps, at time going back and at missing
// values; a reading just outside the span on each side is included, so that
// the curve runs to the edges.
struct ChartPoint {
    int x;
    float value;
};
struct ChartCurve {
    std::vector<ChartPoint> points;
    std::vector<unsigned long> counts;  // points per polyline, in order
};
ChartCurve MakeCurve(const ChartTable& table, size_t column, double t0, double t1, int width);

// The reading nearest to `time`; table.times.size() when there is none.
size_t NearestReading(const ChartTable& table, double time);
