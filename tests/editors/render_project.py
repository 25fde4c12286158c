#!/usr/bin/env python3
"""Renders the Kdenlive project zentrilox.kdenlive with melt, as Kdenlive renders a project, and
compares every frame with the command-line renderer: clip a through the effect with Completion
keyframed from 0 to 100 %, then the composition from the filtered a to b over their overlap, then
b alone. The values are read from the project file itself.

usage: render_project.py --cli ZENTRILOX --plugins DIR --work DIR
"""
import argparse
import os
import shutil
import sys
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "frei0r"))
import run_hosts  # noqa: E402

PROJECT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "zentrilox.kdenlive")
SKIP = {"mlt_service", "kdenlive_id", "a_track", "b_track", "completion", "transition"}


def values_of(element):
    values = {}
    for prop in element.findall("property"):
        name, text = prop.get("name"), prop.text
        if name in SKIP:
            continue
        if name == "color":  # 0xRRGGBBAA
            values[name] = tuple(int(text[i:i + 2], 16) / 255 for i in (2, 4, 6))
        else:
            values[name] = float(text)
    return values


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--plugins", required=True)
    parser.add_argument("--work", required=True)
    a = parser.parse_args()
    if shutil.which("melt") is None or shutil.which("ffmpeg") is None:
        print("skipped: melt or ffmpeg is not installed (scripts/install-deps.sh installs them)")
        sys.exit(run_hosts.SKIPPED)
    work = os.path.join(os.path.abspath(a.work), "kdenlive-project")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    os.environ["FREI0R_PATH"] = os.path.abspath(a.plugins)

    root = ET.parse(PROJECT).getroot()
    profile = root.find("profile")
    c = run_hosts.Case(work, os.path.abspath(a.cli), int(profile.get("width")),
                       int(profile.get("height")))
    run_hosts.melt_clips(c)
    shutil.copy(PROJECT, c.path("project.kdenlive"))
    out = c.path("out.rgba")
    run_hosts.melt([c.path("project.kdenlive"), "-consumer", "avformat:" + out, "f=rawvideo",
                    "pix_fmt=rgba", "an=1", "real_time=-1"], out, work)

    effect = values_of(root.find(".//filter[@id='filter0']"))
    mix = root.find(".//transition[@id='transition0']")
    composition = values_of(mix)
    first, last = int(mix.get("in")), int(mix.get("out"))
    fb, clip = c.frame_bytes, run_hosts.CLIP
    with open(c.path("b.rgba"), "rb") as f:
        b = f.read()
    filtered = c.reference(c.path("a.rgba"), clip,
                           lambda k: dict(effect, completion=k / (clip - 1)))
    mixed = c.transition_reference(filtered[first * fb:], b[:(last - first + 1) * fb],
                                   composition, (0.0, 1.0), "mix")
    want = filtered[:first * fb] + mixed + b[(last - first + 1) * fb:]
    with open(out, "rb") as f:
        got = f.read()
    c.expect_frames(got, want, "the Kdenlive project", run_hosts.cli_args(composition,
                                                                           (0.0, 1.0)))
    print("the Kdenlive project: %d frames of %dx%d identical to the command line's (the effect "
          "on frames 0-%d, the composition on %d-%d)" % (len(got) // fb, c.width, c.height,
                                                         clip - 1, first, last))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
