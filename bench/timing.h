// Timing a benchmark's runs: the time since a start, and the median of the times.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

using clock_type = std::chrono::steady_clock;

inline double seconds_since(clock_type::time_point start)
{
	return std::chrono::duration<double>(clock_type::now() - start).count();
}

inline double ms_since(clock_type::time_point start)
{
	return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

// The middle time, the higher of the two middle ones for an even count.
inline double median(std::vector<double> v)
{
	std::sort(v.begin(), v.end());
	return v[v.size() / 2];
}
