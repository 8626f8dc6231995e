"""fenwarr-report's three renderings of one verdict agree: on every golden record the text report and the
JSON document give the same runs, roads, verdicts, problems, step outcomes, errors and exit status, and a
rollout summary over the golden folder holds each record as the one-record document has it, with totals
that add up. Usage: json_agrees.py FENWARR_REPORT GOLDEN_DIR"""
import json
import os
import re
import subprocess
import sys
import tempfile

REPORT, GOLDEN = sys.argv[1], sys.argv[2]
FAILURES = []

# Problems whose severity the support engineer's triage depends on: a record, and (key, severity) pairs.
SEVERITIES = {
    "timed": [("refresh-not-done", "warning")],
    "header-win10-64": [("inf-not-staged", "failure")],
    "early-failure": [("early-failure", "failure")],
    "wine-missing-companion-64": [("companion-not-started", "failure")],
    "ghosts-removed-and-kept": [("driverless-nodes-not-removed", "warning"),
                                ("node-driver-unreadable", "warning")],
    "uninstall-refused": [("listed-nodes-not-removed", "warning"), ("store-files-kept", "failure"),
                          ("files-skipped", "warning")],
    "uninstall-walk-ended-early-64": [("device-walk-ended-early", "warning")],
    "module-path-failed-64": [("own-path-not-read", "failure")],
    "missing-coinstaller-and-inf": [("co-installer-not-copied", "failure"), ("inf-not-staged", "failure")],
    "two-runs": [("driverless-nodes-not-removed", "warning")],
    "uninstall-device-skipped": [("nodes-passed-over", "warning")],
    "wine-uninstall-no-package-32": [("package-infs-not-found", "failure"), ("store-no-package-inf", "failure")],
}
# Steps whose outcome is no problem: Windows 2000 has no store uninstall.
OUTCOMES = {"install-then-uninstall-win2000": [("driver-store", "left-alone")]}
ROADS = {"64-bit Windows": "64-bit", "32-bit Windows": "32-bit", "no package half": "no-half"}
STEP_LINE = {"co-installer": "co-installer ", "inf": "INF "}
OUTCOME_WORDS = {"done": ("copied", "staged as"), "failed": ("FAILED",), "pending": ("no outcome recorded",),
                 "not-reached": ("not in the record",)}


def check(ok, what):
    if not ok:
        FAILURES.append(what)


def run(*args):
    done = subprocess.run([REPORT, *args], capture_output=True)
    return done.returncode, done.stdout.decode("ascii")


def check_run(name, text, run):
    where = f"{name} run {run['run']}"
    header = re.search(rf"\nRun {run['run']}: (.*)\n", text).group(1)
    road = next((r for words, r in ROADS.items() if words in header), "unknown")
    check(run["road"] == road, f"{where}: road {header}")
    section = text.split(f"\nRun {run['run']}: ")[1].split("\n  Verdict: ")
    verdict = section[1].split("\n")[0]
    if run["verdict"] in ("ok", "clean"):
        check(verdict.startswith("OK") and not run["problems"], f"{where}: {verdict}")
    else:
        check(verdict == "FAILED: " + "; ".join(p["text"] for p in run["problems"]), f"{where}: {verdict}")
        worst = "failed" if any(p["severity"] == "failure" for p in run["problems"]) else "warning"
        check(run["verdict"] == worst, f"{where}: verdict {run['verdict']}, problems say {worst}")
    for problem in run["problems"]:
        if problem["error_name"]:
            check(problem["error_name"] in section[0], f"{where}: {problem['error_name']} not in the text")
    for step in run["steps"]:
        if step["step"] in STEP_LINE and step["outcome"] in OUTCOME_WORDS:
            label = ("Companion " if step["companion"] else "") + STEP_LINE[step["step"]] + step["subject"]
            line = re.search(re.escape(label) + r": (.*)", section[0], re.IGNORECASE).group(1)
            check(line.startswith(OUTCOME_WORDS[step["outcome"]]), f"{where}: {label}: {line} vs {step}")
    missing = sum(s["outcome"] == "not-reached" for s in run["steps"])
    check(section[0].count("not in the record") == missing, f"{where}: {missing} steps not reached")


def check_record(name, path):
    status, text = run(path)
    json_status, document = run("--json", path)
    data = json.loads(document)
    check(status == json_status == data["summary"]["exit"], f"{name}: exit {status}, {json_status}")
    if status == 2:
        check(not data["records"] and data["not_read"][0]["file"] == path, f"{name}: no run")
        return None
    record = data["records"][0]
    runs = record["runs"]
    check(f" {len(runs)} run" in text.split("\n")[1], f"{name}: {len(runs)} runs")
    for each in runs:
        check_run(name, text, each)
    failed = sum(r["verdict"] in ("failed", "warning") for r in runs)
    check((f"Overall: FAILED: {failed} of " in text) == (failed > 0), f"{name}: {failed} failed runs")
    machine = runs[0]["machine"]
    check((machine is not None) == ("\nMachine: " in text), f"{name}: machine line")
    if machine:
        check(f"Machine: {machine['computer']}, Windows {machine['windows']}, {machine['processor']};" in text,
              f"{name}: machine facts")
    for step, outcome in OUTCOMES.get(name, []):
        check(any(s["step"] == step and s["outcome"] == outcome for r in runs for s in r["steps"])
              and all(r["verdict"] == "ok" for r in runs), f"{name}: {step} should be {outcome}")
    for key, severity in SEVERITIES.get(name, []):
        found = [p["severity"] for r in runs for p in r["problems"] if p["key"] == key]
        check(found and all(s == severity for s in found), f"{name}: {key} should be a {severity}")
    return record


def check_rollout(records):
    paths = [GOLDEN, os.path.join(GOLDEN, "..", "README.md"), os.path.join(GOLDEN, "absent.txt")]
    status, text = run(*paths)
    json_status, document = run("--json", *paths)
    data = json.loads(document)
    summary = data["summary"]
    check(status == json_status == summary["exit"] == 1, f"rollout: exit {status}, {json_status}")
    by_file = {os.path.basename(r["file"])[:-4]: r for r in data["records"]}
    check(by_file == {name: dict(r, file=by_file[name]["file"]) for name, r in records.items()},
          "rollout: records differ from the one-record documents")
    runs = [r for record in data["records"] for r in record["runs"]]
    check(summary["runs"] == len(runs) == sum(row["runs"] for row in summary["by_program_road"]),
          "rollout: run totals")
    for verdict in ("ok", "clean", "warning", "failed"):
        check(summary[verdict] == sum(r["verdict"] == verdict for r in runs), f"rollout: {verdict} runs")
    problems = sum(len(r["problems"]) for r in runs)
    check(problems == sum(p["runs"] for p in summary["problems"]), "rollout: problem counts")
    unread = {os.path.basename(u["file"]) for u in data["not_read"]}
    check({"README.md", "absent.txt", "no-run.txt"} <= unread, f"rollout: not read {unread}")
    check(f", {len(data['not_read'])} without a run of the tool" in text, "rollout: files without a run")
    all_row = re.search(r"\n  all +(\d+) +(\d+) +(\d+) +(\d+) +(\d+)\n", text).groups()
    check([int(n) for n in all_row] == [summary[k] for k in ("runs", "ok", "clean", "warning", "failed")],
          f"rollout: text totals {all_row}")
    check(f"\nMachines: {summary['machines']} " in text, "rollout: machines")
    for row in summary["by_program_road"]:
        cells = " +".join(str(row[k]) for k in ("runs", "ok", "clean", "warning", "failed"))
        road = {"unknown": "road not recorded", "no-half": "no package half"}.get(row["road"], row["road"])
        program = row["program"] + (" alone" if row["companion_alone"] else "")
        check(re.search(rf"\n  {re.escape(program)}, {road} +{cells}\n", text), f"rollout: row {row}")
    nothing, _ = run(os.path.join(GOLDEN, "..", "README.md"), os.path.join(GOLDEN, "absent.txt"))
    check(nothing == 2, f"rollout of no record: exit {nothing}")


def check_folders():
    """A machine is known by its header: its records count once, in subfolders too. Other files, a link back
    up the tree and an empty folder are named, never fatal; bytes of any kind in a header stay valid JSON."""
    header = open(os.path.join(GOLDEN, "header-win10-64.txt"), encoding="ascii").read()
    with tempfile.TemporaryDirectory() as folder:
        os.mkdir(os.path.join(folder, "sub"))
        os.mkdir(os.path.join(folder, "empty"))
        for path, computer in (("a.log", "PC-0042"), ("sub/b.log", "PC-0042"), ("sub/c.log", "PC-0043")):
            with open(os.path.join(folder, path), "w", encoding="ascii") as out:
                out.write(header.replace("PC-0042", computer))
        with open(os.path.join(folder, "msi.log"), "wb") as out:
            out.write("=== Verbose logging started ===\n".encode("utf-16"))
        with open(os.path.join(folder, "sub", "setup.exe"), "wb") as out:
            out.write(bytes(range(256)) * 1000)
        os.symlink(folder, os.path.join(folder, "sub", "loop"))
        status, document = run("--json", folder)
        empty, _ = run(os.path.join(folder, "empty"))
        with open(os.path.join(folder, "odd.log"), "wb") as out:
            out.write(header.replace("PC-0042", 'PC "7"\\\x01\u00e9').encode("utf-8"))
        _, odd_text = run(os.path.join(folder, "odd.log"))
        _, odd_json = run("--json", os.path.join(folder, "odd.log"))
    computer = json.loads(odd_json)["records"][0]["runs"][0]["machine"]["computer"]
    check(f"Machine: {computer}, Windows" in odd_text, f"odd bytes: {computer}")
    check(empty == 2, f"empty folder: exit {empty}")
    reasons = {os.path.basename(u["file"]): u["reason"] for u in json.loads(document)["not_read"]}
    check(reasons.get("loop", "").startswith("a link to a folder") and
          reasons.get("setup.exe", "").startswith("not a record"), f"not read: {reasons}")
    summary = json.loads(document)["summary"]
    check(status == 1 and summary["runs"] == 3 and summary["machines"] == 2, f"machines: {summary}")
    check(summary["by_windows_processor"] == [{"windows": "10.0 build 19045", "processor": "x64", "machines": 2,
                                                "runs": 3, "ok": 0, "clean": 0, "warning": 0, "failed": 3}],
          f"machines: {summary['by_windows_processor']}")
    check(summary["problems"][0]["runs"] == 3 and summary["problems"][0]["machines"] == ["PC-0042", "PC-0043"],
          f"machines: {summary['problems']}")
    check(reasons.get("msi.log") == "UTF-16 text, which is not read", "machines: UTF-16")


def main():
    records = {}
    for entry in sorted(os.listdir(GOLDEN)):
        if entry.endswith(".txt"):
            record = check_record(entry[:-4], os.path.join(GOLDEN, entry))
            if record is not None:
                records[entry[:-4]] = record
    check(len(records) >= 30, f"only {len(records)} golden records with runs")
    check_rollout(records)
    check_folders()
    for failure in FAILURES:
        print("MISMATCH:", failure)
    print(f"{len(records)} records, {len(FAILURES)} mismatches")
    return 1 if FAILURES else 0


sys.exit(main())
