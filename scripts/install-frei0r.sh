#!/usr/bin/env bash
# Installs the frei0r filter (zentrilox.so) and transition (zentrilox_transition.so) where
# ffmpeg, melt, GStreamer and the MLT editors look for them, with the editors' descriptions
# beside them: Kdenlive's effect and composition, and Shotcut's filter folder.
#   bash scripts/install-frei0r.sh            # for this user: ~/.frei0r-1/lib and Kdenlive's
#                                             # folders in ~/.local/share/kdenlive
#   bash scripts/install-frei0r.sh --system   # for everyone (root): /usr/local/lib/frei0r-1,
#                                             # /usr/local/share/kdenlive and Shotcut's own
#                                             # share folder beside its binary
#   bash scripts/install-frei0r.sh DIR        # the modules alone into DIR; then run the tool
#                                             # with FREI0R_PATH=DIR
# Shotcut reads filter folders only from the share folder beside its binary, so it gets its
# folder only with --system. Build first (bash scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZX_BUILD_DIR:-build/native}  # the build to install from
kdenlive_data=
shotcut_filters=
case ${1:-} in
    --system)
        dest=/usr/local/lib/frei0r-1
        kdenlive_data=/usr/local/share/kdenlive
        if shotcut=$(command -v shotcut); then
            shotcut_filters=$(dirname "$(readlink -f "$shotcut")")/../share/shotcut/qml/filters
        fi
        ;;
    "")
        dest=$HOME/.frei0r-1/lib
        kdenlive_data=${XDG_DATA_HOME:-$HOME/.local/share}/kdenlive
        ;;
    -*)
        echo "usage: $0 [--system | DIR]" >&2
        exit 2
        ;;
    *) dest=$1 ;;
esac

needed=(frei0r/zentrilox.so frei0r/zentrilox_transition.so)
[ -n "$kdenlive_data" ] && needed+=(editors/kdenlive/frei0r_zentrilox.xml
    editors/kdenlive/frei0r_zentrilox_transition.xml editors/shotcut/zentrilox/meta.qml
    editors/shotcut/zentrilox/ui.qml)
for file in "${needed[@]}"; do
    if [ ! -f "$build/$file" ]; then
        echo "install-frei0r: $build/$file is missing; run bash scripts/build.sh first" >&2
        exit 1
    fi
done

# install FILE... DIR, saying where each went.
place() {
    local dir=${*: -1}
    mkdir -p "$dir"
    for file in "${@:1:$#-1}"; do
        install -m "$([[ $file == *.so ]] && echo 0755 || echo 0644)" "$file" "$dir/"
        echo "installed $dir/$(basename "$file")"
    done
}

place "$build/frei0r/zentrilox.so" "$build/frei0r/zentrilox_transition.so" "$dest"
if [ -n "$kdenlive_data" ]; then
    place "$build/editors/kdenlive/frei0r_zentrilox.xml" "$kdenlive_data/effects"
    place "$build/editors/kdenlive/frei0r_zentrilox_transition.xml" "$kdenlive_data/transitions"
fi
if [ -n "$shotcut_filters" ]; then
    place "$build"/editors/shotcut/zentrilox/{meta,ui}.qml "$(realpath -m "$shotcut_filters")/zentrilox"
elif [ "${1:-}" = --system ]; then
    echo "install-frei0r: shotcut is not installed; its filter folder was left out"
fi
