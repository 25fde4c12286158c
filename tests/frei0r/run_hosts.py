#!/usr/bin/env python3
"""Runs the frei0r filter and transition inside the real video tools (ffmpeg, melt, GStreamer)
and compares every byte of every frame they write with the same frame rendered by the
command-line renderer, given the values the modules' documented mapping yields. A case whose
tool is missing prints "skipped" with the reason and exits with SKIPPED.

usage: run_hosts.py --cli ZENTRILOX --plugins DIR --work DIR CASE
"""
import argparse
import math
import os
import shutil
import subprocess
import sys

SKIPPED = 77

# The documented mapping of frei0r values to the effect's, written out here on its own so that
# the filter's rules are checked, not copied. Sliders: (option, slider_min, slider_max).
SLIDERS = {
    "row": ("--rows", 1, 100),
    "strip_height": ("--strip-height", 4, 1000),
    "column": ("--columns", 1, 100),
    "strip_width": ("--strip-width", 4, 1000),
    "seed": ("--seed", 0, 1000),
}
# Popups: the command line's names of the selectable choices, in order.
POPUPS = {
    "mode": ("--mode", ["manhattan", "euclidean"]),
    "split": ("--split", ["row-column", "row-width", "height-column"]),
    "overlap_mode": ("--overlap", ["footage", "color"]),
    "blend_mode": ("--blend", ["normal", "add", "multiply", "screen", "overlay", "color-dodge",
                               "color-burn"]),
}
PERCENTS = {"completion": "--completion", "opacity": "--opacity"}
ORDER = ["mode", "completion", "split", "row", "strip_height", "column", "strip_width", "seed",
         "overlap_mode", "color", "blend_mode", "opacity"]
DEFAULTS = {"mode": 0.0, "completion": 0.0, "split": 0.0, "row": 5 / 99,
            "strip_height": 96 / 996, "column": 7 / 99, "strip_width": 96 / 996, "seed": 0.0, "overlap_mode": 0.0,
            "color": (1.0, 0.0, 0.0), "blend_mode": 0.0, "opacity": 1.0}


def unit(x):
    return 0.0 if math.isnan(x) or x < 0 else min(x, 1.0)


def lround(v):
    return int(math.floor(v + 0.5)) if v >= 0 else -int(math.floor(-v + 0.5))


def cli_args(values, sweep=None):
    """The command line that gives the effect what the filter gives it for these values. With
    sweep (first, last) the mixer's transition runs from first to last over a sequence."""
    args = []
    if sweep is not None:
        args += ["--from", repr(unit(sweep[0]) * 100.0), "--to", repr(unit(sweep[1]) * 100.0)]
    for name in ORDER:
        if name == "completion" and sweep is not None:
            continue
        x = values.get(name, DEFAULTS[name])
        if name == "color":
            r, g, b = (lround(unit(c) * 255) for c in x)
            args += ["--color", "%02X%02X%02X" % (r, g, b)]
        elif name in PERCENTS:
            args += [PERCENTS[name], repr(unit(x) * 100.0)]
        elif name in SLIDERS:
            option, lo, hi = SLIDERS[name]
            args += [option, str(lo + lround(unit(x) * (hi - lo)))]
        else:
            option, names = POPUPS[name]
            args += [option, names[lround(unit(x) * (len(names) - 1))]]
    return args


def run(cmd, timeout=60, **kw):
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                            **kw)
    if result.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (result.returncode, " ".join(cmd),
                                          result.stderr.decode(errors="replace")[-2000:]))
    return result


def melt(args, output, cwd):
    """Runs melt until it writes `output`. Now and then melt's consumer ends before its first
    frame, and melt then waits forever or writes nothing (seen on busy machines with melt's own
    filters too); such a run is cut short and started again, twice at most."""
    cmd = ["timeout", "20", "melt", "-silent"] + args
    for attempt in range(3):
        if os.path.exists(output):
            os.remove(output)
        result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30,
                                cwd=cwd)
        if result.returncode not in (0, 124):
            break
        if result.returncode == 0 and os.path.getsize(output) > 0:
            return
    sys.exit("melt failed (%d): %s\n%s" % (result.returncode, " ".join(cmd),
                                           result.stderr.decode(errors="replace")[-2000:]))


def make_clip(path, width, height, frames, salt=0):
    """Moving colours with fully transparent dots, a half-transparent band and opaque rest; a
    salt gives other colours and moves the band to the right."""
    data = bytearray()
    for f in range(frames):
        for y in range(height):
            row = bytearray(width * 4)
            for x in range(width):
                if (x + 2 * y + f + salt) % 7 == 3:
                    a = 0
                elif (x < width // 6) if salt == 0 else (x >= width - width // 5):
                    a = 96
                else:
                    a = 255
                row[4 * x:4 * x + 4] = bytes(((x * 7 + f * 9 + salt) & 255,
                                              (y * 5 + f + 3 * salt) & 255, (x ^ y) & 255, a))
            data += row
    with open(path, "wb") as out:
        out.write(data)


class Case:
    def __init__(self, work, cli, width, height):
        self.work, self.cli, self.width, self.height = work, cli, width, height
        self.frame_bytes = width * height * 4

    def path(self, name):
        return os.path.join(self.work, name)

    def raw_to_pngs(self, raw, pattern):
        run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba", "-s",
             "%dx%d" % (self.width, self.height), "-i", raw, "-start_number", "0",
             self.path(pattern)])

    def pngs_to_raw(self, pattern, raw):
        run(["ffmpeg", "-v", "error", "-y", "-start_number", "0", "-i", self.path(pattern),
             "-f", "rawvideo", "-pix_fmt", "rgba", raw])

    def reference(self, input_raw, frames, values_of_frame):
        """Every frame of input_raw through the command-line renderer."""
        self.raw_to_pngs(input_raw, "in_%04d.png")
        for k in range(frames):
            run([self.cli, "-q", self.path("in_%04d.png" % k), "-o", self.path("ref_%04d.png" % k)]
                + cli_args(values_of_frame(k)))
        out = self.path("ref.rgba")
        self.pngs_to_raw("ref_%04d.png", out)
        with open(out, "rb") as f:
            return f.read()

    def transition_reference(self, a_raw, b_raw, values, sweep, tag):
        """Frames of a_raw going over to the same frames of b_raw, through the command line's
        --transition-to on the two as input sequences, t running from sweep[0] to sweep[1]."""
        for name, raw in (("a", a_raw), ("b", b_raw)):
            with open(self.path("%s_%s.rgba" % (tag, name)), "wb") as f:
                f.write(raw)
            self.raw_to_pngs(self.path("%s_%s.rgba" % (tag, name)), "%s_%s_%%04d.png" % (tag, name))
        frames = len(a_raw) // self.frame_bytes
        run([self.cli, "-q", self.path(tag + "_a_%04d.png"), "--transition-to",
             self.path(tag + "_b_%04d.png"), "--frames", str(frames), "-o",
             self.path(tag + "_ref_%04d.png")] + cli_args(values, sweep))
        out = self.path(tag + "_ref.rgba")
        self.pngs_to_raw(tag + "_ref_%04d.png", out)
        with open(out, "rb") as f:
            return f.read()

    def expect_frames(self, got, want, what, args):
        if len(got) != len(want):
            sys.exit("%s wrote %d bytes, not the %d of %d frames" % (
                what, len(got), len(want), len(want) // self.frame_bytes))
        for k in range(len(want) // self.frame_bytes):
            a = got[k * self.frame_bytes:(k + 1) * self.frame_bytes]
            b = want[k * self.frame_bytes:(k + 1) * self.frame_bytes]
            if a != b:
                i = next(i for i in range(len(a)) if a[i] != b[i])
                p = i // 4
                sys.exit("%s frame %d differs first at pixel (%d, %d) channel %d: %d, expected %d; "
                         "arguments %s" % (what, k, p % self.width, p // self.width, i % 4, a[i],
                                           b[i], " ".join(args)))

    def compare(self, host_raw, input_raw, expected_frames, values_of_frame, what):
        with open(host_raw, "rb") as f:
            got = f.read()
        if len(got) % self.frame_bytes != 0:
            sys.exit("%s wrote %d bytes, not whole %dx%d frames" % (what, len(got), self.width,
                                                                     self.height))
        frames = len(got) // self.frame_bytes
        if frames != expected_frames:
            sys.exit("%s wrote %d frames, not %d" % (what, frames, expected_frames))
        want = self.reference(input_raw, frames, values_of_frame)
        for k in range(frames):
            a = got[k * self.frame_bytes:(k + 1) * self.frame_bytes]
            b = want[k * self.frame_bytes:(k + 1) * self.frame_bytes]
            if a != b:
                i = next(i for i in range(len(a)) if a[i] != b[i])
                p = i // 4
                sys.exit("%s frame %d differs first at pixel (%d, %d) channel %d: %d, the command "
                         "line %d; arguments %s" % (what, k, p % self.width, p // self.width,
                                                    i % 4, a[i], b[i],
                                                    " ".join(cli_args(values_of_frame(k)))))
        with open(input_raw, "rb") as f:
            source = f.read()
        changed = sum(got[k * self.frame_bytes:(k + 1) * self.frame_bytes] !=
                      source[k * self.frame_bytes:(k + 1) * self.frame_bytes]
                      for k in range(frames))
        print("%s: %d frames of %dx%d identical to the command line's (%d changed by the "
              "effect)" % (what, frames, self.width, self.height, changed))
        return frames


def ffmpeg_params(values):
    parts = []
    for name in ORDER:
        x = values.get(name, DEFAULTS[name])
        parts.append("/".join(repr(c) for c in x) if name == "color" else repr(x))
    return "|".join(parts)


def case_ffmpeg_testsrc2(c):
    values = {"mode": 1.0, "completion": 0.6, "row": 0.05, "column": 0.07, "seed": 0.007}
    src = "testsrc2=s=%dx%d:r=25:d=1,format=rgba" % (c.width, c.height)
    run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", src, "-f", "rawvideo", "-pix_fmt",
         "rgba", c.path("in.rgba")])
    run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", src, "-vf",
         "frei0r=zentrilox:" + ffmpeg_params(values), "-f", "rawvideo", "-pix_fmt", "rgba",
         c.path("out.rgba")])
    return c.compare(c.path("out.rgba"), c.path("in.rgba"), 25, lambda k: values, "ffmpeg testsrc2")


def ffmpeg_on_clip(c, vf):
    run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba", "-s",
         "%dx%d" % (c.width, c.height), "-r", "25", "-i", c.path("in.rgba"), "-vf", vf, "-f",
         "rawvideo", "-pix_fmt", "rgba", c.path("out.rgba")])


def case_ffmpeg_clip(c):
    values = {"completion": 0.45, "split": 0.5, "row": 0.04, "strip_width": 0.02, "seed": 0.5,
              "overlap_mode": 1.0, "color": (0.2, 0.6, 0.8), "blend_mode": 2 / 6,
              "opacity": 0.75}
    make_clip(c.path("in.rgba"), c.width, c.height, 25)
    ffmpeg_on_clip(c, "frei0r=zentrilox:" + ffmpeg_params(values))
    return c.compare(c.path("out.rgba"), c.path("in.rgba"), 25, lambda k: values,
                     "ffmpeg clip")


def case_ffmpeg_ramp(c):
    base = {"split": 1.0, "strip_height": 0.01, "column": 0.05, "blend_mode": 0.5, "opacity": 0.8,
            "seed": 0.042}

    def values(k):
        return dict(base, completion=k * 0.04)

    make_clip(c.path("in.rgba"), c.width, c.height, 25)
    # Frame k is at k/25 s; each command lands half-way before its frame.
    with open(c.path("cmds.txt"), "w") as f:
        for k in range(25):
            f.write("%.2f frei0r filter_params %s;\n" % (max(0.0, k * 0.04 - 0.02),
                                                  ffmpeg_params(values(k))))
    ffmpeg_on_clip(c, "sendcmd=f=%s,frei0r=zentrilox:%s" % (c.path("cmds.txt"),
                                                             ffmpeg_params(values(0))))
    return c.compare(c.path("out.rgba"), c.path("in.rgba"), 25, values, "ffmpeg Completion ramp")


def write_profile(c):
    g = math.gcd(c.width, c.height)
    with open(c.path("profile"), "w") as f:
        f.write("description=%dx%d\nframe_rate_num=25\nframe_rate_den=1\nwidth=%d\nheight=%d\n"
                "progressive=1\nsample_aspect_num=1\nsample_aspect_den=1\ndisplay_aspect_num=%d\n"
                "display_aspect_den=%d\ncolorspace=709\n" % (c.width, c.height, c.width, c.height,
                                                             c.width // g, c.height // g))


def melt_input(c):
    make_clip(c.path("in.rgba"), c.width, c.height, 25)
    run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba", "-s",
         "%dx%d" % (c.width, c.height), "-r", "25", "-i", c.path("in.rgba"), "-c:v", "rawvideo",
         c.path("in.nut")])
    write_profile(c)
    # The clip's length said outright: melt's estimate from the stream falls a frame short.
    return [c.path("in.nut"), "length=25", "out=24"]


def melt_values(values):
    args = []
    for name, x in values.items():
        if name == "color":
            args.append("color=#%02x%02x%02x" % tuple(lround(v * 255) for v in x))
        else:
            args.append("%s=%r" % (name, x))
    return args


def melt_filter_args(values):
    return ["-filter", "frei0r.zentrilox", "completion=0=0;24=1"] + melt_values(values)


def melt_render(c, source, out):
    melt(["-profile", c.path("profile"), source, "-consumer", "avformat:" + out, "f=rawvideo",
          "pix_fmt=rgba", "an=1", "real_time=-1"], out, c.work)


def keyframed(values):
    # melt interpolates linearly from 0 at frame 0 to 1 at frame 24.
    return lambda k: dict(values, completion=k / 24)


def case_melt_keyframes(c):
    values = {"split": 0.5, "strip_width": 0.015, "row": 0.03, "overlap_mode": 1.0, "color": (1.0, 0.5,
                                                                                        0.0),
              "blend_mode": 1.0, "seed": 0.123, "opacity": 0.9}
    clip = melt_input(c)
    melt(["-profile", c.path("profile")] + clip + melt_filter_args(values) +
         ["-consumer", "avformat:" + c.path("out.rgba"), "f=rawvideo", "pix_fmt=rgba", "an=1",
          "real_time=-1"], c.path("out.rgba"), c.work)
    return c.compare(c.path("out.rgba"), c.path("in.rgba"), 25, keyframed(values),
                     "melt keyframes")


def case_melt_project(c):
    values = {"mode": 1.0, "split": 1.0, "strip_height": 0.004, "column": 0.1, "blend_mode": 1 / 6,
              "opacity": 0.6, "seed": 0.9}
    clip = melt_input(c)
    project = c.path("project.mlt")
    melt(["-profile", c.path("profile")] + clip + melt_filter_args(values) +
         ["-consumer", "xml:" + project], project, c.work)
    with open(project) as f:
        if "frei0r.zentrilox" not in f.read():
            sys.exit("the project file does not hold the filter")
    melt_render(c, project, c.path("out.rgba"))
    return c.compare(c.path("out.rgba"), c.path("in.rgba"), 25, keyframed(values),
                     "melt project file")


def case_refused_size(c):
    """A frame wider than the filter takes: construct refuses it. ffmpeg says so and stops;
    melt (7.12) goes on without a word, so only its survival is checked."""
    ffmpeg = subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                             "color=s=%dx%d:d=0.2,format=rgba" % (c.width, c.height), "-vf",
                             "frei0r=zentrilox", "-f", "rawvideo", c.path("out.rgba")],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    if ffmpeg.returncode != 1 or b"Impossible to load frei0r instance" not in ffmpeg.stderr:
        sys.exit("ffmpeg (%d) did not report the refusal:\n%s" % (ffmpeg.returncode,
                                                                 ffmpeg.stderr.decode()[-2000:]))
    write_profile(c)
    melt(["-profile", c.path("profile"), "color:red", "out=2", "-filter", "frei0r.zentrilox",
          "-consumer", "avformat:" + c.path("melt.rgba"), "f=rawvideo", "pix_fmt=rgba", "an=1",
          "real_time=-1"], c.path("melt.rgba"), c.work)
    print("refused %dx%d: ffmpeg reported it, melt went on" % (c.width, c.height))


# The transition: clip A's last MIX frames mixed with clip B's first, the transition keyframed
# from 0 to 1 over the overlap. Together the configurations cover every Split, both overlap
# modes and blend modes other than Normal.
CLIP = 25
MIX = 10
MIXER_CONFIGS = [
    {"split": 0.0, "row": 0.04, "column": 0.05, "seed": 0.2},
    {"split": 0.5, "row": 0.03, "strip_width": 0.02, "overlap_mode": 1.0,
     "color": (0.1, 0.8, 0.3), "blend_mode": 2 / 6, "opacity": 0.8, "seed": 0.7},
    {"mode": 1.0, "split": 1.0, "strip_height": 0.015, "column": 0.06, "blend_mode": 0.5,
     "seed": 0.35},
]


def melt_clips(c):
    for name, salt in (("a", 0), ("b", 5)):
        if os.path.exists(c.path(name + ".nut")):
            continue
        make_clip(c.path(name + ".rgba"), c.width, c.height, CLIP, salt)
        run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba", "-s",
             "%dx%d" % (c.width, c.height), "-r", "25", "-i", c.path(name + ".rgba"), "-c:v",
             "rawvideo", c.path(name + ".nut")])
    write_profile(c)
    clip = ["length=%d" % CLIP, "out=%d" % (CLIP - 1)]
    return [c.path("a.nut")] + clip + [c.path("b.nut")] + clip


def melt_mix_args(c, values):
    return melt_clips(c) + ["-mix", str(MIX), "-mixer", "frei0r.zentrilox_transition",
                            "transition=0=0;%d=1" % (MIX - 1)] + melt_values(values)


def check_mix(c, out, values, tag, what, a=None):
    """A (a.rgba unless given) alone, the overlap as the command line renders the transition,
    then B alone."""
    fb = c.frame_bytes
    if a is None:
        with open(c.path("a.rgba"), "rb") as f:
            a = f.read()
    with open(c.path("b.rgba"), "rb") as f:
        b = f.read()
    with open(out, "rb") as f:
        got = f.read()
    cut = CLIP - MIX
    mixed = c.transition_reference(a[cut * fb:], b[:MIX * fb], values, (0.0, 1.0), tag)
    c.expect_frames(got, a[:cut * fb] + mixed + b[MIX * fb:], what,
                    cli_args(values, (0.0, 1.0)))
    print("%s: %d frames of %dx%d identical, the %d mixed ones to the command line's "
          "--transition-to" % (what, len(got) // fb, c.width, c.height, MIX))


def case_melt_mixer(c):
    for i, values in enumerate(MIXER_CONFIGS):
        out = c.path("mix%d.rgba" % i)
        melt(["-profile", c.path("profile")] + melt_mix_args(c, values) +
             ["-consumer", "avformat:" + out, "f=rawvideo", "pix_fmt=rgba", "an=1",
              "real_time=-1"], out, c.work)
        check_mix(c, out, values, "m%d" % i, "melt mixer %d" % i)


def case_melt_mixer_project(c):
    values = {"split": 1.0, "strip_height": 0.01, "column": 0.04, "overlap_mode": 1.0,
              "color": (0.9, 0.2, 0.6), "blend_mode": 5 / 6, "opacity": 0.7, "seed": 0.05}
    project = c.path("project.mlt")
    melt(["-profile", c.path("profile")] + melt_mix_args(c, values) +
         ["-consumer", "xml:" + project], project, c.work)
    with open(project) as f:
        if "frei0r.zentrilox_transition" not in f.read():
            sys.exit("the project file does not hold the transition")
    melt_render(c, project, c.path("out.rgba"))
    check_mix(c, c.path("out.rgba"), values, "p", "melt mixer project file")


# Clip a with the effect on one track, b on the other from where the composition mixes them.
KDENLIVE_PROJECT = """<mlt LC_NUMERIC="C"><profile width="{w}" height="{h}" frame_rate_num="25"
 frame_rate_den="1" progressive="1" sample_aspect_num="1" sample_aspect_den="1" colorspace="709"/>
 <producer id="a" in="0" out="{last}"><property name="resource">a.nut</property>{clip}</producer>
 <producer id="b" in="0" out="{last}"><property name="resource">b.nut</property>{clip}</producer>
 <playlist id="v1"><entry producer="a" in="0" out="{last}"><filter>{effect}</filter></entry>
 </playlist><playlist id="v2"><blank length="{cut}"/><entry producer="b" in="0" out="{last}"/>
 </playlist><tractor in="0" out="{end}"><track producer="v1"/><track producer="v2"/>
 <transition in="{cut}" out="{last}">{composition}</transition></tractor></mlt>"""


def case_kdenlive_project(c):
    """A project as Kdenlive writes it, rendered with melt as Kdenlive renders it."""
    effect = {"mode": 1.0, "split": 0.5, "row": 0.04, "strip_width": 0.02, "seed": 0.123,
              "overlap_mode": 1.0, "color": (0.2, 0.6, 0.8), "blend_mode": 2 / 6, "opacity": 0.9}
    composition = {"split": 1.0, "strip_height": 0.005, "column": 0.04, "seed": 0.77,
                   "color": (1.0, 0.0, 0.0), "blend_mode": 5 / 6, "opacity": 0.7}

    def properties(values, **more):
        if "color" in values:  # as Kdenlive writes it
            more["color"] = "0x%02x%02x%02xff" % tuple(lround(v * 255) for v in values["color"])
        values = dict(values, **more)
        return "".join('<property name="%s">%s</property>' % p for p in values.items())

    fx, mix = "frei0r.zentrilox", "frei0r.zentrilox_transition"
    with open(c.path("project.kdenlive"), "w") as f:
        f.write(KDENLIVE_PROJECT.format(
            w=c.width, h=c.height, last=CLIP - 1, cut=CLIP - MIX, end=2 * CLIP - MIX - 1,
            clip=properties({}, length=CLIP, mlt_service="avformat-novalidate"),
            effect=properties(effect, mlt_service=fx, kdenlive_id=fx, completion="0=0;24=1"),
            composition=properties(composition, mlt_service=mix, kdenlive_id=mix, a_track=0,
                                   b_track=1, transition="0=0;-1=1")))
    melt_clips(c)
    melt_render(c, c.path("project.kdenlive"), c.path("out.rgba"))
    filtered = c.reference(c.path("a.rgba"), CLIP, keyframed(effect))
    check_mix(c, c.path("out.rgba"), composition, "k", "the Kdenlive project", filtered)


# GStreamer's frei0r elements: frei0r-filter-zentrilox and frei0r-mixer-zentrilox-transition.
def gst_props(values):
    props = []
    for name, x in values.items():
        if name == "color":
            props += ["color-%s=%r" % (ch, v) for ch, v in zip("rgb", x)]
        else:
            props.append("%s=%r" % (name.replace("_", "-"), x))
    return props


def gst_source(c, raw):
    return ["filesrc", "location=" + raw, "!", "rawvideoparse", "width=%d" % c.width,
            "height=%d" % c.height, "format=rgba", "framerate=25/1"]


def gst_launch(args):
    run(["timeout", "60", "gst-launch-1.0", "-q"] + args)


def case_gst_filter(c):
    values = {"completion": 0.45, "split": 0.5, "row": 0.04, "strip_width": 0.02, "seed": 0.5,
              "overlap_mode": 1.0, "color": (0.2, 0.6, 0.8), "blend_mode": 4 / 6,
              "opacity": 0.75}
    make_clip(c.path("in.rgba"), c.width, c.height, 12)
    gst_launch(gst_source(c, c.path("in.rgba")) + ["!", "frei0r-filter-zentrilox"] +
               gst_props(values) + ["!", "filesink", "location=" + c.path("out.rgba")])
    return c.compare(c.path("out.rgba"), c.path("in.rgba"), 12, lambda k: values,
                     "GStreamer filter")


def case_gst_mixer(c):
    frames = 8
    make_clip(c.path("a.rgba"), c.width, c.height, frames)
    make_clip(c.path("b.rgba"), c.width, c.height, frames, 5)
    with open(c.path("a.rgba"), "rb") as f:
        a = f.read()
    with open(c.path("b.rgba"), "rb") as f:
        b = f.read()
    for i, (t, values) in enumerate(zip((0.3, 0.5, 0.85), MIXER_CONFIGS)):
        values = dict(values, transition=t)
        out = c.path("mix%d.rgba" % i)
        gst_launch(["frei0r-mixer-zentrilox-transition", "name=mix"] + gst_props(values) +
                   ["!", "filesink", "location=" + out] + gst_source(c, c.path("a.rgba")) +
                   ["!", "mix.sink_0"] + gst_source(c, c.path("b.rgba")) + ["!", "mix.sink_1"])
        del values["transition"]
        with open(out, "rb") as f:
            got = f.read()
        c.expect_frames(got, c.transition_reference(a, b, values, (t, t), "g%d" % i),
                        "GStreamer mixer at %r" % t, cli_args(values, (t, t)))
        print("GStreamer mixer at transition %r: %d frames of %dx%d identical to the command "
              "line's --transition-to" % (t, frames, c.width, c.height))


CASES = {
    # ffmpeg pads rows of other widths, which no frei0r filter expects.
    "ffmpeg-testsrc2": (case_ffmpeg_testsrc2, 320, 240),
    "ffmpeg-clip": (case_ffmpeg_clip, 336, 200),
    "ffmpeg-ramp": (case_ffmpeg_ramp, 192, 108),
    "melt-keyframes": (case_melt_keyframes, 330, 250),
    "melt-project": (case_melt_project, 97, 61),
    "refused-size": (case_refused_size, 32770, 2),
    "melt-mixer": (case_melt_mixer, 330, 250),
    "melt-mixer-project": (case_melt_mixer_project, 97, 61),
    "kdenlive-project": (case_kdenlive_project, 97, 61),
    "gst-filter": (case_gst_filter, 330, 250),
    "gst-mixer": (case_gst_mixer, 330, 250),
}


def missing_tool(case):
    """Why the case cannot run here, or None."""
    tools = ["ffmpeg"] + (["melt"] if case.startswith(("melt", "kdenlive", "refused")) else []) + (
        ["gst-launch-1.0", "gst-inspect-1.0"] if case.startswith("gst") else [])
    for tool in tools:
        if shutil.which(tool) is None:
            return "%s is not installed (scripts/install-deps.sh installs it)" % tool
    if case.startswith("gst"):
        probe = subprocess.run(["timeout", "30", "gst-inspect-1.0", "frei0r"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if probe.returncode != 0:
            return ("GStreamer's frei0r elements are missing (gstreamer1.0-plugins-bad; "
                    "scripts/install-deps.sh installs it)")
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--plugins", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("case", choices=sorted(CASES))
    a = parser.parse_args()
    why = missing_tool(a.case)
    if why is not None:
        print("skipped: " + why)
        sys.exit(SKIPPED)
    fn, width, height = CASES[a.case]
    work = os.path.join(a.work, a.case)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    os.environ["FREI0R_PATH"] = os.path.abspath(a.plugins)
    fn(Case(work, os.path.abspath(a.cli), width, height))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
