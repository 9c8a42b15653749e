#!/usr/bin/env python3
"""The summary `make test` ends with: for each test run, how many tests it ran
and skipped and which failed, from the JUnit file CTest or pytest wrote, and
the run's exit status.

    test_summary.py LOG_DIR NAME=TITLE...

reads LOG_DIR/NAME.xml and LOG_DIR/NAME.status (the exit status) of each run.
Exits 0 only when every run exited 0, left its results and failed no test.
"""

import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path


def results(path):
    """(ran, skipped, names of the failed tests) from a JUnit file.

    CTest marks a skipped test `notrun` with a `skipped` element whose message
    names the skip rule (SKIP_RETURN_CODE=..., SKIP_REGULAR_EXPRESSION_MATCHED);
    a test it could not start is `notrun` too, and counts as failed, as CTest
    counts it. pytest marks failures, errors and skips by elements."""
    ran, skipped, failed = 0, 0, []
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        name = case.get("name", "?")
        if case.get("classname") and case.get("classname") != name:
            name = f"{case.get('classname')}::{name}"
        status = case.get("status")
        skip = case.find("skipped")
        if status == "disabled":
            continue
        if skip is not None and (status != "notrun" or skip.get("message", "").startswith("SKIP_")):
            skipped += 1
        elif status in ("fail", "notrun") or case.find("failure") is not None \
                or case.find("error") is not None:
            ran += 1
            failed.append(name)
        else:
            ran += 1
    return ran, skipped, failed


def main(argv):
    logs = Path(argv[1])
    rows, all_ok, total, total_failed = [], True, 0, 0
    for run in argv[2:]:
        name, _, title = run.partition("=")
        status_file, junit = logs / f"{name}.status", logs / f"{name}.xml"
        status = status_file.read_text().strip() if status_file.exists() else "?"
        try:
            ran, skipped, failed = results(junit)
        except (OSError, ElementTree.ParseError):
            rows.append((title, "-", f"no results (exit status {status})"))
            all_ok = False
            continue
        total += ran
        total_failed += len(failed)
        counted = f"{ran} tests" + (f", {skipped} skipped" if skipped else "")
        if failed:
            verdict = f"{len(failed)} FAILED: " + ", ".join(failed)
        elif status != "0":
            verdict = f"FAILED (exit status {status})"
        else:
            verdict = "passed"
        all_ok = all_ok and not failed and status == "0"
        rows.append((title, counted, verdict))

    width = max(len(title) for title, _, _ in rows)
    counts = max(len(counted) for _, counted, _ in rows)
    print("\n== make test: summary")
    for title, counted, verdict in rows:
        print(f"{title:<{width}}  {counted:>{counts}}  {verdict}")
    if all_ok:
        print(f"Every test passed ({total} tests).")
    else:
        print(f"make test FAILED ({total_failed} of {total} tests failed; "
              f"the runs' output is in {logs}).")
    return 0 if all_ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
