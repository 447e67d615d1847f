// Tests only: makes an allocation through operator new fail with std::bad_alloc at a chosen
// point, to show that code leaks nothing (handles, files, memory) whatever allocation fails.
// Only allocations on the thread that armed it count.
#pragma once

namespace testalloc {

// The next n allocations succeed; the one after them throws std::bad_alloc, once.
void FailAfter(long n);
// Disarms; answers whether an allocation was made to fail since FailAfter.
bool Stop();

// Runs fn with the 0th, 1st, 2nd ... allocation failing in turn (fn catches or lets the
// std::bad_alloc escape), until a run meets no failure; answers the number of runs.
template <class F>
int EveryAllocationFailing(F fn, int limit = 10000) {
  for (int n = 0; n < limit; ++n) {
    FailAfter(n);
    try {
      fn();
    } catch (...) {
    }
    if (!Stop()) return n + 1;
  }
  return limit;
}

}  // namespace testalloc
