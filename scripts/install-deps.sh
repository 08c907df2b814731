#!/usr/bin/env bash
# Installs what building, testing and the demo need on a Debian machine.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev            # native build and unit tests
  clang libclang-rt-14-dev libfuzzer-14-dev  # fuzzer preset
  g++-mingw-w64-i686 g++-mingw-w64-x86-64     # the Windows stub
  wine64 xvfb xdotool imagemagick             # running it under Wine
  wine32:i386 qemu-user                       # the i686 stub: 32-bit Wine, through qemu where the kernel
                                              # runs no 32-bit programs (tests/e2e/wine32_route.sh)
  arj 7zip time python3                       # test archives and the benchmark
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  # 32-bit Wine comes from the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
