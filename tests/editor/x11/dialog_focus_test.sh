#!/usr/bin/env bash
# The editor has the keyboard after Open and Save, however the file dialog was
# used, under a real X server with a window manager (Xvfb and openbox): the
# file type list used, then a name typed while the completion list shows.
# No completion list may stay on screen, and no key typed afterwards may be
# lost. Usage: dialog_focus_test.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$work/program.log" >&2 2>/dev/null || true
  exit 1
}

# Waits up to 30 s for a command to succeed (a loaded machine starts X slowly).
until_true() {
  for _ in $(seq 300); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
pids+=($!)
until_true test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
until_true xdotool search --class openbox || fail "openbox did not start"

mkdir -p "$work/home" "$work/docs"
printf 'abc' >"$work/docs/a.txt"
(cd "$work/docs" && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb \
  CANBERRA_DRIVER=none exec "$program") >"$work/program.log" 2>&1 &
pids+=($!)

active_is() { [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$1" ]; }
# The program's windows on screen: the main window alone once a dialog closed.
visible_windows() { xdotool search --onlyvisible --class murmurscript 2>/dev/null | wc -l; }
# After a dialog closed: the main window is active, and stays the only window
# of the program on screen while the dialog's folder is read again.
back_in_editor() {
  until_true active_is Murmurscript || fail "$1: the main window did not become active"
  sleep 1.5
  [ "$(visible_windows)" -eq 1 ] || fail "$1: a window of the dialog stayed on screen"
}

until_true active_is Murmurscript || fail "the window did not open"

# Open: the file type list opened and All Files chosen by keyboard, then the
# name typed while the completion list offers it.
xdotool key ctrl+o
until_true active_is "Open File" || fail "no Open File dialog"
xdotool key Tab alt+Down
sleep 0.5
xdotool key Down Down Return
sleep 0.5
xdotool key shift+Tab
xdotool type --delay 50 a.txt
sleep 0.8
xdotool key Return
back_in_editor Open
xdotool type --delay 50 Z

# Save over the same file: the type changed in the closed list, the name
# typed while completed, the question whether to replace it answered Yes.
xdotool key ctrl+s
until_true active_is "Save File" || fail "no Save File dialog"
xdotool key Tab Down shift+Tab
xdotool type --delay 50 a.txt
sleep 0.8
xdotool key Return
until_true active_is "Save File" || fail "no question about replacing a.txt"
sleep 0.5
xdotool key alt+y
back_in_editor Save
xdotool type --delay 50 Y

# Save without touching the type list.
xdotool key ctrl+s
until_true active_is "Save File" || fail "no second Save File dialog"
xdotool type --delay 50 b.txt
xdotool key Return
back_in_editor "Second save"

[ "$(cat "$work/docs/a.txt")" = "Zabc" ] || fail "after Open the first key was lost: a.txt holds '$(cat "$work/docs/a.txt")'"
[ "$(cat "$work/docs/b.txt" 2>/dev/null)" = "ZYabc" ] || fail "after Save the first key was lost: b.txt holds '$(cat "$work/docs/b.txt" 2>/dev/null)'"
echo "PASS"
