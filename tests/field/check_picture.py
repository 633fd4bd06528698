#!/usr/bin/env python3
"""Checks a picture kavhost wrote (--picture) against the session it shows.

  check_picture.py <picture.svg> <session.jsonl> [--declared N] [--difference]

The session is a kavhost recording (--record) or a field session.  Every
element the session created or appended (the create and append requests,
read here from their payload bytes) must be one shape of the drawing group
with the request's answer as data-element, its kind, its class and its
numbers; no other shape may carry an element index that no request of the
session gave.  With --difference the picture must also hold the shapes of
a replay that stopped: at least one "expected" and one "actual", not at
the same place.  Prints one line per finding and exits 1 on any failure.
"""
import json
import math
import struct
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"

# Element codes of the element family: kind, record layout (little-endian
# doubles; arcs end in a 32-bit flag that the picture does not draw).
SHAPES = {
    "point": "<2d", "line": "<4d", "longline": "<4d", "circle": "<3d",
    "arc": "<5di", "ellipse": "<5d", "ellarc": "<7di", "string": "<2d",
}
CREATE = {1220: "point", 1221: "line", 1222: "longline", 1223: "circle", 1224: "arc", 1225: "ellipse",
          1226: "ellarc", 1227: "string"}
APPEND = {1230: "point", 1231: "line", 1232: "longline", 1233: "circle", 1234: "arc", 1235: "ellipse",
          1236: "ellarc", 1237: "string"}

failures = 0


def report(ok, what):
    global failures
    print(("ok: " if ok else "FAILED: ") + what)
    if not ok:
        failures += 1


def session_elements(path, before=None):
    """(seq, index, kind, history, numbers) of each element the session made
    (before the request of seq `before`, when given)."""
    lines = [json.loads(l) for l in open(path, encoding="utf-8") if l.strip()]
    answers = {l["seq"]: l for l in lines[1:] if "answer" in l and "message" not in l}  # field answer lines
    made = []
    for l in lines[1:]:
        code = l.get("code")
        if l.get("message") != 1534 or (code not in CREATE and code not in APPEND):
            continue
        if before is not None and l["seq"] >= before:
            continue
        kind = CREATE.get(code) or APPEND[code]
        answer = l["answer"] if "answer" in l else answers.get(l["seq"], {}).get("answer", 0)
        raw = bytes.fromhex(l["request"].replace(" ", ""))
        fmt = SHAPES[kind]
        values = struct.unpack_from(fmt, raw)
        if fmt.endswith("i"):
            values = values[:-1]
        made.append((l["seq"], answer, kind, "created" if code in CREATE else "appended", list(values)))
    return made


def numbers(shape):
    """The drawing numbers of one SVG shape, as the picture writes them per kind."""
    kind, a = shape.get("data-kind"), shape.attrib
    f = lambda *names: [float(a[n]) for n in names]
    if kind == "point":
        return f("cx", "cy")
    if kind in ("line", "longline"):
        return f("x1", "y1", "x2", "y2")
    if kind == "circle":
        return f("cx", "cy", "r")
    if kind == "ellipse":
        return f("cx", "cy", "rx", "ry")
    if kind == "string":
        t = a["transform"]
        x, y = t[t.index("(") + 1:t.index(")")].split()
        return [float(x), float(y)]
    return [float(v) for v in a["d"].replace("M", " ").replace("A", " ").split()]


def close(a, b):
    return len(a) == len(b) and all(math.isclose(x, y, rel_tol=1e-8, abs_tol=1e-7) for x, y in zip(a, b))


def main():
    args = sys.argv[1:]
    svg, session = args[0], args[1]
    root = ET.parse(svg).getroot()
    report(root.tag == SVG + "svg", f"{svg} is an SVG document")
    title = root.find(SVG + "title")
    report(title is not None and title.text, f"it has a title: {title.text if title is not None else None}")
    drawing = [g for g in root.iter(SVG + "g") if g.get("id") == "drawing"]
    report(len(drawing) == 1 and drawing[0].get("transform", "").startswith("matrix("), "one drawing group, y upwards")
    if not drawing:
        return
    shapes = list(drawing[0])
    banned = [b for b in ("script", "a", "image", "foreignObject", "use") if list(root.iter(SVG + b))]
    report(not banned, f"static: no scripts, links or outside images {banned}")
    elements = [s for s in shapes if s.get("data-element") is not None]
    # A replay that stopped: the drawing is the one before the request it stopped at.
    stopped = None
    if "--difference" in args:
        note = [t for t in root.iter(SVG + "text") if t.get("id") == "note"]
        text = note[0].text if note else ""
        report("the replay stopped at request #" in text, f"the note names the request: {text}")
        if "#" in text:
            stopped = int(text.split("#", 1)[1].split()[0])
    made = session_elements(session, stopped)
    for _, index, kind, history, values in made:
        found = [s for s in elements if s.get("data-element") == str(index)]
        what = f"element {index}, {history} {kind} {values}"
        if len(found) != 1:
            report(False, f"{what}: {len(found)} shapes carry its index")
            continue
        s = found[0]
        classes = s.get("class", "").split()
        report(s.get("data-kind") == kind and history in classes, f"{what}: a {s.get('data-kind')} of class {classes}")
        drawn = numbers(s)
        if kind in ("arc", "ellarc"):
            # Whatever the host's angle senses, the path's ends lie on the curve.
            cx, cy, r1 = values[0], values[1], values[2]
            r2, axis = (values[3], values[4]) if kind == "ellarc" else (r1, 0.0)
            ends = [drawn[i:i + 2] for i in range(0, len(drawn), 7)] + [drawn[-2:]]
            def on_curve(x, y):
                c, d = math.cos(axis), math.sin(axis)
                u, v = (x - cx) * c + (y - cy) * d, -(x - cx) * d + (y - cy) * c
                return abs(math.hypot(u / r1, v / r2) - 1) < 1e-7
            report(all(on_curve(x, y) for x, y in ends), f"{what}: a path whose ends lie on it: {s.get('d')}")
        elif kind == "longline":
            # Through both points of the request.
            (x1, y1, x2, y2), (p, q, r, t) = values, drawn
            on = lambda x, y: abs((r - p) * (y - q) - (t - q) * (x - p)) <= 1e-6 * max(1.0, math.hypot(r - p, t - q) ** 2)
            report(on(x1, y1) and on(x2, y2), f"{what}: drawn through its points")
        elif kind == "ellipse":
            t = s.get("transform", "rotate(0)")
            turn = float(t[t.index("(") + 1:].split()[0].rstrip(")"))
            report(close(drawn, values[:4]) and math.isclose(math.radians(turn), values[4], abs_tol=1e-8),
                   f"{what}: drawn at {drawn}, turned {turn} degrees")
        else:
            report(close(drawn, values), f"{what}: drawn at {drawn}")
    if "--declared" in args:
        want = int(args[args.index("--declared") + 1])
        declared = [s for s in elements if "declared" in s.get("class", "").split()]
        report(len(declared) == want and {s.get("data-element") for s in declared} == {str(i) for i in range(1, want + 1)},
               f"{len(declared)} declared elements, numbered {[s.get('data-element') for s in declared]}")
    made_indices = {str(m[1]) for m in made}
    others = [s.get("data-element") for s in elements if s.get("data-element") not in made_indices
              and not {"declared", "read"} & set(s.get("class", "").split())]
    report(not others, f"no shape claims an element the session did not make: {others}")
    if "--difference" in args:
        def marked(c):
            return [s for s in shapes if c in s.get("class", "").split()]
        expected, actual = marked("expected"), marked("actual")
        report(expected and actual, f"{len(expected)} expected and {len(actual)} actual shapes")
        if expected and actual:
            report(not close(numbers(expected[0]), numbers(actual[0])),
                   f"expected {numbers(expected[0])} and actual {numbers(actual[0])} lie apart")
            # The expected shape is the one the recording holds at that request.
            recorded = [m for m in session_elements(session) if m[0] == stopped]
            report(recorded and close(numbers(expected[0]), recorded[0][4]),
                   f"expected is the recording's request #{stopped}: {recorded[0][4] if recorded else None}")
    print(f"{svg}: {len(elements)} elements, {len(shapes)} shapes, {failures} failures")


if __name__ == "__main__":
    try:
        main()
    except Exception as e:  # a picture that does not parse is a finding, not a crash
        report(False, f"{sys.argv[1:]}: {type(e).__name__}: {e}")
    sys.exit(1 if failures else 0)
