"""The package against a plain reference (lookups, edits, the written file)
and against the C++ programs (piecewise matching, rewriting)."""
import bisect
import errno
import os
import pickle
import stat
import subprocess
import sys
import threading

import pytest

import vkcstringdict as vkc
from conftest import SOURCE_DIR, body, dictionary_text, gbk_text, program, random_records, run


@pytest.mark.parametrize("size", [1, 31, 32, 500])
def test_lookups_and_records_agree_with_a_plain_reference(rng, size):
    records = random_records(rng, size)
    keys = [r[0] for r in records]
    d = vkc.Dictionary.loads(dictionary_text(records))
    assert len(d) == size
    assert list(d) == records and d[:] == records
    assert d[-1] == records[-1] and d[0].eng == keys[0]
    for past in [size, 2**32, -size - 1]:
        with pytest.raises(IndexError):
            d[past]
    queries = keys + [b"  " + k + b" " for k in keys] + [k[:-1] for k in keys]
    queries += [k + b"a" for k in keys] + [b"\t" + keys[0], b"", b" ", b"\xff"]
    for _ in range(2000):  # lookups after the index is due
        queries.append(rng.choice(keys))
    for query in queries:
        key = query.strip(b" ")
        position = bisect.bisect_left(keys, key)
        hit = position < size and keys[position] == key
        assert d.find(query) == (records[position] if hit else None), query
        assert d.find_index(query) == position, query
        assert (query in d) == hit


def test_edits_and_the_written_file_agree_with_a_plain_reference(rng, tmp_path):
    model = random_records(rng, 40)
    d = vkc.Dictionary.loads(dictionary_text(model))
    for step in range(600):
        kind = rng.random()
        if kind < 0.6:
            core = bytes(rng.choices(b"ab c", k=rng.randint(1, 6))).strip(b" ") or b"c"
            eng = rng.choice([b"", b" "]) + core + rng.choice([b"", b"  "])
            chi = rng.choice([None, gbk_text(rng, 3)])
            remark = rng.choice([None, b"", b"r"])
            key = eng.strip(b" ")
            position = bisect.bisect_left([r[0] for r in model], key)
            if position == len(model) or model[position][0] != key:
                model.insert(position, (key, eng if chi is None else chi,
                                        eng if remark is None else remark))
            assert d.add(eng, chi, remark) == model[position]
        else:
            index = rng.randrange(-len(model), len(model))
            text = rng.choice([None, b"", gbk_text(rng, rng.randint(1, 9))])
            field = 1 if kind < 0.8 else 2
            (d.set_chi if field == 1 else d.set_remark)(index, text)
            record = list(model[index])
            record[field] = text or b""
            model[index] = tuple(record)
        if step % 100 == 0:
            assert list(d) == model
    assert list(d) == model

    # The written file: the format's bytes, a file that loads back the same,
    # and one that vkcdict's sort leaves as it is.
    path = tmp_path / "saved.txt"
    d.save(path)
    saved = path.read_bytes()
    assert body(saved) == body(dictionary_text(model))
    assert list(vkc.Dictionary.load(path)) == model
    run(program("VKCDICT"), "sort", str(path), "-o", str(tmp_path / "sorted.txt"))
    assert body((tmp_path / "sorted.txt").read_bytes()) == body(saved)

    # Blank records and ENG texts as given: out of order, so records only.
    for _ in range(50):
        index = rng.randrange(0, len(model) + 3)
        d.insert_blank(index)
        model.insert(index, (b"", b"", b""))
        index = rng.randrange(len(model))
        text = rng.choice([b" zz ", b"", None])
        d.set_eng(index, text)
        model[index] = (text or b"",) + model[index][1:]
    assert list(d) == model
    with pytest.raises(IndexError):
        d.set_chi(len(model), b"x")
    with pytest.raises(ValueError):
        d.add(b"a\0b")


def test_match_sequences_agree_with_vkcdict(rng, tmp_path):
    records = random_records(rng, 60)
    path = tmp_path / "dict.txt"
    path.write_bytes(dictionary_text(records))
    d = vkc.Dictionary.load(path)
    pieces = []
    for _ in range(300):
        eng = rng.choice(records)[0]
        cuts = sorted(rng.sample(range(len(eng) + 1), min(len(eng), rng.randint(0, 3))))
        for a, b in zip([0] + cuts, cuts + [len(eng)]):
            if eng[a:b].strip(b" "):
                pieces.append(rng.choice([b"", b" "]) + eng[a:b])
        if rng.random() < 0.2:
            pieces.append(rng.choice([b"zz", b"a"]))
    expected = run(program("VKCDICT"), "match", str(path), stdin=b"\n".join(pieces) + b"\n")
    ours = b"".join(b"%d\t%s\n" % d.match(piece) for piece in pieces)
    assert ours == expected
    assert ours.count(b"2\t") > 20 and ours.count(b"1\t") > 20


def test_rewrite_is_byte_identical_to_vkcsubst(rng, tmp_path):
    records = random_records(rng, 300)
    dict_path = tmp_path / "dict.txt"
    dict_path.write_bytes(dictionary_text(records))
    d = vkc.Dictionary.load(dict_path)
    scripts = [(os.path.join(SOURCE_DIR, "examples", "dict.txt"),
                open(os.path.join(SOURCE_DIR, "examples", "script.txt"), "rb").read())]
    for size in [0, 1, 200, 20000]:
        pieces = []
        while sum(map(len, pieces)) < size:
            text = rng.choice([rng.choice(records)[0], b" x ", b"a" * rng.choice([2047, 2048])])
            opening, closing = rng.choice([(b"[", b"]"), (b'"', b'"'), (b"[", b"")])
            pieces.append(opening + rng.choice([b"", b" "]) + text + closing)
            pieces.append(rng.choice([b"\0", b"\r\n", b"say ", b"]", b""]))
        scripts.append((dict_path, b"".join(pieces)[:size] if size else b""))
    for which, script in scripts:
        dictionary = d if which == dict_path else vkc.Dictionary.load(which)
        (tmp_path / "script.txt").write_bytes(script)
        run(program("VKCSUBST"), "2", str(tmp_path / "script.txt"), str(which),
            str(tmp_path / "out.txt"))
        assert dictionary.rewrite(script) == (tmp_path / "out.txt").read_bytes()


def test_loading_failures_and_images(tmp_path):
    records = [(b"a", b"1", b""), (b"b", b"2", b""), (b"c", b"3", b"")]
    text = dictionary_text(records)
    broken = text.replace(b"mirok_res_No.00000002\r\nmirok_res_ENG_Start", b"mirok_res_No.2\r\n")
    path = tmp_path / "broken.txt"
    path.write_bytes(broken)
    with pytest.raises(vkc.LoadError) as caught:
        vkc.Dictionary.load(path)
    assert caught.value.index == 2 and caught.value.message and caught.value.path == str(path)
    partial = vkc.Dictionary.load(path, partial=True)
    assert list(partial) == records[:2] and partial.load_error.index == 2
    for bad in [tmp_path / "missing.txt", tmp_path]:
        with pytest.raises(vkc.LoadError) as caught:
            vkc.Dictionary.load(bad)
        assert caught.value.index is None
    with pytest.raises(vkc.LoadError):
        vkc.Dictionary.loads(b"no records here")

    path.write_bytes(text)
    d = vkc.Dictionary.load(path)
    path.write_bytes(dictionary_text(records[:1]))
    d.reload()
    assert list(d) == records[:1]
    run(program("VKCDICT"), "compile", str(path), "-o", str(tmp_path / "image.bin"))
    assert list(vkc.Dictionary.load_image(tmp_path / "image.bin")) == records[:1]
    with pytest.raises(vkc.LoadError):
        vkc.Dictionary.load_image(path)


# What stands at dict.txt before the save (None, a file's mode, or "fifo"),
# the name saved to, and the words of the refusal (None: the save is made).
SAVE_CASES = {
    "new file": (None, "dict.txt", None),
    "mode kept": (0o640, "dict.txt", None),
    "through a link": (0o640, "link.txt", None),
    "FIFO with a reader": ("fifo", "dict.txt", None),
    "name of 250 bytes": (None, "n" * 250, None),
    "read-only file": (0o444, "dict.txt", "read-only"),
}


@pytest.mark.skipif(os.name != "posix", reason="modes, links and FIFOs as POSIX has them")
@pytest.mark.parametrize("case", sorted(SAVE_CASES))
def test_save_replaces_whole_regular_files_only(tmp_path, case):
    before, name, refusal = SAVE_CASES[case]
    records = [(b"Start", "开始".encode("gbk"), b""), (b"Zebra", b"", b"animal")]
    d = vkc.Dictionary.loads(dictionary_text(records))
    target, path = tmp_path / "dict.txt", tmp_path / name
    reader = None
    if before == "fifo":
        os.mkfifo(target)
        reader = os.open(target, os.O_RDONLY | os.O_NONBLOCK)  # the text fits in the pipe
    elif before is not None:
        target.write_bytes(b"old")
        target.chmod(before)
    if name == "link.txt":
        path.symlink_to(target.name)
    try:
        if refusal:
            with pytest.raises(vkc.Error) as caught:
                d.save(path)
            assert str(path) in caught.value.message and refusal in caught.value.message
            written = b"old"
        else:
            d.save(path)
            written = body(dictionary_text(records))
        saved = os.read(reader, 1 << 16) if reader is not None else path.read_bytes()
    finally:
        if reader is not None:
            os.close(reader)
    assert (saved if refusal else body(saved)) == written
    assert stat.S_ISFIFO(os.lstat(path).st_mode) == (before == "fifo")
    assert path.is_symlink() == (name == "link.txt")
    if isinstance(before, int):
        assert stat.S_IMODE(target.stat().st_mode) == before
    assert sorted(os.listdir(tmp_path)) == sorted({name} | ({target.name} if before else set()))


@pytest.mark.skipif(os.name != "posix", reason="the process's descriptors by name are POSIX's")
@pytest.mark.parametrize("name", ["/dev/stdout", "/proc/self/fd/1"])
def test_save_to_a_descriptor_writes_through_it(tmp_path, name):
    # The shell's >> appends to the log, and a pipe has no name to rename over.
    text = dictionary_text([(b"Start", b"", b"")])
    saving = f"import vkcstringdict as vkc; vkc.Dictionary.loads({text!r}).save({name!r})"
    log = tmp_path / "log.txt"
    log.write_bytes(b"log\n")
    with open(log, "ab") as appending:
        subprocess.run([sys.executable, "-c", saving], stdout=appending, check=True)
    piped = subprocess.run([sys.executable, "-c", saving], stdout=subprocess.PIPE, check=True).stdout
    assert log.read_bytes().startswith(b"log\n")
    assert body(log.read_bytes()[4:]) == body(piped) == body(text)


def test_append_to_appends(tmp_path):
    d = vkc.Dictionary()
    d.add("Start", "开始".encode("gbk"))
    d.append_to(tmp_path / "twice.txt")
    d.append_to(tmp_path / "twice.txt")
    assert (tmp_path / "twice.txt").read_bytes().count(b"mirok_res_All_End") == 2
    with pytest.raises(vkc.Error) as caught:
        d.append_to(tmp_path / "no such folder" / "x.txt")
    assert "no such folder" in caught.value.message


def test_texts_handles_and_gbk():
    assert vkc.decode_gbk(b"\x80\xbf\xaa") == "€开"
    assert vkc.encode_gbk("€开€") == b"\x80\xbf\xaa\x80"
    assert vkc.encode_gbk("\U0001F600€", "replace") == b"?\x80"
    with pytest.raises(UnicodeDecodeError):
        vkc.decode_gbk(b"\xff")
    with vkc.Dictionary() as d:
        assert len(d) == 0 and d.find("x") is None and d.find_index(b"x") == 0
        record = d.add("开始", remark=b"r")
        assert record == (b"\xbf\xaa\xca\xbc",) * 2 + (b"r",)
        assert record.decode() == ("开始", "开始", "r")
        assert d.match(b"nothing") == (0, b"")
    with pytest.raises(ValueError):
        len(d)
    with pytest.raises(TypeError):
        vkc.Dictionary().find(1)


def test_threads_share_a_dictionary():
    d = vkc.Dictionary()
    keys = [b"%d key %d" % (t, i) for t in range(4) for i in range(300)]

    wrong = []

    def work(t):
        for key in keys[t * 300:(t + 1) * 300]:
            d.match(key)
            if d.add(key, b"chi " + key).eng != key or d.find(b" " + key).chi != b"chi " + key:
                wrong.append(key)
    threads = [threading.Thread(target=work, args=(t,)) for t in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert not wrong and [r.eng for r in d] == sorted(keys)


# A call with an argument of the wrong type, and the words of its TypeError.
WRONG_TYPES = {
    "d[None]": (lambda d: d[None], "Dictionary indices must be integers or slices, not NoneType"),
    "d['x']": (lambda d: d["x"], "integers or slices, not str; find() looks a text up"),
    "rewrite(5)": (lambda d: d.rewrite(5),
                   "rewrite() argument 'script' must be bytes or a bytes-like object, not int"),
    "rewrite(str)": (lambda d: d.rewrite("[a]"), "not str: a script is rewritten byte for byte"),
    "loads(5)": (lambda d: vkc.Dictionary.loads(5), "loads() argument 'data' must be bytes"),
    "insert_blank('x')": (lambda d: d.insert_blank("x"),
                          "insert_blank() argument 'index' must be an integer, not str"),
    "set_chi(0.5, text)": (lambda d: d.set_chi(0.5, b"x"), "set_chi() argument 'index'"),
    "add(eng, 3)": (lambda d: d.add(b"b", 3), "add() argument 'chi' must be bytes or str, not int"),
    "load(None)": (lambda d: vkc.Dictionary.load(None), "load() argument 'path' must be str"),
    "3 in d": (lambda d: 3 in d, "'in <Dictionary>' requires bytes or str"),
}


@pytest.mark.parametrize("case", sorted(WRONG_TYPES))
def test_wrong_argument_types_raise_type_error_naming_the_argument(case):
    call, words = WRONG_TYPES[case]
    d = vkc.Dictionary.loads(dictionary_text([(b"a", b"1", b"")]))
    with pytest.raises(TypeError) as caught:
        call(d)
    assert words in str(caught.value)
    assert list(d) == [(b"a", b"1", b"")]
    # Bytes-like objects are taken as their bytes.
    assert d.rewrite(bytearray(b"[a]")) == d.rewrite(memoryview(b"[a]")) == b"[1]"


# What stands at the name loaded, and the OSError a load raises for it (None:
# the file opens, so a LoadError alone).
NOT_OPENED = {
    "missing": (None, FileNotFoundError, errno.ENOENT),
    "folder": ("folder", IsADirectoryError, errno.EISDIR),
    "under a file": ("under a file", NotADirectoryError, errno.ENOTDIR),
    "unreadable": (0o000, PermissionError, errno.EACCES),
    "empty": (0o644, None, None),
}


@pytest.mark.parametrize("case", sorted(NOT_OPENED))
@pytest.mark.parametrize("loader", ["load", "load_image", "reload"])
def test_a_file_that_does_not_open_raises_its_oserror(tmp_path, monkeypatch, case, loader):
    made, kind, number = NOT_OPENED[case]
    if made == 0o000 and (os.name != "posix" or os.geteuid() == 0):
        pytest.skip("file modes refuse no one here")
    monkeypatch.chdir(tmp_path)
    name = os.path.join("sub", "dict.txt")  # as the user gives it: relative
    os.mkdir("sub")
    d = vkc.Dictionary()
    if loader == "reload":
        (tmp_path / name).write_bytes(dictionary_text([(b"a", b"1", b"")]))
        d = vkc.Dictionary.load(name)
        os.remove(name)
    if made == "folder":
        os.mkdir(name)
    elif made == "under a file":
        os.rmdir("sub")
        (tmp_path / "sub").write_bytes(b"")
    elif made is not None:
        (tmp_path / name).write_bytes(b"")
        os.chmod(name, made)
    with pytest.raises(vkc.LoadError) as caught:
        if loader == "reload":
            d.reload()
        else:
            getattr(vkc.Dictionary, loader)(name)
    error = caught.value
    assert error.path == name and error.index is None and name in error.message
    if kind is None:
        assert not isinstance(error, OSError)
        return
    assert isinstance(error, kind) and error.errno == number and error.filename == name
    assert str(error) == str(kind(number, os.strerror(number), name))
    copy = pickle.loads(pickle.dumps(error))
    assert (type(copy), copy.errno, copy.filename, copy.message) == (
        type(error), number, name, error.message)


def test_errors_name_the_file_as_given(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    broken = dictionary_text([(b"a", b"1", b""), (b"b", b"2", b"")]).replace(
        b"mirok_res_No.00000001\r\nmirok_res_ENG_Start", b"mirok_res_No.1\r\n")
    (tmp_path / "broken.txt").write_bytes(broken)
    d = vkc.Dictionary.loads(dictionary_text([(b"a", b"1", b"")]))
    failures = [(lambda: vkc.Dictionary.load("broken.txt"), "broken.txt: record 1 is broken"),
                (lambda: d.save("no such folder/dict.txt"), "no such folder/dict.txt: not saved"),
                (lambda: d.append_to("no such folder/dict.txt"), "no such folder/dict.txt: the")]
    for fail, start in failures:
        with pytest.raises(vkc.Error) as caught:
            fail()
        assert caught.value.message.startswith(start), caught.value.message
        assert pickle.loads(pickle.dumps(caught.value)).__dict__ == caught.value.__dict__


def test_the_namespace_shows_public_names_only():
    assert set(dir(vkc)) == set(vkc.__all__) | {"__version__"}
    assert all(hasattr(vkc, name) for name in vkc.__all__)
