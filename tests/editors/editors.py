#!/usr/bin/python3
"""usage: editors.py descriptions|kdenlive|shotcut SOURCE BUILD WORK
descriptions: every parameter of Kdenlive's effect and composition and of Shotcut's filter agrees
with the frei0r modules' own metadata (`melt -query`). kdenlive, shotcut: the application, under
Xvfb with the descriptions installed by scripts/install-frei0r.sh, lists them."""
import contextlib, importlib.util, os, re, shutil, signal, subprocess, sys, time  # noqa: E401
import xml.etree.ElementTree as ET

SKIPPED, RETRY, NAME = 77, 3, "VarnokZentrilox"


def module_rule(p):
    """What the module shows for a value x, and all it can show, from its own explanation."""
    lround = lambda v: int(v + 0.5) if v >= 0 else -int(-v + 0.5)  # noqa: E731
    if m := re.search(r"choice lround\(x\*(\d+)\): (.*)$", p["description"]):
        names = [item.split(" ", 1)[1] for item in m[2].split(", ")]
        return lambda x: names[lround(x * int(m[1]))], names
    if m := re.search(r"0\.\.1 = (\d+)\.\.(\d+): ", p["description"]):
        lo, hi = int(m[1]), int(m[2])
        return lambda x: str(lo + lround(x * (hi - lo))), [str(v) for v in range(lo, hi + 1)]
    if "0..1 = 0..100 %" in p["description"]:
        return lambda x: "%g" % round(x * 100, 6), ["0", "100"]
    return None, None  # a colour, or the transition's 0..1


def kdenlive(path, _):
    """Per parameter: service, name, label, what it shows (a list's items or a slider's ends),
    the values they set, is it a list, its defaults, is it animated."""
    root = ET.parse(path).getroot()
    for x in root.iter("parameter"):
        kind, default, shown, values = x.get("type"), x.get("default"), None, None
        if kind == "list":
            shown, values = x.findtext("paramlistdisplay").split(","), x.get("paramlist").split(";")
        elif kind in ("animated", "constant"):
            shown = [x.get("min"), x.get("max")]
            values = [float(v) / float(x.get("factor")) for v in shown]
        elif kind == "color" and re.fullmatch("0x[0-9a-f]{6}ff", default):
            default = "#" + default[2:8]
        yield (root.get("tag"), x.get("name"), x.findtext("name"), shown, values, kind == "list",
               [default], kind in ("animated", "switch"))


def shotcut(folder, params):
    """The same of Shotcut's filter, read from the code of its controls."""
    meta, ui = (open(os.path.join(folder, f)).read() for f in ("meta.qml", "ui.qml"))
    keyframed = re.findall(r"(?:simpleProperties|keyframableParameters): (.*)", meta + ui)
    for name in (p["title"] for p in params):
        defaults = {eval(v) for v in re.findall(r"filter\.set\('%s', ([^)]*)\)" % name, ui)}
        m = re.search(r"text: '([^']*)'[^{}]*\}\s*Shotcut\.\w+ \{([^{}]*)\n\s*on\w+: setParam\("
                      r"'%s', (.*?)(?:, getPosition\(\))?\)\n" % name, ui)
        label, body, setting = m.groups() if m else (None, "", "")
        shown, values = None, None
        if choices := re.search(r"model: \[(.*)\]", body):
            shown = [item.strip(" '") for item in choices[1].split(",")]
            values = [eval(setting, {"currentIndex": i}) for i in range(len(shown))]
        elif ends := re.search(r"minimumValue: (\S+)\s+maximumValue: (\S+)", body):
            shown = list(ends.groups())
            values = [eval(setting, {"value": float(v)}) for v in shown]
        yield (re.search(r"mlt_service: '(.*)'", meta)[1], name, label, shown, values,
               bool(choices), sorted(defaults), keyframed == ["['%s']" % name] * 2)


def check_descriptions(build):
    import yaml
    os.environ["FREI0R_PATH"] = os.path.join(build, "frei0r")
    failures = []
    for service, what in (("filter=frei0r.zentrilox", "kdenlive/frei0r_zentrilox.xml"),
                          ("filter=frei0r.zentrilox", "shotcut/zentrilox"),
                          ("transition=frei0r.zentrilox_transition",
                           "kdenlive/frei0r_zentrilox_transition.xml")):
        out = subprocess.run(["melt", "-query", service], stdout=subprocess.PIPE, check=True,
                             stderr=subprocess.DEVNULL, text=True, timeout=60).stdout
        params = yaml.safe_load(out[out.index("---"):out.rindex("...")])["parameters"]
        read = kdenlive if what.startswith("kdenlive") else shotcut
        controls = list(read(os.path.join(build, "editors", what), params))
        if [c[:2] for c in controls] != [(service.split("=")[1], p["title"]) for p in params]:
            failures.append("%s: %s, not %s's" % (what, [c[:2] for c in controls], service))
            continue
        for p, (_, name, label, shown, values, is_list, defaults, keyed) in zip(params, controls):
            f, domain = module_rule(p)
            if f:  # it shows what the module makes of the values it sets; defaults among them
                ends = domain if is_list else domain[::len(domain) - 1]
                got = (label, shown, [f(float(v)) for v in values or ()],
                       [f(float(d)) for d in defaults], not is_list or set(defaults) <= set(values))
                want = (p["description"].split(":")[0], ends, ends, [f(p["default"])], True)
            elif p["type"] == "color":
                got, want = (label, shown, defaults), (p["description"].split(":")[0], None,
                                                       [p["default"]])
            else:  # the transition's 0..1, which Kdenlive's switch runs forward or back
                got, want = (label, shown, defaults), ("Reverse", None, ["0=0;-1=1"])
            got, want = got + (keyed,), want + (name in ("completion", "transition"),)
            if got != want:  # the last: is it animated
                failures.append("%s %s: %s, the module's %s" % (what, name, got, want))
    if failures:
        sys.exit("\n".join(failures))
    print("every parameter agrees with the modules' metadata")


def kdenlive_lists():
    """Kdenlive lists the effect under Add Effect and the composition in its stack (AT-SPI)."""
    import pyatspi  # joins the accessibility bus as it is imported

    def paths(node, path=()):  # the ancestors of each node so named
        try:  # nodes vanish while the application changes
            here, children = path + ((node.getRoleName(), node.name),), list(filter(None, node))
        except Exception:
            return []
        return [path] * (node.name == NAME) + [q for c in children for q in paths(c, here)]

    from gi.repository import GLib
    while GLib.MainContext.default().iteration(False):  # libatspi hears of nodes only so
        pass
    app = [a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == "kdenlive"]
    found = paths(app[0]) if app else []
    return all(any(place in p for p in found) for place in (
        ("menu item", "Add Effect"), ("frame", "Effect/Composition Stack"))), bool(app)


def session(case, source, build, work):
    """Under dbus-run-session: an X server, the accessibility bus where a desktop puts it, the
    modules and descriptions installed in the private HOME, then the application."""
    read_end, write_end = os.pipe()
    # -noreset: a server that resets as its last client leaves loses the root window's property.
    subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24",
                      "-noreset", "-nolisten", "tcp"], pass_fds=(write_end,))
    os.close(write_end)
    os.environ["DISPLAY"] = ":" + os.fdopen(read_end).readline().strip()
    # Qt, run as root, finds the accessibility bus only on the root window.
    run = lambda *cmd: subprocess.run(cmd, stdout=subprocess.PIPE, check=True,  # noqa: E731
                                      timeout=60, text=True).stdout
    address = run("dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                  "/org/a11y/bus", "org.a11y.Bus.GetAddress").split('"')[1]
    run("xprop", "-root", "-f", "AT_SPI_BUS", "8s", "-set", "AT_SPI_BUS", address)
    run("bash", os.path.join(source, "scripts", "install-frei0r.sh"))
    if case == "shotcut":
        # Shotcut reads filters only from the share folder beside its binary: a private prefix
        # with a copy of the binary and its share folder mirrored as symbolic links.
        binary, prefix = os.path.realpath(shutil.which("shotcut")), os.environ["HOME"] + "/usr/"
        os.makedirs(prefix + "bin"), os.makedirs(prefix + "share")
        shutil.copy2(binary, prefix + "bin/shotcut")
        run("cp", "-rs", os.path.dirname(binary) + "/../share/shotcut", prefix + "share")
        ours = prefix + "share/shotcut/qml/filters/zentrilox"
        shutil.rmtree(ours, ignore_errors=True)  # links to one installed earlier
        shutil.copytree(os.path.join(build, "editors", "shotcut", "zentrilox"), ours)
    log = os.path.join(work, case + ".log")
    app = subprocess.Popen(
        [prefix + "bin/shotcut", "--noupgrade"] if case == "shotcut" else
        ["kdenlive", "-qwindowgeometry", "1600x1000+0+0"], stdout=open(log, "w"),
        stderr=subprocess.STDOUT)
    listed = kdenlive_lists if case == "kdenlive" else lambda: (
        'added filter "%s"' % NAME in open(log, errors="replace").read(), True)
    deadline, ok, joined = time.time() + 90, False, False
    while not ok and app.poll() is None and time.time() < deadline:
        time.sleep(1)
        ok, joined = listed()
    # Now and then Kdenlive never joins the accessibility bus; a new session may do better.
    print("%s lists %s" % (case, NAME) if ok else "%s lists no %s; its log: %s" % (case, NAME, log)
          if joined else "Kdenlive did not join the accessibility bus")
    sys.exit(0 if ok else 1 if joined else RETRY)


def main():
    case, source, build, work = sys.argv[1:]
    build, work = os.path.abspath(build), os.path.join(os.path.abspath(work), case)
    tools = ["melt"] if case == "descriptions" else [case, "Xvfb", "dbus-run-session", "xprop"]
    missing = [t for t in tools if not shutil.which(t)] + ["python3-pyatspi"] * (
        case == "kdenlive" and not importlib.util.find_spec("pyatspi"))
    if missing:
        print("skipped: %s missing (scripts/install-deps.sh installs it)" % " ".join(missing))
        sys.exit(SKIPPED)
    if case == "descriptions":
        return check_descriptions(build)
    if "ZX_SESSION" in os.environ:
        return session(case, source, build, work)
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("XDG_", "FREI0R_", "DBUS_", "SESSION_MANAGER"))}
    env.update(ZX_SESSION="1", ZX_BUILD_DIR=build, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
               LIBGL_ALWAYS_SOFTWARE="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    # Each session in a process group of its own, killed with all it started, and in a process
    # of its own, as the accessibility library stays on the first bus it joined.
    for _ in range(3):
        shutil.rmtree(work, ignore_errors=True)
        for name in ("HOME", "TMPDIR", "XDG_RUNTIME_DIR"):
            env[name] = os.path.join(work, name.lower())
            os.makedirs(env[name], mode=0o700)
        child = subprocess.Popen(["dbus-run-session", "--", sys.executable] + sys.argv, env=env,
                                 start_new_session=True)
        code = child.wait()
        with contextlib.suppress(ProcessLookupError):
            os.killpg(child.pid, signal.SIGKILL)
        if code != RETRY:
            break
    if code == 0:
        shutil.rmtree(work)
    sys.exit(code)


if __name__ == "__main__":
    main()
