#!/usr/bin/env bash
# Installs the Debian packages that scripts/run-wine.sh needs to run 32-bit and
# 64-bit Windows test programs (built with i686-w64-mingw32-g++ and
# x86_64-w64-mingw32-g++) under Wine.
# Idempotent: returns at once, without network, when all is already there.
# Must run as root (CI and developer machines run as root).
#
# Why each package:
#   wine, wine32:i386        Wine 8.0 with its 32-bit (i386) loader/server.
#   wine64                   Wine's x86-64 loader and server: runs 64-bit
#                            programs natively, no emulator involved.
#   qemu-user (>= 10, from bookworm-backports)
#                            This sandbox's kernel refuses to exec 32-bit ELF
#                            ("Exec format error"), so run-wine.sh runs every
#                            i386 Wine process under qemu-i386 via binfmt_misc.
#                            Bookworm's qemu 7.2 ignores MAP_FIXED_NOREPLACE,
#                            which makes each Wine process start take minutes
#                            (~50k mmap/munmap retries); 10.0 takes ~1 s.
#   g++-mingw-w64-i686       Cross compilers for the PE32 and PE32+
#   g++-mingw-w64-x86-64     programs/DLLs that run-wine.sh runs (win32 and
#                            posix thread models).
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive
BPO_LIST=/etc/apt/sources.list.d/bookworm-backports.list
QEMU_MIN_MAJOR=10 # the version tested; 7.2 is known not to work

qemu_ok() {
  local v
  v=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) || return 1
  # Debian versions look like 1:10.0.2+ds-...; compare the upstream major.
  v=${v#*:}
  [ "${v%%.*}" -ge "$QEMU_MIN_MAJOR" ] 2>/dev/null
}

installed() {
  local p
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] || return 1
  done
}

# Fast path: nothing to do (keeps CI quick and offline-safe).
if installed wine wine32:i386 wine64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 && qemu_ok \
  && dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-wine.sh: already installed"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-wine.sh: must run as root" >&2
  exit 1
fi

# Wine's 32-bit half is packaged for i386 (multiarch).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

# A new enough qemu-user only exists in bookworm-backports (a Debian suite).
# shellcheck source=/dev/null
. /etc/os-release
qemu_package=qemu-user
if [ "${VERSION_CODENAME:-}" = bookworm ]; then
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo 'deb http://deb.debian.org/debian bookworm-backports main' >"$BPO_LIST"
  fi
  qemu_package=qemu-user/bookworm-backports
fi

# shellcheck source=scripts/apt-lists.sh
. "$(dirname "$0")/apt-lists.sh"
update_package_lists

pkgs=(wine wine32:i386 wine64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 "$qemu_package")
# qemu-user 10 Breaks the old qemu-user-binfmt; upgrade it too rather than
# letting apt remove it, if something else installed it.
if installed qemu-user-binfmt && [ "$qemu_package" != qemu-user ]; then
  pkgs+=(qemu-user-binfmt/bookworm-backports)
fi
# No recommends: headless use needs no GL/audio/GStreamer extras.
apt-get install -y --no-install-recommends "${pkgs[@]}"

qemu_ok || {
  echo "install-wine.sh: qemu-user >= $QEMU_MIN_MAJOR not available" >&2
  exit 1
}
echo "install-wine.sh: done"
