// The fault guard on its own: faults left unhandled inside a guarded call come back as a
// failed call, faults the called code handles itself are left to it, nested guards each catch
// their own, Quiran's own code can make a guard stand aside, and C++ exceptions are not taken
// for faults. The tests ask that a fault was caught, not which code it carried: where 32-bit
// code runs under qemu's translation, an access violation arrives as an illegal instruction
// and a division by zero as a floating-point fault.
#include "imaging/fault_guard.h"

#include <windows.h>

#include <cmath>

#include <gtest/gtest.h>

#include "imaging/win_test_util.h"
#include "win/window.h"

namespace {
// A null pointer to write through; the pointee volatile too, so the compiler can never take
// the write for undefined behaviour and leave it out.
volatile int* volatile nowhere = nullptr;
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

TEST(FaultGuard, OnlyFaultsTheCalledCodeLeavesUnhandled) {
  // The "catch" test plug-in runs a fault inside an exception frame of its own and recovers.
  win::Module m(LoadLibraryW(win::Wide(imgtest::Plugin("catch")).c_str()));
  ASSERT_TRUE(m);
  auto catchOwn = imgtest::PluginExport<int(WINAPI*)()>(m, "TestCatchOwnFault");
  auto raiseUncaught = imgtest::PluginExport<void(WINAPI*)()>(m, "TestRaiseUncaught");
  unsigned long code = 1;
  int caught = 0;
  auto handledInside = [&] { caught = catchOwn(); };
  EXPECT_TRUE(fault_guard::Run(handledInside, &code));
  EXPECT_EQ(caught, 1);
  // An exception of the called code's own that nothing inside catches is a fault too.
  auto leftUnhandled = [&] { raiseUncaught(); };
  EXPECT_FALSE(fault_guard::Run(leftUnhandled, &code));
  EXPECT_EQ(code, 0xE0000001ul);  // raised, not a processor fault: the same code everywhere
  // And so is a floating-point exception, once the called code has unmasked them (except
  // where 32-bit code runs translated by qemu, which raises none).
  if (sizeof(void*) == 4 && imgtest::ThirtyTwoBitTranslated()) return;
  auto unmask = imgtest::PluginExport<void(WINAPI*)()>(m, "TestUnmaskFloat");
  volatile double zero = 0.0, result = 0.0;
  auto divide = [&] {
    unmask();
    result = 1.0 / zero;
  };
  EXPECT_FALSE(fault_guard::Run(divide, &code));
  // Unmasked by a call that returned normally, the exceptions are masked again afterwards.
  auto unmaskOnly = [&] { unmask(); };
  EXPECT_TRUE(fault_guard::Run(unmaskOnly, &code));
  result = 1.0 / zero;
  EXPECT_TRUE(std::isinf(result));
}

TEST(FaultGuard, StandsAsideForQuiransOwnCode) {
  // Inside a guarded call, code that disarms the guard faults past it, to the next guard out.
  unsigned long code = 0;
  bool innerReturned = false;
  auto ours = [&] {
    fault_guard::Unguarded unguarded;
    *nowhere = 4;
  };
  auto inner = [&] { ours(); };
  auto outer = [&] {
    fault_guard::Run(inner, nullptr);
    innerReturned = true;
  };
  EXPECT_FALSE(fault_guard::Run(outer, &code));
  EXPECT_FALSE(innerReturned);
  // The scope ends, the guard is armed again; both guards are gone afterwards.
  auto afterScope = [&] {
    { fault_guard::Unguarded unguarded; }
    *nowhere = 5;
  };
  EXPECT_FALSE(fault_guard::Run(afterScope, &code));
  auto fine = [] {};
  EXPECT_TRUE(fault_guard::Run(fine, &code));
}

namespace {

// A window of Quiran's own whose handler faults on WM_APP.
class FaultingWindow : public win::Window {
 public:
  FaultingWindow() {
    CreateArgs a;
    a.style = WS_POPUP;
    CreateWindowOf(a);
  }
  ~FaultingWindow() override {
    if (hwnd_) DestroyWindow(hwnd_);
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_APP) *nowhere = 6;
    return Window::HandleMessage(msg, wp, lp);
  }
};

}  // namespace

TEST(FaultGuard, StandsAsideInQuiransWindows) {
  // A plug-in that runs a message loop inside its guarded call reaches Quiran's windows: a
  // fault of theirs passes the plug-in's guard, to the next guard out (the process here).
  fault_guard::StandAsideInWindows();
  FaultingWindow window;
  bool pluginReturned = false;
  auto plugin = [&] { SendMessageW(window.Handle(), WM_APP, 0, 0); };
  auto process = [&] {
    fault_guard::Run(plugin, nullptr);
    pluginReturned = true;
  };
  unsigned long code = 0;
  EXPECT_FALSE(fault_guard::Run(process, &code));
  EXPECT_FALSE(pluginReturned);
  // Outside any window procedure the plug-in's guard is armed again.
  auto pluginFaults = [&] { *nowhere = 7; };
  EXPECT_FALSE(fault_guard::Run(pluginFaults, &code));
}
