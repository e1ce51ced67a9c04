#!/usr/bin/env python3
"""Fails on an #include that crosses the allowed layering of the source folders.

Allowed (a folder may include itself and anything below it):
  app -> browse, display, settings, playback, net, storage, directui, platform, engine/include
  browse, display, settings -> directui, playback, net, storage, platform, engine/include
  directui -> platform
  playback -> net, storage, platform, engine/include
  net -> storage, platform
  storage -> platform
  platform -> (nothing of ours)
  engine -> engine only
Qt is included only by platform/ .cpp files and app/main.cpp.
"""
import pathlib
import re
import sys

ALLOWED = {
    "app": {"app", "browse", "display", "settings", "playback", "net", "storage", "directui", "platform", "engine"},
    "browse": {"browse", "directui", "playback", "net", "storage", "platform", "engine"},
    "display": {"display", "directui", "playback", "net", "storage", "platform", "engine"},
    "settings": {"settings", "directui", "playback", "net", "storage", "platform", "engine"},
    "directui": {"directui", "platform"},
    "playback": {"playback", "net", "storage", "platform", "engine"},
    "net": {"net", "storage", "platform"},
    "storage": {"storage", "platform"},
    "platform": {"platform"},
    "engine": {"engine"},
    "tools": {"tools", "engine", "platform", "storage", "net", "playback", "directui", "app", "browse", "display", "settings"},
}
OURS = set(ALLOWED) | {"tests", "bench"}
QT = re.compile(r'#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/[^>"]*)[>"]')
INC = re.compile(r'#\s*include\s*"([^"]+)"')


def main(root: pathlib.Path) -> int:
    errors = []
    for folder, allowed in ALLOWED.items():
        for f in sorted((root / folder).rglob("*")):
            if f.suffix not in {".h", ".hpp", ".cpp", ".c", ".cc"}:
                continue
            rel = f.relative_to(root).as_posix()
            text = f.read_text(encoding="utf-8", errors="replace")
            for n, line in enumerate(text.splitlines(), 1):
                if QT.search(line):
                    qt_ok = (folder == "platform" and f.suffix == ".cpp") or rel == "app/main.cpp" or folder == "tools"
                    if not qt_ok:
                        errors.append(f"{rel}:{n}: Qt outside platform/ .cpp files: {line.strip()}")
                m = INC.search(line)
                if not m:
                    continue
                target = m.group(1)
                if ".." in target.split("/"):
                    # A relative include is judged by the folder it reaches.
                    resolved = (f.parent / target).resolve()
                    try:
                        target = resolved.relative_to(root.resolve()).as_posix()
                    except ValueError:
                        errors.append(f"{rel}:{n}: include outside the source tree: {m.group(1)}")
                        continue
                top = target.split("/", 1)[0]
                if top not in OURS or "/" not in target:
                    continue  # same-folder or system include
                if folder == "engine" and top != "engine":
                    errors.append(f"{rel}:{n}: the engine includes nothing of ours: {target}")
                elif top == "engine" and folder != "engine" and not target.startswith("engine/include/"):
                    errors.append(f"{rel}:{n}: only engine/include/ is shared with the engine: {target}")
                elif top not in allowed:
                    errors.append(f"{rel}:{n}: {folder}/ may not include {top}/: {target}")
    for e in errors:
        print(e)
    print(f"layering: {len(errors)} violation(s)")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")))
