#!/usr/bin/python3
"""Starts Kdenlive or Shotcut under Xvfb, on a D-Bus session of its own with the accessibility
bus, in a private HOME with the modules and descriptions installed by scripts/install-frei0r.sh.
kdenlive: the effect and the composition must be listed in its accessibility tree (AT-SPI).
shotcut: its log must say `added filter "VarnokZentrilox"`.

usage: run_editors.py SOURCE BUILD WORK kdenlive|shotcut
"""
import importlib.util
import os
import shutil
import signal
import subprocess
import sys
import time

SKIPPED, RETRY = 77, 3


def wait_for(what, found, seconds, code=1):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if "pyatspi" in sys.modules:  # libatspi hears of new nodes only in the main loop
            from gi.repository import GLib
            while GLib.MainContext.default().iteration(False):
                pass
        result = found()
        if result:
            return result
        time.sleep(1)
    print("timed out after %d s waiting for %s" % (seconds, what))
    sys.exit(code)


def kdenlive(env, start, build):
    app = start(["kdenlive", "-qwindowgeometry", "1600x1000+0+0"], "kdenlive.log")
    import pyatspi  # connects to the accessibility bus when imported, so only now

    def registered():
        if app.poll() is not None:
            print("Kdenlive ended (%d) before it joined the bus" % app.returncode)
            sys.exit(RETRY)
        return next((a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "kdenlive"), 0)

    # Now and then it never joins the bus; a new session may do better.
    desktop = wait_for("Kdenlive on the accessibility bus", registered, 60, RETRY)

    def paths(node, path=()):
        try:  # nodes vanish while the application changes
            entry = (node.getRoleName(), node.name or "")
            children = [node.getChildAtIndex(i) for i in range(node.childCount)]
        except Exception:
            return
        if entry[1] == "VarnokZentrilox":
            yield path
        for child in filter(None, children):
            yield from paths(child, path + (entry,))

    def listed():
        found = list(paths(desktop))
        return (any(("menu item", "Add Effect") in p for p in found) and
                any(("frame", "Effect/Composition Stack") in p for p in found))

    wait_for("Kdenlive to list the effect and the composition", listed, 60)
    print("Kdenlive lists the effect under Add Effect and the composition in its stack")
    # It ignores SIGTERM but quits within seconds through D-Bus; the rest is killed.
    subprocess.run(["dbus-send", "--session", "--dest=org.kde.kdenlive-%d" % app.pid,
                    "/kdenlive/MainWindow_1", "org.kde.kdenlive.MainWindow.exitApp"], env=env)


def shotcut(env, start, build):
    # Shotcut reads filters only from the share folder beside its binary: a private prefix
    # with a copy of the binary and its share folder mirrored as symbolic links.
    binary, prefix = os.path.realpath(shutil.which("shotcut")), os.path.join(env["HOME"], "usr")
    os.makedirs(os.path.join(prefix, "bin")), os.makedirs(os.path.join(prefix, "share"))
    shutil.copy2(binary, os.path.join(prefix, "bin", "shotcut"))
    share = os.path.join(prefix, "share", "shotcut")
    subprocess.run(["cp", "-rs", os.path.join(os.path.dirname(binary), "..", "share", "shotcut"),
                    share], check=True)
    ours = os.path.join(share, "qml", "filters", "zentrilox")
    shutil.rmtree(ours, ignore_errors=True)  # links to one installed earlier, not this build's
    shutil.copytree(os.path.join(build, "editors", "shotcut", "zentrilox"), ours)
    log = os.path.join(env["HOME"], "shotcut.log")
    app = start([os.path.join(prefix, "bin", "shotcut"), "--noupgrade"], log)

    def added():
        with open(log, errors="replace") as f:
            text = f.read()
        if app.poll() is not None:
            sys.exit("Shotcut ended (%d):\n%s" % (app.returncode, text[-3000:]))
        return 'added filter "VarnokZentrilox"' in text

    wait_for('Shotcut\'s log to say added filter "VarnokZentrilox"', added, 90)
    print('Shotcut: added filter "VarnokZentrilox"')


def main():
    source, build, work, case = sys.argv[1:]
    build, work = os.path.abspath(build), os.path.join(os.path.abspath(work), case)
    missing = [t for t in (case, "Xvfb", "dbus-daemon", "dbus-send", "xprop")
               if not shutil.which(t)]
    if case == "kdenlive" and importlib.util.find_spec("pyatspi") is None:
        missing.append("python3-pyatspi")
    if missing:
        print("skipped: %s missing (scripts/install-deps.sh installs it)" % " ".join(missing))
        sys.exit(SKIPPED)
    if "ZX_ONE_SESSION" not in os.environ:
        # Each session in a process of its own: the accessibility library stays connected to
        # the first session's bus.
        for attempt in (1, 2, 3):
            code = subprocess.run([sys.executable] + sys.argv,
                                  env=dict(os.environ, ZX_ONE_SESSION="1")).returncode
            if code != RETRY:
                sys.exit(code)
            print("session %d: Kdenlive did not join the accessibility bus" % attempt)
        sys.exit("Kdenlive never joined the accessibility bus in three sessions")

    shutil.rmtree(work, ignore_errors=True)
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("XDG_", "FREI0R_", "DBUS_", "SESSION_MANAGER"))}
    for name in ("HOME", "TMPDIR", "XDG_RUNTIME_DIR"):
        env[name] = os.path.join(work, name.lower())
        os.makedirs(env[name], mode=0o700)
    env.update(QT_QPA_PLATFORM="xcb", LIBGL_ALWAYS_SOFTWARE="1", QT_ACCESSIBILITY="1",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", NO_AT_BRIDGE="0", ZX_BUILD_DIR=build)
    procs = []  # each in a process group of its own, killed with it at the end

    def start(cmd, log=None, **kw):
        kw.setdefault("stdout", open(os.path.join(work, log), "w") if log else subprocess.DEVNULL)
        procs.append(subprocess.Popen(cmd, env=env, stderr=subprocess.STDOUT,
                                      start_new_session=True, **kw))
        return procs[-1]

    def run(*cmd):
        return subprocess.run(cmd, env=env, stdout=subprocess.PIPE, check=True,
                              timeout=60).stdout.decode()

    try:
        read_end, write_end = os.pipe()
        # -noreset: a server that resets when its last client leaves loses the root window's
        # property below, and refuses clients while it resets.
        start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24", "-noreset",
               "-nolisten", "tcp"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as f:
            env["DISPLAY"] = ":" + f.readline().strip()
        bus = start(["dbus-daemon", "--session", "--nofork", "--print-address"],
                    stdout=subprocess.PIPE)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        os.environ.update({k: env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        # Qt looks for the accessibility bus once, as it starts: on the root window, as a
        # desktop session has it (through the session bus alone Kdenlive joined only now and
        # then), with a screen reader said to be running.
        a11y = ("dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus")
        address = run(*a11y, "org.a11y.Bus.GetAddress").split('string "')[1].split('"')[0]
        run("xprop", "-root", "-f", "AT_SPI_BUS", "8s", "-set", "AT_SPI_BUS", address)
        run(*a11y, "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
            "string:ScreenReaderEnabled", "variant:boolean:true")
        run("bash", os.path.join(source, "scripts", "install-frei0r.sh"))
        {"kdenlive": kdenlive, "shotcut": shotcut}[case](env, start, build)
    finally:
        for proc in reversed(procs):  # the bus's group holds the accessibility daemons
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGKILL)
            proc.wait(timeout=10)
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
