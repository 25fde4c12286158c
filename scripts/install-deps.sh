#!/usr/bin/env bash
# Installs the Debian packages the project needs. Safe to run again: when everything is present
# it changes nothing and asks no registry.
#
#   usage: install-deps.sh [build|test]
#     build  what scripts/build.sh builds and packages the products with
#     test   that, and what scripts/test.sh runs the tests with (the default)
set -euo pipefail
purpose=${1:-test}
case $purpose in
    build | test) ;;
    *) echo "usage: $0 [build|test]" >&2; exit 2 ;;
esac

# The native effect, the command-line renderer (and OpenImageIO, its formats beyond PNG), the
# frei0r filter's header, and zip for the Windows modules' packages.
native_packages=(cmake g++ make libpng-dev libopenimageio-dev libcli11-dev frei0r-plugins-dev zip)
# The Windows modules' cross toolchains, 32-bit and 64-bit.
windows_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
    binutils-mingw-w64-x86-64)
# The page's WebAssembly build.
web_packages=(emscripten)
wanted=("${native_packages[@]}" "${windows_packages[@]}" "${web_packages[@]}")

if [ "$purpose" = test ]; then
    # The test programs and the benchmarks, the format check, and python for the driver of the
    # frei0r filter's tests.
    wanted+=(libgtest-dev libgmock-dev libbenchmark-dev clang-format python3)
    # oiiotool, which makes and compares the command line's EXR, TIFF and DPX test files.
    wanted+=(openimageio-tools)
    # The video tools the frei0r modules are tested in (GStreamer's frei0r elements come with
    # its "bad" plug-ins), and the browser the page's test drives.
    wanted+=(ffmpeg melt gstreamer1.0-tools gstreamer1.0-plugins-bad chromium)
    # The editors the frei0r modules' descriptions are loaded in, run under Xvfb on a private
    # D-Bus session (the accessibility bus's address set on the root window with xprop);
    # Kdenlive read through its accessibility tree (AT-SPI), the modules' metadata as YAML.
    wanted+=(kdenlive kdenlive-data shotcut xvfb x11-utils dbus dbus-daemon dbus-bin at-spi2-core
        python3-pyatspi gir1.2-atspi-2.0 python3-gi gir1.2-glib-2.0 python3-yaml)
    # The fuzz harnesses: clang with libFuzzer and the sanitizer runtimes.
    wanted+=(clang-14 libclang-rt-14-dev)
    # The render farm's array job, run on a single-node Slurm cluster with its own munge.
    wanted+=(slurm-wlm munge)
    # Wine, and the emulator its 32-bit half runs under, for the Windows modules' tests.
    bash "$(dirname "$0")/install-wine.sh"
fi

missing=()
for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$pkg")
done
# npm, for the browser test's two packages, comes with node; Debian's only when there is none.
if [ "$purpose" = test ]; then
    command -v npm >/dev/null || missing+=(npm)
fi
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: root is needed to install packages" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# shellcheck source=scripts/apt-lists.sh
. "$(dirname "$0")/apt-lists.sh"
update_package_lists
apt-get install -y -q --no-install-recommends "${missing[@]}"
