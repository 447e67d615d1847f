// One running program per file it keeps: the first start takes a lock named after the file's
// path, and a second start on the same file finds it taken and brings the first one's window
// forward instead of running beside it.
#pragma once
#include <windows.h>

#include <string>

namespace win {

class InstanceLock {
 public:
  // Takes the lock of the file at path (the same file however its path is written: full path,
  // case ignored). Raises Exception when the system cannot make the lock at all.
  explicit InstanceLock(const std::string& path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // False when another program holds the lock.
  bool Acquired() const { return acquired_; }
  // The holder names its main window, which later starts bring forward.
  void Publish(HWND window);
  // Brings the holder's window forward (restored when minimised), waiting up to waitMs for
  // a holder that is still starting to name it. False when there was none to bring.
  bool BringHolderForward(DWORD waitMs) const;

 private:
  HANDLE mutex_ = nullptr;
  HANDLE window_ = nullptr;  // a small shared memory holding the holder's window handle
  bool acquired_ = false;
};

}  // namespace win
