#!/usr/bin/env python3
"""Fails when a module includes a header of a layer above it.

The modules stack: the console layer of the shell at the bottom, then numlib,
measures and testing; the drawing primitives (plot) on numlib alone; session beside them; the analyses (functional, ranking,
simulation) above; the shell's menus on top. Usage: check_layers.py <src dir>.
"""
import os
import re
import sys

CONSOLE = {"shell/console.h", "shell/input.h", "shell/cformat.h", "shell/abort.h", "shell/progress.h"}
ANALYSES = ("functional/", "ranking/", "simulation/")

# Modules that may look only at the listed prefixes (besides their own): the
# drawing primitives take plain data and know nothing of the program.
ONLY = {
    "plot": ("numlib/", "plot/"),
}

# Module -> include prefixes it must not use.
FORBIDDEN = {
    "numlib": ("measures/", "testing/", "session/") + ANALYSES,
    "measures": ("testing/", "session/") + ANALYSES,
    "testing": ("session/",) + ANALYSES,
    "session": ANALYSES,
}


def violations(src):
    found = []
    for root, _, files in os.walk(src):
        for name in files:
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            module = rel.split("/")[0]
            console_file = module == "shell" and ("shell/" + name.rsplit(".", 1)[0] + ".h") in CONSOLE
            if module not in FORBIDDEN and module not in ONLY and not console_file:
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for lineno, line in enumerate(f, 1):
                    m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                    if not m:
                        continue
                    inc = m.group(1)
                    if module in ONLY:
                        if not inc.startswith(ONLY[module]):
                            found.append(f"{rel}:{lineno}: includes {inc} (only {', '.join(ONLY[module])} allowed)")
                    elif inc.startswith("shell/") and inc not in CONSOLE:
                        found.append(f"{rel}:{lineno}: includes {inc} (shell beyond the console layer)")
                    elif console_file and not inc.startswith("shell/"):
                        found.append(f"{rel}:{lineno}: the console layer includes {inc}")
                    elif module in FORBIDDEN and inc.startswith(FORBIDDEN[module]):
                        found.append(f"{rel}:{lineno}: includes {inc} (a higher layer)")
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "src")
    found = violations(src)
    for v in found:
        print(v)
    print(f"{len(found)} include(s) reach up a layer" if found else "layers: every include looks down")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
