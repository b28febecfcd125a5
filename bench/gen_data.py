#!/usr/bin/env python3
"""Writes the benchmark inputs, the same bytes for the same arguments.

gen_data.py dict OUT RECORDS [KEEP]  a dictionary text file of RECORDS records
    in ascending ENG order (with KEEP, only KEEP of them, evenly spread, so a
    smaller dictionary holds a subset of the large one's keys)
gen_data.py script OUT MEGABYTES RECORDS  a script of about MEGABYTES MB, one
    delimited text per 59 bytes, 80% of them ENG texts of the RECORDS-record
    dictionary, the rest texts no dictionary holds
gen_data.py plain OUT MEGABYTES  a script of about MEGABYTES MB without a '['
    or a '"'
"""
import random
import sys

WORDS = (b"the a of to and in that is was he for it with as his on be at by had not are but "
         b"from or have an they which one you were all her she there would their we him been "
         b"has when who will more no if out so said what up its about into than them can only "
         b"other new some could time these two may then do first any my now such like our over "
         b"man me even most made after also did many before must through back years where much "
         b"your way well down should because each just those people how too little state good "
         b"very make world still own see men work long get here between both life being under "
         b"never day same another know while last might us great old year off come since "
         b"against go came right used take three").split()


def eng_texts(records):
    """RECORDS distinct ENG texts, sorted by bytes (so strictly ascending)."""
    rng = random.Random(11)
    texts = set()
    while len(texts) < records:
        words = rng.sample(WORDS, rng.randint(2, 4))
        words[0] = words[0].capitalize()
        texts.add(b" ".join(words) + b" %d" % rng.randrange(1000000))
    return sorted(texts)


def gbk_text(rng, characters):
    return bytes(b for _ in range(characters)
                 for b in (rng.randint(0xB0, 0xF7), rng.randint(0xA1, 0xFE)))


def write_dictionary(path, records, keep):
    rng = random.Random(12)
    with open(path, "wb") as out:
        out.write(b"Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 2026-12-08 20:09:46\r\n\r\n\r\n")
        n = 0
        for i, eng in enumerate(eng_texts(records)):
            chi = gbk_text(rng, rng.randint(4, 15))
            remark = b"" if rng.random() < 0.7 else b"note %d" % i
            if i * keep // records == (i - 1) * keep // records and i:
                continue
            out.write(b"\r\nmirok_res_No.%08d\r\nmirok_res_ENG_Start\r\n%s\r\nmirok_res_ENG_End\r\n"
                      b"mirok_res_CHI_Start\r\n%s\r\nmirok_res_CHI_End\r\n"
                      b"mirok_res_Remark00_Start\r\n%s\r\nmirok_res_Remark00_End\r\n"
                      % (n, eng, chi, remark))
            n += 1
        out.write(b"\r\n\r\n\r\nmirok_res_All_End\r\n")


def write_script(path, megabytes, records):
    rng = random.Random(13)
    keys = eng_texts(records)
    size = megabytes * 1000000
    written = 0
    with open(path, "wb") as out:
        lines = []
        while written < size:
            if rng.random() < 0.8:
                text = rng.choice(keys)
                if rng.random() < 0.1:
                    text = b" " + text + b" "
            else:
                text = b" ".join(rng.sample(WORDS, 3)) + b" unknown"
            opening, closing = (b"[", b"]") if rng.random() < 0.3 else (b'"', b'"')
            filler = b" ".join(rng.sample(WORDS, rng.randint(3, 7)))
            line = b"    show %s %s%s%s\n" % (filler, opening, text, closing)
            lines.append(line)
            written += len(line)
            if len(lines) == 10000:
                out.write(b"".join(lines))
                lines = []
        out.write(b"".join(lines))


def write_plain(path, megabytes):
    rng = random.Random(14)
    line_pool = [b" ".join(rng.sample(WORDS, rng.randint(3, 12))) + b"\n" for _ in range(5000)]
    size = megabytes * 1000000
    with open(path, "wb") as out:
        written = 0
        while written < size:
            chunk = b"".join(rng.choices(line_pool, k=2000))
            out.write(chunk)
            written += len(chunk)


def main(args):
    if args[0] == "dict":
        write_dictionary(args[1], int(args[2]), int(args[3]) if len(args) > 3 else int(args[2]))
    elif args[0] == "script":
        write_script(args[1], int(args[2]), int(args[3]))
    elif args[0] == "plain":
        write_plain(args[1], int(args[2]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
