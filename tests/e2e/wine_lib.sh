# Shared by tests/e2e/run.sh and scripts/demo.sh (sourced, inside an X
# server): a throwaway Wine prefix, running an installer while answering
# its message boxes, finding the working directory, taking screenshots.
#
# Wine runs with every debug channel off except its message box trace,
# which prints each box's text on standard error as the box opens: that is
# how a run knows that a box is up and what it says.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
RUN_TIMEOUT=${RUN_TIMEOUT:-90}   # seconds one installer may take, boxes included

# Creates the prefix and removes it on exit.
wine_prefix_start() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/iunpack-wine.XXXXXX)
  export WINEDEBUG=-all,+msgbox
  # No offers to download the .NET and HTML engines: they would block.
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  trap wine_prefix_end EXIT
  timeout 180 "$WINE" wineboot -i >/dev/null 2>&1 || { echo "error: wineboot failed" >&2; return 1; }
}

wine_prefix_end() {
  [[ -n ${WINEPREFIX:-} ]] || return 0
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}

# A Unix path as Wine's Z: drive sees it.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

# The launcher's working directory if it exists (nothing otherwise).
work_dir_left() { [[ -n ${WINEPREFIX:-} ]] && find "$WINEPREFIX/drive_c/users" -maxdepth 5 -name 'iunpack_.$$$' 2>/dev/null; }

# run_installer DIR EXE [KEY...]: runs EXE from DIR under Wine and answers
# each message box with the next KEY (Return when none is left), sent
# through the X test extension to the focused box. Sets RC (124: timed
# out) and BOXES (each box's text on one line); Wine's output is in
# DIR/wine.err.
run_installer() {
  local dir=$1 exe=$2
  shift 2
  local keys=("$@") answered=0 shown pid since=0
  (cd "$dir" && exec timeout "$RUN_TIMEOUT" "$WINE" "$exe" >"$dir/wine.out" 2>"$dir/wine.err") &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    shown=$(grep -c MSGBOX_OnInit "$dir/wine.err" 2>/dev/null || true)
    if (( shown > answered )); then
      sleep 0.7  # mapped and focused
      xdotool key "${keys[answered]:-Return}"
      answered=$((answered + 1))
      since=0
    elif (( answered > 0 && ++since % 40 == 0 )) && box_visible; then
      # The key went astray (the box had no focus yet): once more.
      xdotool key "${keys[answered - 1]:-Return}"
    fi
    sleep 0.1
  done
  RC=0
  wait "$pid" || RC=$?
  # The trace escapes backslashes.
  BOXES=$(sed -n 's/.*MSGBOX_OnInit L"\(.*\)"$/\1/p' "$dir/wine.err" | sed 's/\\\\/\\/g')
}

# A message box of the launcher (or of the demo's setup) is on screen.
box_visible() {
  xdotool search --onlyvisible --name '^(Installation|Installation Unpacker|Demo setup)$' >/dev/null 2>&1
}

# shoot_host_window PNG [SECONDS]: waits for the visible host window, lets
# it paint, and takes a screenshot of the whole screen. Prints the window's
# geometry as WxH+X+Y; fails when the window never shows.
shoot_host_window() {
  local png=$1 limit=${2:-60} id="" i geometry
  for ((i = 0; i < limit * 20; i++)); do
    id=$(xdotool search --onlyvisible --name '^Installation Unpacker$' 2>/dev/null | head -n1 || true)
    [[ -n $id ]] && break
    sleep 0.05
  done
  [[ -n $id ]] || return 1
  geometry=$(xdotool getwindowgeometry --shell "$id") || return 1
  sleep 0.3
  import -window root "$png" || return 1
  eval "$geometry"
  echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
}

# The number of distinct colours in a region of a screenshot.
colours_in() { convert "$1" -crop "$2" +repage -format %k info:; }
