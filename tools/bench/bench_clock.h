// The benchmarks' clock: seconds from the performance counter, and the median of runs.
#pragma once
#include <windows.h>

#include <algorithm>
#include <vector>

inline double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
