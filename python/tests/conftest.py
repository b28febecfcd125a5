"""Shared helpers: random dictionaries, a plain writer of the dictionary text
format to compare against, and the project's programs (from CTest's
environment: VKCSUBST, VKCDICT, VKC_SOURCE_DIR)."""
import os
import random
import subprocess

import pytest

SOURCE_DIR = os.environ.get("VKC_SOURCE_DIR",
                            os.path.join(os.path.dirname(__file__), "..", ".."))


def program(name):
    path = os.environ.get(name)
    if not path or not os.path.exists(path):
        pytest.skip("%s is not set to a built program" % name)
    return path


# Key bytes: blanks inside keys, delimiters, a high byte (unsigned order).
KEY_BYTES = b"abcAB  .[\"\xa1"


def gbk_text(rng, characters):
    return b"".join(rng.choice([bytes([rng.randint(0xB0, 0xF7), rng.randint(0xA1, 0xFE)]),
                                b"x", b"\x80"]) for _ in range(characters))


def random_records(rng, count):
    """(eng, chi, remark) triples, ENG texts unique, trimmed and ascending by
    bytes; many keys are prefixes of others."""
    keys = set()
    while len(keys) < count:
        if keys and rng.random() < 0.3:
            key = rng.choice(sorted(keys)) + bytes(rng.choices(KEY_BYTES, k=rng.randint(1, 3)))
        else:
            key = bytes(rng.choices(KEY_BYTES, k=rng.randint(1, 8)))
        key = key.strip(b" ")
        if key:
            keys.add(key)
    return [(key, gbk_text(rng, rng.randint(0, 6)), b"note" * rng.randint(0, 1))
            for key in sorted(keys)]


def dictionary_text(records, header=b"Header\r\n\r\n\r\n"):
    """A dictionary text file of `records`, written as the format says."""
    parts = [header]
    for number, (eng, chi, remark) in enumerate(records):
        parts.append(b"\r\nmirok_res_No.%08d\r\nmirok_res_ENG_Start\r\n%s\r\nmirok_res_ENG_End\r\n"
                     b"mirok_res_CHI_Start\r\n%s\r\nmirok_res_CHI_End\r\n"
                     b"mirok_res_Remark00_Start\r\n%s\r\nmirok_res_Remark00_End\r\n"
                     % (number, eng, chi, remark))
    parts.append(b"\r\n\r\n\r\nmirok_res_All_End\r\n")
    return b"".join(parts)


def body(text):
    """A dictionary text without its header line (which holds the time)."""
    return text.split(b"\r\n", 1)[1]


def run(*command, stdin=b""):
    return subprocess.run(command, input=stdin, stdout=subprocess.PIPE, check=False).stdout


@pytest.fixture
def rng(request):
    return random.Random(request.node.name)
