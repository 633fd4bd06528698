"""The HTML reference: one page per family of exports, the events, the
records and an index, static pages that read offline."""
import html
import os
import re

from kavgen.descriptions import HOST_PROFILE_NOTE
from kavgen.events import IDENTITY_PARAM_NAME
from kavgen.layout import Layout, argument_direction, argument_kind, sentence
from kavgen.output import write


STYLE = """body { font-family: sans-serif; margin: 0; color: #222; line-height: 1.45; }
nav { background: #2b3a4a; padding: .5em 1em; }
nav a { color: #fff; margin-right: .9em; text-decoration: none; white-space: nowrap; }
nav a:hover { text-decoration: underline; }
main { max-width: 64em; padding: 1em 2em 4em; }
h1 { font-size: 1.6em; }
h2 { font-size: 1.25em; margin-top: 2.2em; border-bottom: 1px solid #ccc; padding-bottom: .2em; }
code, pre { font-family: monospace; font-size: .95em; }
pre { background: #f4f4f4; padding: .5em .8em; overflow-x: auto; }
pre.proto { background: #eef3f8; border-left: 3px solid #2b3a4a; }
table { border-collapse: collapse; margin: .6em 0; }
th, td { border: 1px solid #ccc; padding: .2em .5em; text-align: left; vertical-align: top; }
th { background: #f0f0f0; }
td.num { text-align: right; font-family: monospace; white-space: nowrap; }
.request { border: 1px solid #ccd; background: #fafbfd; padding: .2em .9em .6em; margin: .8em 0; }
.strip { display: flex; flex-wrap: wrap; gap: 2px; margin: .6em 0; }
.strip div { border: 1px solid #889; padding: .15em .4em; font-size: .85em; font-family: monospace; min-width: 5em; }
.in { background: #dbe8fb; } .out { background: #dcf3dc; }
.in-out { background: #eadcf6; } .back { background: #fbecd2; }
.legend span { padding: 0 .4em; margin-right: .4em; border: 1px solid #889; font-size: .85em; }
.toc { columns: 3 16em; padding-left: 1.2em; }
.label { font-weight: bold; }
"""


def inline(ref, text, here):
    """Prose to HTML: escaped, `code` spans, names of the reference linked."""
    out = []
    for i, part in enumerate(text.split("`")):
        if i % 2 == 0:
            out.append(html.escape(part, quote=False))
            continue
        target = ref.href(part, here)
        code = f"<code>{html.escape(part, quote=False)}</code>"
        out.append(f'<a href="{html.escape(target)}">{code}</a>' if target else code)
    return "".join(out)


def link_names(ref, text, here):
    """Plain text whose bare names of exports, events and records become links."""
    def one(m):
        target = ref.href(m.group(0), here)
        return f'<a href="{html.escape(target)}">{m.group(0)}</a>' if target else m.group(0)
    return re.sub(r"\b[A-Z][A-Za-z0-9_]+\b", one, html.escape(text, quote=False))


def page(ref, title, here, body):
    links = ['<a href="index.html">Index</a>']
    for family in ref.export_families() + ([ref.events_family()] if ref.events_family() else []):
        links.append(f'<a href="{family.stem}.html" title="{html.escape(family.title)}">{family.stem}</a>')
    links.append('<a href="records.html">Records</a>')
    return "\n".join([
        "<!DOCTYPE html>", '<html lang="en">', "<head>", '<meta charset="utf-8">',
        f"<title>{html.escape(title)} - Kavlink reference</title>", '<link rel="stylesheet" href="style.css">',
        "</head>", "<body>", "<nav>" + " ".join(links) + "</nav>", "<main>", body, "</main>", "</body>", "</html>", ""])


def html_slots(ref, slots, caption):
    rows = [f"<tr><td class=\"num\">{html.escape(s.offset.text())}</td><td class=\"num\">"
            f"{html.escape(s.size.text())}</td><td class=\"{s.direction}\">{s.direction}</td>"
            f"<td><code>{html.escape(s.name)}</code>: {link_names(ref, s.what, None)}</td></tr>" for s in slots]
    strip = "".join(f'<div class="{s.direction}" title="{html.escape(s.what)}">{html.escape(s.name)}<br>'
                    f"@{html.escape(s.offset.text())}<br>{html.escape(s.size.text())} B</div>" for s in slots)
    return (f"<p>{caption}</p>\n<div class=\"strip\">{strip}</div>\n"
            "<table><tr><th>offset</th><th>size</th><th>direction</th><th>segment</th></tr>\n" + "\n".join(rows) +
            "</table>")


def html_request(ref, e, here):
    layout = Layout(e, ref.records)
    parts = ['<div class="request">', f"<p><span class=\"label\">Request.</span> "
             f"{inline(ref, layout.request_line(), here)}</p>"]
    if e.code:
        if layout.sent:
            parts.append(html_slots(ref, layout.sent,
                                    "Payload, from offset 0 of the payload area (byte 4 of the block):"))
        else:
            parts.append("<p>No payload.</p>")
        if layout.back:
            parts.append(html_slots(ref, layout.back, "Read back from offset 0 after the answer:"))
        if layout.sent or layout.back:
            parts.append('<p class="legend"><span class="in">in: to the host</span><span class="in-out">in-out: '
                         'to the host and back</span><span class="out">out: back from the host</span>'
                         '<span class="back">back: read after the answer</span> len(x): bytes of text x before '
                         'its terminating zero.</p>')
    for line in (layout.copy_back(), layout.refusal()):
        if line:
            parts.append(f"<p>{html.escape(line)}</p>")
    parts.append("</div>")
    return "\n".join(parts)


def html_see(ref, entry, here):
    if not entry.see:
        return ""
    links = []
    for name, _ in entry.see:
        links.append(f'<a href="{html.escape(ref.href(name, here))}"><code>{name}</code></a>')
    return f"<p><span class=\"label\">See also:</span> {', '.join(links)}</p>"


def html_paragraphs(ref, paragraphs, here):
    """Paragraphs as HTML; a run of list items ("- ...") becomes one list."""
    out = []
    for p in paragraphs:
        if not p.startswith("- "):
            out.append(f"<p>{inline(ref, p, here)}</p>")
            continue
        item = f"<li>{inline(ref, p[2:], here)}</li>"
        if out and out[-1].endswith("</ul>"):
            out[-1] = out[-1][:-len("</ul>")] + item + "</ul>"
        else:
            out.append(f"<ul>{item}</ul>")
    return out


def html_section(ref, name, proto, entry, here, table, returns, labelled, extra=(), request=""):
    """One entry of a page: heading, prototype, prose, argument table, result,
    the labelled notes, the request (exports only) and the see-also line."""
    parts = [f'<section id="{name}">', f"<h2>{name}</h2>", f'<pre class="proto">{proto}</pre>']
    parts += html_paragraphs(ref, entry.paragraphs, here)
    parts.append(table)
    parts += extra
    parts.append(f"<p><span class=\"label\">Returns</span> <code>{returns}</code>: "
                 f"{inline(ref, entry.text('return'), here)}</p>")
    parts += [f"<p><span class=\"label\">{lead}</span> {inline(ref, text, here)}</p>" for text, lead in labelled if text]
    parts += [request, html_see(ref, entry, here), "</section>"]
    return "\n".join(p for p in parts if p)


def html_table(header, rows):
    return ("<table><tr>" + "".join(f"<th>{h}</th>" for h in header) + "</tr>\n" + "\n".join(rows) + "</table>"
            if rows else "")


def html_export(ref, e, here):
    entry = ref.entries[e.name]
    rows = [f"<tr><td><code>{name}</code></td><td><code>{html.escape(e.prototype.params[i].type_text())}"
            f"</code></td><td>{argument_direction(e, i).replace(',', '-')}</td><td>"
            f"{inline(ref, argument_kind(e, i, ref.records), here)}</td><td>"
            f"{inline(ref, entry.param(name), here)}</td></tr>"
            for i, name in enumerate(a.name for a in e.args)]
    return html_section(ref, e.name, html.escape(e.prototype.text(e.name, 100)), entry, here,
                        html_table(("argument", "C", "direction", "kind", "meaning"), rows),
                        html.escape(e.prototype.result.strip()),
                        ((sentence(entry.text("refuses")), "Refused by the library:"),
                         (sentence(entry.text("host")) + " " + HOST_PROFILE_NOTE if entry.text("host") else "",
                          "Belongs to the host:")),
                        request=html_request(ref, e, here))


def html_event(ref, ev, here):
    entry = ref.entries[ev.name]
    rows = [f"<tr><td><code>{p.name}</code></td><td><code>{p.idl_type}{'*' if p.by_ref else ''}</code></td>"
            f"<td>{p.direction.replace(', ', '-')}</td><td>{inline(ref, entry.param(p.name), here)}</td></tr>"
            for p in ev.params]
    extra = []
    if ev.params and ev.params[0].name == IDENTITY_PARAM_NAME:
        extra.append(f"<p>The name of <code>{IDENTITY_PARAM_NAME}</code> in a component's type library comes "
                     f"from <code>KAVCMD_HWND_PARAM</code> of its identity header.</p>")
    return html_section(ref, ev.name, f"[id(0x{ev.dispid:08x})] {html.escape(ev.signature())}", entry, here,
                        html_table(("parameter", "type", "direction", "meaning"), rows), "HRESULT",
                        ((entry.text("refuses"), "Refused:"), (entry.text("host"), "Belongs to the host:")), extra)


def html_family(ref, family, items):
    here = family.stem + ".html"
    body = [f"<h1>{html.escape(family.title)}</h1>"]
    body += html_paragraphs(ref, family.intro, here)
    body.append('<ul class="toc">' + "".join(f'<li><a href="#{n}"><code>{n}</code></a></li>' for n, _ in items) +
                "</ul>")
    body += [section for _, section in items]
    return page(ref, family.title, here, "\n".join(body))


def html_records(ref):
    here = "records.html"
    body = ["<h1>Records</h1>",
            "<p>The records that travel between the library and the host, as <code>kavlink_records.h</code> "
            "declares them. Each is packed: fields follow one another without padding, little-endian, and the "
            "library copies a record whole, by its size. A record of bytes keeps a layout that only the host "
            "knows.</p>",
            '<ul class="toc">' + "".join(f'<li><a href="#{n}"><code>{n}</code></a></li>'
                                         for n in ref.records.order) + "</ul>"]
    for name in ref.records.order:
        r = ref.records.records[name]
        body.append(f'<section id="{name}">')
        body.append(f"<h2>{name} <small>({r.size} bytes)</small></h2>")
        body += [f"<p>{link_names(ref, ' '.join(p.split()), here)}</p>" for p in r.doc.split("\n\n")]
        rows = []
        for f, offset in zip(r.fields, r.offsets):
            size = ref.records.field_bytes(f)
            ctype = f.ctype + (" *" if f.pointer else "")
            ctype_html = link_names(ref, ctype, here)
            count = f"[{f.count}]" if f.count > 1 else ""
            rows.append(f"<tr><td class=\"num\">{offset}</td><td class=\"num\">{size * f.count}</td>"
                        f"<td><code>{ctype_html}</code></td><td><code>{f.name}{count}</code></td>"
                        f"<td>{link_names(ref, ' '.join(f.doc.split()), here)}</td></tr>")
        body.append("<table><tr><th>offset</th><th>size</th><th>type</th><th>field</th><th>meaning</th></tr>\n" +
                    "\n".join(rows) + "</table>")
        users = [e.name for e in ref.exports if any(p.ctype == name for p in e.prototype.params)]
        if users and not r.opaque():
            body.append(f"<details><summary>Taken by {len(users)} functions</summary><p>" +
                        ", ".join(f'<a href="{ref.href(u, here)}"><code>{u}</code></a>' for u in users) +
                        "</p></details>")
        body.append("</section>")
    return page(ref, "Records", here, "\n".join(body))


def html_index(ref):
    here = "index.html"
    body = ["<h1>Kavlink reference</h1>",
            "<p>Every function of <code>kavlink.dll</code>, every event that a command component answers, and "
            "every record they exchange. Each function's entry shows the request it makes: the command code, "
            "the lParam, and each payload segment with its offset, size and direction.</p>",
            "<h2>Families</h2>", "<ul>"]
    for family in ref.export_families():
        count = sum(1 for e in ref.exports if ref.family_of[e.name] is family)
        body.append(f'<li><a href="{family.stem}.html">{html.escape(family.title)}</a> ({count} functions)</li>')
    events = ref.events_family()
    if events:
        body.append(f'<li><a href="{events.stem}.html">{html.escape(events.title)}</a> ({len(ref.events)} '
                    f"events)</li>")
    body.append(f'<li><a href="records.html">Records</a> ({len(ref.records.order)} records)</li>')
    body += ["</ul>", "<h2>Every name</h2>", "<table><tr><th>name</th><th>what</th><th>where</th></tr>"]
    names = [(e.name, "function", ref.family_of[e.name].title) for e in ref.exports]
    names += [(ev.name, "event", ref.family_of[ev.name].title) for ev in ref.events]
    names += [(r, "record", "Records") for r in ref.records.order]
    for name, what, where in sorted(names, key=lambda n: n[0].lower()):
        body.append(f'<tr><td><a href="{html.escape(ref.href(name, here))}"><code>{name}</code></a></td>'
                    f"<td>{what}</td><td>{html.escape(where)}</td></tr>")
    body.append("</table>")
    return page(ref, "Index", here, "\n".join(body))


def write_reference(ref, folder):
    """Every page, each written only where its bytes change; pages of
    families that are gone are removed."""
    os.makedirs(folder, exist_ok=True)
    pages = {f.stem + ".html" for f in ref.export_families()} | {"records.html", "index.html"}
    if ref.events_family():
        pages.add(ref.events_family().stem + ".html")
    for name in os.listdir(folder):
        if name.endswith(".html") and name not in pages:
            os.remove(os.path.join(folder, name))
    for family in ref.export_families():
        here = family.stem + ".html"
        items = [(e.name, html_export(ref, e, here)) for e in ref.exports if ref.family_of[e.name] is family]
        write(os.path.join(folder, here), html_family(ref, family, items))
    events = ref.events_family()
    if events:
        here = events.stem + ".html"
        items = [(ev.name, html_event(ref, ev, here)) for ev in ref.events]
        write(os.path.join(folder, here), html_family(ref, events, items))
    write(os.path.join(folder, "records.html"), html_records(ref))
    write(os.path.join(folder, "index.html"), html_index(ref))
    write(os.path.join(folder, "style.css"), STYLE)
