#include "history/EchoSummary.h"

#include <algorithm>
#include <cmath>

EchoSummary EchoSummary::of(const std::vector<StoredEcho>& echoes) {
    EchoSummary s;
    std::vector<std::int64_t> rtts;
    rtts.reserve(echoes.size());
    for (const StoredEcho& e : echoes) {
        ++s.echoes;
        if (!e.answered())
            ++s.lost;
        else if (e.rttUs >= 0)
            rtts.push_back(e.rttUs);
    }
    if (rtts.empty())
        return s;
    std::sort(rtts.begin(), rtts.end());
    double sum = 0;
    for (const std::int64_t r : rtts) {
        sum += static_cast<double>(r);
        s.histogram.add(r);
    }
    const std::size_t n = rtts.size();
    s.minUs = rtts.front();
    s.maxUs = rtts.back();
    s.meanUs = std::llround(sum / static_cast<double>(n));
    s.medianUs = n % 2 ? rtts[n / 2] : (rtts[n / 2 - 1] + rtts[n / 2]) / 2;
    return s;
}

EchoSummary EchoSummary::merged(const std::vector<EchoSummary>& parts) {
    EchoSummary s;
    double sum = 0;
    double weight = 0;
    for (const EchoSummary& p : parts) {
        s.echoes += p.echoes;
        s.lost += p.lost;
        s.histogram.merge(p.histogram);
        if (p.minUs < 0)
            continue;
        s.minUs = s.minUs < 0 ? p.minUs : std::min(s.minUs, p.minUs);
        s.maxUs = std::max(s.maxUs, p.maxUs);
        const auto n = static_cast<double>(p.histogram.total());
        sum += static_cast<double>(p.meanUs) * n;
        weight += n;
    }
    if (weight > 0) {
        s.meanUs = std::llround(sum / weight);
        s.medianUs = s.histogram.quantile(0.5, s.minUs, s.maxUs);
    }
    return s;
}
