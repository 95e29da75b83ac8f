#!/usr/bin/env python3
"""Several command-line programs of one person work on one practice at once.

Each worker adds patients, cases, charges and payments, and all of them post
charges on one shared account. A run may be refused only as the system refuses
a record in use (exit 1 naming it); any other failure, a lost row or a total
the recalculation has to correct fails the script.

    workstations.py --cli build/bin/vantrell-cli [--server] [--workers 8] [--rounds 6]

With --server, VANTRELL_SERVER (or VANTRELL_TEST_SERVER) names the database
server. Every run is bounded by a time limit.
"""
import argparse
import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile
import time
import uuid
from concurrent.futures import ThreadPoolExecutor

RUN_LIMIT_SECONDS = 120
REFUSALS = ("in use",)  # the system's refusals of a record or practice another program holds


class Practice:
    def __init__(self, cli, home, server, path, root):
        self.cli, self.home, self.server, self.path, self.root = cli, home, server, path, root

    def run(self, *arguments):
        command = [self.cli]
        if self.server:
            command.append("--server")
        if self.root:
            command += ["--root", self.root]
        command += ["--practice", self.path, *arguments]
        environment = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                           XDG_DATA_HOME=os.path.join(self.home, "data"),
                           XDG_STATE_HOME=os.path.join(self.home, "state"))
        started = time.monotonic()
        try:
            done = subprocess.run(command, capture_output=True, text=True, timeout=RUN_LIMIT_SECONDS,
                                  env=environment, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            return (-1, "", f"no answer within {RUN_LIMIT_SECONDS} s", time.monotonic() - started)
        return (done.returncode, done.stdout, done.stderr, time.monotonic() - started)


def must(practice, *arguments):
    code, out, err, _ = practice.run(*arguments)
    if code != 0:
        sys.exit(f"set-up failed: {' '.join(arguments)}: exit {code}\n{out}{err}")
    return out.strip().splitlines()[0] if out.strip() else ""


class Tally:
    def __init__(self):
        self.runs = 0
        self.refused = 0
        self.failures = []
        self.patients = 0
        self.charges = 0


def attempt(practice, tally, *arguments):
    """Runs one command; returns its first output line when it was done, None when refused."""
    code, out, err, seconds = practice.run(*arguments)
    tally.runs += 1
    if code == 0:
        return out.strip().splitlines()[0] if out.strip() else ""
    if code == 1 and any(text in err for text in REFUSALS):
        tally.refused += 1
        return None
    tally.failures.append(f"{' '.join(arguments)}: exit {code} after {seconds:.1f} s: {err.strip() or out.strip()}")
    return None


def worker(practice, number, rounds, shared_case):
    tally = Tally()
    for round_number in range(rounds):
        chart = attempt(practice, tally, "patient", "add", f"Last Name=Worker{number}", f"First Name=Round{round_number}")
        if chart is None:
            continue
        tally.patients += 1
        case = attempt(practice, tally, "case", "add", "--chart", chart, "Description=Visit",
                       "Assigned Provider=DR1", "Insurance Carrier #1=MC", "Diagnosis 1=R05")
        if case is None:
            continue
        if attempt(practice, tally, "charge", "add", "--chart", chart, "--case", case, "99213") is not None:
            tally.charges += 1
        check = attempt(practice, tally, "payment", "add", "--chart", chart, "--case", case, "CHK", "30")
        if check:
            attempt(practice, tally, "payment", "apply-oldest", check)
        if attempt(practice, tally, "charge", "add", "--chart", "SHARE000", "--case", shared_case, "99213") is not None:
            tally.charges += 1
        attempt(practice, tally, "balance", "show", "--chart", chart)
        attempt(practice, tally, "options", "show")
    return tally


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--server", action="store_true")
    parser.add_argument("--workers", type=int, default=8)
    parser.add_argument("--rounds", type=int, default=6)
    arguments = parser.parse_args()

    home = tempfile.mkdtemp(prefix="vantrell-workstations-")
    name = "ws" + uuid.uuid4().hex[:10]
    if arguments.server:
        os.environ.setdefault("VANTRELL_SERVER", os.environ.get("VANTRELL_TEST_SERVER", ""))
        if not os.environ["VANTRELL_SERVER"]:
            sys.exit("VANTRELL_SERVER is not set")
        practice = Practice(os.path.abspath(arguments.cli), home, True, name, name + "root")
    else:
        practice = Practice(os.path.abspath(arguments.cli), home, False, os.path.join(home, "Clinic"), None)
    try:
        creator = Practice(practice.cli, home, practice.server, practice.path, practice.root)
        code, out, err, _ = creator.run("practice", "create", "--name", "Clinic", "--path", practice.path)
        # "practice create" takes the path itself; the --practice before it is harmless.
        if code != 0:
            sys.exit(f"practice create failed: exit {code}\n{out}{err}")
        for setup in (["provider", "add", "DR1", "Last Name=Welby"], ["carrier", "add", "MC", "Name=Medicare"],
                      ["diagnosis", "add", "R05", "Description=Cough"], ["code", "add", "99213", "Amount A=100"],
                      ["code", "add", "CHK", "Type=K"], ["patient", "add", "Chart Number=SHARE000", "Last Name=Share"]):
            must(practice, *setup)
        shared_case = must(practice, "case", "add", "--chart", "SHARE000", "Description=Shared",
                           "Assigned Provider=DR1", "Insurance Carrier #1=MC", "Diagnosis 1=R05")

        started = time.monotonic()
        with ThreadPoolExecutor(max_workers=arguments.workers) as pool:
            tallies = list(pool.map(lambda n: worker(practice, n, arguments.rounds, shared_case),
                                    range(arguments.workers)))
        seconds = time.monotonic() - started
        runs = sum(t.runs for t in tallies)
        refused = sum(t.refused for t in tallies)
        failures = [f for t in tallies for f in t.failures]
        patients = sum(t.patients for t in tallies)
        charges = sum(t.charges for t in tallies)

        # Nothing lost: every run that said it was done left its row.
        def rows(table, where=None):
            extra = ["--filter", where] if where else []
            code, out, err, _ = practice.run("table", "export", table, *extra)
            if code != 0:
                failures.append(f"table export {table}: exit {code}: {err.strip()}")
                return 0
            return max(0, len(list(csv.reader(io.StringIO(out)))) - 1)

        stored_patients = rows("QVPAT") - 1
        stored_charges = rows("QVTRN", "Transaction Type = 'A'")
        if stored_patients != patients:
            failures.append(f"{patients} patients were added but {stored_patients} are stored")
        if stored_charges != charges:
            failures.append(f"{charges} charges were added but {stored_charges} are stored")
        code, out, err, _ = practice.run("recalc")
        corrected = [line for line in out.splitlines() if "corrected" in line and " 0 corrected" not in line]
        if code != 0 or corrected:
            failures.append(f"the recalculation found totals to correct (exit {code}): {out.strip()} {err.strip()}")

        engine = "PostgreSQL" if arguments.server else "SQLite"
        print(f"{engine}: {arguments.workers} programs, {runs} runs in {seconds:.1f} s, {refused} refused as in use, "
              f"{len(failures)} failed; {patients} patients and {charges} charges added and found")
        for failure in failures[:20]:
            print("  " + failure)
        return 1 if failures else 0
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
