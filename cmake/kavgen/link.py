"""The link files: the linker's export list and the decorated names that
import libraries are made from."""
from kavgen.output import write


def write_def(exports, path):
    out = ["; Generated from api/kavlink.exports: undecorated names, each bound to its decorated",
           "; __stdcall symbol so that the linker checks the argument bytes.", "LIBRARY kavlink.dll", "EXPORTS"]
    section = None
    for e in exports:
        if e.section != section:
            section = e.section
            out.append(f"; {section}")
        out.append(f"    {e.name} = {e.name}@{e.arg_bytes()}")
    write(path, "\n".join(out) + "\n")


def write_import_def(exports, path):
    out = ["; Generated from api/kavlink.exports: the decorated names, for import libraries.",
           "LIBRARY kavlink.dll", "EXPORTS"]
    out += [f"    {e.name}@{e.arg_bytes()}" for e in exports]
    write(path, "\n".join(out) + "\n")
