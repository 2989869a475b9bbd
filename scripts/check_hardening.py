#!/usr/bin/env python3
"""Checks that the program and its modules are built hardened: full RELRO with BIND_NOW and a stack protector;
a file named after --fortify must also call fortified libc functions (an optimised build of the program does; a
small module may have no call to fortify). Usage: check_hardening.py [--fortify FILE] FILE..."""
import subprocess
import sys


def dynamic(path):
    return subprocess.run(["readelf", "-W", "--dynamic", "--program-headers", "--dyn-syms", path],
                          check=True, capture_output=True, text=True).stdout


def problems(path, fortify):
    text = dynamic(path)
    found = []
    if "GNU_RELRO" not in text:
        found.append("no RELRO segment")
    if "BIND_NOW" not in text and "Flags: NOW" not in text:
        found.append("no BIND_NOW")
    if "__stack_chk_fail" not in text:
        found.append("no stack protector")
    if fortify and "_chk@" not in text.replace("__stack_chk_fail@", ""):
        found.append("no fortified libc calls")
    return found


def main(args):
    fortified = set()
    files = []
    args = [a for a in args if a]  # CMake passes an empty argument where the Debug build drops --fortify
    while args:
        if args[0] == "--fortify" and len(args) > 1:
            fortified.add(args[1])
            files.append(args[1])
            args = args[2:]
        else:
            files.append(args[0])
            args = args[1:]
    failed = False
    for path in files:
        for problem in problems(path, path in fortified):
            print(f"{path}: {problem}")
            failed = True
    if not failed:
        print(f"{len(files)} files hardened")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
