#!/usr/bin/env python3
"""The verdicts of bench/chaos.sh, from table dumps and the agents' manifests.

  judge.py reports MANIFEST DUMP [BEFORE] --disk LISTING --applied OUT [--slow FILES]
      what became of each report of the manifest's round: prints the counts
      as KEY=VALUE lines (those of the reports named in FILES, the slow
      writers', apart too), one line per report that did not end in the
      database on standard error, and writes the names of the workstations
      whose report is in the database to OUT
  judge.py alerts MANIFEST DUMP REFERENCE APPLIED...
      the change alerts of the workstations named in every APPLIED file,
      checked against the manifest's added and removed products and against
      the uninterrupted run's alerts
  judge.py tables DUMP REFERENCE
      rows of each table that are not in both dumps, ids and dates left out

A DUMP is a folder of tab-separated table dumps (postes, links, alerts,
products, dsn) with "<null>" for Null, written by bench/chaos.sh. Names are
compared as the database compares them: without regard to case or trailing
spaces.
"""

import collections
import os
import sys


def norm(text):
    return text.rstrip(" ").casefold()


def rows(dump, table):
    with open(os.path.join(dump, table + ".tsv"), encoding="utf-8",
              errors="surrogateescape") as f:
        return [line.rstrip("\n").split("\t") for line in f if line.strip("\n")]


def manifest(path):
    """{workstation: {"file": name, "installed": set, "alerts": Counter}}"""
    reports = {}
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            if line.startswith("#"):
                continue
            kind, *fields = line.rstrip("\n").split("\t")
            if kind == "report":
                reports[norm(fields[1])] = {"name": fields[1], "file": fields[2],
                                            "installed": set(),
                                            "alerts": collections.Counter()}
            elif kind == "installed":
                reports[norm(fields[1])]["installed"].add(norm(fields[2]))
            elif kind in ("added", "removed"):
                code = "|967|" if kind == "added" else "|968|"
                reports[norm(fields[1])]["alerts"][norm(code + fields[2])] += 1
    return reports


def links_by_workstation(dump):
    """{workstation: [product names]}, and the workstations with a row twice."""
    links = collections.defaultdict(list)
    doubled = set()
    seen = set()
    for poste_id, product_id, poste, product in rows(dump, "links"):
        links[norm(poste)].append(norm(product))
        if (poste_id, product_id) in seen:
            doubled.add(norm(poste))
        seen.add((poste_id, product_id))
    for poste, products in links.items():
        if len(products) != len(set(products)):
            doubled.add(poste)
    names = collections.Counter(norm(name) for _, name in rows(dump, "postes"))
    doubled.update(name for name, count in names.items() if count > 1)
    return links, doubled


def on_disk(listing):
    """{folder kind: set of file names}, from lines "KIND<TAB>NAME"."""
    found = collections.defaultdict(set)
    with open(listing, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            kind, _, name = line.rstrip("\n").partition("\t")
            found[kind].add(name.casefold())
    return found


def kept_on_disk(file_name, found):
    name = file_name.casefold()
    if name in found["incoming"] or name in found["decompressed"]:
        return True
    # A file set aside may be renamed so that it does not replace another.
    return any(kept.startswith(name) for kept in found["failed"])


def judge_reports(args, options):
    expected = manifest(args[0])
    links, doubled = links_by_workstation(args[1])
    before = links_by_workstation(args[2])[0] if len(args) > 2 else {}
    found = on_disk(options["--disk"])
    slow = set()
    if "--slow" in options:
        with open(options["--slow"], encoding="utf-8") as f:
            slow = {line.strip().casefold() for line in f if line.strip()}
    counts = collections.Counter(dropped=len(expected))
    applied = []
    for station, report in sorted(expected.items()):
        now_set = set(links.get(station, []))
        disk = kept_on_disk(report["file"], found)
        if station in doubled:
            key, why = "half_applied", "rows stored twice"
        elif now_set == report["installed"]:
            key, why = "in_db", ""
        elif now_set == set(before.get(station, [])):
            key, why = ("on_disk", "not applied, kept on disk") if disk else (
                "lost", "not applied, and no file left")
        else:
            key = "half_applied"
            why = (f"{len(report['installed'] - now_set)} of its products missing, "
                   f"{len(now_set - report['installed'])} others linked")
        counts[key] += 1
        counts[key + "_slow"] += report["file"].casefold() in slow
        if key == "in_db":
            applied.append(station)
            counts["in_db_and_on_disk"] += disk
        else:
            state = "" if key != "half_applied" else (
                ", file kept" if disk else ", no file left")
            print(f"{report['name']} {report['file']}: {key.replace('_', '-')}: {why}{state}",
                  file=sys.stderr)
    with open(options["--applied"], "w", encoding="utf-8") as out:
        out.writelines(station + "\n" for station in applied)
    for key in ("dropped", "in_db", "on_disk", "lost", "half_applied", "in_db_and_on_disk",
                "lost_slow", "half_applied_slow"):
        print(f"{key}={counts[key]}")


def alert_rows(dump):
    by_station = collections.defaultdict(collections.Counter)
    for row in rows(dump, "alerts"):
        by_station[norm(row[0])][tuple(norm(v) for v in row)] += 1
    return by_station


def judge_alerts(args):
    expected = manifest(args[0])
    chaos, reference = alert_rows(args[1]), alert_rows(args[2])
    checked = None
    for path in args[3:]:
        with open(path, encoding="utf-8") as f:
            names = {line.strip() for line in f if line.strip()}
        checked = names if checked is None else checked & names
    counts = collections.Counter()
    for station, report in sorted(expected.items()):
        # The uninterrupted run against the manifest: the judge's own check.
        ref_data = collections.Counter({row[4]: n for row, n in reference[station].items()})
        counts["reference_wrong"] += ref_data != report["alerts"]
        if station not in checked:
            counts["unchecked"] += 1
            continue
        data = collections.Counter()
        for row, n in chaos[station].items():
            data[row[4]] += n
        if chaos[station] == reference[station] and data == report["alerts"]:
            counts["right"] += 1
            continue
        counts["wrong"] += 1
        missing = sum((report["alerts"] - data).values())
        extra = sum((data - report["alerts"]).values())
        print(f"{report['name']}: {sum(data.values())} change alerts instead of "
              f"{sum(report['alerts'].values())} ({missing} missing, {extra} not expected)",
              file=sys.stderr)
    for key in ("right", "wrong", "unchecked", "reference_wrong"):
        print(f"{key}={counts[key]}")


def judge_tables(args):
    for table in ("postes", "links", "alerts", "products", "dsn"):
        # Ids are left out: they differ between two runs that did the same.
        skip = {"postes": 1, "links": 2}.get(table, 0)
        chaos = collections.Counter(tuple(norm(v) for v in row[skip:])
                                    for row in rows(args[0], table))
        reference = collections.Counter(tuple(norm(v) for v in row[skip:])
                                        for row in rows(args[1], table))
        differ = sum(((chaos - reference) + (reference - chaos)).values())
        print(f"{table}={differ}")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    command, positional, options = sys.argv[1], [], {}
    args = iter(sys.argv[2:])
    for arg in args:
        if arg.startswith("--"):
            options[arg] = next(args)
        else:
            positional.append(arg)
    if command == "reports":
        judge_reports(positional, options)
    elif command == "alerts":
        judge_alerts(positional)
    elif command == "tables":
        judge_tables(positional)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
