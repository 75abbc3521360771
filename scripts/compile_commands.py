"""The compile commands of a CMake build (compile_commands.json) as argument
lists that compile nothing to disk, for the checks that rerun the compiler
over the same sources (syntax trees, the static analyser, another SDK)."""
import json
import pathlib
import shlex


def entries(build_dir):
    """The entries of `build_dir`'s compile_commands.json."""
    return json.loads((pathlib.Path(build_dir) / "compile_commands.json").read_text())


def check_argv(entry, sysroot=None, compiler=None):
    """The entry's compiler arguments without its output and dependency files
    (-o, -MT, -MF, -MD) and without -c; with `sysroot` in place of its
    -isysroot and `compiler` in place of its compiler when given."""
    argv = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    kept, skip = [compiler or argv[0]], False
    for arg in argv[1:]:
        if skip:
            skip = False
        elif arg in ("-o", "-MT", "-MF"):
            skip = True
        elif arg == "-isysroot" and sysroot:
            kept += ["-isysroot", sysroot]
            skip = True
        elif arg not in ("-c", "-MD"):
            kept.append(arg)
    return kept
