#pragma once

#include "history/Varint.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

// Round trips counted in fixed bins of about a twelfth of their value each:
// below 16 µs one bin a microsecond, above eight bins a power of two (a bin
// is 6.25 % to 12.5 % of its value wide), up to 2^31 µs. Minutes and hours
// of them add up bin by bin, and their quantiles are read back within a few
// percent.
class RttHistogram {
public:
    static constexpr int Bins = 232;

    static int binOf(std::int64_t us);
    // The smallest value of the bin, and of the one after it.
    static std::int64_t lowerBound(int bin);
    static std::int64_t upperBound(int bin) { return lowerBound(bin + 1); }

    void add(std::int64_t us, std::uint32_t count = 1) { m_counts[static_cast<std::size_t>(binOf(us))] += count; }
    void merge(const RttHistogram& other);
    std::uint64_t total() const;
    std::uint32_t count(int bin) const { return m_counts[static_cast<std::size_t>(bin)]; }

    // Sparse: for each bin that holds any, the varint of its distance from
    // the bin after the previous one (the first from bin 0) and the varint
    // of its count.
    void encode(std::string& out) const;
    // Calls `take(bin, count)` for each bin of an encoded histogram, in
    // order; false at a damaged one.
    template <typename Take> static bool forEachBin(const unsigned char* p, std::size_t size, Take&& take);
    bool decode(const unsigned char* p, std::size_t size);

    // The q-quantiles (0..1, ascending) of counts like these: each the value
    // at rank q * total, read linearly inside its bin and kept within
    // [minUs, maxUs]; -1 when there are none.
    template <typename Count>
    static void quantiles(const std::array<Count, Bins>& counts, const double* qs, int n, std::int64_t minUs,
                          std::int64_t maxUs, std::int64_t* out);
    std::int64_t quantile(double q, std::int64_t minUs, std::int64_t maxUs) const {
        std::int64_t value = -1;
        quantiles(m_counts, &q, 1, minUs, maxUs, &value);
        return value;
    }

private:
    std::array<std::uint32_t, Bins> m_counts{};
};

template <typename Take> bool RttHistogram::forEachBin(const unsigned char* p, std::size_t size, Take&& take) {
    const unsigned char* end = p + size;
    std::uint64_t next = 0;
    while (p < end) {
        std::uint64_t gap = 0;
        std::uint64_t count = 0;
        if (!varint::get(p, end, gap) || !varint::get(p, end, count) || gap >= Bins || next + gap >= Bins)
            return false;
        take(static_cast<int>(next + gap), count);
        next += gap + 1;
    }
    return true;
}

template <typename Count>
void RttHistogram::quantiles(const std::array<Count, Bins>& counts, const double* qs, int n, std::int64_t minUs,
                             std::int64_t maxUs, std::int64_t* out) {
    double total = 0;
    for (const Count c : counts)
        total += static_cast<double>(c);
    int bin = 0;
    double before = 0;
    for (int i = 0; i < n; ++i) {
        if (total <= 0) {
            out[i] = -1;
            continue;
        }
        const double rank = qs[i] * total;
        for (; bin < Bins - 1; ++bin) {
            const double c = static_cast<double>(counts[static_cast<std::size_t>(bin)]);
            if (c > 0 && before + c >= rank)
                break;
            before += c;
        }
        const double c = static_cast<double>(counts[static_cast<std::size_t>(bin)]);
        const double share = c > 0 ? std::clamp((rank - before) / c, 0.0, 1.0) : 0.5;
        const double lo = static_cast<double>(lowerBound(bin));
        const double hi = static_cast<double>(upperBound(bin));
        auto value = static_cast<std::int64_t>(lo + share * (hi - lo));
        if (minUs >= 0)
            value = std::max(value, minUs);
        if (maxUs >= 0)
            value = std::min(value, maxUs);
        out[i] = value;
    }
}
