#!/usr/bin/env python3
"""The plain rewriter that vkcsubst is measured against: a dict and re.sub.

yardstick.py SCRIPT DICTIONARY OUTPUT  (the arguments of vkcsubst 2, in order)
For well-formed, sorted dictionaries and scripts whose delimiters all close,
its output is vkcsubst's, byte for byte.
"""
import re
import sys

RECORD = re.compile(rb"\r\nmirok_res_No\.[^\r]*\r\nmirok_res_ENG_Start\r\n(.*?)\r\nmirok_res_ENG_End\r\n"
                    rb"mirok_res_CHI_Start\r\n(.*?)\r\nmirok_res_CHI_End\r\n", re.S)
TEXT = re.compile(rb'\[([^\]]*)\]|"([^"]*)"')


def main(script, dictionary, output):
    with open(dictionary, "rb") as f:
        translations = {eng: chi for eng, chi in RECORD.findall(f.read()) if chi}

    def replace(match):
        bracket, quoted = match.group(1), match.group(2)
        text = bracket if bracket is not None else quoted
        if len(text) < 2048:
            text = translations.get(text.strip(b" "), text)
        return b"[" + text + b"]" if bracket is not None else b'"' + text + b'"'

    with open(script, "rb") as f:
        data = f.read()
    with open(output, "wb") as f:
        f.write(TEXT.sub(replace, data))


if __name__ == "__main__":
    main(*sys.argv[1:4])
