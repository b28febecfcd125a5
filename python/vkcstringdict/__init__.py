"""Translation dictionaries of the vkcsubst tools, from Python.

A Dictionary holds records of three texts: `eng`, the source text and the
sort key; `chi`, its translation; `remark`, a note. Texts are bytes: ENG texts
ASCII, translations GBK (code page 936). Texts passed in may also be str,
which are encoded as GBK; texts handed out are always bytes, and
decode_gbk()/encode_gbk() convert them.

    import vkcstringdict
    with vkcstringdict.Dictionary.load("dict.txt") as d:
        record = d.find(b"Start Game")
        if record is not None:
            print(vkcstringdict.decode_gbk(record.chi))
        translated = d.rewrite(open("script.txt", "rb").read())

The package runs over the shared library libvkcstringdict.so.1
(vkcstringdict.dll on Windows) through ctypes; see _native.py for where it is
looked for. A Dictionary owns one handle of the library, freed by close(), by
the end of a `with` block or when the object is collected. The library's
handles take one thread at a time, so each Dictionary holds a lock around its
calls: threads may share one, and different ones work in parallel.
"""
import codecs
import collections
import ctypes
import functools
import os
import sys
import threading

from . import _native
from ._native import lib as _lib

__all__ = ["Dictionary", "Record", "Error", "LoadError", "decode_gbk", "encode_gbk",
           "library_version", "library_path"]
__version__ = "1.0.0"

#: The shared library's version ("MAJOR.MINOR.PATCH") and the file loaded.
library_version = _native.version
library_path = _native.path


# ---- GBK

def _gbk_handler(errors):
    """An error handler that maps the euro sign to and from byte 0x80, as code
    page 936 does (Python's gbk codec leaves 0x80 undefined), and passes every
    other failure to the handler named `errors`."""
    name = "vkcstringdict-gbk-" + errors
    try:
        codecs.lookup_error(name)
        return name
    except LookupError:
        pass
    fallback = codecs.lookup_error(errors)

    def handle(error):
        if isinstance(error, UnicodeDecodeError):
            if error.object[error.start] == 0x80:
                return "\u20ac", error.start + 1
        elif isinstance(error, UnicodeEncodeError):
            if error.object[error.start] == "\u20ac":
                return b"\x80", error.start + 1
            euro = error.object.find("\u20ac", error.start, error.end)
            if euro > 0:
                error = UnicodeEncodeError(error.encoding, error.object, error.start, euro,
                                           error.reason)
        return fallback(error)

    codecs.register_error(name, handle)
    return name


def decode_gbk(data, errors="strict"):
    """GBK bytes (code page 936: 0x80 is the euro sign) to str."""
    return bytes(data).decode("gbk", _gbk_handler(errors))


def encode_gbk(text, errors="strict"):
    """str to GBK bytes (code page 936: the euro sign is 0x80)."""
    return text.encode("gbk", _gbk_handler(errors))


# ---- Records and errors

class Record(collections.namedtuple("Record", "eng chi remark")):
    """One record: three texts as bytes. A copy: it stays as it is whatever
    happens to the dictionary afterwards."""
    __slots__ = ()

    def decode(self, errors="strict"):
        """The three texts as str, decoded as GBK: (eng, chi, remark)."""
        return tuple(decode_gbk(text, errors) for text in self)


_new_record = tuple.__new__


def _record(entry):
    """A Record of copies of the texts the library handed out in `entry`."""
    return _new_record(Record, (entry.eng[:entry.eng_len], entry.chi[:entry.chi_len],
                                entry.remark[:entry.remark_len]))


class Error(Exception):
    """A call of the library failed. `message` is the library's own message,
    `code` its result (a negative VKC_E_* value)."""

    def __init__(self, message, code):
        super().__init__(message)
        self.message = message
        self.code = code


class LoadError(Error):
    """A dictionary did not load whole. `index` is the broken record's index
    (the number of records before it), or None when nothing was loaded: a
    missing, empty or oversized file, or no dictionary at all. `path` is the
    file's path, or None for text loaded from memory."""

    def __init__(self, message, code, index=None, path=None):
        super().__init__(message, code)
        self.index = index
        self.path = path


_find = _native.find_unchecked


# ---- Arguments

def _text(text):
    """A text argument as bytes: bytes as they are, str encoded as GBK."""
    if type(text) is not bytes:
        if isinstance(text, str):
            text = encode_gbk(text)
        elif isinstance(text, (bytearray, memoryview)):
            text = bytes(text)
        else:
            raise TypeError("a text is bytes or str, not %s" % type(text).__name__)
    if b"\0" in text:
        raise ValueError("a text cannot hold a NUL byte: the dictionary's texts end at one")
    return text


def _optional_text(text):
    return None if text is None else _text(text)


def _path(path):
    """An absolute path as the library takes it: bytes in the file system's
    encoding (on Windows the ANSI code page, which the library's file calls
    use)."""
    path = os.path.abspath(os.fspath(path))
    if sys.platform == "win32":
        path = os.fsdecode(path).encode("mbcs")
    else:
        path = os.fsencode(path)
    if b"\0" in path:
        raise ValueError("a path cannot hold a NUL byte")
    return path


def _locked(method):
    """Runs `method` under the dictionary's lock: the library's handle takes
    one call at a time, and its last error and the record it hands out belong
    to that call."""
    @functools.wraps(method)
    def locked(self, *arguments, **keywords):
        with self._lock:
            return method(self, *arguments, **keywords)
    return locked


class Dictionary:
    """A translation dictionary: records in ascending order of their ENG
    texts (bytes compared unsigned), as lookups need them.

    len(d), d[i] (negative too; slices give lists), iteration and `text in d`
    work as for a sequence of Records.
    """

    def __init__(self):
        self._lock = threading.RLock()
        handle = _lib.vkc_dict_new()
        if not handle:
            raise MemoryError("vkcstringdict: no memory for a new dictionary")
        self._handle = handle
        self._handle_argument = ctypes.c_void_p(handle)  # for the unchecked lookup
        self._entry = _native.vkc_record()
        self._entry_ref = ctypes.byref(self._entry)
        self._index = ctypes.c_uint32()
        self._index_ref = ctypes.byref(self._index)
        self._source = None  # the path of the file loaded, for reload()
        # The piecewise matcher's output buffer, large enough for any piece
        # of any CHI text; None after a load or an edit, which may change the
        # size needed.
        self._match_buffer = None
        #: The LoadError of a load with partial=True that stopped at a broken
        #: record; None otherwise.
        self.load_error = None

    # -- life

    @_locked
    def close(self):
        """Frees the library's handle; the dictionary can no longer be used.
        Closing twice does nothing."""
        handle, self._handle = self._handle, None
        self._handle_argument = None
        if handle:
            _lib.vkc_dict_free(handle)

    def __del__(self, _free=_lib.vkc_dict_free):
        handle = getattr(self, "_handle", None)
        if handle:
            self._handle = None
            _free(handle)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def __repr__(self):
        if self._handle is None:
            return "<vkcstringdict.Dictionary, closed>"
        return "<vkcstringdict.Dictionary of %d records>" % len(self)

    def _fail(self, result, error=Error, **details):
        """Raises the exception for a failed call's result."""
        if self._handle is None:
            raise ValueError("the dictionary is closed")
        message = _lib.vkc_dict_last_error(self._handle) or b""
        message = message.decode("utf-8", "backslashreplace")
        if result == _native.E_MEMORY:
            raise MemoryError(message)
        if result == _native.E_RANGE:
            raise IndexError(message)
        raise error(message, result, **details)

    # -- loading

    @_locked
    def _load(self, call, argument, source, partial):
        count = ctypes.c_uint32()
        self._match_buffer = None
        result = call(self._handle, argument, ctypes.byref(count))
        if result == _native.OK:
            return
        if result == _native.E_BROKEN:
            try:
                self._fail(result, LoadError, index=count.value, path=source)
            except LoadError as error:
                if not partial:
                    raise
                self.load_error = error
                return
        self._fail(result, LoadError, path=source)

    def _load_file(self, call, path, partial):
        source = os.fspath(path)
        self._source = None
        self._load(call, _path(source), source, partial)
        if call is _lib.vkc_dict_load_file:
            self._source = source

    @classmethod
    def load(cls, path, partial=False):
        """Loads a dictionary text file (path: str, bytes or os.PathLike).

        A file that does not load whole raises LoadError: a missing, empty or
        oversized one (over 200,000,000 bytes), one without records, or one
        with a broken record (LoadError.index: its index). With
        partial=True a broken record is no error: the records before it are
        kept, as vkcsubst keeps them, and `load_error` holds the LoadError.
        """
        dictionary = cls()
        try:
            dictionary._load_file(_lib.vkc_dict_load_file, path, partial)
        except BaseException:
            dictionary.close()
            raise
        return dictionary

    @classmethod
    def load_image(cls, path):
        """Loads a binary dictionary image (as `vkcdict compile` writes);
        LoadError when it is missing or refused."""
        dictionary = cls()
        try:
            dictionary._load_file(_lib.vkc_dict_load_image, path, False)
        except BaseException:
            dictionary.close()
            raise
        return dictionary

    @classmethod
    def loads(cls, data, partial=False):
        """Loads dictionary text held in memory (bytes), as load() loads a
        file. The text ends at its first NUL byte, if it holds one."""
        if not isinstance(data, bytes):
            data = bytes(data)
        dictionary = cls()
        try:
            dictionary._load(_lib.vkc_dict_load_string, data, None, partial)
        except BaseException:
            dictionary.close()
            raise
        return dictionary

    def reload(self, partial=False):
        """Loads the dictionary text file last loaded with load() again."""
        if self._source is None:
            raise ValueError("no dictionary text file was loaded into this dictionary")
        self.load_error = None
        self._load(lambda handle, _, count: _lib.vkc_dict_reload(handle, count), None,
                   self._source, partial)

    # -- writing

    @_locked
    def append_to(self, path):
        """Appends the whole dictionary, as a dictionary text file (header,
        records, end line), to the end of the file at `path`, creating it
        when it is missing: the library's own writer. A failed write raises
        Error; what was written before it stays."""
        result = _lib.vkc_dict_append_to_file(self._handle, _path(path))
        if result != _native.OK:
            self._fail(result)

    @_locked
    def save(self, path):
        """Writes the dictionary as a dictionary text file at `path`,
        replacing the file whole or not at all: the library writes a new file
        beside the target and renames it over the target only once it is
        complete. A symbolic link is followed (the file it reaches is
        replaced), an existing file's permissions and owner are kept, a FIFO
        or device is written into directly, and a read-only file is refused.
        A failure raises Error with the library's message, which names the
        target and the cause; the target is then as it was."""
        result = _lib.vkc_dict_save(self._handle, _path(path))
        if result != _native.OK:
            self._fail(result)

    # -- records

    @_locked
    def __len__(self):
        count = ctypes.c_uint32()
        result = _lib.vkc_dict_count(self._handle, ctypes.byref(count))
        if result != _native.OK:
            self._fail(result)
        return count.value

    @_locked
    def __getitem__(self, index):
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(len(self)))]
        # The library refuses an index past the end (IndexError).
        position = (index if type(index) is int and 0 <= index <= 0xFFFFFFFF
                    else self._position(index))
        result = _lib.vkc_dict_record(self._handle, position, self._entry_ref)
        if result != _native.OK:
            self._fail(result)
        return _record(self._entry)

    def __iter__(self):
        index = 0
        while True:
            try:
                record = self[index]
            except IndexError:
                return
            yield record
            index += 1

    def __contains__(self, text):
        return self.find(text) is not None

    def _position(self, index):
        """A sequence index (negative counts from the end) as a record index;
        IndexError outside the records."""
        index = index.__index__()
        count = len(self)
        if index < 0:
            index += count
        if not 0 <= index < count:
            raise IndexError("record index out of range")
        return index

    # -- lookups

    def find(self, text):
        """The record whose ENG text equals `text` (blanks around it
        ignored), or None."""
        text = _text(text)
        with self._lock:
            result = _find(self._handle_argument, text, self._entry_ref, None)
            if result == _native.OK:
                return _record(self._entry)
            if result == _native.NOT_FOUND:
                return None
            self._fail(result)

    @_locked
    def find_index(self, text):
        """The index of the record whose ENG text equals `text` (blanks
        around it ignored); when there is none, the index at which it would
        be inserted (0 to len(self))."""
        found = ctypes.c_int()
        result = _lib.vkc_dict_find_index(self._handle, _text(text), self._index_ref,
                                          ctypes.byref(found))
        if result != _native.OK:
            self._fail(result)
        return self._index.value

    # -- editing (every edit ends a piecewise match)

    @_locked
    def add(self, eng, chi=None, remark=None):
        """Adds a record with `eng` (blanks around it cut) as its key, at its
        sorted place; a CHI text or remark of None stands for `eng` as given.
        Returns the new Record, or the existing one of that key, unchanged."""
        eng, chi, remark = _text(eng), _optional_text(chi), _optional_text(remark)
        self._match_buffer = None
        result = _lib.vkc_dict_add(self._handle, eng, chi, remark, self._entry_ref, None)
        if result != _native.OK:
            self._fail(result)
        return _record(self._entry)

    @_locked
    def insert_blank(self, index):
        """Inserts a record of three empty texts before `index`, as
        list.insert places an item (at the end when `index` is at or beyond
        the end). The order of the records is not kept."""
        index = index.__index__()
        count = len(self)
        if index < 0:
            index = max(0, index + count)
        index = min(index, count)
        self._match_buffer = None
        result = _lib.vkc_dict_insert_blank(self._handle, index, None)
        if result != _native.OK:
            self._fail(result)

    @_locked
    def _set(self, call, index, text):
        text = _optional_text(text)
        self._match_buffer = None
        result = call(self._handle, self._position(index), text)
        if result != _native.OK:
            self._fail(result)

    def set_eng(self, index, text):
        """Replaces the ENG text of record `index`, as given: not trimmed and
        not re-sorted. None is the empty text."""
        self._set(_lib.vkc_dict_set_eng, index, text)

    def set_chi(self, index, text):
        """Replaces the CHI text of record `index`; None is the empty text."""
        self._set(_lib.vkc_dict_set_chi, index, text)

    def set_remark(self, index, text):
        """Replaces the remark of record `index`; None is the empty text."""
        self._set(_lib.vkc_dict_set_remark, index, text)

    # -- piecewise matching and rewriting

    @_locked
    def match(self, piece):
        """Takes the next piece of a source text that arrives in pieces and
        returns (result, piece of its translation): (1, piece) while the
        match goes on, (2, the rest of the translation) when the piece
        completes the ENG text, (0, b"") when nothing matches."""
        piece = _text(piece)
        buffer = self._match_buffer
        if buffer is None:
            # Room for the longest CHI text: the completing call hands out all
            # that is left of one.
            capacity = ctypes.c_uint32()
            result = _lib.vkc_dict_match_capacity(self._handle, ctypes.byref(capacity))
            if result != _native.OK:
                self._fail(result)
            buffer = self._match_buffer = ctypes.create_string_buffer(capacity.value)
        result = _lib.vkc_dict_match(self._handle, piece, buffer, len(buffer))
        if result < 0:
            self._fail(result)
        return result, buffer.value if result else b""

    @_locked
    def rewrite(self, script):
        """The script (bytes) with every text between '[' and ']' or between
        two double quotes replaced by its translation, exactly as vkcsubst
        rewrites a script file."""
        if not isinstance(script, bytes):
            script = bytes(script)
        out = ctypes.c_void_p()
        length = ctypes.c_size_t()
        result = _lib.vkc_rewrite(self._handle, script, len(script), ctypes.byref(out),
                                  ctypes.byref(length))
        if result != _native.OK:
            self._fail(result)
        try:
            return ctypes.string_at(out.value, length.value) if length.value else b""
        finally:
            _lib.vkc_buffer_free(out.value)

