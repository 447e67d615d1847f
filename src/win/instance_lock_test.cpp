// One program per library: the lock taken by the first start, found by a later one, which
// brings the first one's window forward.
#include "win/instance_lock.h"

#include <gtest/gtest.h>

#include "win/test_files.h"

TEST(InstanceLock, ASecondStartOnTheSameFileFindsTheFirstAndBringsItsWindowForward) {
  win::TempFolder dir;
  const std::string path = dir.File("Quiran.Alb");
  auto first = std::make_unique<win::InstanceLock>(path);
  EXPECT_TRUE(first->Acquired());
  {
    // The same file written another way; another file.
    win::InstanceLock second(dir.Path() + "\\.\\QUIRAN.alb");
    EXPECT_FALSE(second.Acquired());
    EXPECT_FALSE(second.BringHolderForward(0));  // the first has no window yet
    win::InstanceLock other(dir.File("Other.Alb"));
    EXPECT_TRUE(other.Acquired());
  }
  HWND window = CreateWindowExW(0, L"STATIC", L"Quiran？", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  ShowWindow(window, SW_MINIMIZE);
  first->Publish(window);
  {
    win::InstanceLock second(path);
    EXPECT_FALSE(second.Acquired());
    second.Publish(nullptr);  // only the holder names the window
    EXPECT_TRUE(second.BringHolderForward(0));
    EXPECT_FALSE(IsIconic(window));
  }
  // Once the first has gone, the next start takes the lock.
  first.reset();
  win::InstanceLock next(path);
  EXPECT_TRUE(next.Acquired());
  DestroyWindow(window);
}
