// The fault guard on its own: hardware faults inside a guarded call come back as a failed
// call, nested guards each catch their own, and C++ exceptions are not taken for faults.
// The tests ask that a fault was caught, not which code it carried: where 32-bit code runs
// under qemu's translation, an access violation arrives as an illegal instruction and a
// division by zero as a floating-point fault.
#include "imaging/fault_guard.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {
int* volatile nowhere = nullptr;
volatile int zero = 0;
}  // namespace

TEST(FaultGuard, HardwareFaultsReturnToTheCaller) {
  unsigned long code = 1;
  int done = 0;
  auto fine = [&] { done = 42; };
  EXPECT_TRUE(fault_guard::Run(fine, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(done, 42);

  auto write = [&] { *nowhere = 1; };
  for (int i = 0; i < 3; ++i) {  // again and again: nothing is left behind by a recovery
    code = 0;
    EXPECT_FALSE(fault_guard::Run(write, &code));
    EXPECT_NE(code, 0u);
  }
  auto divide = [&] { done = 10 / zero; };
  code = 0;
  EXPECT_FALSE(fault_guard::Run(divide, &code));
  EXPECT_NE(code, 0u);

  // A fault in an inner guard is the inner guard's; the outer call then completes.
  bool innerResult = true;
  auto outer = [&] {
    innerResult = fault_guard::Run(write, nullptr);
    done = 7;
  };
  EXPECT_TRUE(fault_guard::Run(outer, &code));
  EXPECT_FALSE(innerResult);
  EXPECT_EQ(done, 7);
  // A fault in the outer call after an inner guard has ended is the outer guard's.
  auto outerFaults = [&] {
    fault_guard::Run(fine, nullptr);
    *nowhere = 2;
  };
  EXPECT_FALSE(fault_guard::Run(outerFaults, &code));

  // A C++ exception passes through a guard as itself, and the guard is gone afterwards: a
  // fault in a later guard is that guard's.
  auto throws = [] { throw std::runtime_error("x"); };
  EXPECT_THROW(fault_guard::Run(throws, &code), std::runtime_error);
  auto throwsInside = [&] { EXPECT_THROW(fault_guard::Run(throws, nullptr), std::runtime_error); *nowhere = 3; };
  EXPECT_FALSE(fault_guard::Run(throwsInside, &code));
  // And after all of it, a call that does not fault simply runs.
  done = 0;
  EXPECT_TRUE(fault_guard::Run(fine, &code));
  EXPECT_EQ(done, 42);
}

namespace {
int Deep(int n) {
  volatile char buf[512];
  buf[0] = static_cast<char>(n);
  return n == 0 ? 0 : Deep(n - 1) + buf[0];
}
}  // namespace

TEST(FaultGuard, StackOverflowIsCaughtEveryTime) {
  // The second overflow needs the stack's guard page back, which the recovery restores.
  unsigned long code = 0;
  auto recurse = [] { Deep(1 << 30); };
  for (int i = 0; i < 2; ++i) {
    code = 0;
    EXPECT_FALSE(fault_guard::Run(recurse, &code));
    EXPECT_NE(code, 0u);
  }
  int done = 0;
  auto fine = [&] { done = Deep(100); };
  EXPECT_TRUE(fault_guard::Run(fine, &code));
  EXPECT_EQ(done, 5050);
}
