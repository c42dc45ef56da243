#!/usr/bin/env bash
# Drives the real netupdate binary on an X display the way a person would:
# finds its windows, presses keys with xdotool, checks the exit code and keeps
# screenshots for a look at the layout.
# Usage: window.sh NETUPDATE SCREENSHOT_DIR CASE
#   no-arguments      the start-up error dialog, Enter, exit 0
#   developer-window  the window in developer mode, Esc, exit 0
#   developer-alt-f4  the same window left with Alt+F4
set -euo pipefail
netupdate=$(realpath "$1")
shots=$(realpath -m "$2")
case_name=$3
mkdir -p "$shots"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits at most 30 s for a window with this exact title. Each case has a
# display of its own, so every window on it is netupdate's ($pid is the
# guarding timeout's, not netupdate's, and can't be matched against).
find_window() {
  timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1 ||
    fail "no window \"$1\" appeared"
}

property() { xprop -id "$1" "$2"; }

# Ends the test with the process's exit status compared to the expected one.
expect_exit() {
  local status=0
  wait "$pid" || status=$?
  [[ $status == "$1" ]] || fail "exit code $status, expected $1"
}

start() {
  # The guard only turns a hang into a failure; nothing waits on it.
  timeout 60 "$netupdate" "$@" &
  pid=$!
}

case $case_name in
no-arguments)
  start
  dialog=$(find_window Error)
  property "$dialog" WM_NAME | grep -q '"Error"' || fail "dialog caption"
  # The window itself is not shown until the dialog is answered.
  if xdotool search --onlyvisible --name '^NAV üzemanyagár letöltő$' >/dev/null; then
    fail "main window visible behind the start-up dialog"
  fi
  import -window "$dialog" "$shots/start-up-error.png"
  xdotool windowfocus --sync "$dialog"
  xdotool key Return
  expect_exit 0
  ;;
developer-window | developer-alt-f4)
  touch debugfq.txt
  start
  window=$(find_window 'NAV üzemanyagár letöltő')
  read -r width height < <(xwininfo -id "$window" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
  [[ "$width x $height" == "542 x 105" ]] || fail "client area ${width}x$height"
  property "$window" WM_NORMAL_HINTS | grep -q 'minimum size: 542 by 105' || fail "not fixed size"
  property "$window" WM_NORMAL_HINTS | grep -q 'maximum size: 542 by 105' || fail "not fixed size"
  property "$window" _NET_WM_WINDOW_TYPE | grep -q '_NET_WM_WINDOW_TYPE_NORMAL' ||
    fail "not a normal window with its own taskbar entry"
  if property "$window" WM_TRANSIENT_FOR | grep -q 'window id'; then
    fail "transient for another window"
  fi
  # The page address is drawn in Label2 once the first activation has run;
  # until then that strip of the window is a single colour.
  shot=$work/window.png
  [[ $case_name == developer-window ]] && shot=$shots/developer-window.png
  for _ in $(seq 100); do
    colours=0
    if import -window "$window" "$shot"; then
      colours=$(convert "$shot" -crop 516x14+8+28 -format %k info:) || colours=0
    fi
    ((colours > 1)) && break
  done
  ((colours > 1)) || fail "Label2 stayed empty"
  xdotool windowfocus --sync "$window"
  if [[ $case_name == developer-window ]]; then
    xdotool key Escape
  else
    xdotool key alt+F4
  fi
  expect_exit 0
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok: $case_name"
