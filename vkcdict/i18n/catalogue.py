#!/usr/bin/python3
"""vkcdict's message catalogue: what the code asks for, against zh_CN.po.

  catalogue.py check  [SOURCE_ROOT]  fails when a message of the code has no
                                     translation, when a translation's
                                     placeholders differ from its message's,
                                     or when the catalogue holds a message
                                     the code no longer has
  catalogue.py update [SOURCE_ROOT]  merges the code's messages into zh_CN.po
                                     (new ones untranslated), for a translator

Messages are found with gettext's xgettext: the first argument of Tr() and N_(), the
noun of CountOf(), and the help texts given to a Command (vkcdict/cli/
CommandLine.h). Needs gettext's tools; check also needs python3-polib.
"""
import os
import re
import subprocess
import sys
import tempfile

KEYWORDS = ["Tr", "N_", "CountOf:2", "Purpose", "Footer", "Argument:3", "Arguments:3", "Option:3",
            "Options:3", "Count:3", "Ratio:3", "Flag:3"]
PLACEHOLDER = re.compile(r"\{[1-9]\}")


def sources(root):
    found = []
    for folder, _, files in os.walk(os.path.join(root, "vkcdict")):
        for name in files:
            if name.endswith((".cpp", ".h")):
                found.append(os.path.relpath(os.path.join(folder, name), root))
    return sorted(found)


def extract(root, pot):
    command = ["xgettext", "--language=C++", "--from-code=UTF-8", "--no-wrap", "--sort-output",
               "--add-location=file", "-k", "--package-name=vkcdict", "-o", pot]
    command += ["--keyword=" + k for k in KEYWORDS]
    subprocess.run(command + sources(root), cwd=root, check=True)


def check(root):
    import polib
    with tempfile.TemporaryDirectory() as tmp:
        pot = os.path.join(tmp, "vkcdict.pot")
        extract(root, pot)
        wanted = {e.msgid: e for e in polib.pofile(pot) if e.msgid}
    catalogue = polib.pofile(os.path.join(root, "vkcdict", "i18n", "zh_CN.po"))
    have = {e.msgid: e for e in catalogue if e.msgid and not e.obsolete}
    problems = []
    for msgid, entry in sorted(wanted.items()):
        where = ", ".join(sorted({f for f, _ in entry.occurrences}))
        got = have.get(msgid)
        if got is None or not got.msgstr or "fuzzy" in got.flags:
            problems.append("no translation for %r (%s)" % (msgid, where))
        elif sorted(PLACEHOLDER.findall(msgid)) != sorted(PLACEHOLDER.findall(got.msgstr)):
            problems.append("placeholders differ: %r -> %r" % (msgid, got.msgstr))
    for msgid in sorted(set(have) - set(wanted)):
        problems.append("the code no longer has %r" % msgid)
    for line in problems:
        print("zh_CN.po: " + line)
    print("%d messages in the code, %d in zh_CN.po, %d problems" % (len(wanted), len(have), len(problems)))
    return 1 if problems else 0


def update(root):
    po = os.path.join(root, "vkcdict", "i18n", "zh_CN.po")
    with tempfile.TemporaryDirectory() as tmp:
        pot = os.path.join(tmp, "vkcdict.pot")
        extract(root, pot)
        subprocess.run(["msgmerge", "--quiet", "--no-wrap", "--no-fuzzy-matching", "--sort-output",
                        "--update", "--backup=none", po, pot], check=True)
        # Messages the code dropped are kept by msgmerge as obsolete "#~"
        # entries; they are dropped here so the catalogue stays the code's.
        subprocess.run(["msgattrib", "--no-wrap", "--no-obsolete", "-o", po, po], check=True)
    return 0


def main(argv):
    if len(argv) < 2 or argv[1] not in ("check", "update"):
        print(__doc__)
        return 2
    root = os.path.abspath(argv[2] if len(argv) > 2 else os.path.join(os.path.dirname(__file__), "..", ".."))
    return check(root) if argv[1] == "check" else update(root)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
