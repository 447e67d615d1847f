// A Win32 event that worker threads set when a result is ready, so the user-interface thread
// can sleep until then or until a window message arrives.
#pragma once
#include <windows.h>

namespace win {

class WakeEvent {
 public:
  // Raises Exception when the event cannot be made.
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;
  // Any thread.
  void Set();
  // Returns once the event is set or a message is waiting for this thread.
  void WaitOrMessage();

 private:
  HANDLE h_;
};

}  // namespace win
