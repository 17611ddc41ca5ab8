#pragma once
// The figures the benchmark reports: medians, and 95% confidence intervals by resampling the
// rounds (the same rounds for both sides of a pair, since each round measured every program under
// the same conditions).

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

struct Estimate {
    double value, low, high;  // the figure, and its 95% confidence interval
};

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// `statistic` of the rounds given by index, over 2000 resamplings of the rounds; the generator is
// seeded the same way every time, so a run's table does not change when it is printed again.
inline Estimate Resampled(size_t rounds, const std::function<double(const std::vector<size_t>&)>& statistic)
{
    std::vector<size_t> all(rounds);
    for (size_t i = 0; i < rounds; ++i)
        all[i] = i;
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    const auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    std::vector<double> resampled;
    std::vector<size_t> pick(rounds);
    for (int i = 0; i < 2000; ++i) {
        for (size_t& p : pick)
            p = next() % rounds;
        resampled.push_back(statistic(pick));
    }
    std::sort(resampled.begin(), resampled.end());
    return {statistic(all), resampled[50], resampled[1949]};
}

inline std::vector<double> Pick(const std::vector<double>& values, const std::vector<size_t>& rounds)
{
    std::vector<double> picked;
    for (size_t r : rounds)
        picked.push_back(values[r]);
    return picked;
}

inline Estimate MedianOf(const std::vector<double>& a)
{
    return Resampled(a.size(), [&](const std::vector<size_t>& r) { return Median(Pick(a, r)); });
}

inline Estimate RatioOfMedians(const std::vector<double>& a, const std::vector<double>& b)
{
    return Resampled(a.size(), [&](const std::vector<size_t>& r) { return Median(Pick(a, r)) / Median(Pick(b, r)); });
}

// The median of a - b taken round by round.
inline Estimate PairedDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> difference(a.size());
    for (size_t i = 0; i < a.size(); ++i)
        difference[i] = a[i] - b[i];
    return MedianOf(difference);
}
