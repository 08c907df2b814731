#!/usr/bin/env bash
# Installs what building, testing and the demo need on a Debian machine.
# Quiet and quick when everything is already there.
#
# A package mirror in the middle of a sync serves an index that does not
# match its release file, and `apt-get update` then fails. So the update is
# tried a few times; then the install is tried with the indexes there are.
# If that cannot be resolved while an index had failed, the install is tried
# once more with an apt configuration of this script's own (its own source
# lists, package lists and download cache, in a temporary folder) that leaves
# the failed suite out: the amd64 packages and their i386 twins, which must
# have the same version, then come from the same suites. The machine's own
# apt configuration and caches are never changed.
#
# Exit status 0 when every package is installed; otherwise it names the
# packages still missing and apt's reason, and exits 1.
#
#   IUNPACK_APT_ATTEMPTS   tries of `apt-get update` (default 3)
#   IUNPACK_APT_PAUSE      seconds between them (default 20)
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev            # native build and unit tests
  clang libclang-rt-14-dev libfuzzer-14-dev  # fuzzer preset
  g++-mingw-w64-i686 g++-mingw-w64-x86-64     # the Windows stub
  wine64 xvfb xdotool imagemagick             # running it under Wine
  wine32:i386 qemu-user                       # the i686 stub: 32-bit Wine, through qemu where the kernel
                                              # runs no 32-bit programs (tests/e2e/wine32_route.sh)
  arj 7zip time python3                       # test archives and the benchmark
  osslsigncode openssl                        # signing an installer as authors do (verify's tests)
)
attempts=${IUNPACK_APT_ATTEMPTS:-3}
pause=${IUNPACK_APT_PAUSE:-20}

missing=()
find_missing() {
  missing=()
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
}

find_missing
((${#missing[@]})) || exit 0
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

scratch=$(mktemp -d)
trap '$SUDO rm -rf "$scratch"' EXIT
log=$scratch/apt.log

# 32-bit Wine comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# apt_update [OPTION...]: `apt-get update`, tried $attempts times; 0 when
# one try got every index. The last try's messages stay in $log.
apt_update() {
  local try
  for ((try = 1; try <= attempts; try++)); do
    if $SUDO apt-get "$@" update -qq >"$log" 2>&1; then
      return 0
    fi
    if ((try < attempts)); then
      echo "apt-get update failed (try $try of $attempts), again in $pause s: $(grep -m1 '^E:' "$log" || tail -n1 "$log")"
      sleep "$pause"
    fi
  done
  return 1
}

# The suites whose index failed in the last update, from apt's
# "Failed to fetch URI/dists/SUITE/..." lines, one per line.
failed_suites() {
  sed -n 's#^[EW]: Failed to fetch [^ ]*/dists/\([^/ ]*\)/.*#\1#p' "$log" | sort -u
}

# apt_install [OPTION...]: installs the missing packages; apt's messages
# stay in $log.
apt_install() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get "$@" install -y -qq --no-install-recommends "${missing[@]}" \
    >"$log" 2>&1
}

# without_suites_list FILE SUITE...: FILE, in the one-line format
# ("deb [options] URI SUITE COMPONENT..."), without the lines of those suites.
without_suites_list() {
  local file=$1
  shift
  awk -v drop="$*" '
    BEGIN { n = split(drop, d, " "); for (i = 1; i <= n; i++) gone[d[i]] = 1 }
    /^[ \t]*deb(-src)?[ \t]/ {
      line = $0
      sub(/\[[^]]*\]/, "", line)
      split(line, f, /[ \t]+/)
      suite = (f[1] == "") ? f[4] : f[3]
      if (suite in gone) next
    }
    { print }' "$file"
}

# without_suites_sources FILE SUITE...: FILE, in the deb822 format, with those
# suites taken out of every "Suites:" field, and a stanza left without
# suites dropped.
without_suites_sources() {
  local file=$1
  shift
  awk -v drop="$*" '
    BEGIN { n = split(drop, d, " "); for (i = 1; i <= n; i++) gone[d[i]] = 1 }
    function flush() {
      if (stanza != "" && keep) printf "%s", stanza
      stanza = ""; keep = 1
    }
    BEGIN { keep = 1 }
    /^[ \t]*$/ { flush(); print; next }
    tolower($0) ~ /^suites:/ {
      kept = ""
      for (i = 2; i <= NF; i++) if (!($i in gone)) kept = kept " " $i
      if (kept == "") keep = 0
      stanza = stanza "Suites:" kept "\n"
      next
    }
    { stanza = stanza $0 "\n" }
    END { flush() }' "$file"
}

# own_config SUITE...: writes the machine's sources without those suites into
# $scratch, with package lists and a download cache of their own, and sets
# own_options to the apt options that use them.
own_options=()
own_config() {
  local sourcelist="" sourceparts="" f
  eval "$(apt-config shell sourcelist Dir::Etc::sourcelist/f sourceparts Dir::Etc::sourceparts/d)"
  mkdir -p "$scratch/parts" "$scratch/lists/partial" "$scratch/archives/partial"
  : >"$scratch/sources.list"
  if [[ -f $sourcelist ]]; then
    without_suites_list "$sourcelist" "$@" >"$scratch/sources.list"
  fi
  for f in "$sourceparts"/*.list "$sourceparts"/*.sources; do
    case $f in
      *.list) [[ ! -f $f ]] || without_suites_list "$f" "$@" >"$scratch/parts/${f##*/}" ;;
      *.sources) [[ ! -f $f ]] || without_suites_sources "$f" "$@" >"$scratch/parts/${f##*/}" ;;
    esac
  done
  chmod -R a+rX "$scratch"   # apt downloads as its own unprivileged user
  own_options=(
    -o "Dir::Etc::sourcelist=$scratch/sources.list"
    -o "Dir::Etc::sourceparts=$scratch/parts"
    -o "Dir::State::Lists=$scratch/lists"
    -o "Dir::Cache::Archives=$scratch/archives"
    -o "Dir::Cache::pkgcache=$scratch/pkgcache.bin"
    -o "Dir::Cache::srcpkgcache=$scratch/srcpkgcache.bin"
  )
}

give_up() {
  find_missing
  echo "error: cannot install ${missing[*]}: $1" >&2
  grep '^E:' "$log" | head -n 5 >&2 || true
  exit 1
}

update_failed=()
if ! apt_update; then
  mapfile -t update_failed < <(failed_suites)
  echo "apt-get update failed $attempts times; installing with the indexes there are" \
    "(failed: ${update_failed[*]:-unknown})"
fi
apt_install && exit 0
((${#update_failed[@]})) || give_up "apt-get install failed"

echo "apt: leaving out ${update_failed[*]} for this install: its index failed to download" \
  "(a mirror in the middle of a sync), and i386 and amd64 packages must come from the same suites"
own_config "${update_failed[@]}"
apt_update "${own_options[@]}" || give_up "apt-get update failed even without ${update_failed[*]}"
apt_install "${own_options[@]}" && exit 0
give_up "apt-get install failed even without ${update_failed[*]}"
