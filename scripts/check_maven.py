#!/usr/bin/env python3
"""Checks a Maven repository folder the way a resolver reads it.

Every .pom parses as a Maven 4.0.0 model whose coordinates match its path;
every file has .sha256, .sha1 and .md5 files that match it; every jar is named
<artifactId>-<version>[-<classifier>].jar beside its pom; every dependency a
pom declares is in the folder.

  check_maven.py REPOSITORY                       check everything
  check_maven.py REPOSITORY --resolve G:A:V[:C]   ... then print the jar's path

Exits 1 with one line per problem.
"""
import hashlib
import pathlib
import sys
import xml.etree.ElementTree as ElementTree

NAMESPACE = "{http://maven.apache.org/POM/4.0.0}"
SUMS = {"sha256": hashlib.sha256, "sha1": hashlib.sha1, "md5": hashlib.md5}


def coordinates(pom_path):
    """(groupId, artifactId, version, [dependency coordinates]) of a pom."""
    root = ElementTree.parse(pom_path).getroot()
    if root.tag != NAMESPACE + "project":
        raise ValueError("root element is not a Maven 4.0.0 project")
    if root.findtext(NAMESPACE + "modelVersion") != "4.0.0":
        raise ValueError("modelVersion is not 4.0.0")
    fields = [root.findtext(NAMESPACE + name) for name in ("groupId", "artifactId", "version")]
    if not all(fields):
        raise ValueError("groupId, artifactId or version missing")
    dependencies = []
    for dependency in root.iter(NAMESPACE + "dependency"):
        dependencies.append(tuple(dependency.findtext(NAMESPACE + name)
                                  for name in ("groupId", "artifactId", "version")))
    return (*fields, dependencies)


def artifact_path(repository, group, artifact, version, classifier="", extension="jar"):
    name = f"{artifact}-{version}" + (f"-{classifier}" if classifier else "") + f".{extension}"
    return repository.joinpath(*group.split("."), artifact, version, name)


def check(repository):
    problems = []
    files = [p for p in repository.rglob("*") if p.is_file()]
    checksums = {p for p in files if p.suffix[1:] in SUMS}
    poms = {}
    for path in sorted(set(files) - checksums):
        for sum_name, digest in SUMS.items():
            side = path.with_name(path.name + "." + sum_name)
            if not side.is_file():
                problems.append(f"{path}: no .{sum_name}")
            elif side.read_text().strip() != digest(path.read_bytes()).hexdigest():
                problems.append(f"{path}: .{sum_name} does not match")
        if path.suffix == ".pom":
            try:
                group, artifact, version, dependencies = coordinates(path)
            except (ElementTree.ParseError, ValueError) as error:
                problems.append(f"{path}: {error}")
                continue
            if path != artifact_path(repository, group, artifact, version, extension="pom"):
                problems.append(f"{path}: coordinates {group}:{artifact}:{version} name another path")
            poms[path.parent] = (artifact, version, dependencies)
    for path in sorted(p for p in set(files) - checksums if p.suffix == ".jar"):
        if path.parent not in poms:
            problems.append(f"{path}: no pom beside it")
            continue
        artifact, version, _ = poms[path.parent]
        stem = f"{artifact}-{version}"
        if not (path.stem == stem or path.stem.startswith(stem + "-")):
            problems.append(f"{path}: not named {stem}[-classifier].jar")
    for folder, (_, _, dependencies) in poms.items():
        for group, artifact, version in dependencies:
            if not artifact_path(repository, group, artifact, version).is_file():
                problems.append(f"{folder}: dependency {group}:{artifact}:{version} is missing")
    if not poms:
        problems.append(f"{repository}: no pom at all")
    return problems


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--resolve"):
        print(__doc__, file=sys.stderr)
        return 2
    repository = pathlib.Path(argv[1]).resolve()
    problems = check(repository)
    for problem in problems:
        print("check_maven: " + problem, file=sys.stderr)
    if problems:
        return 1
    if len(argv) == 4:
        parts = argv[3].split(":")
        if len(parts) not in (3, 4):
            print(f"check_maven: {argv[3]} is not group:artifact:version[:classifier]",
                  file=sys.stderr)
            return 2
        jar = artifact_path(repository, *parts)
        if not jar.is_file():
            print(f"check_maven: {argv[3]} is not in {repository}", file=sys.stderr)
            return 1
        print(jar)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
