"""Reads the event list: the interface block of the command IDL template,
one method per event with its dispatch id and typed parameters."""
import re

from kavgen.model import Event, EventParam, TableError

EVENT_METHOD = re.compile(r"\[id\((0x[0-9A-Fa-f]+)\)\]\s*HRESULT\s+(\w+)\s*\(([^)]*)\)")
IDENTITY_PARAM = "@KAVCMD_HWND_PARAM@"
IDENTITY_PARAM_NAME = "hWnd"  # how descriptions name it; each component names it itself


def parse_events(path):
    """The event methods of the interface block of the IDL template."""
    text = re.sub(r"//[^\n]*", "", open(path, encoding="utf-8").read())
    events = []
    for m in EVENT_METHOD.finditer(text):
        params = []
        for p in [" ".join(p.split()) for p in re.split(r",(?![^\[]*\])", m.group(3)) if p.strip()]:
            pm = re.match(r"^\[(in|in, out)\] (\w+)(\*?) ([@\w]+)$", p)
            if not pm:
                raise TableError(f"{path}: cannot read parameter '{p}' of {m.group(2)}")
            name = IDENTITY_PARAM_NAME if pm.group(4) == IDENTITY_PARAM else pm.group(4)
            params.append(EventParam(pm.group(1), pm.group(2), pm.group(3) == "*", name))
        events.append(Event(m.group(2), int(m.group(1), 16), params))
    if not events:
        raise TableError(f"{path}: no event methods found")
    return events
