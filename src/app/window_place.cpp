#include "app/window_place.h"

namespace app {

namespace {

// GetWindowPlacement counts from the primary screen's work area, not the screen's corner:
// the two differ by a task bar at the top or on the left.
POINT WorkspaceOffset() {
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (!GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi)) return {0, 0};
  return {mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
}

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM lp) noexcept {
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (GetMonitorInfoW(monitor, &mi)) {
    const RECT& r = mi.rcWork;
    try {
      reinterpret_cast<std::vector<Box>*>(lp)->push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
    } catch (...) {
      return FALSE;
    }
  }
  return TRUE;
}

}  // namespace

WindowPlace PlaceOf(HWND hwnd, int panel1Width, int treeHeight) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  GetWindowPlacement(hwnd, &wp);
  const POINT o = WorkspaceOffset();
  const RECT& r = wp.rcNormalPosition;
  const bool maximized =
      wp.showCmd == SW_SHOWMAXIMIZED || (IsIconic(hwnd) && (wp.flags & WPF_RESTORETOMAXIMIZED));
  return {{r.left + o.x, r.top + o.y, r.right - r.left, r.bottom - r.top}, maximized, panel1Width, treeHeight};
}

std::vector<Box> WorkAreas() {
  std::vector<Box> areas;
  EnumDisplayMonitors(nullptr, nullptr, &AddWorkArea, reinterpret_cast<LPARAM>(&areas));
  return areas;
}

bool ShowAtPlace(HWND hwnd, const std::optional<WindowPlace>& place, int show) {
  if (!place || !OnSomeScreen(place->Normal, WorkAreas())) {
    ShowWindow(hwnd, show);
    return false;
  }
  const POINT o = WorkspaceOffset();
  const Box& b = place->Normal;
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  wp.rcNormalPosition = {b.X - o.x, b.Y - o.y, b.Right() - o.x, b.Bottom() - o.y};
  const bool minimized = show == SW_SHOWMINIMIZED || show == SW_MINIMIZE || show == SW_SHOWMINNOACTIVE;
  wp.showCmd = minimized ? show : place->Maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  if (minimized && place->Maximized) wp.flags = WPF_RESTORETOMAXIMIZED;
  return SetWindowPlacement(hwnd, &wp) != FALSE;
}

}  // namespace app
