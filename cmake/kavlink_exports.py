#!/usr/bin/env python3
"""Reads api/kavlink.exports and writes the files the build derives from it.

    kavlink_exports.py TABLE [--records H] [--descriptions DIR] [--events IDL]
                             [--def F] [--import-def F] [--table-header F]
                             [--bas F] [--idl F] [--header F] [--reference DIR]
                             [--summaries F] [--event-template F]

--records       include/kavlink_records.h: the hand-written records and their
                doc comments (needed by --table-header and everything below it,
                and by rows that take a size from a record)
--descriptions  api/descriptions: one Markdown file of prose per family
--events        the command IDL template, whose interface block lists the events
--def           the linker's export list: Name = Name@N
--import-def    the decorated names alone (Name@N), for import libraries
--table-header  kavlink_table.h: every export's layout as typed C++ constants
                (kavtable::kExports), read by kavhost and the tests
--bas           the declarations module for Automation clients
--idl           a type library source with a module of every export
--header        kavlink.h: every prototype with its reference comment
--reference     the HTML reference (one page per family, records, index)
--summaries     C++ table of every export's and event's summary (for tests)
--event-template  the IDL template with a helpstring on every event; needs
                only --descriptions and --events (TABLE names the exports
                that the events' @see may name)

The prototypes are derived from the table: the C type of an argument comes
from its kind and segments, or from the type the row names.  A malformed
table stops the build with "TABLE:LINE: message"; a missing or wrong
description with "FILE:LINE: message" (every problem is listed).

The work is done by the package kavgen beside this file: the model
(kavgen.model), the readers that fill it (table, records, events,
descriptions) and the emitters that only render it (link, ctable, cheader,
automation, html).  Every output is written only where its bytes change.
"""
import argparse
import os
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from kavgen.automation import write_bas, write_event_template, write_idl  # noqa: E402
from kavgen.cheader import write_header, write_summaries  # noqa: E402
from kavgen.ctable import write_table  # noqa: E402
from kavgen.descriptions import EVENTS_STEM, Reference, parse_descriptions  # noqa: E402
from kavgen.events import parse_events  # noqa: E402
from kavgen.html import write_reference  # noqa: E402
from kavgen.link import write_def, write_import_def  # noqa: E402
from kavgen.model import TableError  # noqa: E402
from kavgen.records import Records  # noqa: E402
from kavgen.table import assign_units, derive_prototypes, parse  # noqa: E402


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("table")
    p.add_argument("--records")
    p.add_argument("--descriptions")
    p.add_argument("--events")
    p.add_argument("--def", dest="def_file")
    p.add_argument("--import-def")
    p.add_argument("--table-header")
    p.add_argument("--bas")
    p.add_argument("--idl")
    p.add_argument("--header")
    p.add_argument("--reference")
    p.add_argument("--summaries")
    p.add_argument("--event-template")
    a = p.parse_args()
    documented = [a.bas, a.idl, a.header, a.reference, a.summaries]
    try:
        records = Records(a.records) if a.records else None
        exports = parse(a.table, records)
        ref = None
        if a.table_header and not records:
            raise TableError("--table-header needs --records")
        if records:
            derive_prototypes(exports, records, a.table)
            assign_units(exports, records, a.table)
        if any(documented) or a.event_template:
            if not (a.records and a.descriptions and a.events):
                raise TableError("--bas, --idl, --header, --reference, --summaries and --event-template need "
                                 "--records, --descriptions and --events")
            records.check_host_records(exports)
            events = parse_events(a.events)
            events_only = not any(documented)
            families, errors = parse_descriptions(
                a.descriptions, EVENTS_STEM if events_only else None)
            ref = Reference(exports, events, records, families, a.table, a.descriptions)
            errors += ref.check(events_only)
            if errors:
                for line in errors:
                    print(f"error: {line}", file=sys.stderr)
                print(f"error: {len(errors)} problem(s) in the reference descriptions", file=sys.stderr)
                return 1
        if a.def_file:
            write_def(exports, a.def_file)
        if a.import_def:
            write_import_def(exports, a.import_def)
        if a.table_header:
            write_table(exports, records, a.table_header, "api/kavlink.exports")
        if a.bas:
            write_bas(exports, records, a.bas, ref)
        if a.idl:
            write_idl(exports, records, a.idl, ref)
        if a.header:
            write_header(ref, a.header, "api/kavlink.exports")
        if a.summaries:
            write_summaries(ref, a.summaries)
        if a.event_template:
            write_event_template(ref, a.events, a.event_template)
        if a.reference:
            write_reference(ref, a.reference)
    except (TableError, OSError) as err:
        print(f"error: {err}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
