#!/usr/bin/env python3
"""scripts/check_maven.py finds each fault a resolver would trip over.

A small repository (a library, a natives jar, a second artifact depending on
the first) is written, found clean, then broken one way per row; each row
must be reported with the path it concerns.
"""
import hashlib
import pathlib
import shutil
import subprocess
import sys
import tempfile

SCRIPT = pathlib.Path(__file__).resolve().parent.parent / "scripts" / "check_maven.py"
GROUP = "org.example.kit"


def pom(artifact, dependency=None):
    dependencies = ""
    if dependency:
        dependencies = (f"<dependencies><dependency><groupId>{GROUP}</groupId><artifactId>"
                        f"{dependency}</artifactId><version>1.2.3</version></dependency>"
                        "</dependencies>")
    return (f'<project xmlns="http://maven.apache.org/POM/4.0.0"><modelVersion>4.0.0'
            f"</modelVersion><groupId>{GROUP}</groupId><artifactId>{artifact}</artifactId>"
            f"<version>1.2.3</version>{dependencies}</project>")


def write(path, data):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    for name in ("sha256", "sha1", "md5"):
        path.with_name(path.name + "." + name).write_text(hashlib.new(name, data).hexdigest())


def make(repository):
    lib = repository / "org/example/kit/lib/1.2.3"
    write(lib / "lib-1.2.3.pom", pom("lib").encode())
    write(lib / "lib-1.2.3.jar", b"PK jar")
    write(lib / "lib-1.2.3-natives-linux-x86_64.jar", b"PK natives")
    kit = repository / "org/example/kit/kit/1.2.3"
    write(kit / "kit-1.2.3.pom", pom("kit", "lib").encode())
    write(kit / "kit-1.2.3.jar", b"PK kit")


def run(repository, *extra):
    return subprocess.run([sys.executable, str(SCRIPT), str(repository), *extra],
                          capture_output=True, text=True)


LIB = "org/example/kit/lib/1.2.3/"
KIT = "org/example/kit/kit/1.2.3/"
# (what breaks, how, a text the report must hold)
ROWS = [
    ("a jar changed after its sums", lambda r: (r / LIB / "lib-1.2.3.jar").write_bytes(b"PK other"),
     "lib-1.2.3.jar: .sha256 does not match"),
    ("a missing .sha1", lambda r: (r / KIT / "kit-1.2.3.jar.sha1").unlink(),
     "kit-1.2.3.jar: no .sha1"),
    ("a pom that does not parse", lambda r: write(r / KIT / "kit-1.2.3.pom", b"<project"),
     "kit-1.2.3.pom"),
    ("coordinates of another path",
     lambda r: write(r / KIT / "kit-1.2.3.pom", pom("kit2", "lib").encode()),
     "coordinates org.example.kit:kit2:1.2.3 name another path"),
    ("a dependency not in the folder", lambda r: shutil.rmtree(r / LIB),
     "dependency org.example.kit:lib:1.2.3 is missing"),
    ("a jar named for another artifact", lambda r: write(r / KIT / "lib-1.2.3.jar", b"PK"),
     "lib-1.2.3.jar: not named kit-1.2.3[-classifier].jar"),
]


def main():
    failures = []
    with tempfile.TemporaryDirectory() as temp:
        clean = pathlib.Path(temp) / "clean"
        make(clean)
        result = run(clean)
        if result.returncode != 0:
            failures.append(f"the clean repository fails: {result.stderr}")
        resolved = run(clean, "--resolve", f"{GROUP}:lib:1.2.3:natives-linux-x86_64")
        if resolved.stdout.strip() != str(clean / LIB / "lib-1.2.3-natives-linux-x86_64.jar"):
            failures.append(f"--resolve printed {resolved.stdout!r}")
        if run(clean, "--resolve", f"{GROUP}:lib:9.9.9").returncode != 1:
            failures.append("--resolve of an absent version succeeded")
        for index, (what, breaks, expected) in enumerate(ROWS):
            repository = pathlib.Path(temp) / str(index)
            make(repository)
            breaks(repository)
            result = run(repository)
            if result.returncode != 1 or expected not in result.stderr:
                failures.append(f"{what}: exit {result.returncode}, report {result.stderr!r}")
    for failure in failures:
        print("check_maven_test: " + failure, file=sys.stderr)
    print(f"check_maven_test: {len(ROWS)} faults, {len(failures)} missed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
