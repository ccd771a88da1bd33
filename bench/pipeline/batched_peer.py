#!/usr/bin/python3
"""The batched peer of the pipeline benchmark: the pump's database work for a
set of reports, written as a script writer would write it with a product cache
and executemany, through the same ODBC driver (python3-pyodbc).

    batched_peer.py CONNECTION-STRING DIGEST...

Each DIGEST is what report_digest made of a batch of decompressed reports (the
peer neither decodes nor parses: it is read before the clock starts). Per
report, as the pump: the activity row (Transactions) names the workstation;
then one transaction finds or creates the workstation, finds or creates each
product in the catalogue (the same columns written, empty description or
version filled in later as the pump does), records the ODBC drivers and data
sources, replaces the workstation's links (new ones inserted, gone ones
deleted) and, when the workstation had its first inventory before, writes a
change alert per product added or removed. Names are found by their keys
(<column>_Key), as the pump finds them.

Statements are prepared once per text (one cursor each); products not yet seen
in this run are looked up together, created together, and kept in a cache for
the rest of the run. Prints one line:
    "peer: N reports (F failed), S statements in T s"
The clock starts before the connection is opened, as the pump's run opens its
own. Exit status 0, 1 when the database cannot be reached or a digest read.
"""
import datetime
import sys
import time

import pyodbc

# The keys' letters: Windows-1252's capitals and their small letters. Report
# text is Windows-1252, so str.lower() on it follows the same rule.
IN_CHUNK = 400  # parameters of one IN (...) list


def name_key(name):
    return name.rstrip(" ").lower()


class Report:
    __slots__ = ("workstation", "file", "lines", "odbc")

    def __init__(self, workstation, file):
        self.workstation = workstation
        self.file = file
        self.lines = []  # (product, vendor, description, version) or None per line with fields
        self.odbc = []  # (line index, driver tuple, [(name, database, server), ...])


def read_digest(path, reports):
    with open(path, encoding="utf-8", newline="\n") as digest:
        for row in digest:
            fields = row.rstrip("\n").split("\t")
            kind = fields[0]
            if kind == "R":
                reports.append(Report(fields[1], fields[2]))
            elif kind == "P":
                reports[-1].lines.append(tuple(fields[1:5]))
            elif kind == "-":
                reports[-1].lines.append(None)
            elif kind == "D":
                reports[-1].odbc.append((len(reports[-1].lines) - 1, tuple(fields[1:5]), []))
            elif kind == "S":
                reports[-1].odbc[-1][2].append(tuple(fields[1:4]))


class Peer:
    def __init__(self, connection_string):
        self.db = pyodbc.connect(connection_string, autocommit=True)
        dbms = self.db.getinfo(pyodbc.SQL_DBMS_NAME).lower()
        self.postgresql = "postgres" in dbms
        self.cursors = {}
        self.statements = 0
        self.products = {}  # key -> [id, name, ignore, set of empty columns]
        self.names = {}  # id -> (name, ignore), for the alerts
        self.drivers = {}  # the four keys -> ODBC_ID
        self.today = datetime.date.today()
        self.set_transac("")

    def cursor(self, sql):
        # A cursor per text: pyodbc prepares a text again only when it changes.
        cur = self.cursors.get(sql)
        if cur is None:
            cur = self.cursors[sql] = self.db.cursor()
        return cur

    def run(self, sql, params=()):
        self.statements += 1
        return self.cursor(sql).execute(sql, params)

    def run_many(self, sql, rows):
        if rows:
            self.statements += 1
            self.cursor(sql).executemany(sql, rows)

    def inserted_id(self, sql, params, id_column):
        if self.postgresql:
            return self.run(sql + " RETURNING " + id_column, params).fetchone()[0]
        self.run(sql, params)
        return self.run("SELECT last_insert_rowid()").fetchone()[0]

    def chunks(self, values):
        values = list(values)
        for start in range(0, len(values), IN_CHUNK):
            yield values[start:start + IN_CHUNK]

    def set_transac(self, workstation):
        if self.run("UPDATE Transactions SET SIUser = '', SIPoste = ?", (workstation,)).rowcount == 0:
            self.run("INSERT INTO Transactions (SIUser, SIPoste) VALUES ('', ?)", (workstation,))

    # --- the steps of a report ---------------------------------------------------

    def workstation(self, name):
        """(PosteID, created now, first inventory, the product ids linked before)."""
        row = self.run("SELECT PosteID, Poste_FirstSoftInventory FROM Postes WHERE Poste_Nom_Key = ? "
                       "ORDER BY PosteID", (name_key(name),)).fetchone()
        if row is None:
            today = self.today
            poste_id = self.inserted_id(
                "INSERT INTO Postes (Poste_Nom, Poste_Domain, Poste_FirstSoftInventory, "
                "Poste_LastSoftInventory, PosteHardID, PosteSoftID, Poste_OpsID, Poste_SerialNumber, "
                "Poste_BiosSerialNum, Poste_Mac, Poste_LastSoftUsageReport, Poste_FirstHardInventory, "
                "Poste_LastHardInventory, Poste_LastUser) VALUES (?, '', ?, ?, 0, 0, 0, '', '', '', ?, ?, ?, '')",
                (name, today, today, today, today, today), "PosteID")
            return poste_id, True, True, set()
        poste_id, first_date = row
        # A first inventory in the years 1900 to 1909 is a placeholder: this is the first one.
        first = first_date is not None and "190" in str(first_date)
        if first:
            self.run("UPDATE Postes SET Poste_FirstSoftInventory = ?, Poste_LastSoftInventory = ? "
                     "WHERE PosteID = ?", (self.today, self.today, poste_id))
        else:
            self.run("UPDATE Postes SET Poste_LastSoftInventory = ? WHERE PosteID = ?",
                     (self.today, poste_id))
        linked = {r[0] for r in self.run(
            "SELECT DISTINCT PosteSoft_ProductID FROM PosteSoftware WHERE PosteSoft_PosteID = ?",
            (poste_id,)).fetchall()}
        return poste_id, False, first, linked

    def find_products(self, keys):
        for chunk in self.chunks(keys):
            marks = ",".join("?" * len(chunk))
            rows = self.run(
                "SELECT SOFTPRODUCT_ID, SOFTPRODUCT_PRODUCT_Key, SOFTPRODUCT_PRODUCT, SOFTPRODUCT_IGNORE, "
                "SOFTPRODUCT_DESCRIPTION, SOFTPRODUCT_COPYRIGHT, SOFTPRODUCT_VERSION FROM SoftProduct "
                "WHERE SOFTPRODUCT_PRODUCT_Key IN (" + marks + ") ORDER BY SOFTPRODUCT_ID", chunk).fetchall()
            for pid, key, name, ignore, description, vendor, version in rows:
                if key in self.products:
                    continue  # the first of rows stored twice, as the pump's look-up reads it
                empty = {column for column, text in (("SOFTPRODUCT_DESCRIPTION", description),
                                                      ("SOFTPRODUCT_COPYRIGHT", vendor),
                                                      ("SOFTPRODUCT_VERSION", version)) if text == ""}
                self.products[key] = [pid, name, ignore, empty]
                self.names[pid] = (name, ignore)

    def catalogue(self, report):
        """The product id of each line (None for a line without one)."""
        wanted = {}  # key -> [name, vendor, description, version]: the first line's, blanks filled later
        keys = []
        for line in report.lines:
            if line is None:
                keys.append(None)
                continue
            key = name_key(line[0])
            keys.append(key)
            values = wanted.get(key)
            if values is None:
                wanted[key] = list(line)
            else:
                for i in (2, 3):  # the pump fills an empty description or version from a later line
                    if values[i] == "" and line[i] != "":
                        values[i] = line[i]
        unknown = [k for k in wanted if k not in self.products]
        if unknown:
            self.find_products(unknown)
            new = [k for k in unknown if k not in self.products]
            self.run_many(
                "INSERT INTO SoftProduct (SOFTPRODUCT_DESCRIPTION, SOFTPRODUCT_PRODUCT, SOFTPRODUCT_VERSION, "
                "SOFTPRODUCT_COPYRIGHT, SOFTPRODUCT_PACKAGE, SOFTPRODUCT_LICENCE_GROUPE_NUMBER, "
                "SOFTPRODUCT_LICENCE_NUMBER, SOFTPRODUCT_LICENCE_ID, SOFTPRODUCT_LICBUY, SOFTPRODUCT_PRICE, "
                "SOFTPRODUCT_IGNORE, SOFTPRODUCT_USED) VALUES (?, ?, ?, ?, '', '', '', 0, 0, 0, 0, 0)",
                [(wanted[k][2], wanted[k][0], wanted[k][3], wanted[k][1]) for k in new])
            if new:
                self.find_products(new)
        fills = {}
        for key, values in wanted.items():
            entry = self.products.get(key)
            if entry is None or not entry[3]:
                continue
            for column, text in (("SOFTPRODUCT_DESCRIPTION", values[2]), ("SOFTPRODUCT_COPYRIGHT", values[1]),
                                 ("SOFTPRODUCT_VERSION", values[3])):
                if column in entry[3] and text != "":
                    fills.setdefault(column, []).append((text, entry[0]))
                    entry[3].discard(column)
        for column, rows in fills.items():
            self.run_many("UPDATE SoftProduct SET " + column + " = ? WHERE SOFTPRODUCT_ID = ?", rows)
        return [None if k is None else (self.products[k][0] if k in self.products else None) for k in keys]

    def odbc(self, report, poste_id, new_workstation, line_ids):
        if not any(sources for _, _, sources in report.odbc):
            return
        stored = set()
        if not new_workstation:
            stored = {tuple(r) for r in self.run(
                "SELECT DSN_ODBC_ID, DSN_Name_Key, DSN_DBName_Key, DSN_ServName_Key FROM ODBC_DSN "
                "WHERE DSN_POSTEID = ?", (poste_id,)).fetchall()}
        rows = []
        for line, driver, sources in report.odbc:
            if not sources:
                continue  # a driver is recorded only together with a data source
            keys = tuple(name_key(part) for part in driver)
            driver_id = self.drivers.get(keys)
            if driver_id is None:
                row = self.run("SELECT ODBC_ID FROM ODBC_Drv WHERE ODBC_DrvName_Key = ? AND ODBC_Desc_Key = ? "
                               "AND ODBC_ProdVers_Key = ? AND ODBC_CPR_Key = ? ORDER BY ODBC_ID", keys).fetchone()
                if row is not None:
                    driver_id = row[0]
                else:
                    product_id = line_ids[line] if line >= 0 and line_ids[line] is not None else 0
                    driver_id = self.inserted_id(
                        "INSERT INTO ODBC_Drv (ODBC_PRODUCTID, ODBC_DrvName, ODBC_Desc, ODBC_ProdVers, ODBC_CPR) "
                        "VALUES (?, ?, ?, ?, ?)", (product_id,) + driver, "ODBC_ID")
                self.drivers[keys] = driver_id
            for source in sources:
                source_key = (driver_id,) + tuple(name_key(part) for part in source)
                if source_key not in stored:
                    stored.add(source_key)
                    rows.append((driver_id, poste_id) + source)
        self.run_many("INSERT INTO ODBC_DSN (DSN_ODBC_ID, DSN_POSTEID, DSN_Name, DSN_DBName, DSN_ServName) "
                      "VALUES (?, ?, ?, ?, ?)", rows)

    def links(self, report, poste_id, first, linked, line_ids):
        now = {pid for pid in line_ids if pid is not None}
        if not linked:
            self.run_many("INSERT INTO PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID) VALUES (?, ?)",
                          [(poste_id, pid) for pid in sorted(now)])
            return
        added = sorted(now - linked)
        removed = sorted(linked - now)
        self.run_many("INSERT INTO PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID) VALUES (?, ?)",
                      [(poste_id, pid) for pid in added])
        self.run_many("DELETE FROM PosteSoftware WHERE PosteSoft_PosteID = ? AND PosteSoft_ProductID = ?",
                      [(poste_id, pid) for pid in removed])
        if first:
            return
        unknown = [pid for pid in removed if pid not in self.names]
        for chunk in self.chunks(unknown):
            marks = ",".join("?" * len(chunk))
            for pid, name, ignore in self.run(
                    "SELECT SOFTPRODUCT_ID, SOFTPRODUCT_PRODUCT, SOFTPRODUCT_IGNORE FROM SoftProduct "
                    "WHERE SOFTPRODUCT_ID IN (" + marks + ")", chunk).fetchall():
                self.names[pid] = (name, ignore)
        alerts = []
        for code, critique, ids in (("|967|", 2, added), ("|968|", 3, removed)):
            for pid in ids:
                if pid not in self.names:
                    continue  # no longer in the catalogue
                name, ignore = self.names[pid]
                wanted = ignore == 0 if ignore is not None else bool(name)
                if wanted:
                    alerts.append((report.workstation, critique, code + (name or "")))
        self.run_many("INSERT INTO Changement (Changement_Poste, Changement_User, Changement_Date, "
                      "Changement_Type, Changement_Critique, Changement_Data, Changement_ACK) "
                      "VALUES (?, '', Getdate(), 2, ?, ?, 0)", alerts)

    def apply(self, report, last_workstation):
        if report.workstation != last_workstation:
            self.set_transac(report.workstation)
        self.db.autocommit = False
        try:
            poste_id, created, first, linked = self.workstation(report.workstation)
            self.set_transac("")
            line_ids = self.catalogue(report)
            self.odbc(report, poste_id, created, line_ids)
            self.links(report, poste_id, first, linked, line_ids)
            self.db.commit()
        except pyodbc.Error:
            self.db.rollback()
            # What this run cached may have gone with the transaction.
            self.products.clear()
            self.names.clear()
            self.drivers.clear()
            raise
        finally:
            self.db.autocommit = True


def main(argv):
    if len(argv) < 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    reports = []
    try:
        for path in argv[2:]:
            read_digest(path, reports)
    except OSError as error:
        print("batched_peer:", error, file=sys.stderr)
        return 1
    # Name order, case folded, as the pump takes its queue.
    reports.sort(key=lambda r: r.file.lower())

    start = time.monotonic()
    try:
        peer = Peer(argv[1])
    except pyodbc.Error as error:
        print("batched_peer: cannot connect:", error, file=sys.stderr)
        return 1
    failed = 0
    last = None
    for report in reports:
        try:
            peer.apply(report, last)
            last = report.workstation
        except pyodbc.Error as error:
            failed += 1
            last = None
            if failed <= 3:
                print("batched_peer: %s: %s" % (report.file, error), file=sys.stderr)
    peer.db.close()
    seconds = time.monotonic() - start
    print("peer: %d reports (%d failed), %d statements in %.3f s" %
          (len(reports), failed, peer.statements, seconds))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
