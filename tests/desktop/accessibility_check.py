"""Looks at Tavlin through AT-SPI, as a screen reader does.

Waits for the application of the given process, then checks that its title
buttons 登录 and 关闭 are push buttons with a press action, and presses 关闭.
Exits 0 when all holds; otherwise says what was found.
"""
import sys
import time

import pyatspi

PID = int(sys.argv[1])
WANTED = ["登录", "关闭"]


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
    action = found["关闭"].queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            action.doAction(i)
            break
    return 0


sys.exit(main())
