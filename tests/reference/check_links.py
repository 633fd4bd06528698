#!/usr/bin/env python3
"""Checks the generated HTML reference and the guides that link into it.

    check_links.py REFERENCE_DIR DOCS_DIR

In the reference: every href and src names a file of the reference and, with
a #fragment, an id of that file; nothing points outside (no scheme, no
absolute path); no page needs a script; no id is used twice on a page; and
index.html links to every entry of every page.  In DOCS_DIR/*.md: every
relative link resolves; links of the form reference/<page>#<Name> resolve
into REFERENCE_DIR (where the kit installs the reference beside the guides).
Prints each broken link and exits 1 if there is any.
"""
import html.parser
import os
import re
import sys
from urllib.parse import unquote


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.ids = []
        self.links = []     # (attribute value, line)
        self.scripts = 0
        self.sections = []  # ids of <section> elements (the entries)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "script":
            self.scripts += 1
        for key, value in attrs.items():
            if key.startswith("on"):
                self.scripts += 1
        if "id" in attrs:
            self.ids.append(attrs["id"])
            if tag == "section":
                self.sections.append(attrs["id"])
        for key in ("href", "src"):
            if attrs.get(key) is not None:
                self.links.append((attrs[key], self.getpos()[0]))


_pages = {}


def read_page(path):
    if path in _pages:
        return _pages[path]
    page = _pages[path] = Page()
    page.feed(open(path, encoding="utf-8").read())
    page.close()
    return page


def main():
    reference, docs = sys.argv[1], sys.argv[2]
    problems = []
    pages = {name: read_page(os.path.join(reference, name))
             for name in sorted(os.listdir(reference)) if name.endswith(".html")}
    if "index.html" not in pages:
        problems.append(f"{reference}: no index.html")

    def resolve(target, base_dir, where, inside_reference, shown=None):
        shown = shown or target
        if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target) or target.startswith("//") or target.startswith("/"):
            if inside_reference:
                problems.append(f"{where}: '{shown}' points outside the reference")
            return
        path, _, fragment = target.partition("#")
        path = unquote(path)
        if not path:
            file = os.path.normpath(base_dir["self"])
        else:
            file = os.path.normpath(os.path.join(base_dir["dir"], path))
        if not os.path.isfile(file):
            problems.append(f"{where}: '{shown}': no file {file}")
            return
        if fragment:
            if not file.endswith(".html"):
                problems.append(f"{where}: '{shown}': a fragment into a file that is not a page")
                return
            ids = read_page(file).ids
            if fragment not in ids:
                problems.append(f"{where}: '{shown}': {os.path.basename(file)} has no id '{fragment}'")

    linked = set()
    for name, page in pages.items():
        here = os.path.join(reference, name)
        if page.scripts:
            problems.append(f"{here}: uses scripts")
        seen = set()
        for i in page.ids:
            if i in seen:
                problems.append(f"{here}: id '{i}' used twice")
            seen.add(i)
        for target, line in page.links:
            resolve(target, {"dir": reference, "self": here}, f"{here}:{line}", True)
            if name == "index.html":
                path, _, fragment = target.partition("#")
                linked.add((path or name, fragment))
    for name, page in pages.items():
        for section in page.sections:
            if (name, section) not in linked:
                problems.append(f"{reference}/index.html: no link to {name}#{section}")

    link = re.compile(r"\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
    guide_links = 0
    for name in sorted(os.listdir(docs)):
        if not name.endswith(".md"):
            continue
        path = os.path.join(docs, name)
        for number, line in enumerate(open(path, encoding="utf-8"), 1):
            for target in link.findall(line):
                where = f"{path}:{number}"
                if target.startswith("#"):
                    continue
                guide_links += 1
                if target.startswith("reference/"):
                    resolve(target[len("reference/"):], {"dir": reference, "self": path}, where, True, target)
                else:
                    resolve(target, {"dir": docs, "self": path}, where, False)

    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} broken link(s)")
        return 1
    print(f"checked {len(pages)} pages and {guide_links} links of the guides in {docs}: no broken link")
    return 0


if __name__ == "__main__":
    sys.exit(main())
