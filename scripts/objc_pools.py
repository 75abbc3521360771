#!/usr/bin/env python3
"""Checks that every entry point of the macOS backend drains its own
autorelease pool before it messages an Objective-C object.

A native runs on a long-lived Java thread that has no autorelease pool, and a
block that AppKit, GCD or AVFoundation calls may run where nobody drains one
per call: every autoreleased object made there lives until the thread ends.
So each entry point (a C++ `override` of a platform interface, an
Objective-C method of our classes other than an initialiser, a block handed
to Apple) that messages an
object, directly or through a helper of the backend, does so inside
`@autoreleasepool`.

The check reads clang's AST (JSON) of each .mm of one build, with the flags of
its compile command, and reports every entry point whose body, outside its
`@autoreleasepool` statements and the blocks it creates, holds a message send,
a property access, or a call of a backend function that (transitively) does.

Usage: objc_pools.py COMPILE_COMMANDS_JSON ROOT [JOBS]
Exit status 0 when every entry point is covered, 1 otherwise.
"""

import concurrent.futures
import json
import os
import pathlib
import subprocess
import sys

from compile_commands import check_argv

MESSAGES = {"ObjCMessageExpr", "ObjCPropertyRefExpr", "ObjCSubscriptRefExpr",
            "ObjCArrayLiteral", "ObjCDictionaryLiteral", "ObjCBoxedExpr"}
FUNCTIONS = {"FunctionDecl", "CXXMethodDecl", "CXXConstructorDecl", "CXXDestructorDecl",
             "ObjCMethodDecl"}
# Our code lives in this namespace; our Objective-C classes carry this prefix.
FILTERS = ("osxnatives", "OSXN")


def ast_dumps(entry):
    """The AST nodes (JSON) of our declarations in the file of `entry`."""
    kept = check_argv(entry)
    runs = []
    for name in FILTERS:
        nodes = []
        done = subprocess.run(
            kept + ["-fsyntax-only", "-Xclang", "-ast-dump=json", "-Xclang",
                    f"-ast-dump-filter={name}"],
            cwd=entry["directory"], capture_output=True, text=True, check=False)
        if done.returncode != 0:
            raise RuntimeError(f"{entry['file']}: clang failed:\n{done.stderr}")
        decoder, text, at = json.JSONDecoder(), done.stdout, 0
        while True:
            while at < len(text) and text[at].isspace():
                at += 1
            if at >= len(text):
                break
            node, at = decoder.raw_decode(text, at)
            nodes.append(node)
        runs.append(nodes)
    return runs


def children(node):
    return node.get("inner", [])


def body_of(function):
    bodies = [c for c in children(function) if c.get("kind") == "CompoundStmt"]
    return bodies[-1] if bodies else None


def scan(node, pooled, found):
    """Adds to `found` each (kind, referenced declaration, pooled) below
    `node`, not looking into blocks, which run later and are checked as entry
    points of their own, nor into lambdas, whose bodies are functions of their
    own (a call of one is a reference to its operator())."""
    kind = node.get("kind")
    if kind in ("BlockDecl", "LambdaExpr"):
        return
    if kind == "ObjCAutoreleasePoolStmt":
        pooled = True
    if kind in MESSAGES:
        found.append(("message", None, pooled))
    if kind == "DeclRefExpr":
        referenced = node.get("referencedDecl", {})
        found.append(("call", (referenced.get("id"), referenced.get("name")), pooled))
    if kind == "MemberExpr":
        found.append(("call", (node.get("referencedMemberDecl"), node.get("name")), pooled))
    for child in children(node):
        scan(child, pooled, found)


class Unit:
    """One translation unit's functions, entry points and references."""

    def __init__(self, path, runs):
        self.path = path
        # Declaration id -> mangled name (ObjC methods: class::selector). Ids
        # are addresses of one clang run; a declaration that another run
        # printed is known by its plain name only.
        self.mangled = {}
        self.plain = {}        # mangled name -> plain name
        self.functions = []    # (mangled, body)
        self.entries = []      # (description, body)
        for nodes in runs:
            for node in nodes:
                self.collect(node, None)

    def collect(self, node, container):
        kind = node.get("kind")
        if kind in FUNCTIONS:
            key = node.get("mangledName") or f"{container}::{node.get('name')}"
            self.mangled[node["id"]] = key
            self.plain[key] = node.get("name")
            body = body_of(node)
            if body is not None:
                self.functions.append((key, body))
                is_override = any(c.get("kind") == "OverrideAttr" for c in children(node))
                # Initialisers run inside the pool of the code that allocates.
                is_callback = kind == "ObjCMethodDecl" and not node.get("name", "").startswith(
                    "init")
                if is_override or is_callback:
                    self.entries.append((f"{container or ''} {node.get('name')}".strip(), body))
        if kind == "BlockDecl":
            body = body_of(node)
            if body is not None:
                line = node.get("loc", {}).get("line") or node.get("range", {}).get(
                    "begin", {}).get("line")
                where = f"line {line}" if line else f"in {container}"
                self.entries.append((f"block ({where})", body))
        if kind in ("CXXRecordDecl", "ObjCImplementationDecl", "ObjCInterfaceDecl"):
            container = node.get("name") or container
        elif kind in FUNCTIONS:
            container = node.get("name")
        for child in children(node):
            self.collect(child, container)

    def references(self, body):
        found = []
        scan(body, False, found)
        return [(what, self.mangled.get(ref[0], ref[1]) if ref else None, pooled)
                for what, ref, pooled in found]


def main():
    if len(sys.argv) < 3:
        print("usage: objc_pools.py COMPILE_COMMANDS_JSON ROOT [JOBS]", file=sys.stderr)
        return 2
    commands = json.loads(pathlib.Path(sys.argv[1]).read_text())
    root = pathlib.Path(sys.argv[2]).resolve()
    jobs = int(sys.argv[3]) if len(sys.argv) > 3 else os.cpu_count()
    # The library's own files; test programs drain no pools of their own.
    backend = (root / "src", root / "cmake")
    entries = [e for e in commands if e["file"].endswith(".mm") and any(
        pathlib.Path(e["file"]).resolve().is_relative_to(folder) for folder in backend)]
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        units = [Unit(pathlib.Path(e["file"]).resolve().relative_to(root), nodes)
                 for e, nodes in zip(entries, pool.map(ast_dumps, entries))]

    # The backend functions that message an object outside a pool of their
    # own, directly or through another such function, in any unit.
    calls, messaging = {}, set()
    plain_names = {}  # mangled -> plain name, for references known by name only
    for unit in units:
        plain_names.update(unit.plain)
        for key, body in unit.functions:
            refs = unit.references(body)
            # What a function does inside a pool of its own does not reach
            # its callers' pools.
            refs = [(what, r) for what, r, pooled in refs if not pooled]
            calls.setdefault(key, set()).update(r for what, r in refs if what == "call" and r)
            if any(what == "message" for what, _ in refs):
                messaging.add(key)
    def is_messaging(callee):
        return callee in messaging or callee in messaging_names

    messaging_names = set()
    changed = True
    while changed:
        changed = False
        for key, callees in calls.items():
            if key not in messaging and any(is_messaging(c) for c in callees):
                messaging.add(key)
                changed = True
        messaging_names = {plain_names[k] for k in messaging if plain_names.get(k)}

    failures, checked = 0, 0
    for unit in units:
        for description, body in unit.entries:
            checked += 1
            bare = [r for what, r, pooled in unit.references(body) if not pooled and
                    (what == "message" or is_messaging(r))]
            if bare:
                failures += 1
                what = "a message" if None in bare else "a call of " + sorted(
                    r for r in bare if r)[0]
                print(f"{unit.path}: {description}: {what} outside @autoreleasepool",
                      file=sys.stderr)
    print(f"objc-pools: {checked} entry points in {len(units)} files, {failures} without a pool")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
