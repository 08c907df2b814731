#!/usr/bin/env bash
# End-to-end tests of the Windows launcher: real installers, packed by
# `iunpack pack` from a folder (the iunpack that `cmake --install` installs,
# with the stub it carries) and from archives made with arj, run under Wine
# in a virtual X server with a throwaway prefix. The test setup.exe (tests/e2e/
# setup_probe.cpp) writes what it saw to a log outside the working
# directory. Every run is bounded by a timeout; message boxes are answered
# with xdotool. iunpack.exe, the tool's Windows build of the stub's preset,
# packs a folder under Wine (the same bytes as the native pack), unpacks
# it, and is interrupted while it packs.
#
# Every case runs on both stubs: the i686 stub (the product) with the i686
# probe, through tests/e2e/wine32_route.sh, and the x86_64 stub with the
# x86_64 probe; the two suites run at the same time, each in a virtual X
# server and a Wine prefix of its own. Wine's process trace shows the restart (a started
# "wineboot.exe --end-session"); the exit code of each run is checked.
#
#   tests/e2e/run.sh            installs what is missing, builds, runs
#
# Output goes to build/e2e/win32/ and build/e2e/win64/ (the screenshots:
# build/e2e/ARCH/screenshot.png). Exit status 0 when every case passed on
# both stubs.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E=${IUNPACK_E2E_OUT:-$ROOT/build/e2e}
# Seconds for one stub's whole suite, prefix included.
SUITE_TIMEOUT=1200
# The large case's payload, made once for both suites.
LARGE_PAYLOAD=$E2E/large.bin

if [[ ${1:-} != --inside-x ]]; then
  bash "$ROOT/scripts/install-deps.sh"
  cd "$ROOT"
  for preset in native win64 win32; do
    cmake --preset "$preset" >/dev/null
  done
  cmake --build --preset native --target iunpack >/dev/null
  cmake --build --preset win64 >/dev/null
  cmake --build --preset win32 >/dev/null
  rm -rf "$E2E"
  cmake --install build/native --prefix "$E2E/install" >/dev/null
  started=$SECONDS
  status=0
  head -c 720000000 /dev/urandom >"$LARGE_PAYLOAD"
  # The product, the i686 stub with the i686 probe, where 32-bit Wine runs
  # (directly or through qemu in a namespace of its own: one namespace for
  # the whole suite, X server included); beside it the x86_64 stub. Each
  # suite's lines are shown when both have ended.
  bash "$ROOT/tests/e2e/wine32_route.sh" timeout "$SUITE_TIMEOUT" \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" --inside-x win32 >"$E2E/win32.log" 2>&1 &
  product=$!
  timeout "$SUITE_TIMEOUT" \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" --inside-x win64 >"$E2E/win64.log" 2>&1 &
  other=$!
  wait "$product" || status=1
  wait "$other" || status=1
  rm -f "$LARGE_PAYLOAD"
  echo "== i686 stub (the product)"
  cat "$E2E/win32.log"
  echo "== x86_64 stub"
  cat "$E2E/win64.log"
  echo "end-to-end: both stubs in $((SECONDS - started)) s, $([[ $status == 0 ]] && echo passed || echo FAILED)"
  exit "$status"
fi

ARCH=$2
source "$ROOT/tests/e2e/wine_lib.sh"
TOOL=$ROOT/build/native/tools/iunpack
INSTALLED=$E2E/install/bin/iunpack
# iunpack.exe of this stub's preset: i686 under 32-bit Wine, x86_64 under 64-bit.
TOOL_EXE=$ROOT/build/$ARCH/tools/iunpack.exe
STUB=$ROOT/build/$ARCH/shell/iunpack-stub.exe
PROBE=$ROOT/build/$ARCH/tests/e2e/setup.exe
PLANTED_DLL=$ROOT/build/$ARCH/tests/e2e/uxtheme.dll
# Starts an installer and prints its whole exit code (run_with_runner).
RUNNER=$ROOT/build/$ARCH/tests/e2e/runner.exe
OUT=$E2E/$ARCH
rm -rf "$OUT"
mkdir -p "$OUT"

failures=0
passes=0
case_name=""
begin() {
  case_name=$1
  case_started=$SECONDS
  CASE=$OUT/$1
  mkdir -p "$CASE"
  LOG=$CASE/probe.log
  export IUNPACK_PROBE_LOG
  IUNPACK_PROBE_LOG=$(windows_path "$LOG")
}
fail() {
  echo "  FAIL: $*"
  ok_case=false
}
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  "$@" || fail "$what"
}
finish() {
  if [[ ${ok_case:-true} == true ]]; then
    echo "ok   $case_name ($((SECONDS - case_started)) s)"
    passes=$((passes + 1))
  else
    echo "FAIL $case_name (files in $CASE)"
    failures=$((failures + 1))
  fi
  ok_case=true
  # A case that failed may have left its directory: the next starts clean.
  rm -rf "$(work_dir_left)"
}
no_work_dir() { [[ -z $(work_dir_left) ]]; }
setup_ran() { [[ -s $LOG ]] && grep -q '^started$' "$LOG"; }
setup_not_run() { [[ ! -e $LOG ]]; }
# "Can't run %200s, code %lu" with the command line of the working directory.
cant_run_message() {
  local rest=${BOXES#"Can't run "} command
  [[ $rest != "$BOXES" ]] || return 1
  command=${rest%, code *}
  [[ ${#command} -ge 200 && ${rest##*, code } =~ ^[0-9]+$ ]] || return 1
  command=${command#"${command%%[! ]*}"}
  [[ $command =~ ^[A-Z]:\\.*\\iunpack_\.\$\$\$\\setup\.exe\ -i$ ]]
}
no_restart() { ! grep -q 'wineboot\.exe.*--end-session' "$CASE/wine.err"; }
boxes_are() { [[ $BOXES == "$1" ]] || { echo "  boxes: ${BOXES:-none}"; return 1; }; }

# pack CASE_ARCHIVE INSTALLER [pack options...]
pack() {
  local archive=$1 installer=$2
  shift 2
  "$TOOL" pack --stub "$STUB" "$@" "$archive" -o "$installer" >/dev/null
}
# make_payload README_NAME: a folder CASE/payload with the probe as
# setup.exe and a few files of different kinds.
make_payload() {
  mkdir -p "$CASE/payload"
  cp "$PROBE" "$CASE/payload/setup.exe"
  printf 'read me\n' >"$CASE/payload/$1"
  seq 1 30000 >"$CASE/payload/numbers.txt"
  head -c 100000 /dev/urandom >"$CASE/payload/data.bin"
  : >"$CASE/payload/empty.txt"
}
# expect_payload_installed: CASE/installer.exe, made from CASE/payload,
# installs cleanly and setup sees every file of the folder with its size.
expect_payload_installed() {
  local expected files
  expected=$(cd "$CASE/payload" && for f in *; do echo "$f $(stat -c %s "$f")"; done | sort)
  run_installer "$CASE" installer.exe
  check "exit code $RC" test "$RC" = 0
  check "message boxes shown" boxes_are ""
  check "setup did not run" setup_ran
  files=$(sed -n 's/^file=//p' "$LOG" | sort)
  [[ $files == "$expected" ]] || fail "files beside setup: $(echo $files)"
  check "working directory left" no_work_dir
}
# run_with_runner DIR EXE ARGUMENTS: runs EXE from DIR under Wine through
# runner.exe, with ARGUMENTS as the rest of its command line byte for byte,
# answering its message boxes. RC is its whole exit code (a POSIX exit
# status keeps 8 bits), BOXES as with run_installer; what EXE wrote to its
# standard error is in DIR/wine.err, among Wine's trace.
run_with_runner() {
  local dir=$1 exe=$2
  (cd "$dir" && IUNPACK_RUNNER_ARGUMENTS=$3 exec timeout "$RUN_TIMEOUT" "$WINE" "$RUNNER" "$exe" \
    >"$dir/runner.out" 2>"$dir/wine.err") &
  BOX_PIDS=($!)
  BOX_TRACES=("$dir/wine.err")
  answer_boxes
  wait "${BOX_PIDS[0]}" || true
  RC=$(sed -n 's/^exit=\([0-9]*\).*/\1/p' "$dir/runner.out")
  BOXES=$(boxes_in "$dir/wine.err")
}
# assemble ARCHIVE INSTALLER: the layout without pack's checks, for archives
# pack refuses because the launcher would.
assemble() {
  { cat "$STUB"; head -c $((49152 - $(stat -c %s "$STUB") + 200)) /dev/zero; cat "$1"; } >"$2"
}

# --- the stub itself ------------------------------------------------------
begin stub
size=$(stat -c %s "$STUB")
echo "  $ARCH stub: $size bytes, probe $(x86_64-w64-mingw32-objdump -f "$PROBE" | sed -n 's/.*file format //p')"
check "stub over 49152 bytes" test "$size" -le 49152
[[ $ARCH != win32 ]] || check "i686 stub over its 28672-byte goal" test "$size" -le 28672
dlls=$(x86_64-w64-mingw32-objdump -p "$STUB" | sed -n 's/^\s*DLL Name: //p' | tr a-z A-Z | sort | tr '\n' ' ')
check "imports $dlls" test "$dlls" = "ADVAPI32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL "
check "not a GUI program" bash -c "x86_64-w64-mingw32-objdump -p '$STUB' | grep -q 'Subsystem.*Windows GUI'"
check "no manifest asking to run as invoked" grep -qa 'requestedExecutionLevel level="asInvoker"' "$STUB"
# The probe's machine is the stub's: an i686 setup under the i686 stub.
machine=$([[ $ARCH == win32 ]] && echo pei-i386 || echo pei-x86-64)
check "stub is no $machine file" bash -c "x86_64-w64-mingw32-objdump -f '$STUB' | grep -q 'file format $machine'"
check "probe is no $machine file" bash -c "x86_64-w64-mingw32-objdump -f '$PROBE' | grep -q 'file format $machine'"
finish

wine_prefix_start
echo "wine prefix ready"

# --- several entries, setup run with -i in the working directory ---------
begin several_entries
cp "$PROBE" "$CASE/setup.exe"
printf 'read me\n' >"$CASE/readme.txt"
head -c 100000 /dev/urandom >"$CASE/data.bin"
: >"$CASE/empty.txt"
expected=$'data.bin 100000\nempty.txt 0\nreadme.txt 8\nsetup.exe '$(stat -c %s "$PROBE")
(cd "$CASE" && arj a -m0 -e payload.arj setup.exe readme.txt data.bin empty.txt >/dev/null)
seq 1 20000 >"$CASE/method1.txt"
seq 5 20000 >"$CASE/method4.txt"
(cd "$CASE" && arj a -m1 -e payload.arj method1.txt >/dev/null && arj a -m4 -e payload.arj method4.txt >/dev/null)
expected=$(printf '%s\nmethod1.txt %s\nmethod4.txt %s' "$expected" "$(stat -c %s "$CASE/method1.txt")" \
  "$(stat -c %s "$CASE/method4.txt")" | sort)
pack "$CASE/payload.arj" "$CASE/installer.exe"
run_installer "$CASE" installer.exe
check "exit code $RC" test "$RC" = 0
check "message boxes shown" boxes_are ""
check "setup did not run" setup_ran
check "restart without exit code 1234" no_restart
check "command line" grep -qE '^command=[A-Z]:\\.*\\iunpack_\.\$\$\$\\setup\.exe -i$' "$LOG"
check "current directory" grep -qE '^directory=[A-Z]:\\.*\\iunpack_\.\$\$\$\\?$' "$LOG"
files=$(sed -n 's/^file=//p' "$LOG" | sort)
[[ $files == "$expected" ]] || fail "files beside setup: $(echo $files)"
check "working directory left" no_work_dir
finish

# --- a folder packed by the installed iunpack with the stub it carries ----
begin folder
make_payload readme.txt
# Method 1 under the i686 stub, method 4 under the x86_64 one.
method=$([[ $ARCH == win32 ]] && echo 1 || echo 4)
"$INSTALLED" pack --stub "$ARCH" --method "$method" "$CASE/payload" -o "$CASE/installer.exe" >"$CASE/pack.out"
check "the carried stub differs from the $ARCH preset's" "$INSTALLED" verify "$CASE/installer.exe" --stub "$STUB" >/dev/null
check "numbers.txt not compressed with method $method" \
  bash -c "'$INSTALLED' list '$CASE/installer.exe' | grep -qE '^ +[0-9]+ +[0-9]+ +$method [0-9a-f]{8}  numbers.txt$'"
expect_payload_installed
finish

# --- a DLL planted beside the installer -----------------------------------
# uxtheme.dll, which the system loads into windowed programs after their
# start, with Wine told to prefer a native one: Wine then takes it from the
# program's folder first, as Windows takes any DLL that is not a known
# system DLL. The launcher must never load it (it writes a marker if it is
# loaded) and installs as if it were not there.
begin planted_dll
make_payload readme.txt
"$TOOL" pack --stub "$STUB" "$CASE/payload" -o "$CASE/installer.exe" >/dev/null
cp "$PLANTED_DLL" "$CASE/uxtheme.dll"
export IUNPACK_PLANTED_MARKER
IUNPACK_PLANTED_MARKER=$(windows_path "$CASE/loaded")
overrides=$WINEDLLOVERRIDES
WINEDLLOVERRIDES="$overrides;uxtheme=n,b"
expect_payload_installed
WINEDLLOVERRIDES=$overrides
unset IUNPACK_PLANTED_MARKER
check "the planted uxtheme.dll was loaded" test ! -e "$CASE/loaded"
finish

# --- the administrator variant -------------------------------------------
# The stub whose manifest requires administrator rights (Wine runs every
# program with them): verify names the variant, and it installs.
begin administrator_variant
make_payload readme.txt
"$INSTALLED" pack --stub "$ARCH" --admin "$CASE/payload" -o "$CASE/installer.exe" >/dev/null
"$INSTALLED" verify "$CASE/installer.exe" >"$CASE/verify.out" || fail "verify: $(head -n1 "$CASE/verify.out")"
check "verify names no administrator variant" grep -q '^stub: matches the .*administrator variant' "$CASE/verify.out"
check "no manifest requiring administrator rights" grep -qa 'level="requireAdministrator"' "$CASE/installer.exe"
expect_payload_installed
finish

# --- a folder packed by iunpack.exe under Wine ---------------------------
# Windows paths, another time zone, an existing installer replaced: the same
# bytes as the native pack of the folder. iunpack.exe unpacks it again, and
# the installer runs.
begin iunpack_exe
make_payload Readme.txt
# An odd second (DOS times have two-second steps) in another year.
touch -d @1000000001 "$CASE/payload/numbers.txt"
method=$([[ $ARCH == win32 ]] && echo 1 || echo 4)
"$TOOL" pack --stub "$ARCH" --method "$method" "$CASE/payload" -o "$CASE/native.exe" >/dev/null
echo 'an older installer' >"$CASE/installer.exe"
(cd "$CASE" && TZ=Pacific/Chatham timeout "$RUN_TIMEOUT" "$WINE" "$TOOL_EXE" pack --stub "$ARCH" --method "$method" \
  "$(windows_path "$CASE/payload")" -o "$(windows_path "$CASE/installer.exe")" >"$CASE/pack.out" 2>"$CASE/pack.err") ||
  fail "iunpack.exe pack failed: $(grep -v '^[0-9a-f]*:' "$CASE/pack.err")"
check "not the native pack's bytes" cmp "$CASE/installer.exe" "$CASE/native.exe"
check "a temporary file left" test -z "$(compgen -G "$CASE/installer.exe.*")"
(cd "$CASE" && timeout "$RUN_TIMEOUT" "$WINE" "$TOOL_EXE" extract installer.exe 'unpacked\' >/dev/null 2>"$CASE/extract.err") ||
  fail "iunpack.exe extract failed: $(grep -v '^[0-9a-f]*:' "$CASE/extract.err")"
check "extracted files differ from the folder" diff -r "$CASE/payload" "$CASE/unpacked"
# An archive INPUT whose entry's data claims to end at byte 2^32, where a
# 32-bit position would wrap back to the archive's start and walk it
# without end. The walk's positions are 64-bit: the file ends first.
python3 - "$CASE/wrap.arj" <<'PY'
import struct, sys, zlib
def header(name, file_type, compressed):
    basic = struct.pack('<8B4I3H', 30, 11, 1, 0, 0, 0, file_type, 0, 0, compressed, 0, 0, 0, 0, 0) + name + b'\0\0'
    return b'\x60\xea' + struct.pack('<H', len(basic)) + basic + struct.pack('<I', zlib.crc32(basic)) + b'\0\0'
main = header(b'wrap.arj', 2, 0)
entry_end = len(main) + len(header(b'setup.exe', 0, 0))
open(sys.argv[1], 'wb').write(main + header(b'setup.exe', 0, (1 << 32) - entry_end))
PY
rc=0
(cd "$CASE" && timeout "$RUN_TIMEOUT" "$WINE" "$TOOL_EXE" pack wrap.arj -o wrap.exe >/dev/null 2>"$CASE/wrap.err") || rc=$?
check "iunpack.exe pack of an archive whose entry ends at 2^32: exit status $rc, not 1" test "$rc" = 1
check "iunpack.exe pack of an archive whose entry ends at 2^32: $(grep -v '^[0-9a-f]*:' "$CASE/wrap.err")" \
  grep -q 'wrap.arj: Read from archive error !' "$CASE/wrap.err"
expect_payload_installed
finish

# --- signed after pack: verify recognises the signature, and it installs --
# Authenticode by Debian's osslsigncode with a throwaway certificate.
begin signed
make_payload readme.txt
pack "$CASE/payload" "$CASE/unsigned.exe"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=throwaway -keyout "$CASE/key.pem" -out "$CASE/cert.pem" \
  >/dev/null 2>&1 || fail "openssl could not make a certificate"
osslsigncode sign -certs "$CASE/cert.pem" -key "$CASE/key.pem" -in "$CASE/unsigned.exe" -out "$CASE/installer.exe" \
  >/dev/null || fail "osslsigncode could not sign"
check "verify refuses the signed installer" "$TOOL" verify "$CASE/installer.exe" --stub "$STUB" >"$CASE/verify.out"
check "verify does not see the signature" grep -q '^signed: an Authenticode signature of ' "$CASE/verify.out"
expect_payload_installed
finish

# --- iunpack.exe interrupted while it packs -------------------------------
# Ctrl+C (SIGINT, which Wine hands to the console handler) removes the
# temporary file; the installer it was to replace stays as it was.
begin iunpack_exe_interrupted
mkdir -p "$CASE/payload"
cp "$PROBE" "$CASE/payload/setup.exe"
head -c 64000000 /dev/urandom >"$CASE/payload/large.bin"
echo 'the installer before' >"$CASE/installer.exe"
cp "$CASE/installer.exe" "$CASE/before.exe"
(cd "$CASE" && exec timeout "$RUN_TIMEOUT" "$WINE" "$TOOL_EXE" pack payload -o installer.exe >"$CASE/pack.out" 2>"$CASE/pack.err") &
pid=$!
for ((i = 0; i < 1200; i++)); do [[ -n $(compgen -G "$CASE/installer.exe.*") ]] && break; sleep 0.1; done
check "no temporary file while packing" test -n "$(compgen -G "$CASE/installer.exe.*")"
sleep 0.5
kill -INT "$pid"
rc=0
wait "$pid" || rc=$?
# STATUS_CONTROL_C_EXIT (0xC000013A) in 8 bits.
check "exit status $rc, not 58" test "$rc" = 58
check "the existing installer changed" cmp "$CASE/installer.exe" "$CASE/before.exe"
check "a temporary file left" test -z "$(compgen -G "$CASE/installer.exe.*")"
rm -rf "$CASE/payload"
finish

# --- the question answered Yes and No ------------------------------------
begin question
cp "$PROBE" "$CASE/setup.exe"
echo 42 >"$CASE/exitcode.txt"
(cd "$CASE" && arj a -m0 -e payload.arj setup.exe exitcode.txt >/dev/null)
pack "$CASE/payload.arj" "$CASE/installer.exe" --prompt "Install the test program?"
run_installer "$CASE" installer.exe n
check "exit code $RC after No, not 1602 in 8 bits" test "$RC" = $((1602 % 256))
check "question" boxes_are "Install the test program?"
check "setup ran after No" setup_not_run
check "working directory left after No" no_work_dir
run_installer "$CASE" installer.exe Return
check "exit code $RC after Yes, not setup's 42" test "$RC" = 42
check "setup did not run after Yes" setup_ran
check "restart with exit code 42" no_restart
check "working directory left after Yes" no_work_dir
finish

# --- an entry with a bad CRC ----------------------------------------------
begin bad_crc
cp "$PROBE" "$CASE/setup.exe"
printf 'this text will be damaged in the archive\n' >"$CASE/readme.txt"
(cd "$CASE" && arj a -m0 -e payload.arj setup.exe readme.txt >/dev/null)
# One data byte of readme.txt changed: the headers stay valid.
offset=$(grep -obaF 'will be damaged' "$CASE/payload.arj" | head -n1 | cut -d: -f1)
printf 'W' | dd of="$CASE/payload.arj" bs=1 seek="$offset" conv=notrunc status=none
pack "$CASE/payload.arj" "$CASE/installer.exe"
run_installer "$CASE" installer.exe
check "exit code $RC, not 3" test "$RC" = 3
check "message" boxes_are "File has bad CRC !"
check "setup ran" setup_not_run
check "working directory left" no_work_dir
finish

# --- an archive without setup.exe -----------------------------------------
begin no_setup
printf 'no setup here\n' >"$CASE/readme.txt"
(cd "$CASE" && arj a -m0 -e payload.arj readme.txt >/dev/null)
pack "$CASE/payload.arj" "$CASE/installer.exe" --force 2>/dev/null
run_installer "$CASE" installer.exe
check "exit code $RC, not 5" test "$RC" = 5
check "one box" test "$(printf '%s\n' "$BOXES" | grep -c .)" = 1
check "Can't run message: $BOXES" cant_run_message
check "working directory left" no_work_dir
finish

# --- a second file of one name, a device name: refused, nothing replaced --
begin hostile_names
cp "$PROBE" "$CASE/setup.exe"
mkdir -p "$CASE/other"
printf 'not the probe\n' >"$CASE/other/SETUP.EXE"
printf 'to the null device\n' >"$CASE/NUL .txt"
(cd "$CASE" && arj a -m0 -e twice.arj setup.exe other/SETUP.EXE >/dev/null &&
  arj a -m0 -e device.arj setup.exe 'NUL .txt' >/dev/null)
for kind in twice device; do
  assemble "$CASE/$kind.arj" "$CASE/$kind.exe"
  run_installer "$CASE" "$kind.exe"
  check "$kind: exit code $RC, not 3" test "$RC" = 3
  check "$kind: message" boxes_are "Create file error !"
  check "$kind: setup ran" setup_not_run
  check "$kind: working directory left" no_work_dir
done
finish

# --- unattended: the launcher's arguments, the quiet switch, exit codes ---
# Arguments with quotes reach setup after -i byte for byte; /S asks no
# question and shows no box, and its text goes to standard error; setup's
# 1234 is 3010 with no restart; the whole exit codes come from runner.exe.
begin unattended
cp "$PROBE" "$CASE/setup.exe"
(cd "$CASE" && arj a -m0 -e payload.arj setup.exe >/dev/null)
pack "$CASE/payload.arj" "$CASE/installer.exe" --prompt "Install the test program?"
arguments='/S /D="C:\My Dir" "a b"\ \"c'
run_with_runner "$CASE" installer.exe "$arguments"
check "exit code $RC" test "$RC" = 0
check "message boxes shown" boxes_are ""
check "setup did not run" setup_ran
check "setup's command line: $(grep '^command=' "$LOG")" grep -qxF "$(grep -m1 '^command=' "$LOG" |
  sed 's/ -i .*//') -i $arguments" "$LOG"
check "working directory left" no_work_dir
rm -f "$LOG"
echo 1234 >"$CASE/exitcode.txt"
(cd "$CASE" && arj a -m0 -e restart.arj setup.exe exitcode.txt >/dev/null)
pack "$CASE/restart.arj" "$CASE/restart.exe"
run_with_runner "$CASE" restart.exe "-quiet"
check "exit code $RC after setup's 1234, not 3010" test "$RC" = 3010
check "setup did not run" setup_ran
check "restart started" no_restart
check "working directory left" no_work_dir
# One data byte changed: the headers stay valid, the CRC does not.
offset=$(grep -obaF 'exitcode' "$CASE/restart.arj" | tail -n1 | cut -d: -f1)
cp "$CASE/restart.arj" "$CASE/damaged.arj"
printf '9' | dd of="$CASE/damaged.arj" bs=1 seek=$((offset + 20)) conv=notrunc status=none
assemble "$CASE/damaged.arj" "$CASE/damaged.exe"
rm -f "$LOG"
run_with_runner "$CASE" damaged.exe "/S"
check "exit code $RC of a damaged installer, not 3" test "$RC" = 3
check "message boxes shown" boxes_are ""
check "no failure text on standard error" grep -qa '^File has bad CRC !' "$CASE/wine.err"
check "setup ran" setup_not_run
check "working directory left" no_work_dir
finish

# --- a second instance while the first runs -------------------------------
begin second_instance
cp "$PROBE" "$CASE/setup.exe"
(cd "$CASE" && arj a -m0 -e payload.arj setup.exe >/dev/null)
pack "$CASE/payload.arj" "$CASE/installer.exe"
mkdir -p "$CASE/second"
cp "$CASE/installer.exe" "$CASE/second/installer.exe"
touch "$CASE/hold"
export IUNPACK_PROBE_HOLD
IUNPACK_PROBE_HOLD=$(windows_path "$CASE/hold")
(cd "$CASE" && exec timeout "$RUN_TIMEOUT" "$WINE" installer.exe >"$CASE/first.out" 2>"$CASE/first.err") &
first=$!
for ((i = 0; i < 600; i++)); do setup_ran && break; sleep 0.1; done
check "first instance's setup never started" setup_ran
run_with_runner "$CASE/second" installer.exe ""
check "second exit code $RC, not 1618" test "$RC" = 1618
check "second's message" boxes_are "Already running !"
rm -f "$CASE/hold"
first_rc=0
wait "$first" || first_rc=$?
unset IUNPACK_PROBE_HOLD
check "first exit code $first_rc" test "$first_rc" = 0
check "setup ran once" test "$(grep -c '^started$' "$LOG")" = 1
check "working directory left" no_work_dir
finish

# --- two copies started at the same instant -------------------------------
# Both find no window yet; the named mutex lets exactly one go on. Its
# setup waits until the other copy has shown its box (or has run setup
# too, which is the fault).
begin same_instant
cp "$PROBE" "$CASE/setup.exe"
(cd "$CASE" && arj a -m0 -e payload.arj setup.exe >/dev/null)
pack "$CASE/payload.arj" "$CASE/installer.exe"
touch "$CASE/hold"
export IUNPACK_PROBE_HOLD
IUNPACK_PROBE_HOLD=$(windows_path "$CASE/hold")
traces=("$CASE/a/wine.err" "$CASE/b/wine.err")
outcomes() { echo $(($(cat "$LOG" 2>/dev/null | grep -c '^started$') + $(cat "${traces[@]}" 2>/dev/null | grep -c MSGBOX_OnInit))); }
(for ((i = 0; i < 1200; i++)); do (($(outcomes) >= 2)) && break; sleep 0.1; done; rm -f "$CASE/hold") &
releaser=$!
pids=()
for copy in a b; do
  mkdir -p "$CASE/$copy"
  cp "$CASE/installer.exe" "$CASE/$copy/installer.exe"
done
for copy in a b; do
  (cd "$CASE/$copy" && exec timeout "$RUN_TIMEOUT" "$WINE" installer.exe >"$CASE/$copy/wine.out" 2>"$CASE/$copy/wine.err") &
  pids+=($!)
done
BOX_PIDS=("${pids[@]}")
BOX_TRACES=("${traces[@]}")
answer_boxes
rcs=""
for pid in "${pids[@]}"; do
  rc=0
  wait "$pid" || rc=$?
  rcs+="$rc "
done
wait "$releaser" || true
unset IUNPACK_PROBE_HOLD
BOXES=$(boxes_in "${traces[@]}")
# The copy turned away exits with 1618 (82 in 8 bits), the other with setup's 0.
check "exit codes $rcs" test "$(echo $rcs | tr ' ' '\n' | sort -n | tr '\n' ' ')" = "0 82 "
check "setup ran $(cat "$LOG" 2>/dev/null | grep -c '^started$') times, not once" test "$(grep -c '^started$' "$LOG")" = 1
check "the other copy's message" boxes_are "Already running !"
check "working directory left" no_work_dir
finish

# --- the window while it unpacks a large stored entry ---------------------
# 720 MB in one stored entry: more than a 32-bit process can obtain in one
# block, so the copy must go in bounded blocks. The stub checks the CRC;
# setup sees the size.
begin large_stored_entry
mkdir -p "$CASE/payload"
cp "$PROBE" "$CASE/payload/setup.exe"
ln "$LARGE_PAYLOAD" "$CASE/payload/large.bin"
pack "$CASE/payload" "$CASE/installer.exe" --method 0
rm -rf "$CASE/payload"
(cd "$CASE" && exec timeout "$RUN_TIMEOUT" "$WINE" installer.exe >"$CASE/wine.out" 2>"$CASE/wine.err") &
pid=$!
if region=$(shoot_host_window "$OUT/screenshot.png" 120); then
  colours=$(colours_in "$OUT/screenshot.png" "$region")
  echo "  window $region, $colours colours: $OUT/screenshot.png"
  # Grey window, button-face text cell, text: a blank window has one or two.
  check "window blank ($colours colours)" test "$colours" -ge 3
else
  fail "the window never showed"
fi
RC=0
wait "$pid" || RC=$?
BOXES=$(boxes_in "$CASE/wine.err")
check "exit code $RC" test "$RC" = 0
check "message boxes shown" boxes_are ""
check "setup did not run" setup_ran
check "large.bin not unpacked whole" grep -qx 'file=large.bin 720000000' "$LOG"
check "working directory left" no_work_dir
rm -f "$CASE/installer.exe"
finish

# --- setup asks for the restart (last: Wine ends the session on it) --------
begin restart_code
cp "$PROBE" "$CASE/setup.exe"
echo 1234 >"$CASE/exitcode.txt"
(cd "$CASE" && arj a -m0 -e payload.arj setup.exe exitcode.txt >/dev/null)
pack "$CASE/payload.arj" "$CASE/installer.exe"
run_installer "$CASE" installer.exe
check "exit code $RC, not setup's 1234 (210 in 8 bits)" test "$RC" = $((1234 % 256))
check "message boxes shown" boxes_are ""
check "setup's exit code" grep -q '^exit=1234$' "$LOG"
check "no wineboot --end-session started" restart_started "$CASE/wine.err"
check "working directory left" no_work_dir
finish

echo "end-to-end $ARCH: $passes passed, $failures failed"
((failures == 0))
