#!/usr/bin/python3
"""Checks of the mutation-site finder in mutants.py: /usr/bin/python3 scripts/mutants_test.py"""

import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import mutants  # noqa: E402


def sites_of(source, name="src/x/f.cpp"):
    with tempfile.TemporaryDirectory() as root:
        path = Path(root) / name
        path.parent.mkdir(parents=True)
        path.write_text(source)
        return mutants.sites_in_file(Path(root), name)


def pairs(source):
    """(operator, mutated line) of every site, in order."""
    return [(s.operator, s.mutated) for s in sites_of(source)]


class Comparisons(unittest.TestCase):
    def test_spaced_operators_flip(self):
        got = pairs("bool f(int a, int b) {\n    return a < b || a >= b && a != b;\n}\n")
        self.assertIn(("flip-compare", "return a <= b || a >= b && a != b;"), got)
        self.assertIn(("flip-compare", "return a < b || a > b && a != b;"), got)
        self.assertIn(("flip-compare", "return a < b || a >= b && a == b;"), got)
        self.assertIn(("swap-logic", "return a < b && a >= b && a != b;"), got)
        self.assertIn(("swap-logic", "return a < b || a >= b || a != b;"), got)

    def test_templates_shifts_arrows_and_references_are_left_alone(self):
        source = ("template <class T> std::vector<std::pair<int, int>> g(T&& t) {\n"
                  "    std::cout << t->x >> 2;\n"
                  "    auto c = a <=> b;\n"
                  "    return static_cast<int>(t);\n"
                  "}\n"
                  "bool operator<(const A& a, const A& b);\n")
        ops = [s for s in sites_of(source) if s.operator in ("flip-compare", "swap-logic")]
        self.assertEqual(ops, [])

    def test_operator_at_the_end_of_a_broken_line(self):
        got = pairs("void f() {\n    if (a &&\n        b)\n        g();\n}\n")
        self.assertIn(("swap-logic", "if (a ||"), got)

    def test_comments_strings_and_chars_are_not_code(self):
        source = ('void f() {\n'
                  '    // a < b && c == 1\n'
                  '    /* x > y\n'
                  '       || 2 */\n'
                  '    s = "a < b == 3";\n'
                  "    c = '<';\n"
                  '    r = R"(x < 4\n'
                  '          y == 5)";\n'
                  '}\n')
        self.assertEqual([s for s in sites_of(source) if s.operator != "drop-call"], [])


class Integers(unittest.TestCase):
    def test_plus_one_keeps_base_and_suffix(self):
        self.assertEqual(mutants.plus_one("9"), "10")
        self.assertEqual(mutants.plus_one("0xFFu"), "0x100u")
        self.assertEqual(mutants.plus_one("0x1f"), "0x20")
        self.assertEqual(mutants.plus_one("0b11"), "0b100")
        self.assertEqual(mutants.plus_one("017"), "020")
        self.assertEqual(mutants.plus_one("1'000"), "1001")
        self.assertEqual(mutants.plus_one("10ms"), "11ms")
        self.assertEqual(mutants.plus_one("40ull"), "41ull")

    def test_floating_literals_are_not_integers(self):
        for token in ("1.5", "1e5", "2.f", "0x1p3", "1E-3"):
            self.assertIsNone(mutants.plus_one(token), token)

    def test_literals_in_names_directives_and_pure_virtuals_are_skipped(self):
        source = ("#include <cstdint>\n"
                  "#define K 3\n"
                  "struct S {\n"
                  "    virtual void f() const = 0;\n"
                  "    std::int64_t x = 7;\n"
                  "};\n"
                  "static_assert(sizeof(int) == 4);\n")
        got = [(s.line, s.mutated) for s in sites_of(source)]
        self.assertEqual(got, [(5, "std::int64_t x = 8;")])


class Statements(unittest.TestCase):
    def test_call_statements_drop_but_declarations_do_not(self):
        source = ("class C {\n"
                  "    C(int x);\n"
                  "    void g();\n"
                  "};\n"
                  "void f(C& c, C* p) {\n"
                  "    g();\n"
                  "    c.log.Append(x);\n"
                  "    p->Run([] { return 1; });\n"
                  "    std::string s(x);\n"
                  "    auto r =\n"
                  "        compute(x);\n"
                  "    return h(x);\n"
                  "}\n")
        dropped = [s.line for s in sites_of(source) if s.operator == "drop-call"]
        self.assertEqual(dropped, [6, 7, 8])

    def test_the_body_of_an_unbraced_if_becomes_an_empty_statement(self):
        source = "void f() {\n    if (ok)\n        Tell(x);\n    else\n        Warn(y);\n}\n"
        got = [(s.line, s.mutated) for s in sites_of(source) if s.operator == "drop-call"]
        self.assertEqual(got, [(3, ";"), (5, ";")])

    def test_a_lambda_spanning_lines_does_not_end_the_statement_around_it(self):
        source = ("void f() {\n"
                  "    if (!Start([&] {\n"
                  "            Work();\n"
                  "        }))\n"
                  "        Warn(y);\n"
                  "    auto l = [] {\n"
                  "        return 1;\n"
                  "    },\n"
                  "         m = Make(2);\n"
                  "}\n")
        dropped = [s.line for s in sites_of(source) if s.operator == "drop-call"]
        self.assertEqual(dropped, [3, 5])

    def test_returns_negate_only_in_bool_functions(self):
        source = ("bool Ok(int x) {\n"
                  "    if (x)\n"
                  "        return x > 2;\n"
                  "    auto l = [](int y) {\n"
                  "        return y;\n"
                  "    };\n"
                  "    auto m = [](int y) -> bool {\n"
                  "        return y;\n"
                  "    };\n"
                  "    return false;\n"
                  "}\n"
                  "int Count() {\n"
                  "    return 3;\n"
                  "}\n"
                  "template <class T> bool S::Same(const T& a) const {\n"
                  "    return a == b;\n"
                  "}\n")
        got = [(s.line, s.mutated) for s in sites_of(source) if s.operator == "negate-return"]
        self.assertEqual(got, [(3, "return !(x > 2);"), (8, "return !(y);"), (10, "return !(false);"),
                               (16, "return !(a == b);")])


class Lists(unittest.TestCase):
    def test_a_written_sample_replays_and_a_changed_line_is_stale(self):
        with tempfile.TemporaryDirectory() as tmp:
            root = Path(tmp)
            (root / "src/x").mkdir(parents=True)
            source = root / "src/x/f.cpp"
            source.write_text("int f(int a) {\n    return a < 1 ? 2 : 3; // a → b\n}\n")
            sites = mutants.sites_in_file(root, "src/x/f.cpp")
            self.assertEqual(len(sites), 4)
            listing = root / "sample.txt"
            mutants.write_list(listing, sites, "test")
            entries = mutants.read_list(listing)
            self.assertEqual([mutants.resolve_entry(root, e) for e in entries], sites)
            source.write_text("int f(int a) {\n    return a < 1 ? 2 : 4; // a → b\n}\n")
            self.assertEqual([mutants.resolve_entry(root, e) for e in entries], [None] * 4)

    def test_core_files_leave_out_gui_and_app_and_follow_any_folder(self):
        with tempfile.TemporaryDirectory() as tmp:
            root = Path(tmp)
            for name in ("src/gui/w.cpp", "src/app/main.cpp", "src/net/a.cpp", "src/net/a.h",
                         "src/records/deep/b.cpp", "src/CMakeLists.txt", "src/net/notes.md"):
                (root / name).parent.mkdir(parents=True, exist_ok=True)
                (root / name).write_text("")
            self.assertEqual(mutants.core_files(root),
                             ["src/net/a.cpp", "src/net/a.h", "src/records/deep/b.cpp"])


if __name__ == "__main__":
    unittest.main()
