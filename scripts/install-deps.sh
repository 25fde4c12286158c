#!/usr/bin/env bash
# Installs every Debian package the project builds, tests and packages with. Safe to run again:
# when everything is present it changes nothing and asks no registry.
set -euo pipefail

native_packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
    libcli11-dev clang-format zip python3)
# The fuzz harnesses: clang with libFuzzer and the sanitizer runtimes.
fuzz_packages=(clang-14 libclang-rt-14-dev)
# The 32-bit Windows module's cross toolchain; Wine and the emulator it runs under come from
# install-wine.sh.
windows_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686)

bash "$(dirname "$0")/install-wine.sh"

missing=()
for pkg in "${native_packages[@]}" "${fuzz_packages[@]}" "${windows_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$pkg")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: root is needed to install packages" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
