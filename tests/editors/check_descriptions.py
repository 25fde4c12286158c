#!/usr/bin/env python3
"""Every parameter of the Kdenlive effect, the Kdenlive composition and the Shotcut filter
against what the frei0r modules say of themselves (`melt -query`): name, kind, range, default
and choices, each read back through the module's own rule, so the descriptions cannot drift
from the modules.

usage: check_descriptions.py --plugins DIR --descriptions DIR
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

import yaml

failures = []


def expect(ok, what):
    if not ok:
        failures.append(what)


def lround(v):
    return int(v + 0.5) if v >= 0 else -int(-v + 0.5)


def query(service):
    out = subprocess.run(["timeout", "60", "melt", "-query", service], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, check=True, text=True).stdout
    return yaml.safe_load(out[out.index("---"):out.rindex("...")])["parameters"]


def rule(param):
    """The module's rule from its explanation: ("choices", names), ("slider", lo, hi),
    ("percent",), ("color",) or ("unit",) for the transition's 0..1."""
    text = param["description"]
    m = re.search(r"over (\d+) choices, choice lround\(x\*\d+\): (.*)$", text)
    if m:
        names = [re.sub(r"^\d+ ", "", item) for item in m.group(2).split(", ")]
        return ("choices", names)
    m = re.search(r"0\.\.1 = (\d+)\.\.(\d+): ", text)
    if m:
        return ("slider", int(m.group(1)), int(m.group(2)))
    if "0..100 %" in text:
        return ("percent",)
    return ("color",) if param["type"] == "color" else ("unit",)


def effect_value(r, x):
    """What the module makes of the frei0r value x."""
    if r[0] == "choices":
        return r[1][lround(x * (len(r[1]) - 1))]
    if r[0] == "slider":
        return r[1] + lround(x * (r[2] - r[1]))
    return round(x * 100, 6)


def check_kdenlive(path, params, what):
    root = ET.parse(path).getroot()
    xml_params = root.findall("parameter")
    expect(len(xml_params) == len(params), "%s: %d parameters, the module has %d" % (
        what, len(xml_params), len(params)))
    for p, x in zip(params, xml_params):
        r, name, here = rule(p), p["title"], "%s %s" % (what, p["title"])
        expect(x.get("name") == name, "%s: named %s" % (here, x.get("name")))
        if r[0] != "unit":
            expect(x.findtext("name") == p["description"].split(":")[0],
                   "%s: shown as %s" % (here, x.findtext("name")))
        kind = x.get("type")
        if r[0] == "color":
            expect(kind == "color" and x.get("default").lower() == "0x%sff" % p["default"][1:],
                   "%s: %s %s, the module's default %s" % (here, kind, x.get("default"),
                                                          p["default"]))
        elif r[0] == "unit":
            expect(kind == "switch" and x.get("default") == "0=0;-1=1",
                   "%s: not animated from 0 to 1" % here)
        elif kind == "list":
            values = [float(v) for v in x.get("paramlist").split(";")]
            display = x.findtext("paramlistdisplay").split(",")
            want = r[1] if r[0] == "choices" else [str(v) for v in range(r[1], r[2] + 1)]
            expect(display == want, "%s: choices %s, the module's %s" % (here, display, want))
            got = [str(effect_value(r, v)) for v in values]
            expect(got == want, "%s: the values select %s" % (here, got))
            expect(x.get("default") in x.get("paramlist").split(";") and
                   effect_value(r, float(x.get("default"))) == effect_value(r, p["default"]),
                   "%s: default %s, the module's %s" % (here, x.get("default"), p["default"]))
        else:
            factor, lo, hi = float(x.get("factor")), float(x.get("min")), float(x.get("max"))
            want = (0, 100) if r[0] == "percent" else (r[1], r[2])
            expect(r[0] != "choices" and lo == 0 and lo == want[0] and hi == want[1] and
                   factor == hi - lo and abs(float(x.get("default")) - p["default"]) < 1e-6,
                   "%s: %s %g..%g factor %g default %s, the module's %s and %s" % (
                       here, kind, lo, hi, factor, x.get("default"), r, p["default"]))
        animated = kind in ("animated", "switch")
        expect(animated == (name in ("completion", "transition")), "%s: animated is %s" % (
            here, animated))


def check_shotcut(folder, params):
    with open(os.path.join(folder, "meta.qml")) as f:
        meta = f.read()
    with open(os.path.join(folder, "ui.qml")) as f:
        ui = f.read()
    expect("mlt_service: 'frei0r.zentrilox'" in meta, "Shotcut: not frei0r.zentrilox")
    expect(re.search(r"simpleProperties: \['completion'\]", meta) and
           "keyframableParameters: ['completion']" in ui, "Shotcut: Completion not keyframable")
    for p in params:
        r, name, here = rule(p), p["title"], "Shotcut " + p["title"]
        expect("text: '%s'" % p["description"].split(":")[0] in ui, "%s: no label" % here)
        m = re.search(r"filter\.set\('%s', ([^)]*)\);" % name, ui)
        default = m and m.group(1)
        if r[0] == "color":
            expect(default == "'%s'" % p["default"], "%s: default %s" % (here, default))
            continue
        expect(default is not None and abs(float(default) - p["default"]) < 1e-6,
               "%s: default %s, the module's %s" % (here, default, p["default"]))
        control = re.search(r"\{([^{}]*)\n\s+on\w+: setParam\('%s', ([^\n]*)\)\n" % name, ui)
        expect(control is not None, "%s: no control" % here)
        if control is None:
            continue
        if r[0] == "choices":
            model = re.search(r"model: \[(.*)\]", control.group(1)).group(1)
            expect([s.strip(" '") for s in model.split(",")] == r[1],
                   "%s: choices %s" % (here, model))
            continue
        lo = float(re.search(r"minimumValue: (\S+)", control.group(1)).group(1))
        hi = float(re.search(r"maximumValue: (\S+)", control.group(1)).group(1))
        # The control's own conversion, evaluated at both ends of its range.
        convert = re.sub(r", getPosition\(\)$", "", control.group(2))
        ends = [eval(convert, {"value": v}) for v in (lo, hi)]
        want = (0, 100) if r[0] == "percent" else (r[1], r[2])
        expect((lo, hi) == want and ends == [0, 1], "%s: %g..%g as %s" % (here, lo, hi, ends))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--plugins", required=True)
    parser.add_argument("--descriptions", required=True)
    a = parser.parse_args()
    if shutil.which("melt") is None:
        print("skipped: melt is not installed (scripts/install-deps.sh installs it)")
        sys.exit(77)
    os.environ["FREI0R_PATH"] = os.path.abspath(a.plugins)
    filter_params = query("filter=frei0r.zentrilox")
    mixer_params = query("transition=frei0r.zentrilox_transition")
    kdenlive = os.path.join(a.descriptions, "kdenlive")
    check_kdenlive(os.path.join(kdenlive, "frei0r_zentrilox.xml"), filter_params,
                   "Kdenlive effect")
    check_kdenlive(os.path.join(kdenlive, "frei0r_zentrilox_transition.xml"), mixer_params,
                   "Kdenlive composition")
    check_shotcut(os.path.join(a.descriptions, "shotcut", "zentrilox"), filter_params)
    if failures:
        sys.exit("\n".join(failures))
    print("%d + %d parameters agree with the modules' metadata" % (len(filter_params),
                                                                    len(mixer_params)))


if __name__ == "__main__":
    main()
