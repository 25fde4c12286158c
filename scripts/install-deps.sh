#!/usr/bin/env bash
# Installs every Debian package the project builds, tests and packages with. Safe to run again:
# when everything is present it changes nothing and asks no registry.
set -euo pipefail

native_packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
    libcli11-dev clang-format zip python3)
# The frei0r modules' header, and the video tools their tests run them in (GStreamer's frei0r
# elements come with its "bad" plug-ins).
frei0r_packages=(frei0r-plugins-dev ffmpeg melt gstreamer1.0-tools gstreamer1.0-plugins-bad)
# The Windows modules' cross toolchains, 32-bit and 64-bit; Wine and the emulator its 32-bit
# half runs under come from install-wine.sh.
windows_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
    binutils-mingw-w64-x86-64)

# The page: the WebAssembly build and the browser its test drives. npm (for the test's two
# packages) comes with node; Debian's only when there is none.
web_packages=(emscripten chromium)
# The fuzz harnesses: clang with libFuzzer and the sanitizer runtimes.
fuzz_packages=(clang-14 libclang-rt-14-dev)

bash "$(dirname "$0")/install-wine.sh"

missing=()
for pkg in "${native_packages[@]}" "${frei0r_packages[@]}" "${fuzz_packages[@]}" \
    "${windows_packages[@]}" "${web_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$pkg")
done
command -v npm >/dev/null || missing+=(npm)
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
