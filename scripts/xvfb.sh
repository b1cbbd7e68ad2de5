# Sourced by the scripts: gives this shell a virtual X display unless it already has one.
# Sets QG_XVFB_PID when it started one.
qg_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X${n}-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QG_XVFB_PID=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      sleep 0.1
    done
    kill "$QG_XVFB_PID" 2>/dev/null
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Ends the Wine server of the prefix $1 and the Xvfb, when this shell started one.
qg_stop_xvfb() {
  [ -n "${QG_XVFB_PID:-}" ] || return 0
  WINEPREFIX=$1 wineserver -k >/dev/null 2>&1 || true
  kill "$QG_XVFB_PID" 2>/dev/null || true
}
