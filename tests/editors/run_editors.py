#!/usr/bin/python3
"""Kdenlive and Shotcut, started under Xvfb with the frei0r modules and their descriptions as
scripts/install-frei0r.sh installs them, each into a private HOME or prefix, so no run depends
on the machine's state or an earlier run.

  kdenlive  Kdenlive lists the effect (Timeline > Add Effect) and the composition, read through
            the accessibility tree (AT-SPI).
  shotcut   Shotcut adds the filter at start (its log says `added filter "NAME"`); with
            --screenshot FILE, the filter's panel on a clip is saved as a PNG.

A missing application prints "skipped" and exits with SKIPPED.

usage: run_editors.py --source DIR --build DIR --work DIR [--screenshot FILE] CASE
"""
import argparse
import importlib.util
import os
import shutil
import signal
import subprocess
import sys
import time

SKIPPED = 77
RETRY = 3
SCREEN = (1600, 1000)


def fail(message):
    sys.exit(message)


class NotRegistered(Exception):
    """Now and then Kdenlive, running, never joins the accessibility bus (seen on a busy
    machine); such a run is started again in a new session."""


class Session:
    """Xvfb, a D-Bus session with the accessibility bus, and a private HOME and TMPDIR. Every
    process started is in a process group of its own and ended by it."""

    def __init__(self, work):
        self.work = work
        self.groups = []
        self.env = dict(os.environ)
        for name in ("HOME", "TMPDIR", "XDG_RUNTIME_DIR"):
            path = os.path.join(work, name.lower())
            os.makedirs(path, mode=0o700)
            self.env[name] = path
        for name in ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "FREI0R_PATH",
                     "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER"):
            self.env.pop(name, None)
        self.env.update(QT_QPA_PLATFORM="xcb", LIBGL_ALWAYS_SOFTWARE="1", QT_ACCESSIBILITY="1",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", NO_AT_BRIDGE="0")

    def start(self, cmd, log=None, stdout=None, **kw):
        if stdout is None:
            stdout = open(os.path.join(self.work, log), "w") if log else subprocess.DEVNULL
        proc = subprocess.Popen(cmd, env=self.env, stdout=stdout, stderr=subprocess.STDOUT,
                                start_new_session=True, **kw)
        self.groups.append(proc)
        return proc

    def __enter__(self):
        try:
            return self.begin()
        except BaseException:
            self.__exit__()
            raise

    def begin(self):
        read_end, write_end = os.pipe()
        self.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                    "%dx%dx24" % SCREEN, "-nolisten", "tcp"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as f:
            display = f.readline().strip()
        if not display:
            fail("Xvfb did not start")
        self.env["DISPLAY"] = ":" + display
        bus = self.start(["dbus-daemon", "--session", "--nofork", "--print-address"],
                         stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        # The accessibility bus and its registry first: Qt looks for them once, when the
        # application starts. pyatspi connects when imported, so only now.
        reply = self.dbus("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")
        a11y_bus = reply.stdout.decode().split('string "')[-1].split('"')[0]
        # Also on the root window, as a desktop session has it: Qt then joins the bus as it
        # starts; through the session bus alone Kdenlive joined only now and then.
        subprocess.run(["xprop", "-root", "-f", "AT_SPI_BUS", "8s", "-set", "AT_SPI_BUS",
                        a11y_bus], env=self.env, check=True, timeout=30)
        # And a screen reader said to be running, as Qt asks.
        self.dbus("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
                  "string:org.a11y.Status", "string:ScreenReaderEnabled", "variant:boolean:true")
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        return self

    def __exit__(self, *exc):
        for proc in reversed(self.groups):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            proc.wait(timeout=10)
        # Whatever the bus started (the accessibility daemons) went with its group.

    def dbus(self, dest, path, method, *args, reply=True):
        cmd = ["dbus-send", "--session", "--dest=" + dest, path, method] + list(args)
        if reply:
            cmd.insert(2, "--print-reply")
        return subprocess.run(cmd, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=30)

    def screenshot(self, path, box):
        x, y, w, h = box
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                        "+repage", path], env=self.env, check=True, timeout=30)
        print("saved " + path)


def install(args, session, *options):
    subprocess.run(["bash", os.path.join(args.source, "scripts", "install-frei0r.sh")] +
                   list(options), env=dict(session.env, ZX_BUILD_DIR=args.build), check=True,
                   stdout=subprocess.DEVNULL, timeout=60)


def accessible_tree(app):
    """(role, name, node, path of (role, name)) for every node under the application."""
    out = []

    def walk(node, path):
        # Nodes vanish while the application changes; such a node is skipped.
        try:
            entry = (node.getRoleName(), node.name or "")
            count = node.childCount
        except Exception:
            return
        out.append(entry + (node, path))
        for i in range(count):
            try:
                child = node.getChildAtIndex(i)
            except Exception:
                continue
            if child is not None:
                walk(child, path + [entry])

    walk(app, [])
    return out


def pump_events():
    """libatspi learns of new applications and nodes from D-Bus signals, which it handles only
    when the main loop runs."""
    from gi.repository import GLib
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def find_app(name, deadline):
    import pyatspi  # connects to the accessibility bus when imported, so only now
    while time.time() < deadline:
        pump_events()
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(1)
    return None


def wait_for(what, predicate, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if "pyatspi" in sys.modules:
            pump_events()
        found = predicate()
        if found:
            return found
        time.sleep(1)
    fail("timed out after %d s waiting for %s" % (seconds, what))


def case_kdenlive(args, session):
    install(args, session)
    kdenlive = session.start(["kdenlive", "-qwindowgeometry", "%dx%d+0+0" % SCREEN],
                             log="kdenlive.log")
    app = find_app("kdenlive", time.time() + 60)
    if app is None:
        raise NotRegistered("Kdenlive did not appear in the accessibility tree within 60 s")

    def listed():
        tree = accessible_tree(app)
        effect = [p for role, name, _, p in tree if name == "VarnokZentrilox" and
                  ("menu item", "Add Effect") in p]
        composition = [p for role, name, _, p in tree if name == "VarnokZentrilox" and
                       ("frame", "Effect/Composition Stack") in p]
        return (effect, composition) if effect and composition else None

    effect, composition = wait_for("Kdenlive to list the effect and the composition", listed, 60)
    print("Kdenlive lists the effect (%s) and the composition (%s)" % (
        " > ".join(n for _, n in effect[0][2:] if n), " > ".join(n for _, n in composition[0][2:]
                                                                 if n)))

    # It quits within seconds through D-Bus (it ignores SIGTERM); the session kills the rest.
    session.dbus("org.kde.kdenlive-%d" % kdenlive.pid, "/kdenlive/MainWindow_1",
                 "org.kde.kdenlive.MainWindow.exitApp", reply=False)


def case_shotcut(args, session):
    # Shotcut reads filters only from the share folder beside its binary: a private prefix
    # with a copy of the binary, Shotcut's own folders linked in, and the filter installed
    # into it as --system installs it beside the real binary.
    prefix = os.path.join(session.work, "prefix")
    os.makedirs(os.path.join(prefix, "bin"))
    shutil.copy2(shutil.which("shotcut"), os.path.join(prefix, "bin", "shotcut"))
    real_share = os.path.join(os.path.dirname(os.path.realpath(shutil.which("shotcut"))), "..",
                              "share", "shotcut")
    for parts in ((), ("qml",), ("qml", "filters")):
        here = os.path.join(prefix, "share", "shotcut", *parts)
        os.makedirs(here, exist_ok=True)
        for entry in os.listdir(os.path.join(real_share, *parts)):
            if parts + (entry,) not in (("qml",), ("qml", "filters")):
                os.symlink(os.path.join(real_share, *parts, entry), os.path.join(here, entry))
    filters = os.path.join(prefix, "share", "shotcut", "qml", "filters", "zentrilox")
    os.makedirs(filters)
    for name in ("meta.qml", "ui.qml"):
        shutil.copy(os.path.join(args.build, "editors", "shotcut", "zentrilox", name), filters)
    install(args, session)  # the modules into the private HOME's ~/.frei0r-1/lib
    log = os.path.join(session.work, "shotcut.log")
    # For the screenshot, a clip with the filter on it, opened in the source player.
    clip = []
    if args.screenshot:
        clip = [os.path.join(session.work, "clip.mlt")]
        card = os.path.join(session.work, "card.png")
        subprocess.run([args.cli, "-q", "--size", "640x360", "--completion", "0", "-o", card],
                       check=True, timeout=60)
        with open(clip[0], "w") as f:
            f.write(SHOTCUT_CLIP % card)
    shotcut = session.start([os.path.join(prefix, "bin", "shotcut"), "--noupgrade"] + clip,
                            log="shotcut.log")

    def added():
        with open(log, errors="replace") as f:
            text = f.read()
        if shotcut.poll() is not None:
            fail("Shotcut ended (%d):\n%s" % (shotcut.returncode, text[-3000:]))
        return 'added filter "VarnokZentrilox"' in text and "qml" in text

    wait_for('Shotcut\'s log to say added filter "VarnokZentrilox"', added, 90)
    print('Shotcut: added filter "VarnokZentrilox"')
    if args.screenshot:
        # The Filters tab, then the filter in its list (the window's layout at 1600x1000).
        import pyatspi
        time.sleep(5)
        for x, y in SHOTCUT_CLICKS:
            pyatspi.Registry.generateMouseEvent(x, y, "b1c")
            time.sleep(3)
        session.screenshot(args.screenshot, SHOTCUT_FILTERS_DOCK)


SHOTCUT_CLICKS = [(103, 396), (97, 165)]
SHOTCUT_FILTERS_DOCK = (0, 88, 615, 300)
SHOTCUT_CLIP = """<?xml version="1.0" encoding="utf-8"?>
<mlt LC_NUMERIC="C" version="7.12.0">
 <producer id="producer0" in="0" out="124">
  <property name="length">125</property>
  <property name="resource">%s</property>
  <property name="mlt_service">qimage</property>
  <filter id="filter0">
   <property name="mlt_service">frei0r.zentrilox</property>
   <property name="shotcut:filter">zentrilox</property>
   <property name="completion">0=0;124=1</property>
   <property name="row">0.0505051</property>
   <property name="strip_height">0.0963855</property>
   <property name="column">0.0707071</property>
   <property name="strip_width">0.0963855</property>
   <property name="color">#ff0000</property>
   <property name="opacity">1</property>
  </filter>
 </producer>
</mlt>
"""

CASES = {"kdenlive": (case_kdenlive, "kdenlive"), "shotcut": (case_shotcut, "shotcut")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("--once", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    fn, app = CASES[args.case]
    if app == "kdenlive" and importlib.util.find_spec("pyatspi") is None:
        print("skipped: python3-pyatspi is not installed (scripts/install-deps.sh installs it)")
        sys.exit(SKIPPED)
    for tool in (app, "Xvfb", "dbus-daemon", "dbus-send", "xprop") + (("import",) if args.screenshot
                                                               else ()):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed (scripts/install-deps.sh installs it)" % tool)
            sys.exit(SKIPPED)
    work = os.path.join(os.path.abspath(args.work), args.case)
    args.source, args.build = os.path.abspath(args.source), os.path.abspath(args.build)
    if not args.once:
        # Each attempt in a process of its own: the accessibility library stays connected to
        # the first session's bus.
        for attempt in (1, 2, 3):
            code = subprocess.run([sys.executable] + sys.argv + ["--once"]).returncode
            if code != RETRY:
                sys.exit(code)
            print("attempt %d: Kdenlive never joined the accessibility bus; again" % attempt)
        fail("Kdenlive never joined the accessibility bus in three sessions")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        with Session(work) as session:
            fn(args, session)
    except NotRegistered as e:
        print(e)
        sys.exit(RETRY)
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
