#!/usr/bin/python3
"""Mutation testing of the core: how many small faults put into the core does the suite catch?

Run through scripts/mutants.sh, which also restores the mutated file if this program is killed.
Standard library only (Debian's /usr/bin/python3).

A mutation site is one simple change on one line of a core source (every *.cpp and *.h under
src/ outside src/gui/ and src/app/):

  flip-compare   <  <=  >  >=  ==  !=  become  <=  <  >=  >  !=  ==
  swap-logic     &&  ||  become  ||  &&
  int-plus-one   an integer literal n becomes n+1 (same base, same suffix)
  drop-call      a line that is exactly one call statement, `f(...);`, `a.f(...);`, `p->f(...);`,
                 becomes the empty statement `;` (so an unbraced if/for/while keeps a body)
  negate-return  `return X;` in a function declared to return bool becomes `return !(X);`

Comments, string and character literals, preprocessor lines and static_assert are never
touched. The code is clang-format clean, so a binary comparison or logical operator always has
a space (or the line end) on both sides; that rule is what tells `a < b` from `vector<int>`,
`template <class T>`, `Foo&& x` and `operator<(`. `<<`, `>>`, `->`, `<=>` are never touched.
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

OPERATORS = ("flip-compare", "swap-logic", "int-plus-one", "drop-call", "negate-return")
EXCLUDED_DIRS = ("gui", "app")  # the Qt side and the program's main(): not core
ARROW = "\u2192"


@dataclass(frozen=True, order=True)
class Site:
    path: str  # relative to the repository root, with forward slashes
    line: int  # 1-based
    col: int  # 1-based column of the changed text in the line as it is in the file
    operator: str
    original: str  # the line, stripped of surrounding white space
    mutated: str  # the replacement for the stripped line

    def list_line(self):
        return f"{self.path}:{self.line}:{self.col}:{self.operator}:{self.original}{ARROW}{self.mutated}"


# ---- Reading C++ ------------------------------------------------------------------------------


def mask_source(text):
    """Returns the text with the insides of comments, string literals and character literals
    blanked out (same length, same line breaks), so that operators, parentheses and numbers can
    be found by plain pattern matching. String and character quotes are kept, so `return "x";`
    still has an expression. Numbers are read whole first, so a digit separator (1'000) is
    never taken for a character literal."""
    out = list(text)
    n = len(text)
    i = 0

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        nxt = text[i + 1] if i + 1 < n else ""
        if c == "/" and nxt == "/":
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif c == "/" and nxt == "*":
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c.isdigit() and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            # A preprocessing number: digits, letters, dots, separators, signed exponents.
            j = i + 1
            while j < n and (text[j].isalnum() or text[j] in "_.'" or
                             (text[j] in "+-" and text[j - 1] in "eEpP")):
                j += 1
            i = j
        elif c == '"':
            prefix = re.search(r"(?:u8|[uUL])?R$", text[max(0, i - 3):i])
            if prefix and not (i - len(prefix.group(0)) > 0 and
                               (text[i - len(prefix.group(0)) - 1].isalnum() or
                                text[i - len(prefix.group(0)) - 1] == "_")):
                open_paren = text.find("(", i)
                delim = text[i + 1:open_paren]
                end = text.find(")" + delim + '"', open_paren)
                end = n if end < 0 else end + len(delim) + 2
                blank(i + 1, end - 1)
                i = end
            else:
                j = i + 1
                while j < n and text[j] != '"' and text[j] != "\n":
                    j += 2 if text[j] == "\\" else 1
                blank(i + 1, min(j, n))
                i = j + 1
        elif c == "'":
            j = i + 1
            while j < n and text[j] != "'" and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, min(j, n))
            i = j + 1
        else:
            i += 1
    return "".join(out)


@dataclass
class Scope:
    kind: str  # "type" (namespace, class, enum), "code" (a body or block), "expr" (an initialiser)
    returns_bool: bool  # inside a function or lambda declared to return bool
    in_expression: bool  # a lambda or initialiser: the statement around it goes on after it
    saved_pending: str
    saved_parens: int


LABELS = re.compile(r"^(?:(?:case\b[^;]*?[^:]|default|public|private|protected)\s*:(?!:)\s*)+")
BLOCK_START = re.compile(r"^(?:else|do|try|if|for|while|switch|catch)\b")
# A lambda's introducer is never written right after a name or a closing bracket (that is a
# subscript) nor after `operator` (that is operator[]).
LAMBDA = re.compile(r"(?<!operator)(?<![\w\])])\[[^\[\]]*\]\s*(?:<[^<>]*>\s*)?(?:\([^{};]*\))?\s*"
                    r"(?:(?:mutable|constexpr|noexcept)\s*)*(?:->\s*(?P<ret>[\w:<>,\s*&]+?))?\s*$")
TYPE_START = re.compile(r"^(?:[\w:]+\s+)*?(?:class|struct|union|enum|namespace)\b|^extern\b")
TEMPLATE_HEAD = re.compile(r"^template\s*<")
FUNCTION_TAIL = re.compile(r"\)\s*(?:const|noexcept|override|final|volatile|&&?|\s|->\s*[\w:<>,\s*&]+)*$")
BOOL_FUNCTION = re.compile(r"(?:^|[\s(>])bool\s+(?:[\w:~]*operator\s*\S+?|[\w:~]+)\s*\(|->\s*bool\s*$")
# An unbraced control statement whose body is the next line.
CONTROL_HEAD = re.compile(r"^(?:(?:else\s+)?(?:if\s*(?:constexpr\s*)?|for\s*|while\s*)\(.*\)|else|do)$", re.S)


def strip_template_head(text):
    """Drops a leading `template <...>` so `template <class T> bool F()` is seen as a function."""
    if not TEMPLATE_HEAD.match(text):
        return text
    depth = 0
    for k, ch in enumerate(text):
        if ch == "<":
            depth += 1
        elif ch == ">":
            depth -= 1
            if depth == 0:
                return text[k + 1:].strip()
    return text


def classify_brace(pending, parent):
    """What an opening brace starts, judged from the text since the last statement boundary:
    (kind, returns_bool, in_expression)."""
    head = LABELS.sub("", " ".join(pending.split()))
    inherited = parent.returns_bool if parent.kind == "code" else False
    if not head or BLOCK_START.match(head):
        return "code", inherited, False
    lam = LAMBDA.search(head)
    if lam:
        # A lambda without a written return type is not known to return bool.
        return "code", (lam.group("ret") or "").strip() == "bool", True
    head = strip_template_head(head)
    if TYPE_START.match(head):
        return "type", False, False
    if FUNCTION_TAIL.search(head):
        return "code", bool(BOOL_FUNCTION.search(head)), False
    return "expr", inherited, True


@dataclass
class LineInfo:
    skip: bool  # preprocessor, static_assert, or nothing but comment
    scope: Scope  # innermost scope at the start of the line
    statement_start: bool  # the line starts a statement (or the body of an unbraced if/for/while)


def read_lines(text):
    """Masks the text and works out, for every line, what it is and where it stands."""
    masked = mask_source(text).split("\n")
    infos = []
    stack = [Scope("type", False, False, "", 0)]  # the file level
    pending = ""  # text of the statement being read, at the current brace level
    parens = 0
    in_directive = False
    in_static_assert = False
    for line in masked:
        stripped = line.strip()
        directive = in_directive or stripped.startswith("#")
        in_directive = directive and line.rstrip().endswith("\\")
        head = LABELS.sub("", " ".join(pending.split()))
        start = parens == 0 and (head == "" or bool(CONTROL_HEAD.match(head)))
        if "static_assert" in line:
            in_static_assert = True
        info = LineInfo(directive or in_static_assert or not stripped, stack[-1], start)
        infos.append(info)
        if directive:
            continue
        for ch in line:
            if ch == "{":
                kind, returns_bool, in_expression = classify_brace(pending, stack[-1])
                stack.append(Scope(kind, returns_bool, in_expression or parens > 0, pending, parens))
                pending, parens = "", 0
            elif ch == "}":
                closed = stack.pop() if len(stack) > 1 else stack[0]
                if closed.in_expression:
                    pending, parens = closed.saved_pending + "{}", closed.saved_parens
                else:
                    pending, parens = "", 0
            elif ch == ";" and parens == 0:
                pending = ""
                in_static_assert = False
            else:
                if ch == "(":
                    parens += 1
                elif ch == ")":
                    parens = max(0, parens - 1)
                pending += ch
        pending += " "
    return masked, infos


# ---- Finding the sites ------------------------------------------------------------------------

OPERATOR_TOKEN = re.compile(r"<=>|<<=|>>=|->\*?|<<|>>|<=|>=|==|!=|&&|\|\||<|>")
FLIPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "&&": "||", "||": "&&"}
NUMBER = re.compile(r"(?<![\w.'])\d[\w.']*(?:(?<=[eEpP])[+-][\w.']*)*")
INTEGER = re.compile(r"^(?:(?P<hex>0[xX][0-9a-fA-F']+)(?P<hsuf>[uUlLzZ]*)|"
                     r"(?P<bin>0[bB][01']+)(?P<bsuf>[uUlLzZ]*)|"
                     r"(?P<dec>\d[\d']*)(?P<dsuf>[A-Za-z_]\w*)?)$")
PURE_VIRTUAL = re.compile(r"\)\s*(?:const\s*)?(?:override\s*)?=\s*$")
CALL_STATEMENT = re.compile(r"^(?:::)?(?P<name>[A-Za-z_]\w*)(?:(?:::|\.|->)~?[A-Za-z_]\w*)*\((?P<args>.*)\);$")
RETURN_STATEMENT = re.compile(r"^return\s+(?P<expr>.+);$")
NOT_CALLS = {"return", "if", "while", "for", "switch", "sizeof", "alignof", "alignas", "decltype",
             "static_assert", "assert", "throw", "delete", "new", "catch", "co_return", "co_await",
             "co_yield", "typeid", "noexcept", "requires", "case", "do", "else", "operator"}


def balanced(text):
    """True when every bracket opened in text is closed in it, in order."""
    closing = {")": "(", "]": "[", "}": "{"}
    stack = []
    for ch in text:
        if ch in "([{":
            stack.append(ch)
        elif ch in closing:
            if not stack or stack.pop() != closing[ch]:
                return False
    return not stack


def plus_one(token):
    """The integer literal one larger, in the same base with the same suffix; None if the token
    is not an integer literal (a floating literal, say)."""
    m = INTEGER.match(token)
    if not m or (m.group("dec") and token[1:2] in ("x", "X", "b", "B")):
        return None  # a floating literal, or a hexadecimal one (0x1p3)
    if m.group("hex"):
        digits = m.group("hex")[2:].replace("'", "")
        upper = any(c in "ABCDEF" for c in digits)
        text = format(int(digits, 16) + 1, "X" if upper else "x")
        return m.group("hex")[:2] + text + m.group("hsuf")
    if m.group("bin"):
        digits = m.group("bin")[2:].replace("'", "")
        return m.group("bin")[:2] + format(int(digits, 2) + 1, "b") + m.group("bsuf")
    digits = m.group("dec").replace("'", "")
    suffix = m.group("dsuf") or ""
    if len(digits) > 1 and digits.startswith("0"):
        if not re.fullmatch(r"[0-7]+", digits):
            return None
        return "0" + format(int(digits, 8) + 1, "o") + suffix
    if suffix[:1] in ("e", "E"):
        return None  # an exponent: a floating literal
    return str(int(digits) + 1) + suffix


def sites_in_file(root, rel):
    text = (root / rel).read_text(encoding="utf-8", errors="surrogateescape")
    original_lines = text.split("\n")
    masked_lines, infos = read_lines(text)
    found = []
    for index, (line, code, info) in enumerate(zip(original_lines, masked_lines, infos)):
        if info.skip:
            continue
        number = index + 1
        indent = len(code) - len(code.lstrip())  # where the code starts (after any comment)
        stripped = line.strip()
        code_end = len(code.rstrip())

        def change(start, end, replacement):
            changed = line[:start] + replacement + line[end:]
            return changed.strip()

        for m in OPERATOR_TOKEN.finditer(code):
            token = m.group(0)
            if token not in FLIPS:
                continue
            before_ok = m.start() == indent or code[m.start() - 1] == " "
            after_ok = m.end() == code_end or (m.end() < len(code) and code[m.end()] == " ")
            if not (before_ok and after_ok):
                continue
            op = "swap-logic" if token in ("&&", "||") else "flip-compare"
            found.append(Site(rel, number, m.start() + 1, op, stripped,
                              change(m.start(), m.end(), FLIPS[token])))

        for m in NUMBER.finditer(code):
            if PURE_VIRTUAL.search(code[:m.start()]) and code[m.end():].strip() == ";":
                continue
            bigger = plus_one(m.group(0))
            if bigger is not None:
                found.append(Site(rel, number, m.start() + 1, "int-plus-one", stripped,
                                  change(m.start(), m.end(), bigger)))

        if info.scope.kind != "code" or not info.statement_start:
            continue
        body = code.strip()
        call = CALL_STATEMENT.match(body)
        if call and call.group("name") not in NOT_CALLS and balanced(call.group("args")):
            found.append(Site(rel, number, indent + 1, "drop-call", stripped, ";"))
        ret = RETURN_STATEMENT.match(body)
        if ret and info.scope.returns_bool:
            expr = ret.group("expr").strip()
            if balanced(expr) and not expr.startswith("{") and ";" not in expr:
                start = indent + len("return ")
                expr_end = indent + len(body) - 1  # before the ';'
                found.append(Site(rel, number, start + 1, "negate-return", stripped,
                                  change(start, expr_end,
                                         "!(" + line[start:expr_end].strip() + ")")))
    return found


def core_files(root):
    """Every core source, found by walking src/ so that moved or new folders are followed."""
    src = root / "src"
    files = []
    for dirpath, dirnames, filenames in os.walk(src):
        rel_dir = Path(dirpath).relative_to(src)
        if rel_dir == Path("."):
            dirnames[:] = [d for d in dirnames if d not in EXCLUDED_DIRS]
        dirnames.sort()
        for name in filenames:
            if name.endswith((".cpp", ".h")):
                files.append((Path(dirpath) / name).relative_to(root).as_posix())
    return sorted(files)


def all_sites(root):
    sites = []
    for rel in core_files(root):
        sites.extend(sites_in_file(root, rel))
    return sorted(sites)


# ---- The list file ----------------------------------------------------------------------------


def read_list(path):
    """Entries as (path, line, col, operator, rest); rest is `original→mutated`, split later
    against the file's current line, because either side may itself contain an arrow."""
    entries = []
    for raw in Path(path).read_text(encoding="utf-8").split("\n"):
        if not raw.strip() or raw.lstrip().startswith("#"):
            continue
        parts = raw.split(":", 4)
        if len(parts) != 5 or not parts[1].isdigit() or not parts[2].isdigit() \
                or parts[3] not in OPERATORS or ARROW not in parts[4]:
            raise SystemExit(f"mutants: {path}: not a mutant line: {raw}")
        entries.append((parts[0], int(parts[1]), int(parts[2]), parts[3], parts[4]))
    return entries


def write_list(path, sites, header):
    with open(path, "w", encoding="utf-8") as out:
        out.write(f"# {header}\n")
        for site in sites:
            out.write(site.list_line() + "\n")


def resolve_entry(root, entry):
    """The entry as a Site if its line still reads as recorded, else None (stale)."""
    rel, number, col, operator, rest = entry
    file = root / rel
    if not file.is_file():
        return None
    lines = file.read_text(encoding="utf-8", errors="surrogateescape").split("\n")
    if number > len(lines):
        return None
    current = lines[number - 1].strip()
    if not current or not rest.startswith(current + ARROW):
        return None
    return Site(rel, number, col, operator, current, rest[len(current) + 1:])


# ---- Running ----------------------------------------------------------------------------------


def descendants(pid):
    """Every process below pid, from /proc."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            stat = Path(f"/proc/{entry}/stat").read_text()
        except OSError:
            continue
        parent = int(stat.rsplit(")", 1)[1].split()[1])
        children.setdefault(parent, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def temporary_folders(pids):
    """The test network's and xvfb-run's temporary folders named on these processes' command lines."""
    folders = set()
    for pid in pids:
        try:
            args = Path(f"/proc/{pid}/cmdline").read_bytes().decode(errors="replace").split("\0")
        except OSError:
            continue
        for arg in args:
            m = re.match(r"^(/tmp/(?:korvane-netns|xvfb-run)\.[A-Za-z0-9]+)(?:/|$)", arg)
            if m:
                folders.add(m.group(1))
    return sorted(folders)


def signal_all(pids, signum):
    for pid in pids:
        try:
            os.kill(pid, signum)
        except ProcessLookupError:
            pass


class Runner:
    def __init__(self, root, build, state, keep_going):
        self.root = root
        self.build = build
        self.state = Path(state) if state else None
        self.keep_going = keep_going
        self.logs = build / "mutant-logs"
        self.targets = []
        self.child = None
        # Inside the wrapper's folder when there is one, which goes even if this program is killed.
        self.runtime_dir = tempfile.mkdtemp(prefix="korvane-mutants-xdg.", dir=state)

    def close(self):
        shutil.rmtree(self.runtime_dir, ignore_errors=True)

    def run(self, command, log, cwd=None, env=None):
        """Runs a command in a process group of its own, output to log; returns its status.
        The group is ended if we are interrupted, so nothing is left running."""
        with open(log, "w", encoding="utf-8") as out:
            self.child = subprocess.Popen(command, cwd=cwd, env=env, stdout=out,
                                          stderr=subprocess.STDOUT, start_new_session=True)
            try:
                return self.child.wait()
            except BaseException:
                self.end_child()
                raise
            finally:
                self.child = None

    def end_child(self):
        """Ends the running command and everything it started, by process id. The test network
        needs SIGKILL: unshare and the namespace's first process ignore SIGTERM, and killing that
        first process ends every process inside. Its temporary folders, whose removal was
        skipped, are removed here."""
        child = self.child
        if child is None or child.poll() is not None:
            return
        pids = [child.pid, *descendants(child.pid)]
        leftovers = temporary_folders(pids)
        signal_all(pids, signal.SIGTERM)
        try:
            child.wait(timeout=5)
        except subprocess.TimeoutExpired:
            pass
        signal_all([*pids, *descendants(child.pid)], signal.SIGKILL)
        child.wait()
        time.sleep(0.5)  # the namespace's processes go a moment after its first one
        for folder in leftovers:
            shutil.rmtree(folder, ignore_errors=True)

    def configure(self):
        self.logs.mkdir(parents=True, exist_ok=True)
        for old in self.logs.glob("*.log"):
            old.unlink()  # so that every log there is from this run
        command = ["cmake", "-S", str(self.root), "-B", str(self.build), "-G", "Ninja",
                   "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DKORVANE_WERROR=OFF"]
        # Putting a header back recompiles every file that includes it; from the cache that
        # costs seconds instead of minutes.
        if shutil.which("ccache"):
            command.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        status = self.run(command, self.logs / "configure.log")
        if status != 0:
            raise SystemExit(f"mutants: configuring {self.build} failed, see {self.logs}/configure.log")

    def build_step(self, log):
        command = ["cmake", "--build", str(self.build), "-j", "2"]
        if self.targets:
            command += ["--target", *self.targets]
        return self.run(command, log)

    def find_test_targets(self):
        """The files the tests run, which are the only things worth rebuilding per mutant (the
        benchmarks and the picture tool link the core too but no test runs them)."""
        out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=self.build,
                             capture_output=True, text=True)
        if out.returncode != 0:
            return []
        build = self.build.resolve()
        targets = set()
        for test in json.loads(out.stdout).get("tests", []):
            for arg in test.get("command", []):
                path = Path(arg)
                if path.is_absolute() and path.is_file() and os.access(path, os.X_OK):
                    try:
                        targets.add(path.resolve().relative_to(build).as_posix())
                    except ValueError:
                        pass  # outside the build folder: not ours to build
        return sorted(targets)

    def test_step(self, log):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=self.runtime_dir)
        command = [str(self.root / "scripts" / "netns-run.sh"), "ctest", "-j", "2", "--timeout", "60"]
        if not self.keep_going:
            command.append("--stop-on-failure")
        status = self.run(command, log, cwd=self.build, env=env)
        text = Path(log).read_text(encoding="utf-8", errors="replace")
        # ctest's closing tally shows that the suite really ran; without it the test network
        # or ctest itself failed, which says nothing about the mutant.
        ran = re.search(r"\d+% tests passed, \d+ tests? failed out of \d+", text) is not None
        return status, ran

    def baseline(self):
        """Builds everything and runs the suite on the unmutated code: a suite that fails on its
        own would make every mutant look killed."""
        self.configure()
        if self.build_step(self.logs / "baseline-build.log") != 0:
            raise SystemExit(f"mutants: the unmutated code does not build, see {self.logs}/baseline-build.log")
        self.targets = self.find_test_targets()
        status, ran = self.test_step(self.logs / "baseline-test.log")
        if status != 0 or not ran:
            raise SystemExit(f"mutants: the suite fails without any mutation, see {self.logs}/baseline-test.log")

    def apply(self, site):
        file = self.root / site.path
        data = file.read_bytes()
        if self.state:
            # The shell wrapper restores from here if this program dies before restoring.
            (self.state / "original").write_bytes(data)
            (self.state / "path.tmp").write_text(str(file))
            os.replace(self.state / "path.tmp", self.state / "path")
        lines = data.decode("utf-8", errors="surrogateescape").split("\n")
        line = lines[site.line - 1]
        indent = line[:len(line) - len(line.lstrip())]
        lines[site.line - 1] = indent + site.mutated
        file.write_bytes("\n".join(lines).encode("utf-8", errors="surrogateescape"))
        return data

    def restore(self, site, data):
        (self.root / site.path).write_bytes(data)
        if self.state:
            (self.state / "path").unlink(missing_ok=True)

    def try_mutant(self, k, site):
        data = self.apply(site)
        try:
            build_log = self.logs / f"{k:03d}-build.log"
            if self.build_step(build_log) != 0:
                text = build_log.read_text(encoding="utf-8", errors="replace")
                # The tests are listed by running the test program after linking; if that run
                # fails, the mutant built but broke the test program.
                if "Error running test executable" in text:
                    return "KILLED"
                return "NO-BUILD"
            for _attempt in range(2):
                status, ran = self.test_step(self.logs / f"{k:03d}-test.log")
                if ran:
                    return "KILLED" if status != 0 else "SURVIVED"
            raise SystemExit(f"mutants: ctest did not run for mutant {k}, see {self.logs}/{k:03d}-test.log")
        finally:
            self.restore(site, data)


def on_terminate(_signum, _frame):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(prog="mutants.sh", description=__doc__.split("\n\n")[0])
    parser.add_argument("-n", type=int, default=60, help="how many mutants to sample (60)")
    parser.add_argument("-s", "--seed", type=int, default=1, help="random seed for the sample (1)")
    parser.add_argument("-b", "--build", metavar="BUILD_DIR", default=None,
                        help="build folder (build-mutants)")
    parser.add_argument("--list", metavar="FILE", help="replay this mutant list if it exists, else write the sample to it")
    parser.add_argument("--keep-going", action="store_true",
                        help="run the whole suite for every mutant instead of stopping at the "
                             "first failing test (slower; every killing test is in the logs)")
    parser.add_argument("--count", action="store_true",
                        help="only count the mutation sites per operator and per folder")
    parser.add_argument("--state", help=argparse.SUPPRESS)
    args = parser.parse_args()
    root = Path(__file__).resolve().parent.parent
    signal.signal(signal.SIGTERM, on_terminate)

    sites = all_sites(root)
    if args.count:
        print(f"mutation sites: {len(sites)} in {len(core_files(root))} files")
        print("per operator:")
        for op in OPERATORS:
            print(f"  {op:14} {sum(1 for s in sites if s.operator == op)}")
        print("per folder:")
        folders = sorted({s.path.rsplit("/", 1)[0] for s in sites})
        for folder in folders:
            print(f"  {folder + '/':24} {sum(1 for s in sites if s.path.rsplit('/', 1)[0] == folder)}")
        return 0

    if args.list and Path(args.list).exists():
        entries = read_list(args.list)
        sample = [(entry, resolve_entry(root, entry)) for entry in entries]
        print(f"mutants: replaying {len(sample)} from {args.list}", flush=True)
    else:
        if args.n < 0:
            parser.error("-n must not be negative")
        picked = sorted(random.Random(args.seed).sample(sites, min(args.n, len(sites))))
        sample = [((s.path, s.line, s.col, s.operator, ""), s) for s in picked]
        print(f"mutants: {len(picked)} of {len(sites)} sites, seed {args.seed}", flush=True)
        if args.list:
            head = subprocess.run(["git", "rev-parse", "--short", "HEAD"], cwd=root,
                                  capture_output=True, text=True).stdout.strip() or "unknown"
            write_list(args.list, picked,
                       f"mutants: {len(picked)} of {len(sites)} sites, seed {args.seed}, commit {head}")

    build = Path(args.build) if args.build else root / "build-mutants"
    build = build.resolve()
    runner = Runner(root, build, args.state, args.keep_going)
    counts = {"KILLED": 0, "SURVIVED": 0, "NO-BUILD": 0, "STALE": 0}
    survivors = []
    total = len(sample)
    try:
        if any(site for _, site in sample):
            started = time.monotonic()
            runner.baseline()
            print(f"mutants: baseline built and passed in {time.monotonic() - started:.0f} s", flush=True)
        started = time.monotonic()
        tried = 0
        for k, (entry, site) in enumerate(sample, 1):
            if site is None:
                result = "STALE"
            else:
                result = runner.try_mutant(k, site)
                tried += 1
            counts[result] += 1
            if result == "SURVIVED":
                survivors.append(site)
            print(f"[{k}/{total}] {result} {entry[0]}:{entry[1]} {entry[3]}", flush=True)
        elapsed = time.monotonic() - started
    except KeyboardInterrupt:
        print("mutants: interrupted; the mutated file has been restored", file=sys.stderr)
        return 130
    finally:
        runner.close()

    killed, survived = counts["KILLED"], counts["SURVIVED"]
    score = f"{100.0 * killed / (killed + survived):.1f}%" if killed + survived else "n/a"
    print(f"mutants: {total} sampled, {killed} killed, {survived} survived, "
          f"{counts['NO-BUILD']} did not build, {counts['STALE']} stale; "
          f"score {killed}/({killed}+{survived}) = {score}")
    for site in survivors:
        after = site.mutated if site.operator != "drop-call" else "; (call dropped)"
        print(f"  survived {site.path}:{site.line}: {site.original}  {ARROW}  {after}")
    if tried:
        print(f"mutants: {elapsed:.0f} s for {tried} mutants, {elapsed / tried:.0f} s each on "
              f"average; logs in {runner.logs}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
