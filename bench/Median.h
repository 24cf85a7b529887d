#pragma once
// The median of a benchmark's per-round figures: robust to the rounds a shared machine disturbs.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tolvek::bench {

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace tolvek::bench
