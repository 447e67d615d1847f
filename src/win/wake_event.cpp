#include "win/wake_event.h"

#include "win/error.h"

namespace win {

WakeEvent::WakeEvent() : h_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!h_) throw Exception("イベントを作成できません");
}

WakeEvent::~WakeEvent() { CloseHandle(h_); }

void WakeEvent::Set() { SetEvent(h_); }

void WakeEvent::WaitOrMessage() { MsgWaitForMultipleObjects(1, &h_, FALSE, INFINITE, QS_ALLINPUT); }

}  // namespace win
