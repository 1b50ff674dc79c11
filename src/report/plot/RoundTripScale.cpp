#include "report/plot/RoundTripScale.h"

#include "report/plot/PlotColumns.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kEmptyTopMs = 10;

// The q-quantile of `values` in milliseconds; 0 for none.
double quantileMs(std::vector<std::int64_t>& values, double q) {
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(double(values.size() - 1) * q);
    std::nth_element(values.begin(), at, values.end());
    return double(*at) / 1000.0;
}

} // namespace

RoundTripScale RoundTripScale::fit(std::vector<std::int64_t> upperQuartilesUs, std::vector<std::int64_t> upperDecilesUs,
                                   int maxIntervals) {
    maxIntervals = std::max(maxIntervals, 1);
    double high = std::max(quantileMs(upperQuartilesUs, 0.98) * 1.25, quantileMs(upperDecilesUs, 0.90) * 1.05);
    high = upperQuartilesUs.empty() && upperDecilesUs.empty() ? kEmptyTopMs : std::max(high, 0.05);
    // The finest of 1, 2 and 5 times a power of ten that fits.
    for (int power = -2; power < 8; ++power)
        for (const double mantissa : {1.0, 2.0, 5.0}) {
            const double step = mantissa * std::pow(10.0, power);
            const double intervals = std::ceil(high / step - 1e-9);
            if (intervals <= maxIntervals)
                return RoundTripScale(intervals * step, step);
        }
    return RoundTripScale(high, high);
}

QList<double> RoundTripScale::ticks() const {
    QList<double> result;
    const int count = int(std::lround(m_top / m_step));
    for (int i = 0; i <= count; ++i)
        result.append(i * m_step);
    return result;
}

QString RoundTripScale::label(double ms) const {
    const int decimals = m_step >= 1 ? 0 : m_step >= 0.1 ? 1 : 2;
    return QString::number(ms, 'f', decimals) + QStringLiteral(" ms");
}

double RoundTripScale::share(std::int64_t us) const {
    return std::clamp(double(us) / 1000.0 / m_top, 0.0, 1.0);
}

RoundTripScale RoundTripScale::fit(const PlotColumns& columns, int maxIntervals) {
    std::vector<std::int64_t> quartiles;
    std::vector<std::int64_t> deciles;
    for (int x = 0; x < columns.count(); ++x)
        if (const HistoryBucket& b = columns.at(x); columns.source(x) == x && b.medianUs >= 0) {
            quartiles.push_back(std::max(b.p75Us, b.medianUs));
            deciles.push_back(std::max(b.p90Us, b.medianUs));
        }
    return fit(std::move(quartiles), std::move(deciles), maxIntervals);
}
