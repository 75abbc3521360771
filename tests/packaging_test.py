#!/usr/bin/env python3
"""The Mac packaging recipe, as far as Linux can run it.

Checks that the entitlements and the Info.plist fragment carry exactly the keys
the README's table names; that the macos-universal preset builds what the cross
build builds; and runs packaging/macos/sign-and-notarize.sh and jpackage.sh
with stand-ins for codesign, xcrun, ditto, spctl, jpackage and PlistBuddy that
record their arguments, against a fake Kestrelgate.app.

Usage: packaging_test.py SOURCE_ROOT
"""
import json
import os
import pathlib
import plistlib
import re
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else ".").resolve()
MACOS = ROOT / "packaging" / "macos"
SIGN = MACOS / "sign-and-notarize.sh"
JPACKAGE = MACOS / "jpackage.sh"
IDENTITY = "Developer ID Application: Example School (TEAM123456)"
PROFILE = "osxnatives-notary"
ASSESSMENT = "com.apple.developer.automatic-assessment-configuration"

# File headers: a thin 64-bit arm64 Mach-O, a universal one (arm64 and x86_64
# entries), a Java class (the same magic as a universal binary, but never code
# to sign) and plain data.
ARM64, X86_64 = 0x0100000C, 0x01000007
HEADERS = {
    "macho": struct.pack("<2I", 0xFEEDFACF, ARM64) + b"\0" * 56,
    "fat": struct.pack(">2I", 0xCAFEBABE, 2) + struct.pack(">5I", ARM64, 0, 0x4000, 64, 14)
    + struct.pack(">5I", X86_64, 3, 0x8000, 64, 14),
    "class": bytes.fromhex("cafebabe0000003d") + b"\0" * 56,
    "text": b"#!/bin/sh\nexit 0\n",
}

# What jpackage makes, then what jpackage.sh adds: (path in the bundle, header,
# executable, how sign-and-notarize.sh must sign it: None (not on its own),
# "plain" or "entitled").
JPACKAGE_IMAGE = [
    ("Contents/MacOS/Kestrelgate", "macho", True, None),  # the launcher: sealed by the app
    ("Contents/MacOS/launch-helper.sh", "text", True, None),  # a script is not Mach-O
    ("Contents/app/exam.jar", "text", False, None),
    ("Contents/app/Kestrelgate.cfg", "text", False, None),
    ("Contents/Resources/Kestrelgate.icns", "text", False, None),
    ("Contents/runtime/Contents/MacOS/libjli.dylib", "macho", False, "plain"),
    ("Contents/runtime/Contents/Home/bin/java", "macho", True, "entitled"),
    ("Contents/runtime/Contents/Home/lib/libjava.dylib", "fat", False, "plain"),
    ("Contents/runtime/Contents/Home/lib/server/libjvm.dylib", "macho", False, "plain"),
    ("Contents/runtime/Contents/Home/lib/jspawnhelper", "macho", True, "plain"),
    ("Contents/runtime/Contents/Home/lib/Boot.class", "class", False, None),
    ("Contents/runtime/Contents/Home/legal/java.base/LICENSE", "text", False, None),
]
NATIVES = [
    ("Contents/Frameworks/libOSXNatives.dylib", "fat", False, "plain"),
    ("Contents/MacOS/osxnatives-recover", "fat", True, "plain"),
]
# Bundles signed as a whole, after everything inside them.
BUNDLES = {"Contents/runtime": "plain", "": "entitled"}
SIGNED = sum(1 for *_, how in JPACKAGE_IMAGE + NATIVES if how) + len(BUNDLES)

STUB = r'''#!PYTHON
import json, os, pathlib, plistlib, sys
name, argv = os.path.basename(sys.argv[0]), sys.argv[1:]
record = {"tool": name, "argv": argv}
if name == "xcrun" and argv[:2] == ["notarytool", "submit"]:
    record["zip_exists"] = os.path.isfile(argv[2])
with open(os.environ["STUB_LOG"], "a") as log:
    log.write(json.dumps(record) + "\n")
if name == "codesign" and "--verify" in argv:
    sys.exit(1 if os.environ.get("STUB_VERIFY_FAILS") else 0)
if name == "ditto":
    pathlib.Path(argv[-1]).write_bytes(b"PK")
if name == "xcrun" and argv[:2] == ["notarytool", "submit"]:
    print(json.dumps({"message": "Processing complete",
                      "status": os.environ.get("STUB_NOTARY_STATUS", "Accepted"),
                      "id": "4f1c0de0-0000-4000-8000-000000000042"}))
if name == "plistbuddy":
    command, target = argv[1], pathlib.Path(argv[2])
    data = plistlib.loads(target.read_bytes())
    if command.startswith("Print :"):
        key = command[len("Print :"):]
        if key not in data:
            sys.exit(1)
        print(data[key])
    elif command.startswith("Merge "):
        if os.environ.get("STUB_MERGE_ADDS_NOTHING"):
            sys.exit(0)
        for key, value in plistlib.loads(pathlib.Path(command[6:]).read_bytes()).items():
            data.setdefault(key, value)
        target.write_bytes(plistlib.dumps(data))
    else:
        sys.exit(1)
if name == "jpackage":
    options = dict(zip(argv[::2], argv[1::2]))
    app = pathlib.Path(options["--dest"]) / (options["--name"] + ".app")
    for path, header, executable, _ in json.loads(os.environ["STUB_IMAGE"]):
        make = app / path
        make.parent.mkdir(parents=True, exist_ok=True)
        make.write_bytes(bytes.fromhex(header))
        make.chmod(0o755 if executable else 0o644)
    info = {"CFBundleExecutable": options["--name"], "CFBundleName": options["--name"],
            "CFBundleIdentifier": options["--mac-package-identifier"]}
    (app / "Contents/Info.plist").write_bytes(plistlib.dumps(info))
    (app / "Contents/runtime/Contents/Info.plist").write_bytes(
        plistlib.dumps({"CFBundleExecutable": "libjli.dylib"}))
'''
TOOLS = ("codesign", "xcrun", "ditto", "spctl", "jpackage", "plistbuddy")
# The only real programs the scripts may reach: never the real codesign or
# jpackage of this machine. On a Mac, the system's own bash 3.2.
SYSTEM_TOOLS = ("awk", "basename", "chmod", "cp", "cut", "dirname", "find", "grep", "head",
                "mkdir", "mktemp", "od", "rm", "sed", "sort", "tr")
BASH = "/bin/bash" if sys.platform == "darwin" else shutil.which("bash")


def readme_keys():
    """Every entitlement and Info.plist key in the README's table, with its row."""
    lines = (ROOT / "README.md").read_text(encoding="utf-8").splitlines()
    start = lines.index("| entitlement or key | for |")
    keys = {}
    for line in lines[start + 2:]:
        if not line.startswith("|"):
            break
        first, rest = line.split("|")[1], "|".join(line.split("|")[2:])
        for key in re.findall(r"`([^`]+)`", first):
            keys[key] = rest
    return keys


def load_plist(path):
    with open(path, "rb") as f:
        return plistlib.load(f)


class PlistKeys(unittest.TestCase):
    def setUp(self):
        self.readme = readme_keys()
        self.entitlements = load_plist(MACOS / "entitlements.plist")
        self.assessment = load_plist(MACOS / "entitlements-assessment.plist")
        self.fragment = load_plist(MACOS / "Info.plist.fragment")

    def test_readme_table_is_read(self):
        # A README reshuffle must not turn the checks below into no-ops.
        for key in ("com.apple.security.cs.allow-jit", "NSCameraUsageDescription",
                    "CFBundleURLTypes", "CFBundleName", ASSESSMENT):
            with self.subTest(key=key):
                self.assertIn(key, self.readme)

    def test_every_readme_key_is_where_it_belongs(self):
        raw = (MACOS / "entitlements.plist").read_text(encoding="utf-8")
        for key, why in self.readme.items():
            with self.subTest(key=key):
                if key.startswith("com.apple.developer."):
                    # Needs Apple's grant and a profile: only in its own file.
                    self.assertIs(self.assessment.get(key), True)
                    self.assertNotIn(key, self.entitlements)
                elif key.startswith("com.apple.security.") and "only when" in why:
                    # Optional: offered in a comment, never switched on.
                    self.assertNotIn(key, self.entitlements)
                    comments = re.findall(r"<!--(.*?)-->", raw, re.S)
                    self.assertTrue(any(f"<key>{key}</key>" in c for c in comments))
                elif key.startswith("com.apple.security."):
                    self.assertIs(self.entitlements.get(key), True)
                else:
                    self.assertIn(key, self.fragment)

    def test_every_key_in_the_files_is_a_readme_key(self):
        for name, keys in (("entitlements.plist", self.entitlements),
                           ("entitlements-assessment.plist", self.assessment),
                           ("Info.plist.fragment", self.fragment)):
            for key in keys:
                with self.subTest(file=name, key=key):
                    self.assertIn(key, self.readme)

    def test_assessment_file_adds_only_its_entitlement(self):
        self.assertEqual(self.assessment, {**self.entitlements, ASSESSMENT: True})

    def test_url_types_shape(self):
        # A misspelt inner key registers no scheme at all, silently.
        for entry in self.fragment["CFBundleURLTypes"]:
            self.assertTrue(entry["CFBundleURLSchemes"])
            for scheme in entry["CFBundleURLSchemes"]:
                self.assertRegex(scheme, r"^[a-z][a-z0-9+.-]*$")


class UniversalPreset(unittest.TestCase):
    """The native universal build is configured as the cross build's slices are."""

    def test_matches_cross_build(self):
        script = (ROOT / "scripts" / "macos-cross.sh").read_text(encoding="utf-8")
        slices = re.search(r"^slices=\((.*)\)$", script, re.M).group(1)
        slices = [s.split() for s in re.findall(r'"([^"]+)"', slices)]
        cross = dict(re.findall(r"-D(CMAKE_BUILD_TYPE|OSXNATIVES_\w+)=([\w$]+)", script))
        # Tests are a switch of the script (MACOS_CROSS_TESTS), off by default.
        cross["OSXNATIVES_TESTS"] = re.search(r"^tests=(\w+)", script, re.M).group(1)
        presets = json.loads((ROOT / "CMakePresets.json").read_text(encoding="utf-8"))
        preset = next(p for p in presets["configurePresets"] if p["name"] == "macos-universal")
        values = preset["cacheVariables"]
        rows = [
            ("CMAKE_OSX_ARCHITECTURES", sorted(values["CMAKE_OSX_ARCHITECTURES"].split(";")),
             sorted(arch for arch, _ in slices)),
            ("CMAKE_OSX_DEPLOYMENT_TARGET", values["CMAKE_OSX_DEPLOYMENT_TARGET"],
             min((m for _, m in slices), key=lambda v: tuple(map(int, v.split("."))))),
        ] + [(name, values.get(name), cross[name])
             for name in ("CMAKE_BUILD_TYPE", "OSXNATIVES_WERROR", "OSXNATIVES_TESTS",
                          "OSXNATIVES_JAVA", "OSXNATIVES_BENCH")]
        for name, got, want in rows:
            with self.subTest(variable=name):
                self.assertEqual(got, want)
        build = next(p for p in presets["buildPresets"] if p["name"] == "macos-universal")
        self.assertEqual(sorted(build["targets"]), ["OSXNatives", "osxnatives-recover"])


class Recipe(unittest.TestCase):
    """Runs a script with the stand-ins first on PATH."""

    def setUp(self):
        self.dir = pathlib.Path(tempfile.mkdtemp(prefix="packaging_test."))
        self.addCleanup(shutil.rmtree, self.dir)
        self.log = self.dir / "calls.jsonl"

    def stubs(self, without=()):
        bin_dir = self.dir / "bin"
        shutil.rmtree(bin_dir, ignore_errors=True)
        bin_dir.mkdir()
        for tool in SYSTEM_TOOLS:
            (bin_dir / tool).symlink_to(shutil.which(tool))
        (bin_dir / "bash").symlink_to(BASH)
        for tool in TOOLS:
            if tool not in without:
                path = bin_dir / tool
                path.write_text(STUB.replace("PYTHON", sys.executable))
                path.chmod(0o755)
        return bin_dir

    def run_script(self, script, args, without=(), env=None):
        self.log.write_text("")
        bin_dir = self.stubs(without)
        environment = dict(os.environ, PATH=str(bin_dir),
                           STUB_LOG=str(self.log), PLISTBUDDY=str(bin_dir / "plistbuddy"),
                           STUB_IMAGE=json.dumps([(p, HEADERS[h].hex(), x, s)
                                                  for p, h, x, s in JPACKAGE_IMAGE]))
        environment.update(env or {})
        done = subprocess.run([BASH, str(script), *map(str, args)], cwd=self.dir, env=environment,
                              capture_output=True, text=True, timeout=120)
        calls = [json.loads(line) for line in self.log.read_text().splitlines()]
        return done, calls

    def make_app(self, files):
        app = self.dir / "Kestrelgate.app"
        for path, header, executable, _ in files:
            make = app / path
            make.parent.mkdir(parents=True, exist_ok=True)
            make.write_bytes(HEADERS[header])
            make.chmod(0o755 if executable else 0o644)
        (app / "Contents/Info.plist").write_bytes(plistlib.dumps(
            {"CFBundleExecutable": "Kestrelgate", "CFBundleName": "Kestrelgate"}))
        (app / "Contents/runtime/Contents/Info.plist").write_bytes(
            plistlib.dumps({"CFBundleExecutable": "libjli.dylib"}))
        return app

    def signings(self, calls, app):
        """(path relative to the app, argv) of every codesign that signs."""
        found = []
        for call in calls:
            if call["tool"] == "codesign" and "--sign" in call["argv"]:
                path = self.dir / call["argv"][-1]  # the scripts run in self.dir
                found.append(("" if path == app else str(path.relative_to(app)), call["argv"]))
        return found

    @staticmethod
    def index(calls, *prefix):
        """Position of the first call whose tool and leading arguments are PREFIX, or None."""
        for i, call in enumerate(calls):
            if [call["tool"], *call["argv"]][:len(prefix)] == list(prefix):
                return i
        return None

    def check_signed_inside_out(self, calls, app, entitlements):
        expected = {p: how for p, _, _, how in JPACKAGE_IMAGE + NATIVES if how}
        expected.update(BUNDLES)
        signed = self.signings(calls, app)
        self.assertEqual(sorted(p for p, _ in signed), sorted(expected))
        order = [p for p, _ in signed]
        for path, argv in signed:
            with self.subTest(signed=path or "the app"):
                for flag in (["--force"], ["--options", "runtime"], ["--timestamp"],
                             ["--sign", IDENTITY]):
                    self.assertTrue(any(argv[i:i + len(flag)] == flag for i in range(len(argv))),
                                    f"{flag} missing from {argv}")
                if expected[path] == "entitled":
                    self.assertEqual(argv[argv.index("--entitlements") + 1], str(entitlements))
                else:
                    self.assertNotIn("--entitlements", argv)
                # Everything nested in it was signed before it.
                for inner in order:
                    if inner != path and (path == "" or inner.startswith(path + "/")):
                        self.assertLess(order.index(inner), order.index(path))
        self.assertEqual(order[-1], "")
        return signed


class SignAndNotarize(Recipe):
    def test_full_run(self):
        app = self.make_app(JPACKAGE_IMAGE + NATIVES)
        done, calls = self.run_script(SIGN, [app, IDENTITY, "--profile", PROFILE])
        self.assertEqual(done.returncode, 0, done.stderr)
        self.check_signed_inside_out(calls, app, MACOS / "entitlements.plist")
        last_sign = max(i for i, c in enumerate(calls)
                        if c["tool"] == "codesign" and "--sign" in c["argv"])
        steps = [("codesign", "--verify", "--deep", "--strict"),
                 ("ditto", "-c", "-k", "--keepParent", str(app)),
                 ("xcrun", "notarytool", "submit"),
                 ("xcrun", "stapler", "staple", str(app)),
                 ("xcrun", "stapler", "validate", str(app)),
                 ("spctl", "--assess")]
        positions = [self.index(calls, *step) for step in steps]
        for step, position in zip(steps, positions):
            with self.subTest(step=step):
                self.assertIsNotNone(position)
                self.assertGreater(position, last_sign)
        self.assertEqual(positions, sorted(positions))
        submit = calls[positions[2]]
        zip_path = calls[positions[1]]["argv"][-1]
        self.assertEqual(submit["argv"][2], zip_path)
        self.assertTrue(submit["zip_exists"])
        for option in (["--keychain-profile", PROFILE], ["--wait"]):
            with self.subTest(option=option):
                at = submit["argv"].index(option[0])
                self.assertEqual(submit["argv"][at:at + len(option)], option)
        self.assertFalse(os.path.exists(zip_path), "the submitted archive is left behind")

    def test_outcomes(self):
        # (case, extra arguments, environment, exit status, text in the output,
        # the first step that must not run)
        rows = [
            ("no profile: sign only", [], {}, 0, "not notarized", ("ditto",)),
            ("notary rejects", ["--profile", PROFILE], {"STUB_NOTARY_STATUS": "Invalid"}, 1,
             "notarytool log 4f1c0de0-0000-4000-8000-000000000042", ("xcrun", "stapler")),
            ("signature does not verify", ["--profile", PROFILE], {"STUB_VERIFY_FAILS": "1"}, 1,
             "does not verify", ("ditto",)),
        ]
        for case, extra, env, status, text, absent in rows:
            with self.subTest(case=case):
                shutil.rmtree(self.dir / "Kestrelgate.app", ignore_errors=True)
                app = self.make_app(JPACKAGE_IMAGE + NATIVES)
                done, calls = self.run_script(SIGN, [app, IDENTITY, *extra], env=env)
                self.assertEqual(done.returncode, status, done.stderr)
                self.assertIn(text, done.stdout + done.stderr)
                self.assertIsNone(self.index(calls, *absent))
                self.assertEqual(len(self.signings(calls, app)), SIGNED)

    def test_bad_input_fails_before_signing(self):
        def remove(path):
            return lambda app: (app / path).unlink()

        def replace(path, how):
            def change(app):
                target = app / path
                target.unlink()
                how(target)
            return change

        def info(app):
            (app / "Contents/Info.plist").write_bytes(plistlib.dumps({"CFBundleName": "K"}))

        def moved_dylib(app):
            (app / "Contents/Frameworks/libOSXNatives.dylib").rename(
                app / "Contents/MacOS/libOSXNatives.dylib")

        dylib = "Contents/Frameworks/libOSXNatives.dylib"
        recover = "Contents/MacOS/osxnatives-recover"
        assessment = ["--entitlements", MACOS / "entitlements-assessment.plist"]
        # (case, change to a complete app, arguments after APP or None for no
        # arguments at all, missing stand-ins, text of the error)
        rows = [
            ("no arguments", None, None, (), "usage: sign-and-notarize.sh APP IDENTITY"),
            ("empty identity", None, [""], (), "the signing identity is empty"),
            ("no such app", lambda app: shutil.rmtree(app), [IDENTITY], (), "no application at"),
            ("library missing", remove(dylib), [IDENTITY], (), f"{dylib} is missing"),
            ("library beside the launcher", moved_dylib, [IDENTITY], (), f"{dylib} is missing"),
            ("library is a link", replace(dylib, lambda t: t.symlink_to("/bin/true")),
             [IDENTITY], (), "symbolic link"),
            ("library is not Mach-O", replace(dylib, lambda t: t.write_text("x")), [IDENTITY],
             (), f"{dylib} is not a Mach-O file"),
            ("library for one architecture", replace(dylib, lambda t: t.write_bytes(
                HEADERS["macho"])), [IDENTITY], (), "holds arm64, not arm64 and x86_64"),
            ("recovery tool missing", remove(recover), [IDENTITY], (), f"{recover} is missing"),
            ("recovery tool not executable", lambda app: (app / recover).chmod(0o644),
             [IDENTITY], (), "is not executable"),
            ("no launcher named", info, [IDENTITY], (), "names no CFBundleExecutable"),
            ("no entitlements file", None, [IDENTITY, "--entitlements", "nowhere.plist"], (),
             "no entitlements file at nowhere.plist"),
            ("assessment without a profile", None, [IDENTITY, *assessment], (),
             "embedded.provisionprofile is missing"),
            ("profile without a value", None, [IDENTITY, "--profile"], (),
             "--profile needs a value"),
            ("unknown option", None, [IDENTITY, "--deep"], (), "unknown option --deep"),
            ("no xcrun to notarize", None, [IDENTITY, "--profile", PROFILE], ("xcrun",),
             "xcrun is missing"),
        ]
        for case, change, args, without, text in rows:
            with self.subTest(case=case):
                shutil.rmtree(self.dir / "Kestrelgate.app", ignore_errors=True)
                app = self.make_app(JPACKAGE_IMAGE + NATIVES)
                if change:
                    change(app)
                argv = [] if args is None else [app, *args]
                done, calls = self.run_script(SIGN, argv, without=without)
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(text, done.stderr)
                self.assertEqual(self.signings(calls, app), [])


class JPackage(Recipe):
    def setUp(self):
        super().setUp()
        self.input = self.dir / "jars"
        self.input.mkdir()
        (self.input / "exam.jar").write_bytes(b"PK")
        self.natives = self.dir / "natives"
        self.natives.mkdir()
        (self.natives / "libOSXNatives.dylib").write_bytes(HEADERS["fat"] + b"library")
        (self.natives / "osxnatives-recover").write_bytes(HEADERS["fat"] + b"tool")

    def args(self, **changes):
        options = {"--input": self.input, "--main-jar": "exam.jar",
                   "--main-class": "org.example.exam.Main", "--identity": IDENTITY,
                   "--profile": PROFILE, "--natives": self.natives, "--dest": self.dir / "out"}
        options.update(changes)
        return [x for k, v in options.items() if v is not None for x in (k, v)]

    def test_full_run(self):
        # Without --dest, jpackage makes the app in the current folder.
        done, calls = self.run_script(JPACKAGE, self.args(**{"--dest": None}))
        self.assertEqual(done.returncode, 0, done.stderr)
        app = self.dir / "Kestrelgate.app"
        argv = calls[self.index(calls, "jpackage")]["argv"]
        for option, value in (("--type", "app-image"), ("--name", "Kestrelgate"),
                              ("--input", str(self.input)), ("--main-jar", "exam.jar"),
                              ("--main-class", "org.example.exam.Main"),
                              ("--java-options", "-Djava.library.path=$APPDIR/../Frameworks"),
                              ("--mac-package-identifier", "com.trevant.qor.Kestrelgate"),
                              ("--dest", ".")):
            with self.subTest(option=option):
                self.assertEqual(argv[argv.index(option) + 1], value)
        for path, source, mode in (
                ("Contents/Frameworks/libOSXNatives.dylib", "libOSXNatives.dylib", None),
                ("Contents/MacOS/osxnatives-recover", "osxnatives-recover", 0o755)):
            with self.subTest(placed=path):
                self.assertEqual((app / path).read_bytes(), (self.natives / source).read_bytes())
                if mode:
                    self.assertEqual(stat.S_IMODE((app / path).stat().st_mode), mode)
        self.assertEqual((app / "Contents/Resources/OSXNatives-LICENSE").read_bytes(),
                         (ROOT / "LICENSE").read_bytes())
        info = load_plist(app / "Contents/Info.plist")
        fragment = load_plist(MACOS / "Info.plist.fragment")
        self.assertEqual(info["CFBundleExecutable"], "Kestrelgate")
        self.assertEqual(info["CFBundleIdentifier"], "com.trevant.qor.Kestrelgate")
        for key in fragment:
            with self.subTest(merged=key):
                self.assertIn(key, info)
        # Then the whole signing recipe, on what jpackage.sh placed.
        self.check_signed_inside_out(calls, app, MACOS / "entitlements.plist")
        self.assertLess(self.index(calls, "xcrun", "notarytool", "submit"),
                        self.index(calls, "xcrun", "stapler", "staple"))

    def test_merged_info_plist_is_checked(self):
        # Whatever PlistBuddy answers, an Info.plist without the keys is never signed.
        done, calls = self.run_script(JPACKAGE, self.args(),
                                      env={"STUB_MERGE_ADDS_NOTHING": "1"})
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("Info.plist without CFBundleURLTypes", done.stderr)
        self.assertIsNone(self.index(calls, "codesign"))

    def test_bad_input_fails_before_jpackage(self):
        def no_library(test):
            (test.natives / "libOSXNatives.dylib").unlink()

        def thin_tool(test):
            (test.natives / "osxnatives-recover").write_bytes(HEADERS["macho"])

        def fragment_without_camera(test):
            fragment = load_plist(MACOS / "Info.plist.fragment")
            del fragment["NSCameraUsageDescription"]
            (test.dir / "edited.plist").write_bytes(plistlib.dumps(fragment))

        def app_exists(test):
            (test.dir / "out" / "Kestrelgate.app").mkdir(parents=True)

        # (case, change, argument changes, missing stand-ins, text of the error)
        rows = [
            ("no main jar option", None, {"--main-jar": None}, (), "--main-jar is required"),
            ("main jar not in input", None, {"--main-jar": "other.jar"}, (),
             "the main jar other.jar is not in"),
            ("library not built", no_library, {}, (), "no libOSXNatives.dylib in"),
            ("tool for one architecture", thin_tool, {}, (), "holds arm64, not arm64 and x86_64"),
            ("app already there", app_exists, {}, (), "exists already"),
            ("no jpackage", None, {}, ("jpackage",), "jpackage is missing"),
            ("no fragment", None, {"--info-plist": self.dir / "none.plist"}, (),
             "no Info.plist fragment at"),
            ("fragment lacks a key", fragment_without_camera, {"--info-plist": "edited.plist"},
             (), "edited.plist has no NSCameraUsageDescription"),
            ("unknown option", None, {"--mac-sign": "yes"}, (), "unknown argument --mac-sign"),
        ]
        for case, change, changes, without, text in rows:
            with self.subTest(case=case):
                self.setUp()
                if change:
                    change(self)
                done, calls = self.run_script(JPACKAGE, self.args(**changes), without=without)
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(text, done.stderr)
                self.assertIsNone(self.index(calls, "jpackage"))
                self.assertIsNone(self.index(calls, "codesign"))


if __name__ == "__main__":
    unittest.main(verbosity=1)
