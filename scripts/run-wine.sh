#!/usr/bin/env bash
# Runs a 32-bit or 64-bit Windows console program under Wine, headless,
# bounded in time.
#
#   usage: run-wine.sh [--arch win32|win64] PREFIX_DIR PROGRAM.exe [args...]
#
# --arch picks the program's width (default win32). PREFIX_DIR is the
# WINEPREFIX: created fresh, of that width, on first use, reused afterwards;
# give each width its own (a prefix of the other width is refused). The
# program's stdout/stderr pass straight through; the exit
# status is the program's exit code modulo 256 (Windows codes are 32-bit:
# an unhandled crash 0xC000001D exits 0x1D = 29). Non-zero on Wine failure,
# 124 if the program timed out, 125 if this script itself failed (bad
# arguments, prefix creation failed, ...), 143/130 if interrupted.
#
# 64-bit programs run on the native x86-64 loader (wine64); 32-bit ones need
# more. The sandbox kernel cannot exec 32-bit ELF, so each
# i386 Wine process (loader, wineserver, services.exe, ...) runs under
# qemu-i386 via binfmt_misc. We register that handler in a private user +
# mount + PID namespace (binfmt_misc is per user namespace on Linux >= 6.7),
# so nothing global is changed, and when the namespace's first process exits
# the kernel kills every Wine process left: nothing lingers, even on timeout.
# Without user namespaces it falls back to a global registration (root only).
#
# Environment knobs (all optional):
#   RUN_WINE_TIMEOUT=600          seconds for the program itself
#   RUN_WINE_INIT_TIMEOUT=900     seconds for creating the prefix
#   RUN_WINE_NO_NAMESPACE=1       force the global-binfmt fallback
#   WINEDEBUG (default -all), WINEDLLOVERRIDES (appended to ours)
# Needs the packages from scripts/install-wine.sh.
set -euo pipefail

readonly WINE_LOADER32=/usr/lib/wine/wine      # i386 ELF
readonly WINE_LOADER64=/usr/lib/wine/wine64    # x86-64 ELF
readonly WINESERVER32=/usr/lib/wine/wineserver32 # i386 ELF, probe for exec
readonly QEMU_MIN_MAJOR=10                      # 7.2 is unusable (see install-wine.sh)
readonly BINFMT=/proc/sys/fs/binfmt_misc
# Standard qemu-i386 binfmt pattern: ELF32, little endian, x86, exec or dyn.
readonly I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
readonly I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

log() { echo "run-wine.sh: $*" >&2; }
die() { log "$*"; exit 125; }

# Makes i386 ELF executable in the current binfmt_misc instance if the kernel
# cannot run it natively. "F" opens qemu now, so it works in any mount ns.
ensure_i386_exec() {
  if ! [ -e "$BINFMT/register" ]; then
    mount -t binfmt_misc binfmt_misc "$BINFMT" || die "cannot mount binfmt_misc"
  fi
  if "$WINESERVER32" --version >/dev/null 2>&1; then
    return 0 # native 32-bit support, or a handler is already registered
  fi
  local qemu major
  qemu=$(command -v qemu-i386) || die "qemu-i386 missing: run scripts/install-wine.sh"
  major=$("$qemu" --version | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')
  [ "${major:-0}" -ge "$QEMU_MIN_MAJOR" ] \
    || die "qemu-i386 ${major:-?}.x too old (need >= $QEMU_MIN_MAJOR): run scripts/install-wine.sh"
  printf ':run-wine-i386:M::%s:%s:%s:F\n' "$I386_MAGIC" "$I386_MASK" "$qemu" >"$BINFMT/register" \
    || die "cannot register qemu-i386 with binfmt_misc"
  "$WINESERVER32" --version >/dev/null 2>&1 || die "i386 binaries still cannot run"
}

# Stops the prefix's wineserver and every Wine process attached to it.
stop_wineserver() {
  # -w waits for a clean exit (~3 s: services.exe etc. wind down); -k forces.
  timeout -k 5 20 wineserver -w >/dev/null 2>&1 9>&- || timeout -k 5 20 wineserver -k >/dev/null 2>&1 9>&- || true
}

# Creates the prefix unless a previous run completed it (marker file).
ensure_prefix() {
  local prefix=$1 marker=$1/.run-wine-ready log_file=$1/.run-wine-init.log entry
  if [ -f "$marker" ]; then
    grep -q "^#arch=$WINEARCH\$" "$prefix/system.reg" 2>/dev/null \
      || die "$prefix is not a $WINEARCH prefix: give each width its own PREFIX_DIR"
    return 0
  fi
  # A prefix without marker is a half-made one (interrupted init): remove it,
  # but only if the folder holds nothing except Wine's own files.
  shopt -s dotglob nullglob
  for entry in "$prefix"/*; do
    case ${entry##*/} in
      .run-wine.lock | .run-wine-init.log | .update-timestamp | dosdevices | drive_c | \
        system.reg | user.reg | userdef.reg | wineserver | home) ;;
      *) die "$prefix is not empty and not a run-wine.sh prefix (found ${entry##*/})" ;;
    esac
  done
  rm -rf "${prefix:?}"/{.update-timestamp,dosdevices,drive_c,system.reg,user.reg,userdef.reg,wineserver,home}
  shopt -u dotglob nullglob
  mkdir -p "$HOME"
  log "creating Wine prefix in $prefix"
  local start=$SECONDS rc=0
  # wineboot returns before the setup it starts in the background is done;
  # "wineserver -w" waits for all of it to finish.
  {
    timeout -k 10 "$RUN_WINE_INIT_TIMEOUT" "${wine_cmd[@]}" wineboot --init &&
      timeout -k 10 "$RUN_WINE_INIT_TIMEOUT" wineserver -w
  } </dev/null >"$log_file" 2>&1 9>&- || rc=$?
  if [ "$rc" -ne 0 ] || ! [ -f "$prefix/system.reg" ] \
    || ! [ -f "$prefix/drive_c/windows/system32/kernel32.dll" ]; then
    cat "$log_file" >&2
    timeout 20 wineserver -k >/dev/null 2>&1 9>&- || true
    die "creating the prefix failed (rc=$rc)"
  fi
  "${wine_cmd[@]}" --version >"$marker" 9>&-
  log "prefix ready in $((SECONDS - start)) s"
}

# Everything that touches Wine; runs inside the namespaces (or not, fallback).
inner() {
  local prefix=$1 program=$2
  shift 2
  [ "$RUN_WINE_ARCH" = win64 ] || ensure_i386_exec

  # Headless, quiet, no Mono/Gecko install prompts, no menu/desktop entries,
  # the prefix of the chosen width whatever is installed, HOME kept inside it.
  unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
  export WINEPREFIX=$prefix WINEARCH=$RUN_WINE_ARCH HOME=$prefix/home
  # The 64-bit loader is called by itself: /usr/bin/wine would start the i386
  # one (under qemu) only to have it hand over to wine64.
  local -a wine_cmd=(wine)
  if [ "$WINEARCH" = win64 ]; then
    export WINELOADER=$WINE_LOADER64
    wine_cmd=("$WINE_LOADER64")
  fi
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

  # One run per prefix at a time: a shared wineserver across PID namespaces
  # would mix up process ids.
  # (fd 9 is closed for every Wine command, so a stray wineserver cannot keep it.)
  exec 9>"$prefix/.run-wine.lock"
  flock -w "$((RUN_WINE_INIT_TIMEOUT + RUN_WINE_TIMEOUT))" 9 || die "prefix $prefix is locked by another run"

  ensure_prefix "$prefix"

  # CI has no stdin, and a terminal would be put into raw mode by Wine's
  # console: give the program /dev/null then; pass pipes and files through.
  if ! { true <&0; } 2>/dev/null || [ -t 0 ]; then
    exec </dev/null
  fi

  local rc=0 start=$SECONDS
  timeout -k 10 "$RUN_WINE_TIMEOUT" "${wine_cmd[@]}" "$program" "$@" 9>&- || rc=$?
  stop_wineserver
  # timeout exits 124 (137 if it had to SIGKILL); a program may exit 124 too,
  # so only call it a timeout when the time was actually used up.
  if { [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; } && [ $((SECONDS - start)) -ge "$RUN_WINE_TIMEOUT" ]; then
    log "timed out after ${RUN_WINE_TIMEOUT}s: $program"
    rc=124
  fi
  return "$rc"
}

if [ "${_RUN_WINE_INNER:-}" = 1 ]; then
  # Re-invoked by ourselves as PID 1 of the new namespaces.
  inner "$@"
  exit $?
fi

usage() { echo "usage: $0 [--arch win32|win64] PREFIX_DIR PROGRAM.exe [args...]" >&2; exit 2; }
RUN_WINE_ARCH=win32
if [ "${1:-}" = --arch ]; then
  [ $# -ge 2 ] || usage
  RUN_WINE_ARCH=$2
  shift 2
fi
case $RUN_WINE_ARCH in
  win32) wine_loader=$WINE_LOADER32 ;;
  win64) wine_loader=$WINE_LOADER64 ;;
  *) echo "run-wine.sh: --arch must be win32 or win64, not '$RUN_WINE_ARCH'" >&2; usage ;;
esac
export RUN_WINE_ARCH
[ $# -ge 2 ] || usage
prefix=$(realpath -m -- "$1")
[ "$prefix" != / ] || die "refusing / as PREFIX_DIR"
program=$(realpath -e -- "$2") || die "no such program: $2"
shift 2
[ -x "$wine_loader" ] || die "$wine_loader missing: run scripts/install-wine.sh"
: "${RUN_WINE_TIMEOUT:=600}" "${RUN_WINE_INIT_TIMEOUT:=900}"
export RUN_WINE_TIMEOUT RUN_WINE_INIT_TIMEOUT
mkdir -p "$prefix"
# CI gives no stdin at all (fd 0 closed): use /dev/null so redirections work.
if ! { true <&0; } 2>/dev/null; then exec </dev/null; fi

ns=(unshare --user --map-root-user --mount --pid --fork --mount-proc --kill-child)
if [ "${RUN_WINE_NO_NAMESPACE:-}" != 1 ] && "${ns[@]}" true 2>/dev/null; then
  # Not exec'd: unshare ignores SIGTERM/SIGINT while it waits, so we trap them
  # and SIGKILL it; --kill-child then takes the whole PID namespace down.
  # (Explicit 0<&0: a background job would otherwise get /dev/null as stdin.)
  _RUN_WINE_INNER=1 "${ns[@]}" "$BASH" "$(realpath -e -- "$0")" "$prefix" "$program" "$@" 0<&0 &
  child=$!
  # shellcheck disable=SC2317 # invoked by the traps below
  on_signal() {
    kill -KILL "$child" 2>/dev/null
    { wait "$child" || true; } 2>/dev/null # (set -e: wait returns 137 here)
    log "interrupted"
    exit "$1"
  }
  trap 'on_signal 143' TERM
  trap 'on_signal 130' INT
  trap 'on_signal 129' HUP
  rc=0
  wait "$child" || rc=$?
  exit "$rc"
fi
# Fallback: global binfmt_misc registration (root), no PID-namespace cleanup.
[ "${RUN_WINE_NO_NAMESPACE:-}" = 1 ] || log "user namespaces unavailable; using global binfmt_misc"
inner "$prefix" "$program" "$@"
