# Shared by tests/e2e/run.sh and scripts/demo.sh (sourced, inside an X
# server): a throwaway Wine prefix, running an installer while answering
# its message boxes, finding the working directory, taking screenshots.
# For 32-bit installers the caller runs inside tests/e2e/wine32_route.sh;
# the 64-bit loader hands a 32-bit program to the 32-bit one.
#
# Wine runs with every debug channel off except its message box trace,
# which prints each box's text on standard error as the box opens (that is
# how a run knows that a box is up and what it says), and its process
# trace, which shows every process started (the restart is a started
# "wineboot.exe --end-session").

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# Seconds one installer may take, boxes included: 32-bit processes under
# qemu start in seconds, and the machine's cores are shared.
RUN_TIMEOUT=${RUN_TIMEOUT:-180}

# Creates the prefix, holds its session, and removes both on exit.
wine_prefix_start() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/iunpack-wine.XXXXXX)
  export WINEDEBUG=-all,+msgbox,+process
  # No offers to download the .NET and HTML engines: they would block.
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  trap wine_prefix_end EXIT
  timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || { echo "error: wineboot failed" >&2; return 1; }
  wine_session_hold
}

# Keeps the prefix's Wine session (its server, services and desktop
# process) alive from the first run to the last. Without a process of its
# own running, the session ends a moment after each installer, and the
# next one starts it anew: slow, and on a loaded machine the desktop
# process may then come up later than Wine waits for it, so that the
# installer's window cannot be created (exit code 4). A command
# interpreter that reads a FIFO nobody writes is that process, with no
# window.
wine_session_hold() {
  mkfifo "$WINEPREFIX/hold"
  "$WINE" cmd.exe <"$WINEPREFIX/hold" >/dev/null 2>&1 &
  exec {WINE_HOLD}>"$WINEPREFIX/hold"
}

wine_prefix_end() {
  [[ -n ${WINEPREFIX:-} ]] || return 0
  [[ -z ${WINE_HOLD:-} ]] || exec {WINE_HOLD}>&-
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}

# A Unix path as Wine's Z: drive sees it.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

# The launcher's working directory if it exists (nothing otherwise).
work_dir_left() { [[ -n ${WINEPREFIX:-} ]] && find "$WINEPREFIX/drive_c/users" -maxdepth 5 -name 'iunpack_.$$$' 2>/dev/null; }

# run_installer DIR EXE [KEY...]: runs EXE from DIR under Wine and answers
# its message boxes (answer_boxes). Sets RC (124: timed out) and BOXES (each
# box's text on one line); Wine's output is in DIR/wine.err.
run_installer() {
  local dir=$1 exe=$2
  shift 2
  (cd "$dir" && exec timeout "$RUN_TIMEOUT" "$WINE" "$exe" >"$dir/wine.out" 2>"$dir/wine.err") &
  BOX_PIDS=($!)
  BOX_TRACES=("$dir/wine.err")
  answer_boxes "$@"
  RC=0
  wait "${BOX_PIDS[0]}" || RC=$?
  BOXES=$(boxes_in "$dir/wine.err")
}

# answer_boxes [KEY...]: while any process of BOX_PIDS runs, answers each
# message box that opens (in the Wine traces BOX_TRACES) with the next KEY
# (Return when none is left), sent through the X test extension to the
# focused box.
answer_boxes() {
  local keys=("$@") answered=0 shown since=0
  while any_alive "${BOX_PIDS[@]}"; do
    shown=$(cat "${BOX_TRACES[@]}" 2>/dev/null | grep -c MSGBOX_OnInit || true)
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
}

any_alive() {
  local pid
  for pid; do kill -0 "$pid" 2>/dev/null && return 0; done
  return 1
}

# The texts of the message boxes in a Wine trace, one a line (the trace
# escapes backslashes).
boxes_in() { sed -n 's/.*MSGBOX_OnInit L"\(.*\)"$/\1/p' "$@" | sed 's/\\\\/\\/g'; }

# restart_started TRACE: the trace shows a started "wineboot.exe
# --end-session", the restart as Wine carries out ExitWindowsEx: the
# thread that asked for it saw the process start.
restart_started() {
  awk '/CreateProcessInternalW app .*wineboot\.exe.* cmdline .*--end-session/ { split($0, f, ":"); asked[f[1]] = 1; next }
       /CreateProcessInternalW started process/ { split($0, f, ":"); if (f[1] in asked) found = 1 }
       END { exit !found }' "$1"
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
