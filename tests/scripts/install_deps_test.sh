#!/usr/bin/env bash
# Tests scripts/install-deps.sh against stand-ins for apt-get, apt-config,
# dpkg, dpkg-query and sudo on the PATH: a mirror whose index fails once,
# one that keeps failing, an install that resolves only without the failed
# suite, and one that nothing resolves. Runs in seconds (no pause).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The stand-ins keep their state in $STATE: installed (package names),
# etc/ (the machine's sources), update_failures (how many more updates fail,
# or "always"), install_needs_without (the install resolves only when the
# bad suite is out of the sources it is given), install_fails, calls (log).
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
sources=("$STATE/etc/sources.list" "$STATE/etc/sources.list.d") lists=default cmd=""
while (($#)); do
  case $1 in
    -o) case $2 in
          Dir::Etc::sourcelist=*) sources[0]=${2#*=} ;;
          Dir::Etc::sourceparts=*) sources[1]=${2#*=} ;;
          Dir::State::Lists=*) lists=${2#*=}; [[ -d $lists/partial ]] || { echo "E: no $lists/partial"; exit 100; } ;;
        esac
        shift ;;
    update|install) cmd=$1 ;;
  esac
  shift
done
echo "$cmd lists=$lists" >>"$STATE/calls"
bad=bookworm-security
has_bad() { cat "${sources[0]}" "${sources[1]}"/* 2>/dev/null | grep -qw "$bad"; }
case $cmd in
  update)
    left=$(cat "$STATE/update_failures")
    if { [[ $left == always ]] && has_bad; } || [[ $left =~ ^[1-9] ]]; then
      [[ $left == always ]] || echo $((left - 1)) >"$STATE/update_failures"
      echo "E: Failed to fetch http://deb.example/debian-security/dists/$bad/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
      exit 100
    fi ;;
  install)
    if [[ -e $STATE/install_fails ]] || { [[ -e $STATE/install_needs_without ]] && has_bad; }; then
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi
    cp "$STATE/all" "$STATE/installed" ;;
esac
STANDIN
cat >"$work/bin/apt-config" <<'STANDIN'
#!/usr/bin/env bash
echo "sourcelist='$STATE/etc/sources.list'"
echo "sourceparts='$STATE/etc/sources.list.d/'"
STANDIN
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/usr/bin/env bash
grep -qx "${@: -1}" "$STATE/installed" && printf 'install ok installed'
exit 0
STANDIN
cat >"$work/bin/dpkg" <<'STANDIN'
#!/usr/bin/env bash
case $1 in
  --print-foreign-architectures) cat "$STATE/architectures" ;;
  --add-architecture) echo "$2" >>"$STATE/architectures" ;;
esac
STANDIN
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work"/bin/*

# scenario NAME: a fresh machine state; the case then sets its failures.
scenario() {
  export STATE=$work/$1
  mkdir -p "$STATE/etc/sources.list.d"
  bash -c 'source <(sed -n "/^packages=(/,/^)/p" "$1"); printf "%s\n" "${packages[@]}"' _ "$ROOT/scripts/install-deps.sh" >"$STATE/all"
  : >"$STATE/installed" >"$STATE/architectures" >"$STATE/calls"
  echo 0 >"$STATE/update_failures"
  printf 'deb http://deb.example/debian bookworm main\ndeb [arch=amd64 signed-by=/k.gpg] http://deb.example/debian-security bookworm-security main\n' \
    >"$STATE/etc/sources.list"
  printf 'Types: deb\nURIs: http://deb.example/debian\nSuites: bookworm bookworm-security bookworm-updates\nComponents: main\n\nTypes: deb\nURIs: http://deb.example/debian-security\nSuites: bookworm-security\nComponents: main\n' \
    >"$STATE/etc/sources.list.d/debian.sources"
  cp -r "$STATE/etc" "$STATE/etc.before"
}

# run_script: the script with the stand-ins, output in $STATE/out, status in $rc.
run_script() {
  rc=0
  PATH=$work/bin:$PATH IUNPACK_APT_PAUSE=0 TMPDIR=$STATE bash "$ROOT/scripts/install-deps.sh" >"$STATE/out" 2>&1 || rc=$?
}

check() { # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then
    echo "FAILED: $STATE: $1"
    sed 's/^/    /' "$STATE/out" "$STATE/calls"
    failures=$((failures + 1))
  fi
}
calls() { grep -c "^$1 lists=$2" "$STATE/calls" || true; }
said() { grep -q "$1" "$STATE/out"; }
machine_untouched() { diff -r "$STATE/etc.before" "$STATE/etc" >/dev/null && [[ -z $(ls "$STATE" | grep '^tmp') ]]; }

scenario nothing-missing
cp "$STATE/all" "$STATE/installed"
run_script
check "exits 0 without calling apt-get" test "$rc/$(wc -l <"$STATE/calls")" = 0/0

scenario index-fails-once
echo 1 >"$STATE/update_failures"
run_script
check "retries the update and installs" test "$rc/$(calls update default)/$(calls install default)" = 0/2/1
check "adds the i386 architecture" grep -qx i386 "$STATE/architectures"
check "says nothing of leaving a suite out" bash -c '! grep -q "leaving out" "$0"' "$STATE/out"

scenario index-keeps-failing
echo always >"$STATE/update_failures"
run_script
check "tries the update 3 times, then installs with what it has" test "$rc/$(calls update default)/$(calls install default)" = 0/3/1
check "says which index failed" said "failed: bookworm-security"

scenario resolves-without-suite
echo always >"$STATE/update_failures"
touch "$STATE/install_needs_without"
run_script
check "installs with its own configuration" test "$rc/$(calls install default)/$(calls install "$STATE/tmp")" = 0/1/1
check "updates its own lists once" test "$(calls update "$STATE/tmp")" = 1
check "says in one line what it left out and why" said "leaving out bookworm-security for this install: its index failed"
check "leaves the machine's sources as they were and its scratch folder removed" machine_untouched

scenario nothing-resolves
echo always >"$STATE/update_failures"
touch "$STATE/install_fails"
run_script
check "exits 1" test "$rc" = 1
check "names the packages and apt's reason" said "error: cannot install .*wine32:i386.*: apt-get install failed even without bookworm-security"
check "passes apt's own message on" said "held broken packages"
check "leaves the machine's sources as they were" machine_untouched

# The temporary sources keep every other suite: both formats, options kept.
source <(sed -n '/^without_suites_list()/,/^}/p; /^without_suites_sources()/,/^}/p' "$ROOT/scripts/install-deps.sh")
STATE=$work/resolves-without-suite
out=$(without_suites_list "$STATE/etc/sources.list" bookworm-security)
check "one-line sources: the failed suite's line dropped" test "$out" = "deb http://deb.example/debian bookworm main"
out=$(without_suites_sources "$STATE/etc/sources.list.d/debian.sources" bookworm-security)
check "deb822 sources: the suite taken out of Suites, an emptied stanza dropped" \
  test "$out" = "$(printf 'Types: deb\nURIs: http://deb.example/debian\nSuites: bookworm bookworm-updates\nComponents: main\n')"

if ((failures)); then
  echo "install-deps.sh: $failures check(s) failed"
  exit 1
fi
echo "install-deps.sh: every check passed"
