#!/usr/bin/env bash
# wine32_route.sh COMMAND [ARG...]: runs COMMAND where Debian's 32-bit Wine
# can start 32-bit Windows programs, and exits with its status.
#
# Where the kernel runs 32-bit ELF programs itself, COMMAND runs as it is.
# Otherwise (kernels built without 32-bit support) it runs in a user and
# mount namespace of its own (Linux 6.7 or later) that mounts a binfmt_misc
# instance of its own and hands i386 ELF programs to qemu-i386 there. Only
# that namespace sees the registration: nothing on the machine changes.
# The uid differs inside the namespace, and with it the wineserver's socket
# directory, so a Wine prefix must be made, and every Wine command of it
# run, inside one COMMAND.
#
#   wine32_route.sh --check     exit 0 when a route exists (prints which)
#
# Exit status 125 when neither route exists.
set -euo pipefail

WINE32=/usr/lib/wine/wine
QEMU=/usr/bin/qemu-i386
NO_ROUTE=125

runs_directly() { "$WINE32" --version >/dev/null 2>&1; }

# Inside the namespace: the private binfmt_misc, then COMMAND.
if [[ ${1:-} == --inside-namespace ]]; then
  shift
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  # i386 ELF executables (class 1, little-endian, machine 3); F: qemu is
  # opened now, so it is found whatever the program's root.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':F' \
    >/proc/sys/fs/binfmt_misc/register
  # qemu's default 4 GiB guest space makes Wine's start-up reservation
  # search in 64 KiB steps (about a minute per process); below 2 GiB it
  # starts in seconds.
  export QEMU_RESERVED_VA=0x7fff0000
  runs_directly || { echo "error: 32-bit Wine does not start under qemu-i386" >&2; exit "$NO_ROUTE"; }
  exec "$@"
fi

check_only=false
if [[ ${1:-} == --check ]]; then
  check_only=true
  shift
fi

if runs_directly; then
  $check_only && { echo "32-bit Wine runs directly"; exit 0; }
  exec "$@"
fi

if [[ -x $QEMU && -x $WINE32 ]] &&
  unshare --user --map-root-user --mount --fork bash "${BASH_SOURCE[0]}" --inside-namespace true 2>/dev/null; then
  $check_only && { echo "32-bit Wine runs under qemu-i386 in a user namespace"; exit 0; }
  exec unshare --user --map-root-user --mount --fork bash "${BASH_SOURCE[0]}" --inside-namespace "$@"
fi

echo "no route to run 32-bit Wine: the kernel does not start 32-bit programs, and no user namespace" \
  "with its own binfmt_misc and qemu-i386 is available (Linux 6.7 or later, package qemu-user)" >&2
exit "$NO_ROUTE"
