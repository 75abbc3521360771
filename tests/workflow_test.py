#!/usr/bin/env python3
"""Checks a GitHub Actions workflow against what a machine without a Mac can
know: it parses; every job runs on a runner label GitHub offers today (a
retired label queues forever and never starts); every `run:` command, line by
line, is one the README gives, so the README's instructions are the ones CI
proves.

Usage: workflow_test.py WORKFLOW.yml README.md
"""
import re
import sys

import yaml

# GitHub-hosted runner labels in service (December 2026). macos-13 was retired
# on 4 December 2025; Intel jobs moved to macos-15-intel.
CURRENT_LABELS = {
    "macos-14", "macos-15", "macos-15-intel", "macos-26", "macos-latest",
    "ubuntu-22.04", "ubuntu-24.04", "ubuntu-latest",
}


def readme_commands(readme):
    """Every line of the README's fenced sh blocks, without comments."""
    commands, inside = set(), False
    for line in readme.splitlines():
        if line.startswith("```"):
            inside = line.strip() == "```sh" if not inside else False
            continue
        if inside:
            command = re.sub(r"\s+#.*$", "", line).strip()
            if command:
                commands.add(command)
    return commands


def labels(runs_on, matrix):
    """The labels a `runs-on` value can take, expanding `${{ matrix.X }}`."""
    found = re.fullmatch(r"\$\{\{\s*matrix\.(\w+)\s*\}\}", str(runs_on).strip())
    if not found:
        return runs_on if isinstance(runs_on, list) else [runs_on]
    values = (matrix or {}).get(found.group(1))
    if not isinstance(values, list) or not values:
        raise ValueError(f"runs-on names matrix.{found.group(1)}, which lists no runners")
    return values


def main(workflow_path, readme_path):
    with open(workflow_path, encoding="utf-8") as f:
        workflow = yaml.safe_load(f)
    with open(readme_path, encoding="utf-8") as f:
        commands = readme_commands(f.read())
    problems = []
    jobs = workflow.get("jobs") if isinstance(workflow, dict) else None
    if not isinstance(jobs, dict) or not jobs:
        problems.append("no jobs")
        jobs = {}
    for name, job in jobs.items():
        matrix = (job.get("strategy") or {}).get("matrix")
        try:
            for label in labels(job.get("runs-on"), matrix):
                if label not in CURRENT_LABELS:
                    problems.append(f"job {name}: runner label {label!r} is not a current one")
        except ValueError as error:
            problems.append(f"job {name}: {error}")
        for step in job.get("steps") or []:
            for line in str(step.get("run", "")).splitlines():
                line = line.strip()
                if line and line not in commands:
                    problems.append(f"job {name}: {line!r} is not a README command")
    for problem in problems:
        print(f"workflow_test: {problem}", file=sys.stderr)
    if not problems:
        print(f"workflow_test: {workflow_path} uses current runners and README commands only")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
