"""Writes a generated file only when its bytes change, so that what depends
on it is not rebuilt for nothing."""
import os


def write(path, text, newline="\n"):
    """Writes `text` (lines ending in "\\n", or as given with newline="")."""
    data = (text if newline in ("", "\n") else text.replace("\n", newline)).encode("utf-8")
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return False
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return True
