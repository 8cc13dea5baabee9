#include "chart/ChartModel.h"

#include <algorithm>
#include <cmath>

ValueTicks MakeValueTicks(double lo, double hi, int maxTicks)
{
    if (!(hi > lo)) {
        const double pad = lo != 0 ? std::fabs(lo) / 10 : 1;
        lo -= pad, hi += pad;
    }
    maxTicks = std::max(maxTicks, 2);
    // The smallest step of 1, 2 or 5 times a power of ten that needs no more ticks.
    const double base = std::pow(10.0, std::floor(std::log10((hi - lo) / maxTicks)));
    double step = base;
    for (const double times : { 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000 }) {
        step = base * times;
        if (std::ceil(hi / step) - std::floor(lo / step) <= maxTicks - 1)
            break;
    }
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    return { std::floor(lo / step) * step, std::ceil(hi / step) * step, step, decimals };
}

TimeTicks MakeTimeTicks(double t0, double t1, int maxTicks)
{
    struct Step {
        int minutes, months;
    };
    static const Step kLadder[] = { { 1, 0 }, { 2, 0 }, { 5, 0 }, { 10, 0 }, { 15, 0 }, { 30, 0 }, { 60, 0 },
                                    { 120, 0 }, { 180, 0 }, { 360, 0 }, { 720, 0 }, { 1440, 0 }, { 2880, 0 },
                                    { 10080, 0 }, { 0, 1 }, { 0, 3 }, { 0, 6 }, { 0, 12 }, { 0, 24 }, { 0, 60 },
                                    { 0, 120 } };
    const Step* step = kLadder;
    while (step + 1 < std::end(kLadder) && (t1 - t0) / (step->minutes + step->months * 43830) > maxTicks)
        ++step;
    TimeTicks ticks{ {}, step->minutes == 0 || step->minutes >= 1440 };
    const size_t most = static_cast<size_t>(std::max(maxTicks, 1)) + 2;
    if (step->months) {
        // From the first month start at a multiple of the step: January for whole years.
        const std::string from = FormatTime(static_cast<ChartTime>(std::floor(t0)));
        int month = std::stoi(from.substr(6, 4)) * 12 + std::stoi(from.substr(3, 2)) - 1;
        for (month = (month + step->months - 1) / step->months * step->months; ticks.at.size() < most;
             month += step->months) {
            const ChartTime at = DaysFromCivil(month / 12, month % 12 + 1, 1) * 1440;
            if (at > t1)
                break;
            if (at >= t0)
                ticks.at.push_back(at);
        }
    } else {
        // Whole units from midnight; weeks from a Monday (01.01.1970 was a Thursday).
        const double offset = step->minutes == 10080 ? 4 * 1440 : 0;
        for (double at = std::ceil((t0 - offset) / step->minutes) * step->minutes + offset;
             at <= t1 && ticks.at.size() < most; at += step->minutes)
            ticks.at.push_back(static_cast<ChartTime>(at));
    }
    return ticks;
}

std::string TickLabel(const TimeTicks& ticks, size_t i)
{
    const std::string text = FormatTime(ticks.at[i]), date = text.substr(0, 10);
    if (ticks.dates)
        return date;
    if (i == 0 || FormatTime(ticks.at[i - 1]).compare(0, 10, date) != 0)
        return text.substr(11) + "\n" + date;
    return text.substr(11);
}

namespace {

// Gathers a polyline's readings per pixel column and keeps four of each.
class CCurveBuilder {
public:
    explicit CCurveBuilder(ChartCurve& curve) : m_curve(curve) {}

    void Add(int x, float value, size_t index)
    {
        if (m_nSamples && x != m_x)
            Flush();
        const Sample sample = { value, index };
        if (m_nSamples++ == 0)
            m_x = x, m_first = m_min = m_max = sample;
        if (value < m_min.value)
            m_min = sample;
        if (value > m_max.value)
            m_max = sample;
        m_last = sample;
    }
    void Break()
    {
        Flush();
        if (m_nPoints)
            m_curve.counts.push_back(m_nPoints);
        m_nPoints = 0;
    }

private:
    struct Sample {
        float value;
        size_t index;
    };
    void Flush()
    {
        if (!m_nSamples)
            return;
        const bool minFirst = m_min.index < m_max.index;
        const Sample* order[] = { &m_first, minFirst ? &m_min : &m_max, minFirst ? &m_max : &m_min, &m_last };
        for (size_t k = 0; k < 4; ++k) {
            if (k > 0 && order[k]->index <= order[k - 1]->index)
                continue;  // the same reading as one before it
            m_curve.points.push_back({ m_x, order[k]->value });
            ++m_nPoints;
        }
        m_nSamples = 0;
    }

    ChartCurve& m_curve;
    size_t m_nSamples = 0, m_nPoints = 0;
    int m_x = 0;
    Sample m_first{}, m_last{}, m_min{}, m_max{};
};

}  // namespace

ChartCurve MakeCurve(const ChartTable& table, size_t column, double t0, double t1, int width)
{
    ChartCurve curve;
    CCurveBuilder builder(curve);
    const std::vector<ChartTime>& times = table.times;
    const std::vector<float>& values = table.columns[column].values;
    const double scale = (width - 1) / std::max(t1 - t0, 1e-9);
    for (size_t p = 0; p < table.pieces.size(); ++p) {
        const auto begin = times.begin() + table.pieces[p];
        const auto end = p + 1 < table.pieces.size() ? times.begin() + table.pieces[p + 1] : times.end();
        if (end[-1] < t0 || *begin > t1)
            continue;
        auto from = std::lower_bound(begin, end, t0), to = std::upper_bound(from, end, t1);
        from -= from != begin;
        to += to != end;
        for (auto it = from; it != to; ++it) {
            const size_t i = static_cast<size_t>(it - times.begin());
            if (std::isnan(values[i])) {
                builder.Break();
                continue;
            }
            const double x = std::max(-1e6, std::min(1e6, (*it - t0) * scale));
            builder.Add(static_cast<int>(std::floor(x + 0.5)), values[i], i);
        }
        builder.Break();
    }
    return curve;
}

size_t NearestReading(const ChartTable& table, double time)
{
    size_t best = table.times.size();
    double distance = 0;
    for (size_t p = 0; p < table.pieces.size(); ++p) {
        const auto begin = table.times.begin() + table.pieces[p];
        const auto end = p + 1 < table.pieces.size() ? table.times.begin() + table.pieces[p + 1] : table.times.end();
        const auto at = std::lower_bound(begin, end, time);
        for (auto it : { at - (at != begin), at }) {
            if (it != end && (best == table.times.size() || std::fabs(*it - time) < distance))
                best = static_cast<size_t>(it - table.times.begin()), distance = std::fabs(*it - time);
        }
    }
    return best;
}
