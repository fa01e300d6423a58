#!/usr/bin/env bash
# Screenshots of Brevant's toolbars under Xvfb, into PNG files:
#   main-*.png   the main window with its toolbar docked at the top or the
#                bottom, its wallpaper tiled or stretched, in the three
#                display modes (pictures and text, pictures, text);
#   drag-*.png   the toolbar dragged by the mouse: into the bottom triangle
#                (the frame there), into the left one (refused: the frame
#                stays at the last edge accepted), and docked at the bottom;
#   float-*.png  a browser window with the floating toolbar: back and
#                forward disabled, the favorites button down, a button under
#                the mouse (hot) and one held pressed.
#   scripts/screenshot-toolbars.sh [output folder] [build folder]
# Each run of the program has a fresh program folder and registry file of
# its own, so the user's files are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."

outdir=${1:-screenshots}
build=${2:-build}
program="$build/bin/brevant"
[ -x "$program" ] || { echo "no program at $program: build first" >&2; exit 1; }
for tool in Xvfb import xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
convert=$(command -v /usr/bin/convert || command -v convert) || { echo "imagemagick is missing" >&2; exit 1; }
[ -n "$(fc-list :lang=th family)" ] || { echo "fonts-thai-tlwg is missing" >&2; exit 1; }
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
stop_app() {
  if [ -n "$app_pid" ]; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
  fi
}
cleanup() {
  stop_app
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

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
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work"
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0

# A wallpaper whose tiles show: a sky ramp from left to right, 120 x 28,
# which tiling repeats along and across the bar and stretching spreads over
# it once.
wall="$work/wall.png"
"$convert" -size 28x120 gradient:'#F4F8FF-#7FB2E5' -rotate 90 "$wall"

# start NAME=VALUE...: the program on a fresh folder with these settings.
start() {
  local run="$work/run$RANDOM"
  mkdir -p "$run/home" "$run/config"
  {
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Talvik_Software\\Korvisto]\n'
    local pair
    for pair in UseSpash=0 FormMaximize=0 FormX=0 FormY=0 FormWidth=1000 FormHeight=740 "$@"; do
      printf '"%s"="%s"\n' "${pair%%=*}" "${pair#*=}"
    done
    printf '\n'
  } >"$run/config/registry.reg"
  BREVANT_HOME="$run/home" BREVANT_REGISTRY="$run/config/registry.reg" \
    "$program" >"$run/brevant.log" 2>&1 &
  app_pid=$!
  xdotool search --sync --onlyvisible --name 'Standard Edition' >/dev/null
  # The first window's page.
  sleep "${BREVANT_SHOT_DELAY:-4}"
  kill -0 "$app_pid" 2>/dev/null || { cat "$run/brevant.log" >&2; echo "brevant exited early" >&2; exit 1; }
  # The window as it is now (Qt may have made its native window anew).
  main_window=$(xdotool search --onlyvisible --name 'Standard Edition' | tail -1)
  xdotool windowfocus --sync "$main_window" 2>/dev/null || true
  xdotool mousemove 1010 760
  sleep 0.5
}

shot() {
  sleep 0.5
  import -display "$DISPLAY" -window root "$outdir/$1.png"
  echo "$outdir/$1.png"
}

# --- the main window's toolbar ---
shots=(
  "main-top-tiled-both ToolBarAlign=top ToolbarButton=both ToolBarStretch=0"
  "main-top-stretched-both ToolBarAlign=top ToolbarButton=both ToolBarStretch=1"
  "main-bottom-tiled-pic ToolBarAlign=bottom ToolbarButton=pic ToolBarStretch=0"
  "main-bottom-stretched-text ToolBarAlign=bottom ToolbarButton=text ToolBarStretch=1"
)
for entry in "${shots[@]}"; do
  read -r name settings <<<"$entry"
  # shellcheck disable=SC2086
  start $settings "ToolBarBackground=$wall"
  shot "$name"
  stop_app
done

# --- docking by drag: the bar's free end, at the right of its buttons ---
start ToolBarAlign=top ToolbarButton=both "ToolBarBackground=$wall"
eval "$(xdotool getwindowgeometry --shell "$main_window")"
grab_x=$((X + 900))
grab_y=$((Y + 50))
xdotool mousemove "$grab_x" "$grab_y" mousedown 1
xdotool mousemove "$grab_x" $((grab_y + 10))
xdotool mousemove $((X + 500)) $((Y + 720))
shot drag-into-bottom
xdotool mousemove $((X + 10)) $((Y + 370))
shot drag-into-left-refused
xdotool mousemove $((X + 500)) $((Y + 720)) mouseup 1
xdotool mousemove 1010 760
shot drag-docked-bottom
stop_app

# --- a browser window and the floating toolbar ---
start ToolBarVisible=0 FavoriteBarVisible=1 ToolBarX=250 ToolBarY=560
float=$(xdotool search --onlyvisible --name 'แผงควบคุมฉบับย่อ' | head -1)
xdotool windowraise "$float"
eval "$(xdotool getwindowgeometry --shell "$float")"
# RSB_Home (the sixth button) under the mouse.
xdotool mousemove $((X + 33 + 4 * 32 + 16)) $((Y + 16))
shot float-home-hot
# RSB_Refresh (the fifth) held down.
xdotool mousemove $((X + 33 + 3 * 32 + 16)) $((Y + 16)) mousedown 1
shot float-refresh-pressed
xdotool mousemove 1010 760 mouseup 1
stop_app
