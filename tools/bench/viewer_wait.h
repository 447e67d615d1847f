// The benchmarks' wait for a viewer that decodes its picture while it is shown: handles the
// thread's messages until the viewer holds the whole picture and nothing of its window waits
// to be painted, noting when a paint first drew rows of the picture.
#pragma once
#include <windows.h>

#include "bench_clock.h"
#include "viewer/view_form.h"
#include "win/error.h"

struct ViewerTimes {
  double Shown = 0;      // seconds from start to the window made, sized and shown (the caller's)
  double FirstRows = 0;  // seconds from start to the end of the first paint that drew picture rows
  double Complete = 0;   // to the picture whole and painted
  double Bars = 0;       // to the scroll bars, which come after the picture, in place
};

inline ViewerTimes WaitForViewer(HWND view, double start) {
  auto* viewer = dynamic_cast<TViewForm*>(win::Window::FromHandle(view));
  if (!viewer) throw Exception("no viewer object");
  ViewerTimes t;
  for (;;) {
    if (t.FirstRows == 0 && viewer->RowsPainted() > 0) {
      GdiFlush();
      t.FirstRows = Now() - start;
    }
    if (t.Complete == 0 && !viewer->Decoding() && !GetUpdateRect(view, nullptr, FALSE)) {
      GdiFlush();
      t.Complete = Now() - start;
      if (t.FirstRows == 0) t.FirstRows = t.Complete;
    }
    if (t.Complete > 0 && !viewer->ScrollBarsHeld() && !GetUpdateRect(view, nullptr, FALSE)) {
      GdiFlush();
      t.Bars = Now() - start;
      return t;
    }
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT);
    }
  }
}
