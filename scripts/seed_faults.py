#!/usr/bin/python3
"""Fault seeding: puts small deliberate faults into a copy of the project, one at a
time, and tells which of them the test suite notices.

For every fault of the list (scripts/faults.txt) it changes one line fragment in a
scratch copy of the tree, builds what the fault's test areas need, runs the tests of
those areas with CTest, records NOTICED (a test failed), MISSED (all passed) or
BROKEN BUILD (the faulty tree does not compile: an error of the list), and puts the
file back. A missed fault is a finding about the tests, not an error of this script.

    /usr/bin/python3 scripts/seed_faults.py                  # the working tree of this repo
    /usr/bin/python3 scripts/seed_faults.py --only bus-flip-final-state,db-drop-commit
    /usr/bin/python3 scripts/seed_faults.py --rev HEAD~3     # a committed revision instead

See docs/fault-seeding.md. Standard library only.
"""
import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SCRIPT_REPO = Path(__file__).resolve().parent.parent
DEFAULT_LIST = Path(__file__).resolve().parent / "faults.txt"
# Always built besides the test programs: the plug-in, the host, the simulators and the
# replacement vendor libraries (targets win32_*, wp_nwc, PMYBurnSvcSdk), which tests load
# by file name.
EXTRA_TARGETS = ("BurnModule", "burnhost", "pubsim", "odasim", "dmxsim", "wp_nwc", "pmysim", "PMYBurnSvcSdk")
EXTRA_TARGET_PREFIX = "win32_"
REQUIRED_KEYS = ("fault", "file", "tests", "find", "replace")
OPTIONAL_KEYS = ("why",)

NOTICED = "NOTICED"
MISSED = "MISSED"
BROKEN = "BROKEN BUILD"


class ListError(Exception):
    pass


class Fault:
    def __init__(self, fields, line_no):
        self.id = fields["fault"]
        self.file = fields["file"]
        self.tests = fields["tests"]
        self.find = fields["find"]
        self.replace = fields["replace"]
        self.why = fields.get("why", "")
        self.line_no = line_no
        self.result = None
        self.seconds = 0.0
        self.failed_tests = []
        self.note = ""


# ---------------------------------------------------------------------------------
# The list


def parse_list(path):
    """Blocks separated by blank lines; '#' lines are comments; 'key: value' lines.
    A value keeps its inner and trailing blanks except the one after the colon."""
    faults = []
    fields, start = {}, 0
    text = Path(path).read_text(encoding="utf-8")

    def close_block():
        nonlocal fields
        if not fields:
            return
        missing = [k for k in REQUIRED_KEYS if k not in fields]
        if missing:
            raise ListError(f"{path}:{start}: block lacks {', '.join(missing)}")
        faults.append(Fault(fields, start))
        fields = {}

    for line_no, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip("\r")
        if not line.strip():
            close_block()
            continue
        if line.lstrip().startswith("#"):
            continue
        match = re.match(r"^([a-z]+):(?: (.*))?$", line)
        if not match:
            raise ListError(f"{path}:{line_no}: expected 'key: value', got {line!r}")
        key, value = match.group(1), match.group(2) or ""
        if key not in REQUIRED_KEYS + OPTIONAL_KEYS:
            raise ListError(f"{path}:{line_no}: unknown key {key!r}")
        if key in fields:
            raise ListError(f"{path}:{line_no}: {key!r} given twice in one block")
        if not fields:
            start = line_no
        if key in ("fault", "file", "tests"):
            value = value.strip()
        fields[key] = value
    close_block()

    seen = set()
    for fault in faults:
        if not re.fullmatch(r"[A-Za-z0-9._-]+", fault.id):
            raise ListError(f"{path}:{fault.line_no}: fault id {fault.id!r} must be letters, digits, '.', '_', '-'")
        if fault.id in seen:
            raise ListError(f"{path}:{fault.line_no}: fault id {fault.id!r} used twice")
        seen.add(fault.id)
        if not fault.find:
            raise ListError(f"{path}:{fault.line_no}: {fault.id}: empty 'find'")
        if fault.find == fault.replace:
            raise ListError(f"{path}:{fault.line_no}: {fault.id}: 'replace' equals 'find'")
        if not fault.tests:
            raise ListError(f"{path}:{fault.line_no}: {fault.id}: empty 'tests'")
        try:
            re.compile(fault.tests)
        except re.error as err:
            raise ListError(f"{path}:{fault.line_no}: {fault.id}: bad label regex: {err}")
    return faults


def check_fragments(faults, src_dir):
    """Every fragment must occur exactly once in its file; returns the complaints."""
    problems = []
    for fault in faults:
        path = src_dir / fault.file
        if not path.is_file():
            problems.append(f"{fault.id}: no file {fault.file}")
            continue
        count = path.read_bytes().count(fault.find.encode("utf-8"))
        if count != 1:
            problems.append(f"{fault.id}: 'find' occurs {count} times in {fault.file} (must be exactly once): "
                            f"{fault.find!r}")
    return problems


# ---------------------------------------------------------------------------------
# The scratch tree


def log(text):
    print(f"[seed {time.strftime('%H:%M:%S')}] {text}", flush=True)


def source_files(source_dir):
    """Tracked and untracked-not-ignored files of the working tree, as relative paths."""
    out = subprocess.run(["git", "-C", str(source_dir), "ls-files", "-z", "--cached", "--others",
                          "--exclude-standard"], check=True, capture_output=True).stdout
    names = sorted({n for n in out.decode("utf-8", "surrogateescape").split("\0") if n})
    # A tracked file deleted in the working tree is listed but absent; so are submodules.
    return [n for n in names if (source_dir / n).is_file() or (source_dir / n).is_symlink()]


def export_revision(source_dir, rev, dest):
    archive = subprocess.run(["git", "-C", str(source_dir), "archive", "--format=tar", rev],
                             check=True, capture_output=True).stdout
    subprocess.run(["tar", "-x", "-C", str(dest)], input=archive, check=True)


def same_file(a, b):
    if a.is_symlink() or b.is_symlink():
        return a.is_symlink() and b.is_symlink() and os.readlink(a) == os.readlink(b)
    try:
        if a.stat().st_size != b.stat().st_size:
            return False
        return a.read_bytes() == b.read_bytes()
    except OSError:
        return False


def sync_tree(from_dir, names, to_dir):
    """Makes to_dir hold exactly the given files of from_dir. Files whose content is
    already right keep their time stamps, so a kept build only rebuilds what changed."""
    wanted = set(names)
    copied = 0
    for name in names:
        src, dst = from_dir / name, to_dir / name
        if dst.exists() or dst.is_symlink():
            if same_file(src, dst):
                continue
            if dst.is_dir() and not dst.is_symlink():
                shutil.rmtree(dst)
            else:
                dst.unlink()
        dst.parent.mkdir(parents=True, exist_ok=True)
        if src.is_symlink():
            os.symlink(os.readlink(src), dst)
        else:
            shutil.copy2(src, dst)
        copied += 1
    removed = 0
    for root, dirs, files in os.walk(to_dir, topdown=False):
        for f in files:
            rel = os.path.relpath(os.path.join(root, f), to_dir)
            if rel not in wanted:
                os.unlink(os.path.join(root, f))
                removed += 1
        for d in dirs:
            full = os.path.join(root, d)
            if os.path.isdir(full) and not os.path.islink(full) and not os.listdir(full):
                os.rmdir(full)
    return copied, removed


def prepare_tree(args, src_dir):
    src_dir.mkdir(parents=True, exist_ok=True)
    source_dir = Path(args.source).resolve()
    if args.rev:
        with tempfile.TemporaryDirectory(prefix="seed-export-") as tmp:
            tmp_dir = Path(tmp)
            export_revision(source_dir, args.rev, tmp_dir)
            names = [str(p.relative_to(tmp_dir)) for p in tmp_dir.rglob("*") if p.is_file() or p.is_symlink()]
            copied, removed = sync_tree(tmp_dir, names, src_dir)
        what = f"{source_dir} at {args.rev}"
    else:
        names = source_files(source_dir)
        copied, removed = sync_tree(source_dir, names, src_dir)
        what = f"working tree of {source_dir}"
    log(f"scratch tree {src_dir}: {what} ({copied} files copied, {removed} removed, {len(names)} in all)")


# ---------------------------------------------------------------------------------
# Running commands


def run_logged(cmd, log_path, cwd=None, timeout=None, env=None):
    """Runs cmd with its output appended to log_path; returns (exit code, seconds).
    A run past its timeout is killed with its whole process group; code None then."""
    start = time.monotonic()
    with open(log_path, "a", encoding="utf-8", errors="replace") as log_file:
        log_file.write(f"\n$ {' '.join(str(c) for c in cmd)}\n")
        log_file.flush()
        proc = subprocess.Popen([str(c) for c in cmd], cwd=cwd, stdout=log_file, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, env=env, start_new_session=True)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            code = None
            log_file.write(f"\n[seed] killed after {timeout} s\n")
        except BaseException:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            raise
    return code, time.monotonic() - start


def tail(path, lines=25):
    try:
        return "\n".join(Path(path).read_text(encoding="utf-8", errors="replace").splitlines()[-lines:])
    except OSError:
        return ""


FAILED_LINE = re.compile(r"^\s*\d+\s+-\s+(\S+)\s+\((.+)\)\s*$")


def failed_tests_in(log_text):
    """Names (and CTest's reason) after 'The following tests FAILED:' of the last run."""
    part = log_text.rsplit("The following tests FAILED:", 1)
    if len(part) < 2:
        return []
    found = []
    for line in part[1].splitlines():
        match = FAILED_LINE.match(line)
        if match:
            found.append((match.group(1), match.group(2)))
        elif line.strip() and found:
            break
    return found


class Build:
    def __init__(self, args, work_dir, src_dir, build_dir):
        self.args = args
        self.work_dir = work_dir
        self.src_dir = src_dir
        self.build_dir = build_dir
        self.log_dir = work_dir / "logs"
        self.targets = {}          # artifact path -> target name
        self.target_names = set()
        self.env = dict(os.environ)
        # Make a kept build directory's RabbitMQ node (fixture "rabbitmq") its own.
        self.env["BURN_RABBITMQ_DIR"] = str(build_dir / "rabbitmq")

    def configure(self):
        query = self.build_dir / ".cmake" / "api" / "v1" / "query" / "codemodel-v2"
        query.parent.mkdir(parents=True, exist_ok=True)
        query.touch()
        cmd = ["cmake", "-S", self.src_dir, "-B", self.build_dir, "-DCMAKE_BUILD_TYPE=Debug",
               "-DBURN_BUILD_BENCH=OFF", "-DBURN_SANITIZE=OFF", "-DBURN_BUILD_TESTS=ON"]
        if not (self.build_dir / "CMakeCache.txt").exists() and shutil.which("ninja"):
            cmd += ["-G", "Ninja"]
        code, secs = run_logged(cmd, self.log_dir / "configure.log", env=self.env)
        if code != 0:
            raise SystemExit(f"configure failed; see {self.log_dir / 'configure.log'}:\n"
                             f"{tail(self.log_dir / 'configure.log')}")
        log(f"configured in {secs:.0f} s")
        self.read_codemodel()

    def read_codemodel(self):
        reply = self.build_dir / ".cmake" / "api" / "v1" / "reply"
        indexes = sorted(reply.glob("index-*.json"))
        if not indexes:
            raise SystemExit("CMake left no file-API reply; CMake 3.14 or later is needed")
        index = json.loads(indexes[-1].read_text())
        codemodel_ref = next(r for r in index["objects"] if r["kind"] == "codemodel")
        codemodel = json.loads((reply / codemodel_ref["jsonFile"]).read_text())
        config = codemodel["configurations"][0]
        for ref in config["targets"]:
            target = json.loads((reply / ref["jsonFile"]).read_text())
            self.target_names.add(target["name"])
            for artifact in target.get("artifacts", []):
                path = Path(artifact["path"])
                if not path.is_absolute():
                    path = self.build_dir / path
                self.targets[str(path.resolve())] = target["name"]

    def build(self, targets, log_path):
        cmd = ["cmake", "--build", self.build_dir, "-j", str(self.args.jobs)]
        if targets:
            cmd += ["--target", *sorted(targets)]
        return run_logged(cmd, log_path, env=self.env)

    def tests_of(self, label_regex):
        out = subprocess.run(["ctest", "-N", "-L", label_regex, "--show-only=json-v1"], cwd=self.build_dir,
                             capture_output=True, text=True, env=self.env)
        if out.returncode != 0:
            raise SystemExit(f"ctest -N -L {label_regex!r} failed:\n{out.stderr}")
        return json.loads(out.stdout).get("tests", [])

    def targets_for(self, label_regex):
        """The targets whose programs the area's tests run, and the extras."""
        names = set()
        for test in self.tests_of(label_regex):
            command = test.get("command") or []
            if command:
                target = self.targets.get(str(Path(command[0]).resolve()))
                if target:
                    names.add(target)
            if test.get("name") in self.target_names:
                names.add(test["name"])
        names.update(t for t in EXTRA_TARGETS if t in self.target_names)
        names.update(t for t in self.target_names if t.startswith(EXTRA_TARGET_PREFIX))
        return names

    def cap_test_timeouts(self):
        """A test's own TIMEOUT property wins over ctest --timeout, and a fault that makes
        a test wait would cost that much (300 s here). The scratch build's CTest files
        are lowered to --test-timeout; again before every run, as a re-configure
        writes them anew."""
        cap = self.args.test_timeout
        pattern = re.compile(r'\bTIMEOUT "(\d+(?:\.\d+)?)"')
        for path in self.build_dir.rglob("CTestTestfile.cmake"):
            text = path.read_text(encoding="utf-8")
            capped = pattern.sub(lambda m: f'TIMEOUT "{min(float(m.group(1)), cap):g}"', text)
            if capped != text:
                path.write_text(capped, encoding="utf-8")

    def run_tests(self, label_regex, log_path, jobs=None):
        self.cap_test_timeouts()
        cmd = ["ctest", "-L", label_regex, "-j", str(jobs or self.args.jobs), "--timeout",
               str(self.args.test_timeout), "--output-on-failure"]
        code, secs = run_logged(cmd, log_path, cwd=self.build_dir, timeout=self.args.run_timeout, env=self.env)
        text = Path(log_path).read_text(encoding="utf-8", errors="replace")
        run_text = text.rsplit("\n$ ", 1)[-1]
        failed = failed_tests_in(run_text)
        ran = re.search(r"tests passed, (\d+) tests failed out of (\d+)", run_text)
        return code, secs, failed, int(ran.group(2)) if ran else 0

    def stop_broker(self):
        rabbit_dir = self.build_dir / "rabbitmq"
        script = self.src_dir / "scripts" / "rabbitmq.sh"
        if (rabbit_dir / "port").exists() and script.exists():
            run_logged(["bash", script, "stop"], self.log_dir / "rabbitmq-stop.log", env=self.env, timeout=120)


# ---------------------------------------------------------------------------------
# One fault


def label_union(regexes):
    """One label regex for several. CMake's regex engine takes at most nine groups, so
    the alternatives are joined at the top level (each without duplicates) rather than
    each put in a group; a regex with groups of its own is kept whole."""
    alternatives = []
    for regex in regexes:
        parts = [regex] if "(" in regex else regex.split("|")
        alternatives += [p for p in parts if p not in alternatives]
    return "|".join(alternatives)


def test_name(name, reason):
    """The test's name, with CTest's reason when it is not a plain failure."""
    return name if reason == "Failed" else f"{name}({reason})"


def apply_fault(src_dir, fault):
    """Changes the file byte for byte except the fragment; returns its old bytes."""
    path = src_dir / fault.file
    original = path.read_bytes()
    find, replace = fault.find.encode("utf-8"), fault.replace.encode("utf-8")
    count = original.count(find)
    if count != 1:
        raise ListError(f"{fault.id}: 'find' occurs {count} times in {fault.file}")
    path.write_bytes(original.replace(find, replace, 1))
    return original


def run_fault(build, fault, index, total):
    log_path = build.log_dir / f"{fault.id}.log"
    log_path.unlink(missing_ok=True)
    start = time.monotonic()
    path = build.src_dir / fault.file
    original = apply_fault(build.src_dir, fault)
    try:
        targets = build.targets_for(fault.tests)
        code, _ = build.build(targets, log_path)
        if code != 0:
            fault.result = BROKEN
            fault.note = "does not compile; see " + str(log_path)
        else:
            code, _, failed, _ = build.run_tests(fault.tests, log_path)
            if code is None:
                fault.result = NOTICED
                fault.failed_tests = [test_name(n, why) for n, why in failed] or ["(test run timed out)"]
                fault.note = "the whole test run timed out"
            elif code != 0 or failed:
                fault.result = NOTICED
                fault.failed_tests = [test_name(n, why) for n, why in failed] or ["(ctest failed)"]
            else:
                fault.result = MISSED
    finally:
        path.write_bytes(original)
        fault.seconds = time.monotonic() - start
    shown = ", ".join(fault.failed_tests)
    log(f"[{index}/{total}] {fault.id}: {fault.result} in {fault.seconds:.0f} s {shown}")


# ---------------------------------------------------------------------------------
# Report


def report_text(faults, header, total_secs):
    rows = [("fault", "file", "result", "seconds", "failing tests")]
    for f in faults:
        rows.append((f.id, f.file, f.result or "NOT RUN", f"{f.seconds:.0f}",
                     " ".join(f.failed_tests) + (f" ({f.note})" if f.note and f.result != NOTICED else "")))
    widths = [max(len(r[i]) for r in rows) for i in range(4)]
    lines = list(header)
    lines.append("")
    for n, row in enumerate(rows):
        lines.append("  ".join(row[i].ljust(widths[i]) for i in range(4)) + "  " + row[4])
        if n == 0:
            lines.append("  ".join("-" * w for w in widths) + "  " + "-" * len(row[4]))
    counted = [f for f in faults if f.result]
    noticed = sum(f.result == NOTICED for f in counted)
    missed = sum(f.result == MISSED for f in counted)
    broken = sum(f.result == BROKEN for f in counted)
    lines.append("")
    missed_list = [f for f in counted if f.result == MISSED]
    if missed_list:
        lines.append("Missed faults (the tests of their areas passed with the fault in place):")
        for f in missed_list:
            lines.append(f"  {f.id} ({f.file}, tests {f.tests}): {f.why or f.replace.strip()}")
        lines.append("")
    broken_list = [f for f in counted if f.result == BROKEN]
    if broken_list:
        lines.append("Broken builds (errors of the list: fix the fault so it compiles):")
        for f in broken_list:
            lines.append(f"  {f.id}: {f.note}")
        lines.append("")
    lines.append(f"run time: {total_secs / 60:.1f} min")
    lines.append(f"faults: {len(counted)}, noticed: {noticed}, missed: {missed}, broken: {broken}")
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------------------------
# Main


def stop_on_signal(_signum, _frame):
    raise KeyboardInterrupt


def parse_args(argv):
    parser = argparse.ArgumentParser(
        description="Seeds the faults of a list into a scratch copy of the project, one at a time, and "
                    "reports which of them the tests notice.")
    parser.add_argument("--source", default=str(SCRIPT_REPO),
                        help="repository whose tree is copied (default: the one holding this script)")
    parser.add_argument("--rev", help="take this git revision of --source (git archive) instead of its working tree")
    parser.add_argument("--list", default=str(DEFAULT_LIST), help="fault list (default: scripts/faults.txt)")
    parser.add_argument("--work", help="scratch folder (default: a new folder under /tmp); report.txt lands here")
    parser.add_argument("--only", help="comma-separated fault ids to run (default: all)")
    parser.add_argument("--jobs", type=int, default=2, help="parallel build and test jobs (default 2)")
    parser.add_argument("--keep", action="store_true",
                        help="keep the scratch tree and build (a later run with the same --work reuses them)")
    parser.add_argument("--test-timeout", type=int, default=120,
                        help="seconds one test may run (default 120); longer TIMEOUT properties of the "
                             "scratch build are lowered to it")
    parser.add_argument("--run-timeout", type=int, default=900,
                        help="seconds one fault's whole test run may take before it is killed (default 900)")
    parser.add_argument("--skip-baseline", action="store_true",
                        help="do not run the tests of the unchanged tree first (only when you know they pass)")
    return parser.parse_args(argv)


def main(argv):
    args = parse_args(argv)
    started = time.monotonic()
    source_dir = Path(args.source).resolve()
    if not (source_dir / "CMakeLists.txt").is_file():
        raise SystemExit(f"{source_dir} holds no CMakeLists.txt")
    try:
        faults = parse_list(args.list)
    except ListError as err:
        raise SystemExit(f"fault list: {err}")
    if args.only:
        wanted = [w.strip() for w in args.only.split(",") if w.strip()]
        unknown = [w for w in wanted if w not in {f.id for f in faults}]
        if unknown:
            raise SystemExit(f"--only names unknown faults: {', '.join(unknown)}")
        faults = [f for f in faults if f.id in wanted]
    if not faults:
        raise SystemExit("no faults to run")

    work_dir = Path(args.work).resolve() if args.work else Path(tempfile.mkdtemp(prefix="seed-faults-"))
    work_dir.mkdir(parents=True, exist_ok=True)
    src_dir, build_dir, log_dir = work_dir / "src", work_dir / "build", work_dir / "logs"
    log_dir.mkdir(exist_ok=True)
    for old in log_dir.glob("*.log"):
        old.unlink()
    log(f"{len(faults)} faults from {args.list}; scratch folder {work_dir}")

    prepare_tree(args, src_dir)
    problems = check_fragments(faults, src_dir)
    if problems:
        raise SystemExit("fault list does not fit the tree:\n  " + "\n  ".join(problems))

    build = Build(args, work_dir, src_dir, build_dir)
    exit_code = 0
    times = {}
    # A stop by signal still puts the faulty file back (run_fault's finally) and reports.
    signal.signal(signal.SIGTERM, stop_on_signal)
    try:
        build.configure()
        empty = [f.id for f in faults if not build.tests_of(f.tests)]
        if empty:
            raise SystemExit("no test has a label matching the 'tests' of: " + ", ".join(empty))
        log("building everything (baseline)")
        code, secs = build.build(None, log_dir / "baseline-build.log")
        if code != 0:
            raise SystemExit(f"the unchanged tree does not build; see {log_dir / 'baseline-build.log'}:\n"
                             f"{tail(log_dir / 'baseline-build.log')}")
        log(f"baseline build: {secs:.0f} s")
        times["build"] = secs
        union = label_union(f.tests for f in faults)
        if not args.skip_baseline:
            code, secs, failed, count = build.run_tests(union, log_dir / "baseline-tests.log")
            times["tests"] = secs
            if code == 0 and count == 0:
                raise SystemExit(f"the baseline run selected no test (labels {union!r}); "
                                 f"see {log_dir / 'baseline-tests.log'}")
            if code != 0:
                again = [n for n, _ in failed]
                raise SystemExit(
                    f"the tests of the listed areas fail on the unchanged tree ({', '.join(again) or 'see log'}); "
                    f"a fault could not be judged. See {log_dir / 'baseline-tests.log'}")
            log(f"baseline tests: {count} passed in {secs:.0f} s")
        for n, fault in enumerate(faults, 1):
            run_fault(build, fault, n, len(faults))
    except KeyboardInterrupt:
        log("interrupted; reporting what ran")
        exit_code = 130
    finally:
        build.stop_broker()
        total = time.monotonic() - started
        if any(f.result for f in faults):
            header = [
                f"Fault seeding of {source_dir}" + (f" at {args.rev}" if args.rev else " (working tree)"),
                f"list: {Path(args.list).resolve()}",
                f"date: {time.strftime('%Y-%m-%d %H:%M')}, jobs: {args.jobs}",
                f"baseline build {times.get('build', 0) / 60:.1f} min, "
                f"baseline tests {times.get('tests', 0):.0f} s",
                f"logs: {log_dir}",
            ]
            text = report_text(faults, [h for h in header if h], total)
            (work_dir / "report.txt").write_text(text, encoding="utf-8")
            print()
            print(text, end="")
            print(f"report: {work_dir / 'report.txt'}")
        if not args.keep:
            shutil.rmtree(src_dir, ignore_errors=True)
            shutil.rmtree(build_dir, ignore_errors=True)
    return exit_code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
