# Shared by scripts/run and scripts/test: Wine settings and a private X display when needed.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${QUIRAN_WINEPREFIX:-$top/build/wineprefix}" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
wm_pid=

# Starts Xvfb on a free display when there is no display, and exports DISPLAY.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    kill "$xvfb_pid" 2>/dev/null; xvfb_pid=
  done
  echo "could not start Xvfb" >&2
  return 1
}

# A window manager on the private display, so windows get a title bar with Japanese text.
start_window_manager() {
  [ -n "$xvfb_pid" ] || return 0
  mkdir -p "$top/build/icewm"
  printf 'ShowTaskBar=0\nTitleFontNameXft="IPAPGothic:size=10:bold"\n' > "$top/build/icewm/preferences"
  ICEWM_PRIVCFG="$top/build/icewm" icewm >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1
}

# Ends the Wine server of our prefix and the Xvfb we started.
cleanup_display() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null; wait "$wm_pid" 2>/dev/null || true; fi
  wm_pid=
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=
}
