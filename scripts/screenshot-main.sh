#!/usr/bin/env bash
# Takes a screenshot of Brevant's main window under Xvfb, with the Thai
# fonts installed, into a PNG file.
#   scripts/screenshot-main.sh [output.png] [build folder]
# The program runs with a fresh program folder and registry file of its own,
# so the user's files are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-screenshot-main.png}
build=${2:-build}
program="$build/bin/brevant"
[ -x "$program" ] || { echo "no program at $program: build first" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (scripts/install-deps.sh)" >&2; exit 1; }
command -v import >/dev/null || { echo "imagemagick's import is missing" >&2; exit 1; }
thai_fonts=$(fc-list :lang=th family)
[ -n "$thai_fonts" ] || { echo "fonts-thai-tlwg is missing" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

mkdir -p "$work/home" "$work/config"
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
export BREVANT_HOME="$work/home"
export BREVANT_REGISTRY="$work/config/registry.reg"
export XDG_RUNTIME_DIR="$work"
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
# A sanitizer build: the web engine trips checks of its own.
export ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0
"$program" >"$work/brevant.log" 2>&1 &
app_pid=$!

# Wait for the splash to go and the first window to open (BREVANT_SHOT_DELAY
# seconds; a short delay catches the splash).
sleep "${BREVANT_SHOT_DELAY:-4}"
kill -0 "$app_pid" 2>/dev/null || { cat "$work/brevant.log" >&2; echo "brevant exited early" >&2; exit 1; }
import -display ":$display" -window root "$out"
echo "screenshot written to $out"
