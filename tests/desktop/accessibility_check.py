"""Looks at Tavlin through AT-SPI, as a screen reader does.

Waits for the application of the given process, then checks that its title
buttons 登录 and 关闭 are push buttons with a press action, placed where the
screen shows them (at the window's right edge, in the screen's pixels, at the
scale factor given as the second argument), that a hidden button offers no
press action, and presses 关闭. Exits 0 when all holds; otherwise says what
was found.
"""
import subprocess
import sys
import time

import pyatspi

PID = int(sys.argv[1])
SCALE = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
WANTED = ["登录", "关闭"]
# Hidden on the login page.
HIDDEN = ["拍照", "首页"]


def buttons_of(app):
    found = {}

    def walk(node, depth=0):
        if node is None or depth > 40:
            return
        try:
            if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name:
                found.setdefault(node.name, node)
            for child in node:
                walk(child, depth + 1)
        except Exception:  # a node that went away meanwhile
            pass

    walk(app)
    return found


def window_on_screen(pid):
    """The largest shown window of the process as x, y, width, height in the
    screen's pixels, as the X server has it (xdotool), or None."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                         capture_output=True, text=True).stdout.split()
    best = None
    for wid in ids:
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid],
                             capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        try:
            rect = tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        except (KeyError, ValueError):
            continue
        if best is None or rect[2] * rect[3] > best[2] * best[3]:
            best = rect
    return best


def main():
    deadline = time.time() + 60
    found = {}
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == PID:
                    found = buttons_of(app)
            except Exception:
                continue
        if all(name in found for name in WANTED):
            break
        time.sleep(0.5)
    missing = [name for name in WANTED if name not in found]
    if missing:
        print("accessibility: no push button named %s; found %s" % (missing, sorted(found)))
        return 1
    for name in WANTED:
        action = found[name].queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        if "Press" not in names and "press" not in names:
            print("accessibility: %s has no press action, only %s" % (name, names))
            return 1
    for name in HIDDEN:
        if name in found:
            action = found[name].queryAction()
            names = [action.getName(i).lower() for i in range(action.nActions)]
            if "press" in names:
                print("accessibility: the hidden %s offers %s" % (name, names))
                return 1
    # 关闭 is 60 x 60 of the window's pixels, so 60 times the scale factor of
    # the screen's, and lies inside the window as the X server places it.
    # The window manager maximises the window after it shows: asked again
    # until both agree, for a while.
    deadline = time.time() + 20
    while True:
        window = window_on_screen(PID)
        x, y, w, h = found["关闭"].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        # Across: inside the window; down: on the screen (window managers
        # and xdotool disagree by the title bar about where a window starts).
        inside = window is not None and window[0] <= x and x + w <= window[0] + window[2] and \
            0 <= y and y + h <= window[1] + window[3]
        placed = abs(w - 60 * SCALE) <= 2 and abs(h - 60 * SCALE) <= 2 and inside
        if placed or time.time() > deadline:
            break
        time.sleep(0.2)
    if not placed:
        print("accessibility: 关闭 is said to be at %d,%d %dx%d; the window is at %s; scale %g" %
              (x, y, w, h, window, SCALE))
        return 1
    action = found["关闭"].queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            action.doAction(i)
            break
    return 0


sys.exit(main())
