"""The window as a screen reader meets it on the AT-SPI bus, driven with keys alone.

Started by accessibility-bus inside Xvfb, a session bus and the accessibility bus.
"""
import os
import pathlib
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

PROGRAM = os.environ["KDU_A11Y_PROGRAM"]
DRIVES = pathlib.Path(os.environ["KDU_A11Y_DRIVES"])
SHOTS = os.environ.get("KDU_A11Y_SHOTS", "")
TITLE = "Kestory Drive Updater"


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and "kestory" in (app.name or "").lower():
            app.clear_cache()  # states are read afresh, not as first seen
            return app
    return None


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True)


def shot(name):
    if SHOTS:
        os.makedirs(SHOTS, exist_ok=True)
        subprocess.run(f"xwd -root -silent | convert xwd:- png:{SHOTS}/{name}", shell=True, check=True)


class Run:
    def __init__(self):
        self.heard = {"status": [], "progress": []}
        self.step = "wait-window"
        self.deadline = time.monotonic() + 60
        self.failure = None
        self.result = None
        self.window = subprocess.Popen([PROGRAM, f"--simulate={DRIVES}"])

    def fail(self, why):
        self.failure = why
        pyatspi.Registry.stop()

    def on_event(self, event):
        role = event.source.getRole() if event.source is not None else None
        if event.type.startswith("object:property-change:accessible-name") and role == pyatspi.ROLE_STATUS_BAR:
            self.heard["status"].append(event.source.name)
        if event.type.startswith("object:property-change:accessible-value") and role == pyatspi.ROLE_PROGRESS_BAR:
            self.heard["progress"].append(event.source.queryValue().currentValue)

    def find(self, role, name=None):
        app = application()
        for node in walk(app):
            if node.getRole() == role and (name is None or node.name == name):
                return node
        return None

    def tick(self):
        try:
            return self.advance()
        except Exception as error:  # the bus may drop an object mid-walk: try again
            print("retrying after:", error, file=sys.stderr)
            return True

    def advance(self):
        if time.monotonic() > self.deadline:
            desktop = pyatspi.Registry.getDesktop(0)
            apps = [desktop.getChildAtIndex(i).name for i in range(desktop.childCount)]
            tree = [(n.getRoleName(), n.name) for n in walk(application())]
            self.fail(f"timed out at step {self.step}; applications {apps}; window {tree}")
            return False
        if self.step == "wait-window":
            button = self.find(pyatspi.ROLE_PUSH_BUTTON, "Update")
            # Enabled states reach this client late, if at all: the first listing has been
            # shown once the drive list has entries, and the button follows right after.
            if button is not None and self.find(pyatspi.ROLE_LIST_ITEM) is not None:
                time.sleep(3)
                self.check_tree()
                if self.failure:
                    return False
                subprocess.run(["xdotool", "search", "--sync", "--name", TITLE, "windowactivate", "--sync"],
                               check=True, stdout=subprocess.DEVNULL)
                key("alt+u")
                self.step = "confirm"
        elif self.step == "confirm":
            ok = self.find(pyatspi.ROLE_PUSH_BUTTON, "OK")
            if ok is not None:
                key("Tab", "space")  # from Cancel, the default, to OK
                self.step = "result"
        elif self.step == "result":
            for node in walk(application()):
                if node.getRole() == pyatspi.ROLE_LABEL and node.name in ("Complete!", "Error!"):
                    self.result = node.name
            if self.result and self.find(pyatspi.ROLE_PUSH_BUTTON, "Copy Details") is not None:
                time.sleep(1)
                shot("a11y-result.png")
                key("Return")
                self.step = "history"
        elif self.step == "history":
            if self.find(pyatspi.ROLE_PUSH_BUTTON, "Copy Details") is None:
                key("alt+h", "h")
                self.step = "history-open"
        elif self.step == "history-open":
            table = self.find(pyatspi.ROLE_TABLE, "Recorded updates")
            if table is not None:
                time.sleep(1)
                shot("a11y-history.png")
                key("Escape")
                pyatspi.Registry.stop()
                return False
        return True

    def check_tree(self):
        nameless, seen = [], set()
        for node in walk(application()):
            role = node.getRole()
            seen.add((role, node.name))
            if role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_PROGRESS_BAR,
                        pyatspi.ROLE_MENU, pyatspi.ROLE_MENU_ITEM) and not node.name:
                nameless.append(node.getRoleName())
        if nameless:
            return self.fail(f"controls without a name: {nameless}")
        for want in [(pyatspi.ROLE_PUSH_BUTTON, "Update"), (pyatspi.ROLE_PROGRESS_BAR, "Update progress"),
                     (pyatspi.ROLE_MENU_ITEM, "Help")]:
            if want not in seen:
                return self.fail(f"no {want} in the accessible tree")
        if not any(role == pyatspi.ROLE_STATUS_BAR for role, _ in seen):
            return self.fail("no status bar in the accessible tree")
        combo = self.find(pyatspi.ROLE_COMBO_BOX)
        labels = [target.name for relation in combo.getRelationSet()
                  if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                  for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
        if "Target Drive" not in labels:
            return self.fail(f"the drive list is not labelled 'Target Drive' but {labels}")
        print("accessible tree: Update, drive list labelled 'Target Drive', progress bar, status bar, menus")


def main():
    run = Run()
    pyatspi.Registry.registerEventListener(run.on_event, "object:property-change:accessible-name",
                                           "object:property-change:accessible-value")
    GLib.timeout_add(200, run.tick)
    try:
        pyatspi.Registry.start()
    finally:
        run.window.terminate()
        run.window.wait(timeout=30)
    if run.failure:
        print("FAILED:", run.failure)
        return 1
    listed = subprocess.run([os.environ["KDU_A11Y_KDU"], f"--simulate={DRIVES}", "list", "--json"],
                            capture_output=True, text=True).stdout
    print("result:", run.result)
    print("heard: %d status texts, %d progress values" % (len(run.heard["status"]), len(run.heard["progress"])))
    problems = []
    if run.result != "Complete!":
        problems.append(f"the update ended with {run.result}")
    if '"1.21"' not in listed:
        problems.append("no drive was updated")
    if not run.heard["status"]:
        problems.append("no status line change was announced")
    if not run.heard["progress"]:
        problems.append("the progress bar announced no value")
    if problems:
        print("FAILED:", "; ".join(problems))
        return 1
    print("accessibility bus: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
