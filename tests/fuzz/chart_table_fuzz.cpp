// The chart's table reader and drawing model on any bytes, fed in pieces whose size the first byte chooses.
#include "chart/ChartModel.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t piece = size ? data[0] % 64 + 1 : 1;
    CChartReader reader(2026);
    for (size_t at = 0; at < size; at += piece)
        reader.Feed(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at));
    const ChartTable table = reader.Finish();
    if (table.times.empty())
        return 0;
    for (int width : { 1, 97 }) {
        for (size_t c = 0; c < table.columns.size(); ++c) {
            const ChartCurve curve = MakeCurve(table, c, table.first, table.last, width);
            size_t points = 0;
            for (unsigned long n : curve.counts)
                points += n;
            if (points != curve.points.size())
                __builtin_trap();
            MakeValueTicks(table.columns[c].min, table.columns[c].max, width / 10);
        }
        const TimeTicks ticks = MakeTimeTicks(table.first, table.last + 1, width / 10);
        for (size_t i = 0; i < ticks.at.size(); ++i)
            TickLabel(ticks, i);
    }
    if (NearestReading(table, table.first) >= table.times.size())
        __builtin_trap();
    return 0;
}
