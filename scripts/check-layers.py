#!/usr/bin/env python3
"""Refuses an include or a CMake target link that points up the layers, so the tree keeps the shape its
folders promise.

The stack, lowest first: each folder may include itself and the folders below it.
Beside the stack: resources/ (the string and dialog tables), outside/ (our stand-ins of the outside libraries
and programs), virtualcam/ (the built-in camera, a provider of media/) and probe/; each may include only
what is listed for it. bench/ and tests/ measure and check everything and may include anything.
"""
import pathlib
import re
import sys

# cli/ (the command line) and app/ (the window) are the two programs on top; the command line may use
# nothing of the window, so it stands below it.
STACK = ["settings", "platform", "media", "device", "capture", "pipeline", "ocr", "cli", "app"]
SIDE = {
    "resources": {"resources"},
    "outside": {"outside", "settings", "platform", "media"},
    "virtualcam": {"virtualcam", "outside", "settings", "platform", "media"},
    "probe": {"probe", "virtualcam", "settings", "platform", "media"},
}
# Which stack folders may use each side folder.
SIDE_USERS = {
    "resources": set(STACK[STACK.index("app"):]),
    "outside": set(STACK[STACK.index("device"):]),
    "virtualcam": {"cli", "app"},
    "probe": set(),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')
DECLARE = re.compile(r"\b(?:add_library|add_executable|vellumo_add_dll)\(\s*([A-Za-z0-9_.+-]+)")
LINK = re.compile(r"\btarget_link_libraries\(\s*([A-Za-z0-9_.+-]+)([^)]*)\)", re.S)


def allowed(source: str) -> set:
    if source in SIDE:
        return SIDE[source]
    below = set(STACK[: STACK.index(source) + 1])
    return below | {side for side, users in SIDE_USERS.items() if source in users}


def cmake_files(root: pathlib.Path, top: str):
    return sorted((root / top).rglob("CMakeLists.txt"))


def link_faults(root: pathlib.Path) -> list:
    """Targets are owned by the top folder that declares them; a target may link only targets of folders its
    own folder may include."""
    owner = {}
    for top in STACK + list(SIDE):
        for path in cmake_files(root, top):
            for name in DECLARE.findall(path.read_text(errors="replace")):
                owner[name] = top
    faults = []
    for top in STACK + list(SIDE):
        may = allowed(top)
        for path in cmake_files(root, top):
            text = re.sub(r"#[^\n]*", "", path.read_text(errors="replace"))
            for target, rest in LINK.findall(text):
                for linked in rest.split():
                    if linked in owner and owner[linked] not in may:
                        faults.append(f"{path.relative_to(root)}: {target} ({top}/) may not link "
                                      f"{linked} ({owner[linked]}/)")
    return faults


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    faults = []
    for top in STACK + list(SIDE):
        folder = root / top
        if not folder.is_dir():
            continue
        may = allowed(top)
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".h", ".hpp", ".cpp", ".c") or not path.is_file():
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if match and match.group(1) not in may and (root / match.group(1)).is_dir():
                    faults.append(f"{path.relative_to(root)}:{number}: {top}/ may not include {match.group(1)}/")
    faults += link_faults(root)
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"check-layers: {len(faults)} include(s) or link(s) point the wrong way", file=sys.stderr)
        return 1
    print("check-layers: every include and target link points down the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
