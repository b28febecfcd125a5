#!/usr/bin/env python3
"""vkcdict qa against the unit tests of a peer's checks.

Reads translate/filters/test_checks.py of the installed translate-toolkit
(Debian's python3-translate, pulled in by translate-toolkit), takes every
passes()/fails() call whose check has a counterpart in vkcdict qa and whose
two texts are literals, runs each pair as a record through `vkcdict qa`
with the counterpart checks, and prints the agree/disagree counts and each
disagreement.

Usage: bench/qa_peer.py [VKCDICT] [--no-code]
  VKCDICT defaults to build/vkcdict/vkcdict; --no-code leaves out the
  engine-specific --code patterns and glossaries that stand for the peer's
  checker configurations.

Left out: checkers set up for another target language than Chinese (their
cases test that language's conventions) and the peer's checks without a
counterpart (accelerators, capitals, spelling, brackets lost, URLs, ...).
Texts are written in GBK; a character GBK lacks becomes a Chinese one.
"""
import ast
import glob
import os
import subprocess
import sys
import tempfile

# peer check -> the qa checks that do its work
COUNTERPARTS = {
    "unchanged": "unchanged",
    "printf": "codes",
    "pythonbraceformat": "codes",
    "xmltags": "codes",
    "escapes": "codes",
    "variables": "codes",
    "newlines": "line-breaks,line-count",
    "endpunc": "punctuation",
    "startwhitespace": "spaces",
    "endwhitespace": "spaces",
    "doublespacing": "spaces",
    "numbers": "numbers",
    "doublequoting": "delimiters",
    "notranslatewords": "glossary",
}

# The variables of each engine the peer knows, as --code patterns.
OFFICE = [r"&\w+;", r"%\w+%", r"%\w+", r"%", r"\$\(\w+\)", r"\$\{\w+\}", r"#\w+#", r"#\w+",
          r"#", r"\(\$\w+\)", r"\$\[\w+\]", r"\[\w+\]", r"\$\w+", r"@\w+@"]
CODES = {
    "MozillaChecker": [r"&[\w.]+;", r"%\w+%", r"\$\(\^?\w+\)", r"\$\w+", r"\{\{\w+\}\}"],
    "OpenOfficeChecker": OFFICE,
    "LibreOfficeChecker": OFFICE,
    "GnomeChecker": [r"\$\(\w+\)"],
    "CCLicenseChecker": [r"@\w+@"],
    "IOSChecker": [r"\$\(\w+\)", r"%(\d+\$)?@"],
}


def peer_file():
    found = glob.glob("/usr/lib/python3/dist-packages/translate/filters/test_checks.py")
    if not found:
        sys.exit("install translate-toolkit first (apt-get install translate-toolkit)")
    return found[0]


def checker_of(node):
    """(class, CheckerConfig keywords) of checks.X(checks.CheckerConfig(...)), or None."""
    if not (isinstance(node, ast.Call) and isinstance(node.func, ast.Attribute)):
        return None
    config = {}
    for arg in node.args:
        if isinstance(arg, ast.Call):
            for kw in arg.keywords:
                try:
                    config[kw.arg] = ast.literal_eval(kw.value)
                except ValueError:
                    config[kw.arg] = None
    return node.func.attr, config


def cases(path):
    """(function, line, checker, config, check, source, target, expect_finding)."""
    tree = ast.parse(open(path, encoding="utf-8").read())
    out = []
    for fn in tree.body:
        if not isinstance(fn, ast.FunctionDef):
            continue
        checkers = {}

        def visit(nodes):
            for node in nodes:
                if isinstance(node, ast.Assign) and len(node.targets) == 1 and \
                        isinstance(node.targets[0], ast.Name):
                    made = checker_of(node.value)
                    if made:
                        checkers[node.targets[0].id] = [made]
                if isinstance(node, ast.For) and isinstance(node.target, ast.Name) and \
                        isinstance(node.iter, ast.Tuple):
                    made = [checker_of(e) for e in node.iter.elts]
                    if all(made):
                        checkers[node.target.id] = made
                    visit(node.body)
                    continue
                if isinstance(node, ast.Assert) and isinstance(node.test, ast.Call) and \
                        isinstance(node.test.func, ast.Name) and \
                        node.test.func.id in ("passes", "fails", "fails_serious") and \
                        len(node.test.args) >= 3:
                    call = node.test
                    f = call.args[0]
                    if not (isinstance(f, ast.Attribute) and isinstance(f.value, ast.Name)):
                        continue
                    try:
                        source = ast.literal_eval(call.args[1])
                        target = ast.literal_eval(call.args[2])
                    except ValueError:
                        continue
                    for name, config in checkers.get(f.value.id, []):
                        out.append((fn.name, node.lineno, name, config, f.attr, source, target,
                                    call.func.id != "passes"))

        visit(fn.body)
    return out


def gbk(text):
    return "".join(c if _encodes(c) else "\u5b57" for c in text).encode("gbk")


def _encodes(c):
    try:
        c.encode("gbk")
        return True
    except UnicodeEncodeError:
        return False


def dictionary(records):
    out = b"Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 2026-12-08 20:09:46\r\n\r\n\r\n"
    for i, (eng, chi) in enumerate(records):
        out += b"\r\nmirok_res_No.%08d\r\n" % i
        out += b"mirok_res_ENG_Start\r\n" + eng + b"\r\nmirok_res_ENG_End\r\n"
        out += b"mirok_res_CHI_Start\r\n" + chi + b"\r\nmirok_res_CHI_End\r\n"
        out += b"mirok_res_Remark00_Start\r\n\r\nmirok_res_Remark00_End\r\n"
    return out + b"\r\n\r\n\r\nmirok_res_All_End\r\n"


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    engine_codes = "--no-code" not in sys.argv
    vkcdict = args[0] if args else "build/vkcdict/vkcdict"
    all_cases = cases(peer_file())
    comparable = []
    for case in all_cases:
        _, _, checker, config, check, source, target, _ = case
        if check not in COUNTERPARTS or config.get("targetlanguage", "zh") != "zh":
            continue
        if not source or not target:  # qa leaves empty translations to `check`
            continue
        comparable.append(case)
    # An older build may lack a counterpart: then nothing reports the case.
    listed = subprocess.run([vkcdict, "qa", "--list-checks"], capture_output=True, check=True)
    available = {line.split()[0] for line in listed.stdout.decode().splitlines() if line.strip()}
    agree = 0
    disagreements = []
    with tempfile.TemporaryDirectory() as tmp:
        for fn, line, checker, config, check, source, target, expected in comparable:
            d = os.path.join(tmp, "d.txt")
            with open(d, "wb") as f:
                f.write(dictionary([(gbk(source), gbk(target))]))
            ids = [i for i in COUNTERPARTS[check].split(",") if i in available]
            command = [vkcdict, "qa", d, "--check", ",".join(ids)]
            if engine_codes:
                for pattern in CODES.get(checker, []):
                    command += ["--code", pattern]
                words = config.get("notranslatewords") or []
                if words:
                    g = os.path.join(tmp, "g.txt")
                    with open(g, "wb") as f:
                        f.write(dictionary([(gbk(w), b"") for w in words]))
                    command += ["--glossary", g]
            run = subprocess.run(command, capture_output=True) if ids else \
                subprocess.CompletedProcess(command, 0, b"", b"")
            if run.returncode not in (0, 1):
                sys.exit("vkcdict failed: %s\n%s" % (command, run.stderr.decode()))
            found = run.returncode == 1
            if found == expected:
                agree += 1
            else:
                message = run.stdout.decode("gbk", "replace").strip().split(": warning: ")[-1]
                disagreements.append("%s:%d %s.%s %r -> %r: peer %s, qa %s%s" % (
                    fn, line, checker, check, source, target,
                    "fails" if expected else "passes", "reports" if found else "passes",
                    " (" + message + ")" if found else ""))
    for d in disagreements:
        print(d)
    print("%d comparable cases of %d: %d agree, %d disagree" % (
        len(comparable), len(all_cases), agree, len(disagreements)))


if __name__ == "__main__":
    main()
