#!/usr/bin/env bash
# Installs, on a Debian machine, what building the Windows programs and
# running them under Wine needs: the MinGW compilers, Wine, a virtual X
# server, xdotool to answer message boxes, ImageMagick for screenshots and
# the arj archiver to make test archives. Does nothing when all is there.
set -euo pipefail

missing=()
need() { command -v "$1" >/dev/null 2>&1 || [[ -x "$1" ]] || missing+=("$2"); }
need cmake cmake
need g++ g++
need /usr/lib/wine/wine64 wine64
need xvfb-run xvfb
need xdotool xdotool
need import imagemagick
need x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64
need i686-w64-mingw32-g++ g++-mingw-w64-i686
need arj arj
[[ -e /usr/include/gtest/gtest.h ]] || missing+=(libgtest-dev)
(( ${#missing[@]} == 0 )) && exit 0

echo "installing: ${missing[*]}"
if [[ $(id -u) != 0 ]]; then
  echo "error: not root; install these packages first: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
