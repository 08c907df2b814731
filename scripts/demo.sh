#!/usr/bin/env bash
# The demo: installs what is missing, builds everything, packs a demo
# installer from a folder (demo/demo_setup.cpp as setup.exe, the files of
# demo/payload/ and a generated media file large enough to see the window)
# with a question, using the stubs that iunpack carries, and runs it twice: through the native tool, which prints the
# launcher's every step, and under Wine in a virtual X server, answering
# its boxes with xdotool and taking a screenshot of the window. Under Wine
# runs the 32-bit installer, the product (through qemu where the kernel
# runs no 32-bit programs); the 64-bit one only where 32-bit Wine has no
# route, with a line that says so.
#
#   scripts/demo.sh        output in build/demo/
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=$ROOT/build/demo
PROMPT="Install the Installation Unpacker demo?"

if [[ ${1:-} != --inside-x ]]; then
  if ! bash "$ROOT/scripts/install-deps.sh"; then
    echo "== some packages could not be installed (above): the demo runs what it can with what is here"
  fi
  cd "$ROOT"
  for preset in native win32 win64; do
    echo "== building: $preset"
    cmake --preset "$preset" >/dev/null
    # Only the stubs' size lines are shown; a failed build stops the demo
    # with its whole output.
    if ! cmake --build --preset "$preset" >"$ROOT/build/demo-$preset.log" 2>&1; then
      cat "$ROOT/build/demo-$preset.log" >&2
      echo "error: the $preset build failed" >&2
      exit 1
    fi
    grep -E 'iunpack-stub.exe:' "$ROOT/build/demo-$preset.log" || true
  done
  rm -rf "$OUT"
  mkdir -p "$OUT/payload"
  TOOL=$ROOT/build/native/tools/iunpack
  cp "$ROOT"/demo/payload/* "$OUT/payload/"
  head -c 300000000 /dev/zero >"$OUT/payload/media.bin"
  for arch in win64 win32; do
    # The demo's setup.exe is built by the Windows presets; the stub comes
    # from iunpack itself. Every file compressed with method 1.
    cp "$ROOT/build/$arch/demo/setup.exe" "$OUT/payload/setup.exe"
    "$TOOL" pack --stub "$arch" --prompt "$PROMPT" "$OUT/payload" -o "$OUT/demo-installer-$arch.exe"
  done
  rm -rf "$OUT/payload"
  echo "== packed: $OUT/demo-installer-win32.exe (the product, 32-bit) and demo-installer-win64.exe"
  "$TOOL" verify "$OUT/demo-installer-win32.exe"

  echo "== the launcher's steps, run natively (setup replaced by a listing of its directory)"
  mkdir -p "$OUT/native-temp"
  TMPDIR=$OUT/native-temp "$TOOL" run "$OUT/demo-installer-win64.exe" --answer yes --setup 'ls -l' 2>&1 |
    sed 's/^/   /'
  rmdir "$OUT/native-temp"

  # The product is the 32-bit installer: under 32-bit Wine, directly or
  # through qemu in a namespace of its own (tests/e2e/wine32_route.sh).
  x_server=(timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" --inside-x)
  if route=$(bash "$ROOT/tests/e2e/wine32_route.sh" --check 2>/dev/null); then
    echo "== the 32-bit installer (the product) under Wine; $route (prefix being made, this takes a moment)"
    exec bash "$ROOT/tests/e2e/wine32_route.sh" "${x_server[@]}" win32
  fi
  echo "== no route to 32-bit Wine on this machine (the kernel runs no 32-bit programs, and no user namespace"
  echo "   can hand them to qemu-i386): running the 64-bit installer instead of the 32-bit product"
  exec "${x_server[@]}" win64
fi

ARCH=$2
source "$ROOT/tests/e2e/wine_lib.sh"
wine_prefix_start
shot=$OUT/screenshot.png
(shoot_host_window "$shot" 180 >"$OUT/window.txt" || true) &
shooter=$!
run_installer "$OUT" "demo-installer-$ARCH.exe" Return Return
wait "$shooter" || true

n=0
while IFS= read -r box; do
  n=$((n + 1))
  case $n in
    1) echo "   message box: \"$box\" -> answered Yes (Return)" ;;
    *) echo "   message box: \"$box\" -> answered OK (Return)" ;;
  esac
done <<<"$BOXES"
if [[ -s $OUT/window.txt ]]; then
  echo "   window \"Unpacking archive ...\" seen at $(cat "$OUT/window.txt"); screenshot: $shot"
else
  echo "   the window was not caught on screen (no screenshot)"
fi
echo "   demo-installer-$ARCH.exe exit code: $RC (setup's own)"
if [[ -z $(work_dir_left) ]]; then
  echo "   working directory removed"
else
  echo "   working directory left behind: $(work_dir_left)"
fi
rm -f "$OUT/wine.out"
echo "== done: Wine's message box trace in $OUT/wine.err"
