#!/usr/bin/env python3
"""Every parameter of the Kdenlive effect, the Kdenlive composition and the Shotcut filter
against what the frei0r modules say of themselves (`melt -query`): name, kind, range, default
and choices, each read back through the module's own rule.

usage: check_descriptions.py PLUGINS DESCRIPTIONS
"""
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
    out = subprocess.run(["melt", "-query", service], stdout=subprocess.PIPE, timeout=60,
                         stderr=subprocess.DEVNULL, check=True, text=True).stdout
    return yaml.safe_load(out[out.index("---"):out.rindex("...")])["parameters"]


def rule(param):
    """From the module's explanation: ("choices", names), ("slider", lo, hi), ("percent",),
    ("color",), or ("unit",) for the transition's 0..1."""
    text = param["description"]
    m = re.search(r"over (\d+) choices, choice lround\(x\*\d+\): (.*)$", text)
    if m:
        return ("choices", [re.sub(r"^\d+ ", "", item) for item in m.group(2).split(", ")])
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
    xml_params = ET.parse(path).getroot().findall("parameter")
    expect(len(xml_params) == len(params), "%s: %d parameters" % (what, len(xml_params)))
    for p, x in zip(params, xml_params):
        r, name, kind, default = rule(p), p["title"], x.get("type"), x.get("default")
        here = "%s %s: %s %s, the module's %s" % (what, name, kind, default, p["default"])
        expect(x.get("name") == name, "%s: named %s" % (here, x.get("name")))
        expect(r[0] == "unit" or x.findtext("name") == p["description"].split(":")[0],
               "%s: shown as %s" % (here, x.findtext("name")))
        if r[0] == "color":
            expect(kind == "color" and default.lower() == "0x%sff" % p["default"][1:], here)
        elif r[0] == "unit":
            expect(kind == "switch" and default == "0=0;-1=1", here + ": not 0 to 1")
        elif kind == "list":
            values = x.get("paramlist").split(";")
            display = x.findtext("paramlistdisplay").split(",")
            want = r[1] if r[0] == "choices" else [str(v) for v in range(r[1], r[2] + 1)]
            expect(display == want, "%s: choices %s, the module's %s" % (here, display, want))
            got = [str(effect_value(r, float(v))) for v in values]
            expect(got == want, "%s: the values select %s" % (here, got))
            expect(default in values and
                   effect_value(r, float(default)) == effect_value(r, p["default"]), here)
        else:
            factor, lo, hi = float(x.get("factor")), float(x.get("min")), float(x.get("max"))
            want = (0, 100) if r[0] == "percent" else (r[1], r[2])
            expect(r[0] != "choices" and lo == 0 == want[0] and hi == want[1] and
                   factor == hi - lo and abs(float(default) - p["default"]) < 1e-6,
                   "%s: %g..%g factor %g, the module's %s" % (here, lo, hi, factor, r))
        animated = kind in ("animated", "switch")
        expect(animated == (name in ("completion", "transition")), "%s: animated" % here)


def check_shotcut(folder, params):
    meta, ui = (open(os.path.join(folder, name)).read() for name in ("meta.qml", "ui.qml"))
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
    plugins, descriptions = sys.argv[1:]
    if shutil.which("melt") is None:
        print("skipped: melt is not installed (scripts/install-deps.sh installs it)")
        sys.exit(77)
    os.environ["FREI0R_PATH"] = os.path.abspath(plugins)
    effect = query("filter=frei0r.zentrilox")
    composition = query("transition=frei0r.zentrilox_transition")
    kdenlive = os.path.join(descriptions, "kdenlive", "frei0r_zentrilox")
    check_kdenlive(kdenlive + ".xml", effect, "Kdenlive effect")
    check_kdenlive(kdenlive + "_transition.xml", composition, "Kdenlive composition")
    check_shotcut(os.path.join(descriptions, "shotcut", "zentrilox"), effect)
    if failures:
        sys.exit("\n".join(failures))
    print("%d + %d parameters agree with the modules' metadata" % (len(effect), len(composition)))


if __name__ == "__main__":
    main()
