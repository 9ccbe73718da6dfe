"""The window as a screen reader reads it, through AT-SPI.
  atspi_probe.py tree APP_NAME        prints role|name|description of every object, one a line
  atspi_probe.py events OUT_FILE      appends every event a screen reader speaks from, one a line,
                                      until killed; writes "listening" first
"""
import sys

import pyatspi

# The events Orca speaks from: names and descriptions changed, objects shown, alerts.
EVENTS = [
    "object:property-change:accessible-name",
    "object:property-change:accessible-description",
    "object:state-changed:showing",
    "object:announcement",
    "window:create",
]


def one_line(text):
    return (text or "").replace("\n", " ")


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    try:
        print(f"{node.getRoleName()}|{one_line(node.name)}|{one_line(node.description)}", flush=True)
        children = list(node)
    except Exception:  # an object gone while read
        return
    for child in children:
        walk(child, depth + 1)


def tree(app_name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == app_name:
            walk(app)
            return 0
    return 1


def events(out_path):
    out = open(out_path, "a", buffering=1, encoding="utf-8")

    def on_event(event):
        try:
            role = event.source.getRoleName()
            name = one_line(event.source.name)
            description = one_line(event.source.description)
        except Exception:
            role = name = description = "?"
        out.write(f"{event.type}|{event.detail1}|{role}|{name}|{description}|{one_line(str(event.any_data))}\n")

    pyatspi.Registry.registerEventListener(on_event, *EVENTS)
    out.write("listening\n")
    pyatspi.Registry.start()


if __name__ == "__main__":
    if sys.argv[1] == "tree":
        sys.exit(tree(sys.argv[2]))
    events(sys.argv[2])
